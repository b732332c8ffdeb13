// Scene rendering: the unit-cube mesh, the instance buffer, the viewport and the per-frame draw.
#pragma once

#include "camera/camera.h"
#include "sponge/sponge.h"

#include <GL/glew.h>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <array>
#include <vector>

// One vertex of the cube mesh: a corner of the unit cube and its face's outward normal.
struct CubeVertex {
    float x, y, z;
    float nx, ny, nz;
};

// The unit cube centred on the origin as 12 independent triangles, six vertices per face.
extern const std::array<CubeVertex, 36> cubeVertices;

// The cube vertex array and the vertex buffer that feeds it.
struct CubeMesh {
    GLuint vertexArray;
    GLuint vertexBuffer;
};

// The two uniform locations looked up once, right after the program is built.
struct CachedUniforms {
    GLint lightPos;
    GLint baseColor;
};

// Uploads `cubeVertices` and records attributes 0 (position) and 1 (normal).
CubeMesh createCubeMesh();

// Uploads every record to a storage buffer and binds it to storage binding point 0.
GLuint createInstanceBuffer(const std::vector<Instance>& instances);

CachedUniforms lookUpCachedUniforms(GLuint program);

// The window's first 800 × 600 units in framebuffer pixels, for a framebuffer of `framebuffer`
// pixels behind a window of `window` units (more pixels than units on a scaled desktop); a window
// with no size (minimised) keeps `current`.
glm::ivec2 viewportFor(glm::ivec2 framebuffer, glm::ivec2 window, glm::ivec2 current);

// Sets the viewport anew when the window's scale has changed it; a resize keeps it.
void fitViewportToScale(GLFWwindow* window, glm::ivec2& viewport);

// Sends the frame's shader inputs and draws `count` cubes with one instanced draw.
void drawFrame(GLuint program, CachedUniforms cached, const CameraFrame& frame,
               const glm::vec3& cameraPos, const glm::vec3& fogColor, GLuint vertexArray,
               GLsizei count);
