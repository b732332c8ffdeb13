#version 430 core
// Lights and fogs each face as a whole, at its centre: every fragment of a face gets the same
// colour, so that its two triangles meet without a seam.

flat in vec4 face; // xyz the face's centre, w the cosine term of its light before the distance

uniform vec3 lightPos;
uniform vec3 baseColor;
uniform vec3 cameraPos;
uniform vec3 fogColor;
uniform float fogStart;
uniform float fogEnd;

out vec4 fragColor;

void main() {
    // Ambient plus diffuse light that fades with the square of the distance to the light.
    vec3 toLight = lightPos - face.xyz;
    float lightDistanceSquared = dot(toLight, toLight);
    float falloff = 1.0 + 0.00005 * lightDistanceSquared;
    float diffuse = face.w * inversesqrt(lightDistanceSquared * falloff * falloff);
    vec3 lit = baseColor * (0.3 + 0.7 * diffuse);

    // Linear fog from fogStart to fogEnd, where the face is the background colour.
    float fog = clamp((distance(face.xyz, cameraPos) - fogStart) * (1.0 / (fogEnd - fogStart)),
                      0.0, 1.0);
    fragColor = vec4(mix(lit, fogColor, fog), 1.0);
}
