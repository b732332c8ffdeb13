// The frame probe: a test and benchmark aid preloaded into the viewer, which wraps some of its
// GLFW, GLEW and GLX calls. Each file holds one of its jobs; all are switched on by environment
// variables and do nothing without them:
// - call_log.c, CORVANE_CALL_LOG=FILE: one line per window hint, window, context made current,
//   swap interval, loader start-up and reading of GLFW's clock, as the viewer asked for them;
// - faults.c, CORVANE_NO_GLX_DISPLAY: GLX reports no current display, as on an EGL context;
//   CORVANE_NO_GL_VERSION: GLEW cannot find glGetString and so no GL version;
// - flight.c, CORVANE_FLIGHT=FILE: the viewer flies the flight whatever the real frame rate: its
//   clock advances by the file's frame delta each frame, its keys are held as the file says, and
//   the window is asked to close after the last frame. A flight file: "delta SECONDS", then one
//   line per stretch of frames, "FRAMES [KEY...]", the keys named as in flight_keys.h;
// - frames.c, CORVANE_FRAME_LOG=FILE: "<frame number> <CLOCK_MONOTONIC seconds>" after every
//   buffer swap; CORVANE_FLIGHT_FRAMES=DIR: in flight, each frame saved there as NNNN.ppm.
#pragma once

#define _GNU_SOURCE
#include <dlfcn.h>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

// The real function of that name, looked up once, as `real`.
#define REAL(name)                                                                                 \
    static __typeof__(&name) real;                                                                 \
    if (real == NULL) {                                                                            \
        *(void**)&real = dlsym(RTLD_NEXT, #name);                                                  \
    }

// The probe's own helpers, shared by its files and hidden from the viewer.
#pragma GCC visibility push(hidden)

// Appends one formatted line to the file named by `variable`, opened on first use (`*log` starts
// at -2); a log that cannot be opened or written is given up.
void appendLine(int* log, const char* variable, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// True when `caller` lies outside the library that defines `function`: the viewer's call, not
// one GLFW makes of its own functions.
int fromOutside(void* function, void* caller);

// Logs the viewer's call of the wrapped function (`real`): one line ending in a newline.
extern int callLog;
#define LOG_CALL(...)                                                                              \
    do {                                                                                           \
        if (fromOutside(*(void**)&real, __builtin_return_address(0))) {                            \
            appendLine(&callLog, "CORVANE_CALL_LOG", __VA_ARGS__);                                 \
        }                                                                                          \
    } while (0)

// True while the viewer flies a flight; the flight's frame count.
int flying(void);
long flightLength(void);

#pragma GCC visibility pop
