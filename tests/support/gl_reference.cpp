// The driver's own answers, asked apart from the viewer in a hidden window and context that the
// viewer's own code opens in the test process.
#include "harness.h"
#include "main/window.h"
#include "shader/shader.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <functional>

namespace {

// What `ask` returns in a new hidden window on `display`.
std::string askDriver(const std::string& display, const std::function<std::string()>& ask) {
    setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(glfwInit(), GLFW_TRUE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    const char* reason = nullptr;
    GLFWwindow* window = openWindow(reason);
    EXPECT_NE(window, nullptr) << reason;
    std::string answer;
    if (window != nullptr) {
        glfwMakeContextCurrent(window);
        EXPECT_EQ(glewInit(), GLEW_OK);
        answer = ask();
    }
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
    return askDriver(display, [&]() -> std::string {
        constexpr GLsizei wholeLog = 1 << 20;
        const BuildStep vertex = compileStage(readFile(vertexPath), GL_VERTEX_SHADER, wholeLog);
        if (!vertex.ok) {
            return "vertex\n" + vertex.log;
        }
        const BuildStep fragment =
            compileStage(readFile(fragmentPath), GL_FRAGMENT_SHADER, wholeLog);
        if (!fragment.ok) {
            return "fragment\n" + fragment.log;
        }
        const BuildStep link = linkStages(vertex.object, fragment.object, wholeLog);
        return link.ok ? "ok\n" : "link\n" + link.log;
    });
}
