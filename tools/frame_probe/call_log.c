// The frame probe's call log: the viewer's context set-up calls, as it asked for them.
#include "probe.h"

#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int callLog = -2;

void appendLine(int* log, const char* variable, const char* format, ...) {
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

int fromOutside(void* function, void* caller) {
    Dl_info defined;
    Dl_info calling;
    return dladdr(function, &defined) == 0 || dladdr(caller, &calling) == 0 ||
           defined.dli_fbase != calling.dli_fbase;
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
