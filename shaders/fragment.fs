#version 430 core
// Lights a cube face from a point light and fades it into the fog with distance.

in vec3 worldPos;
in vec3 worldNormal;

uniform vec3 lightPos;
uniform vec3 baseColor;
uniform vec3 cameraPos;
uniform vec3 fogColor;
uniform float fogStart;
uniform float fogEnd;

out vec4 fragColor;

void main() {
    vec3 toLight = lightPos - worldPos;
    float lightDistance = length(toLight);
    float diffuse = max(dot(normalize(worldNormal), toLight / lightDistance), 0.0);
    float attenuation = 1.0 / (1.0 + 0.00005 * lightDistance * lightDistance);
    vec3 lit = baseColor * (0.3 + 0.7 * diffuse * attenuation);

    float fog = clamp((distance(worldPos, cameraPos) - fogStart) / (fogEnd - fogStart), 0.0, 1.0);
    fragColor = vec4(mix(lit, fogColor, fog), 1.0);
}
