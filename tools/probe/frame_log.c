// The frame log: a line for each frame presented, with its time and the heap in use; and each
// job's part in the swap.
#include "probe.h"

#include <malloc.h>
#include <time.h>

void glfwSwapBuffers(GLFWwindow* window) {
    REAL(glfwSwapBuffers)
    static int frameLog = -2;
    static unsigned long frames;

    savePicture(frames + 1);
    real(window);
    waylandFaultAfterSwap(window);
    ++frames;
    if (getenv("CORVANE_FRAME_LOG") != NULL) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        // With the frame done, the heap in use: unlike the resident size, without memory freed.
        const struct mallinfo2 heap = mallinfo2();
        appendLine(&frameLog, "CORVANE_FRAME_LOG", "%lu %lld.%09ld %zu\n", frames,
                   (long long)now.tv_sec, now.tv_nsec, heap.uordblks + heap.hblkhd);
    }
    endFlightAfter(window, frames);
}
