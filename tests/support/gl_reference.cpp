// Test aid: the driver's own answers, obtained apart from the viewer in a window and context the
// viewer's own code opens, hidden. "gl_reference versions" prints GL_VERSION and
// GL_SHADING_LANGUAGE_VERSION, one a line; "gl_reference build VERTEX FRAGMENT" compiles and
// links the two files as the viewer's builder does and prints "ok", or the failing step
// ("vertex", "fragment" or "link") on a line of its own followed by the driver's info log, read
// into a buffer far larger than the viewer's, so uncut.
#include "main/window.h"
#include "shader/shader.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <string>

namespace {

constexpr GLsizei wholeLog = 1 << 20;

// Prints the failing step and its log, or nothing when the step succeeded.
bool failed(const char* step, const BuildStep& result) {
    if (!result.ok) {
        std::printf("%s\n%s", step, result.log.c_str());
    }
    return !result.ok;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "versions" && !(mode == "build" && argc == 4)) {
        std::fprintf(stderr, "usage: gl_reference versions | build VERTEX FRAGMENT\n");
        return 2;
    }
    glfwInit();
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    const char* reason = nullptr;
    GLFWwindow* window = openWindow(reason);
    if (window == nullptr) {
        std::fprintf(stderr, "gl_reference: no OpenGL 4.3 core context: %s\n",
                     reason != nullptr ? reason : "no reason given");
        return 1;
    }
    glfwMakeContextCurrent(window);
    glewInit();

    if (mode == "versions") {
        std::printf("%s\n%s\n", reinterpret_cast<const char*>(glGetString(GL_VERSION)),
                    reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION)));
        return 0;
    }
    const BuildStep vertex = compileStage(readFile(argv[2]), GL_VERTEX_SHADER, wholeLog);
    if (failed("vertex", vertex)) {
        return 0;
    }
    const BuildStep fragment = compileStage(readFile(argv[3]), GL_FRAGMENT_SHADER, wholeLog);
    if (failed("fragment", fragment) ||
        failed("link", linkStages(vertex.object, fragment.object, wholeLog))) {
        return 0;
    }
    std::printf("ok\n");
    return 0;
}
