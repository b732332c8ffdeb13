#version 430 core
// The limit draws nothing; its fragment stage is the floor's.
out vec4 fragColor;
void main() {
    fragColor = vec4(0.5, 0.5, 0.5, 1.0);
}
