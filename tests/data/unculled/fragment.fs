#version 430 core
// Writes the colour the vertex stage gave the whole face.

flat in vec3 faceColor;

out vec4 fragColor;

void main() {
    fragColor = vec4(faceColor, 1.0);
}
