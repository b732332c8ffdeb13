#version 430 core
// The floor: places the cubes exactly as the viewer's own shaders do, and nothing more.

layout(location = 0) in vec3 corner;

layout(std430, binding = 0) readonly buffer Cubes {
    vec4 cubes[];
};

uniform mat4 model;
uniform mat4 view;
uniform mat4 projection;

void main() {
    vec4 cube = cubes[gl_InstanceID];
    gl_Position = projection * (view * (model * vec4(cube.xyz + cube.w * corner, 1.0)));
}
