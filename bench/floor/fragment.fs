#version 430 core
// The floor: one constant colour, no lighting and no fog.

out vec4 fragColor;

void main() {
    fragColor = vec4(0.5, 0.5, 0.5, 1.0);
}
