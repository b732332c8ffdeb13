// What the frame probe's files share: the real functions they wrap, the logs they write, and the
// calls by which one job's wrapper lets another act on the same call.
#pragma once
#define _GNU_SOURCE // NOLINT(bugprone-reserved-identifier): glibc's own switch
#include "flight.h" // and with it GLFW's declarations

#include <GL/gl.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

// The real function of that name, looked up once, as `real`.
#define REAL(name)                                                                                 \
    static __typeof__(&(name)) real;                                                               \
    if (real == NULL) {                                                                            \
        *(void**)&real = dlsym(RTLD_NEXT, #name);                                                  \
    }

// What these files share stays inside the library, as the viewer's and GLFW's own would not.
#pragma GCC visibility push(hidden)

// Appends one formatted line to the file named by `variable`, opened on first use (`*log` starts
// at -2); a log that cannot be opened or written is given up.
void appendLine(int* log, const char* variable, const char* format, ...);

// True when `caller` lies outside the library that defines `function`: the viewer's call, not
// one GLFW makes of its own functions.
int fromOutside(void* function, void* caller);

// Logs the viewer's call of the wrapped function (`real`): one line ending in a newline.
extern int callLog;
#define LOG_CALL(...)                                                                              \
    (fromOutside(*(void**)&real, __builtin_return_address(0))                                      \
         ? appendLine(&callLog, "CORVANE_CALL_LOG", __VA_ARGS__)                                   \
         : (void)0)

// Each job's part in the buffer swap, which frame_log.c wraps; the flight's frames (0: none).
void savePicture(unsigned long frame);
void waylandFaultAfterSwap(GLFWwindow* window);
void endFlightAfter(GLFWwindow* window, unsigned long frames);
long flightLength(void);

#pragma GCC visibility pop
