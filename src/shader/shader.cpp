// The shader program builder: reads, compiles and links the two stages.
#include "shader.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

// The viewer reads a log of at most 511 characters.
constexpr GLsizei viewerLogSize = 512;

// Prints a failure header and the driver's log, then ends the process with status 1.
[[noreturn]] void failWithLog(const char* header, const std::string& log) {
    std::cout << header << '\n' << log << '\n' << std::flush;
    std::exit(1);
}

// The step's outcome: the object and, when `status` says it failed, its info log, read by
// `getLog` into a buffer of `logSize` bytes.
template <typename GetLog>
BuildStep outcome(GLuint object, GLint status, GLsizei logSize, GetLog getLog) {
    if (status != 0) {
        return {object, true, {}};
    }
    std::string log(static_cast<size_t>(logSize), '\0');
    getLog(object, logSize, nullptr, log.data());
    // A driver that leaves out the terminating NUL still has its log printed, cut as if it were
    // there.
    log.resize(std::min(log.find('\0'), log.size() - 1));
    return {object, false, log};
}

} // namespace

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream ss;
    ss << file.rdbuf();
    return ss.str();
}

std::string loadShaderSource(const std::string& path) {
    return readFile(path);
}

BuildStep compileStage(const std::string& source, GLenum stage, GLsizei logSize) {
    const GLuint shader = glCreateShader(stage);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);

    GLint status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    return outcome(shader, status, logSize, glGetShaderInfoLog);
}

BuildStep linkStages(GLuint vertexShader, GLuint fragmentShader, GLsizei logSize) {
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);

    GLint status = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    return outcome(program, status, logSize, glGetProgramInfoLog);
}

ProgramBuild buildProgram(const std::string& vertexPath, const std::string& fragmentPath,
                          GLsizei logSize) {
    // The vertex file is compiled before the fragment file is even opened.
    const BuildStep vertex = compileStage(loadShaderSource(vertexPath), GL_VERTEX_SHADER, logSize);
    if (!vertex.ok) {
        return {0, FailedStep::Vertex, vertex.log};
    }
    const BuildStep fragment =
        compileStage(loadShaderSource(fragmentPath), GL_FRAGMENT_SHADER, logSize);
    if (!fragment.ok) {
        return {0, FailedStep::Fragment, fragment.log};
    }
    const BuildStep linked = linkStages(vertex.object, fragment.object, logSize);
    if (!linked.ok) {
        return {0, FailedStep::Link, linked.log};
    }
    // The shaders stay attached and are freed together with the program.
    glDeleteShader(vertex.object);
    glDeleteShader(fragment.object);
    return {linked.object, FailedStep::None, {}};
}

GLuint createProgram(const std::string& vertexPath, const std::string& fragmentPath) {
    const ProgramBuild built = buildProgram(vertexPath, fragmentPath, viewerLogSize);
    if (built.failed == FailedStep::Link) {
        failWithLog("Program linking error:", built.log);
    }
    if (built.failed != FailedStep::None) {
        failWithLog("Shader compilation error:", built.log);
    }
    return built.program;
}
