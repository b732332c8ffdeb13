// Test aid: the driver's own answers, obtained apart from the viewer in a context made with
// the same hints. "gl_reference versions" prints GL_VERSION and GL_SHADING_LANGUAGE_VERSION,
// one a line; "gl_reference build VERTEX FRAGMENT" compiles and links the two files as the
// viewer would and prints "ok", or the failing step ("vertex", "fragment" or "link") on a
// line of its own followed by the driver's whole, uncut info log.
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Read as the viewer reads: a directory or a missing file gives empty text.
std::string readFile(const char* path) {
    std::ifstream file(path);
    std::stringstream ss;
    ss << file.rdbuf();
    return ss.str();
}

// Prints the failing step and the object's whole info log, then ends the helper.
template <typename GetParameter, typename GetLog>
[[noreturn]] void printWholeLog(const char* step, GLuint object, GetParameter getParameter,
                                GetLog getLog) {
    GLint length = 0;
    getParameter(object, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(static_cast<size_t>(length) + 1);
    getLog(object, length + 1, nullptr, log.data());
    std::printf("%s\n%s", step, log.data());
    std::exit(0);
}

// Shaders take one zero-terminated string, so the text ends at the first NUL byte.
GLuint compile(const std::string& text, GLenum stage, const char* step) {
    const GLuint shader = glCreateShader(stage);
    const char* source = text.c_str();
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == 0) {
        printWholeLog(step, shader, glGetShaderiv, glGetShaderInfoLog);
    }
    return shader;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "versions" && !(mode == "build" && argc == 4)) {
        std::fprintf(stderr, "usage: gl_reference versions | build VERTEX FRAGMENT\n");
        return 2;
    }
    glfwInit();
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* window = glfwCreateWindow(800, 600, "gl_reference", nullptr, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "gl_reference: no OpenGL 4.3 core context\n");
        return 1;
    }
    glfwMakeContextCurrent(window);
    glewInit();

    if (mode == "versions") {
        std::printf("%s\n%s\n", reinterpret_cast<const char*>(glGetString(GL_VERSION)),
                    reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION)));
        return 0;
    }
    const GLuint vertex = compile(readFile(argv[2]), GL_VERTEX_SHADER, "vertex");
    const GLuint fragment = compile(readFile(argv[3]), GL_FRAGMENT_SHADER, "fragment");
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    GLint status = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == 0) {
        printWholeLog("link", program, glGetProgramiv, glGetProgramInfoLog);
    }
    std::printf("ok\n");
    return 0;
}
