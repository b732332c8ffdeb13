// The viewer's own window and context in the test process, and the driver's own answers asked
// in a hidden one, apart from the viewer.
#include "harness.h"
#include "main/window.h"
#include "shader/shader.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <functional>

GLFWwindow* openViewerContext(const std::string& display, bool visible) {
    setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(glfwInit(), GLFW_TRUE); // if not, no window opens either
    if (!visible) {
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    }
    const char* reason = nullptr;
    GLFWwindow* window = openWindow(reason);
    if (window == nullptr) {
        ADD_FAILURE() << "no window: " << reason;
        return nullptr;
    }
    EXPECT_EQ(glfwGetError(&reason), GLFW_NO_ERROR) << "opening the window: " << reason;
    glfwMakeContextCurrent(window);
    const GLenum glew = glewInit();
    EXPECT_EQ(glew, GLEW_OK);
    return glew == GLEW_OK ? window : nullptr;
}

namespace {

// What `ask` returns in a new hidden window on `display`.
std::string askDriver(const std::string& display, const std::function<std::string()>& ask) {
    std::string answer = openViewerContext(display, false) != nullptr ? ask() : "";
    glfwTerminate();
    return answer;
}

} // namespace

std::string driverVersions(const std::string& display) {
    return askDriver(display, [] {
        return std::string(reinterpret_cast<const char*>(glGetString(GL_VERSION))) + "\n" +
               reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION)) + "\n";
    });
}

std::string driverBuild(const std::string& display, const std::string& vertexPath,
                        const std::string& fragmentPath) {
    return askDriver(display, [&] {
        constexpr GLsizei wholeLog = 1 << 20;
        const ProgramBuild built = buildProgram(vertexPath, fragmentPath, wholeLog);
        const char* const steps[] = {"ok", "vertex", "fragment", "link"}; // FailedStep's order
        return steps[static_cast<int>(built.failed)] + ("\n" + built.log);
    });
}
