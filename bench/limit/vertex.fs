#version 430 core
// The limit: what every frame must do whatever the shaders, read each cube's record and each
// corner, and nothing more. Every vertex goes behind the far plane, so nothing is drawn.

layout(location = 0) in vec3 corner;

layout(std430, binding = 0) readonly buffer Cubes {
    vec4 cubes[];
};

void main() {
    vec4 cube = cubes[gl_InstanceID];
    // z exceeds w (the edge, at least 300 / 81) for every record and corner.
    gl_Position = vec4(cube.xy + corner.xy, abs(cube.z) + 2.0 * cube.w + corner.z, cube.w);
}
