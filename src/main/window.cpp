// The viewer's window: its context hints, and who it is to the desktop.
#include "window.h"

#include "icon.h"
#include "scene.h"

#include <GLFW/glfw3.h>

namespace {

constexpr int waylandAppId = 0x00026001; // GLFW_WAYLAND_APP_ID of GLFW 3.4 and later

} // namespace

GLFWwindow* openWindow(const char*& reason) {
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    // Its name to the desktop, by which a dock or task bar ties it to the menu entry
    // (corvane.desktop, StartupWMClass=Corvane): the Wayland app id, which GLFW 3.4 first offers,
    // and the X11 instance and class names. The app id is asked for by its number, since a viewer
    // built against GLFW 3.3's header (Debian 12's package) may run with a later GLFW, and only of
    // a GLFW that knows it: 3.3 would raise an error for a hint it does not know.
    int major = 0;
    int minor = 0;
    glfwGetVersion(&major, &minor, nullptr);
    if (major > 3 || (major == 3 && minor >= 4)) {
        // GCOVR_EXCL_START: GLFW 3.4 and later only; the suite runs it on Debian 13 and 14.
        glfwWindowHintString(waylandAppId, "corvane");
    } // GCOVR_EXCL_STOP
    glfwWindowHintString(GLFW_X11_INSTANCE_NAME, "corvane");
    glfwWindowHintString(GLFW_X11_CLASS_NAME, "Corvane");
    GLFWwindow* window = glfwCreateWindow(viewWidth, viewHeight, "Corvane", nullptr, nullptr);
    reason = nullptr;
    if (window == nullptr) {
        glfwGetError(&reason);
    } else {
        setWindowIcon(window);
    }
    return window;
}
