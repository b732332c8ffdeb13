// The viewer's window and its context hints.
#include "window.h"

#include "scene.h"

#include <GLFW/glfw3.h>

GLFWwindow* openWindow(const char*& reason) {
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    GLFWwindow* window = glfwCreateWindow(viewWidth, viewHeight, "Corvane", nullptr, nullptr);
    reason = nullptr;
    if (window == nullptr) {
        glfwGetError(&reason);
    }
    return window;
}
