// Test and benchmark aid, preloaded into the viewer: logs the moment each frame is presented
// and the viewer's own calls that set up its context.
// The viewer prints nothing per frame; with CORVANE_FRAME_LOG naming a file, this library
// appends "<frame number> <CLOCK_MONOTONIC seconds>" to it after every buffer swap. With
// CORVANE_CALL_LOG naming a file, it appends one line per window hint, window, context made
// current, swap interval and loader start-up, as the viewer asked for them. With
// CORVANE_NO_GLX_DISPLAY set, GLX reports no current display, as it does on an EGL context.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

typedef struct GLFWwindow GLFWwindow;
typedef struct GLFWmonitor GLFWmonitor;
typedef struct _XDisplay Display;

// The real function of that name, looked up once.
#define REAL(name)                                                                                 \
    static __typeof__(&name) real;                                                                 \
    if (real == NULL) {                                                                            \
        *(void**)&real = dlsym(RTLD_NEXT, #name);                                                  \
    }

// Logs the call being made to the wrapper it stands in, with its caller.
#define LOG_CALL(...) logCall(*(void**)&real, __builtin_return_address(0), __VA_ARGS__)

static int openLog(const char* variable) {
    const char* path = getenv(variable);
    return path != NULL ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
}

// True when `caller` lies outside the library that defines `function`: the viewer's call, not
// one GLFW makes of its own functions.
static int fromOutside(void* function, void* caller) {
    Dl_info defined;
    Dl_info calling;
    return dladdr(function, &defined) == 0 || dladdr(caller, &calling) == 0 ||
           defined.dli_fbase != calling.dli_fbase;
}

// Logs one of the viewer's calls to `function`; GLFW's calls of its own functions are not logged.
static void logCall(void* function, void* caller, const char* format, ...) {
    static int log = -2;
    if (!fromOutside(function, caller)) {
        return;
    }
    if (log == -2) {
        log = openLog("CORVANE_CALL_LOG");
    }
    if (log < 0) {
        return;
    }
    char line[256];
    va_list args;
    va_start(args, format);
    const int length = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (length > 0 && length < (int)sizeof line - 1) {
        line[length] = '\n';
        if (write(log, line, (size_t)length + 1) != length + 1) {
            log = -1;
        }
    }
}

void glfwWindowHint(int hint, int value) {
    REAL(glfwWindowHint)
    LOG_CALL("glfwWindowHint(0x%X, 0x%X)", hint, value);
    real(hint, value);
}

GLFWwindow* glfwCreateWindow(int width, int height, const char* title, GLFWmonitor* monitor,
                             GLFWwindow* share) {
    REAL(glfwCreateWindow)
    LOG_CALL("glfwCreateWindow(%d, %d, \"%s\", %s, %s)", width, height, title,
             monitor != NULL ? "monitor" : "NULL", share != NULL ? "share" : "NULL");
    return real(width, height, title, monitor, share);
}

void glfwMakeContextCurrent(GLFWwindow* window) {
    REAL(glfwMakeContextCurrent)
    LOG_CALL("glfwMakeContextCurrent()");
    real(window);
}

void glfwSwapInterval(int interval) {
    REAL(glfwSwapInterval)
    LOG_CALL("glfwSwapInterval(%d)", interval);
    real(interval);
}

unsigned glewInit(void) {
    REAL(glewInit)
    // The flag in use: the viewer's own copy of it, should it ever set it.
    const unsigned char* experimental = dlsym(RTLD_DEFAULT, "glewExperimental");
    const int flag = experimental != NULL ? *experimental : -1;
    const unsigned status = real();
    LOG_CALL("glewInit() = %u with glewExperimental %d", status, flag);
    return status;
}

static Display* noCurrentDisplay(void) {
    return NULL;
}

// GLEW finds glXGetCurrentDisplay through here.
void (*glXGetProcAddressARB(const unsigned char* name))(void) {
    REAL(glXGetProcAddressARB)
    if (getenv("CORVANE_NO_GLX_DISPLAY") != NULL &&
        strcmp((const char*)name, "glXGetCurrentDisplay") == 0) {
        return (void (*)(void))noCurrentDisplay;
    }
    return real(name);
}

void glfwSwapBuffers(GLFWwindow* window) {
    REAL(glfwSwapBuffers)
    static int log = -2;
    static unsigned long frames;

    real(window);

    if (log == -2) {
        log = openLog("CORVANE_FRAME_LOG");
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
