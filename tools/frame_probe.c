// Test and benchmark aid, preloaded into the viewer: logs the moment each frame is presented.
// The viewer prints nothing per frame; with CORVANE_FRAME_LOG naming a file, this library
// appends "<frame number> <CLOCK_MONOTONIC seconds>" to it after every buffer swap.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

typedef struct GLFWwindow GLFWwindow;

void glfwSwapBuffers(GLFWwindow* window) {
    static void (*realSwap)(GLFWwindow*);
    static int log = -2;
    static unsigned long frames;

    if (realSwap == NULL) {
        *(void**)&realSwap = dlsym(RTLD_NEXT, "glfwSwapBuffers");
    }
    realSwap(window);

    if (log == -2) {
        const char* path = getenv("CORVANE_FRAME_LOG");
        log = path != NULL ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }
    if (log < 0) {
        return;
    }
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    char line[64];
    const int length = snprintf(line, sizeof line, "%lu %lld.%09ld\n", ++frames,
                                (long long)now.tv_sec, now.tv_nsec);
    if (write(log, line, (size_t)length) != length) {
        log = -1;
    }
}
