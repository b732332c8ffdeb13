// Test and benchmark aid, preloaded into the viewer: logs the moment each frame is presented
// and the viewer's own calls that set up its context.
// The viewer prints nothing per frame; with CORVANE_FRAME_LOG naming a file, this library
// appends "<frame number> <CLOCK_MONOTONIC seconds>" to it after every buffer swap. With
// CORVANE_CALL_LOG naming a file, it appends one line per window hint, window, context made
// current, swap interval, loader start-up and reading of GLFW's clock, as the viewer asked for
// them. With CORVANE_NO_GLX_DISPLAY set, GLX reports no current display, as it does on an EGL
// context; with CORVANE_NO_GL_VERSION set, GLEW cannot find glGetString and so no GL version.
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

// Appends one formatted line to the file named by `variable`, opened on first use; a log that
// cannot be opened or written is given up.
static void appendLine(int* log, const char* variable, const char* format, ...) {
    if (*log == -2) {
        const char* path = getenv(variable);
        *log = path != NULL ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }
    if (*log < 0) {
        return;
    }
    char line[256];
    va_list args;
    va_start(args, format);
    const int length = vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0 || length >= (int)sizeof line || write(*log, line, (size_t)length) != length) {
        *log = -1;
    }
}

// True when `caller` lies outside the library that defines `function`: the viewer's call, not
// one GLFW makes of its own functions.
static int fromOutside(void* function, void* caller) {
    Dl_info defined;
    Dl_info calling;
    return dladdr(function, &defined) == 0 || dladdr(caller, &calling) == 0 ||
           defined.dli_fbase != calling.dli_fbase;
}

// Logs the viewer's call of the wrapped function (`real`), one line ending in a newline.
static int callLog = -2;
#define LOG_CALL(...)                                                                              \
    if (fromOutside(*(void**)&real, __builtin_return_address(0))) {                                \
        appendLine(&callLog, "CORVANE_CALL_LOG", __VA_ARGS__);                                     \
    }

void glfwWindowHint(int hint, int value) {
    REAL(glfwWindowHint)
    LOG_CALL("glfwWindowHint(0x%X, 0x%X)\n", hint, value);
    real(hint, value);
}

GLFWwindow* glfwCreateWindow(int width, int height, const char* title, GLFWmonitor* monitor,
                             GLFWwindow* share) {
    REAL(glfwCreateWindow)
    LOG_CALL("glfwCreateWindow(%d, %d, \"%s\", %s, %s)\n", width, height, title,
             monitor != NULL ? "monitor" : "NULL", share != NULL ? "share" : "NULL");
    return real(width, height, title, monitor, share);
}

void glfwMakeContextCurrent(GLFWwindow* window) {
    REAL(glfwMakeContextCurrent)
    LOG_CALL("glfwMakeContextCurrent()\n");
    real(window);
}

void glfwSwapInterval(int interval) {
    REAL(glfwSwapInterval)
    LOG_CALL("glfwSwapInterval(%d)\n", interval);
    real(interval);
}

unsigned glewInit(void) {
    REAL(glewInit)
    // The flag in use: the viewer's own copy of it, should it ever set it.
    const unsigned char* experimental = dlsym(RTLD_DEFAULT, "glewExperimental");
    const int flag = experimental != NULL ? *experimental : -1;
    const unsigned status = real();
    LOG_CALL("glewInit() = %u with glewExperimental %d\n", status, flag);
    return status;
}

static Display* noCurrentDisplay(void) {
    return NULL;
}

// GLEW finds glGetString and glXGetCurrentDisplay through here.
void (*glXGetProcAddressARB(const unsigned char* name))(void) {
    REAL(glXGetProcAddressARB)
    if (getenv("CORVANE_NO_GLX_DISPLAY") != NULL &&
        strcmp((const char*)name, "glXGetCurrentDisplay") == 0) {
        return (void (*)(void))noCurrentDisplay;
    }
    if (getenv("CORVANE_NO_GL_VERSION") != NULL && strcmp((const char*)name, "glGetString") == 0) {
        return NULL;
    }
    return real(name);
}

double glfwGetTime(void) {
    REAL(glfwGetTime)
    const double now = real();
    LOG_CALL("glfwGetTime() = %.9f\n", now);
    return now;
}

void glfwSwapBuffers(GLFWwindow* window) {
    REAL(glfwSwapBuffers)
    static int frameLog = -2;
    static unsigned long frames;

    real(window);
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    appendLine(&frameLog, "CORVANE_FRAME_LOG", "%lu %lld.%09ld\n", ++frames, (long long)now.tv_sec,
               now.tv_nsec);
}
