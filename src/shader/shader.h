// The shader program builder: two GLSL files in, one linked program out, or exit(1).
#pragma once

#include <GL/glew.h>

#include <string>

// The whole content of the file at `path`; empty when it cannot be read.
std::string readFile(const std::string& path);

// The text of a shader file: the whole file, as readFile reads it.
std::string loadShaderSource(const std::string& path);

// One step of building a program: the shader or program object, whether the step succeeded and,
// when it did not, the driver's info log, read into a buffer of `logSize` bytes (so cut to
// logSize - 1 characters).
struct BuildStep {
    GLuint object = 0;
    bool ok = false;
    std::string log;
};

// Compiles `source`, one zero-terminated string, as a shader of `stage`.
BuildStep compileStage(const std::string& source, GLenum stage, GLsizei logSize);

// Links a program of the two compiled shaders, the vertex one attached first.
BuildStep linkStages(GLuint vertexShader, GLuint fragmentShader, GLsizei logSize);

// Where building a program from the two files stopped: the step that failed, or None.
enum class FailedStep { None, Vertex, Fragment, Link };

// A program built from two files: the linked program, or the step that failed and its log.
struct ProgramBuild {
    GLuint program = 0;
    FailedStep failed = FailedStep::None;
    std::string log;
};

// Compiles the vertex file, only then reads and compiles the fragment file, and links the two,
// stopping at the first step that fails; logs are read as compileStage reads them. After a
// successful link the two shader objects are deleted, vertex first.
ProgramBuild buildProgram(const std::string& vertexPath, const std::string& fragmentPath,
                          GLsizei logSize);

// A linked program from the two files; prints the driver's log and exits with 1 on failure.
GLuint createProgram(const std::string& vertexPath, const std::string& fragmentPath);
