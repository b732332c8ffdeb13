// The call log: the viewer's context set-up, as it asked for it, and its waits for events (its
// clock's readings are logged where the flight's clock wraps them).
#include "probe.h"

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

void glfwWaitEventsTimeout(double timeout) {
    REAL(glfwWaitEventsTimeout)
    LOG_CALL("glfwWaitEventsTimeout(%g)\n", timeout);
    real(timeout);
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
