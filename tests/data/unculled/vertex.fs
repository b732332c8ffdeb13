#version 430 core
// Places one unit-cube vertex of one sponge cube, and shades the face it belongs to.
//
// A face is lit and fogged as a whole, at its centre: all six vertices of a face compute the
// same colour, so both triangles carry it flat, without a seam, and the fragment stage only
// writes it. On a software rasterizer this costs far less than shading every fragment.

layout(location = 0) in vec3 corner; // unit-cube corner, each coordinate ±0.5
layout(location = 1) in vec3 normal; // outward face normal

// One record per cube: xyz its centre, w its edge length, in world units.
layout(std430, binding = 0) readonly buffer Cubes {
    vec4 cubes[];
};

uniform mat4 model;
uniform mat4 view;
uniform mat4 projection;
uniform vec3 lightPos;
uniform vec3 baseColor;
uniform vec3 cameraPos;
uniform vec3 fogColor;
uniform float fogStart;
uniform float fogEnd;

flat out vec3 faceColor;

void main() {
    vec4 cube = cubes[gl_InstanceID];
    gl_Position = projection * view * model * vec4(cube.xyz + cube.w * corner, 1.0);

    // Ambient plus diffuse light that fades with the square of the distance to the light.
    vec3 faceCentre = cube.xyz + (0.5 * cube.w) * normal;
    vec3 toLight = lightPos - faceCentre;
    float lightDistanceSquared = dot(toLight, toLight);
    float falloff = 1.0 + 0.00005 * lightDistanceSquared;
    float diffuse = max(dot(normal, toLight), 0.0) *
                    inversesqrt(lightDistanceSquared * falloff * falloff);
    vec3 lit = baseColor * (0.3 + 0.7 * diffuse);

    // Linear fog from fogStart to fogEnd, where the face is the background colour.
    float fog = clamp((distance(faceCentre, cameraPos) - fogStart) * (1.0 / (fogEnd - fogStart)),
                      0.0, 1.0);
    faceColor = mix(lit, fogColor, fog);
}
