// The shader program builder: two GLSL files in, one linked program out, or exit(1).
#pragma once

#include <GL/glew.h>

#include <string>

// The whole content of the file at `path`; empty when it cannot be read.
std::string loadShaderSource(const std::string& path);

// A compiled shader object of `stage`; prints the driver's log and exits with 1 on failure.
GLuint compileShader(const std::string& source, GLenum stage);

// A linked program from the two files; prints the driver's log and exits with 1 on failure.
GLuint createProgram(const std::string& vertexPath, const std::string& fragmentPath);
