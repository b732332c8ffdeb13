// The frame probe's frames: the moment each is presented, and in flight the picture of each.
#include "probe.h"

#include <GL/gl.h>

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

// Saves the frame about to be presented as a binary PPM, top row first.
static void saveFrame(const char* directory, unsigned long frame) {
    enum { width = 800, height = 600, row = width * 3 };
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

void glfwSwapBuffers(GLFWwindow* window) {
    REAL(glfwSwapBuffers)
    static int frameLog = -2;
    static unsigned long frames;

    const char* saveTo = getenv("CORVANE_FLIGHT_FRAMES");
    if (saveTo != NULL && flying()) {
        saveFrame(saveTo, frames + 1);
    }
    real(window);
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    appendLine(&frameLog, "CORVANE_FRAME_LOG", "%lu %lld.%09ld\n", ++frames, (long long)now.tv_sec,
               now.tv_nsec);
    if (flying() && (long)frames >= flightLength()) {
        REAL(glfwSetWindowShouldClose)
        real(window, 1);
    }
}
