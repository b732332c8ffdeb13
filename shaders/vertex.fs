#version 430 core
// Places one unit-cube vertex of one sponge cube in the world and on screen.

layout(location = 0) in vec3 corner; // unit-cube corner, each coordinate ±0.5
layout(location = 1) in vec3 normal; // outward face normal

// One record per cube: xyz its centre, w its edge length.
layout(std430, binding = 0) readonly buffer Cubes {
    vec4 cubes[];
};

uniform mat4 model;
uniform mat4 view;
uniform mat4 projection;

out vec3 worldPos;
out vec3 worldNormal;

void main() {
    vec4 cube = cubes[gl_InstanceID];
    vec4 world = model * vec4(cube.xyz + cube.w * corner, 1.0);
    worldPos = world.xyz;
    worldNormal = mat3(model) * normal;
    gl_Position = projection * view * world;
}
