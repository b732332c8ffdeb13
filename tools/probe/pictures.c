// In flight, with CORVANE_FLIGHT_FRAMES naming a directory, the picture of each frame.
#include "probe.h"
#include "scene.h"

// Saves the frame about to be presented as a binary PPM, top row first.
void savePicture(unsigned long frame) {
    const char* directory = getenv("CORVANE_FLIGHT_FRAMES");
    if (directory == NULL || flightLength() == 0) {
        return;
    }
    enum { width = viewWidth, height = viewHeight, row = width * 3 };
    void (*readPixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*) = NULL;
    *(void**)&readPixels = dlsym(RTLD_DEFAULT, "glReadPixels");
    static unsigned char pixels[height][row];
    char path[4096];
    snprintf(path, sizeof path, "%s/%04lu.ppm", directory, frame);
    FILE* file = readPixels != NULL ? fopen(path, "wb") : NULL;
    if (file == NULL) {
        return;
    }
    readPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    fprintf(file, "P6\n%d %d\n255\n", width, height);
    for (int y = height - 1; y >= 0; --y) {
        fwrite(pixels[y], 1, row, file);
    }
    fclose(file);
}
