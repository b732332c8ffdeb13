// The shader program builder: reads, compiles and links the two stages.
#include "shader.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

// Prints a failure header and the driver's log, then ends the process with status 1.
[[noreturn]] void failWithLog(const char* header, const char* log) {
    std::cout << header << '\n' << log << '\n' << std::flush;
    std::exit(1);
}

} // namespace

std::string loadShaderSource(const std::string& path) {
    std::ifstream file(path);
    std::stringstream ss;
    ss << file.rdbuf();
    return ss.str();
}

GLuint compileShader(const std::string& source, GLenum stage) {
    const GLuint shader = glCreateShader(stage);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);

    GLint status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status != 0) {
        return shader;
    }
    char log[512] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    failWithLog("Shader compilation error:", log);
}

GLuint createProgram(const std::string& vertexPath, const std::string& fragmentPath) {
    // The vertex file is compiled before the fragment file is even opened.
    const GLuint vertexShader = compileShader(loadShaderSource(vertexPath), GL_VERTEX_SHADER);
    const GLuint fragmentShader = compileShader(loadShaderSource(fragmentPath), GL_FRAGMENT_SHADER);

    const GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);

    GLint status = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == 0) {
        char log[512] = {};
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        failWithLog("Program linking error:", log);
    }
    // The shaders stay attached and are freed together with the program.
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    return program;
}
