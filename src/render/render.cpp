// Scene rendering: puts the sponge on the GPU once, fits the viewport and draws it every frame.
#include "render.h"
#include "scene.h"

#include <GLFW/glfw3.h>
#include <glm/gtc/type_ptr.hpp>

#include <cmath>
#include <cstddef>

// Position, then normal. Each face is its corners A, B, C, C, D, A: two triangles
// sharing the diagonal A–C.
// clang-format off
const std::array<CubeVertex, 36> cubeVertices = {{
    // +z face
    {-0.5f, -0.5f,  0.5f,  0.0f,  0.0f,  1.0f},
    { 0.5f, -0.5f,  0.5f,  0.0f,  0.0f,  1.0f},
    { 0.5f,  0.5f,  0.5f,  0.0f,  0.0f,  1.0f},
    { 0.5f,  0.5f,  0.5f,  0.0f,  0.0f,  1.0f},
    {-0.5f,  0.5f,  0.5f,  0.0f,  0.0f,  1.0f},
    {-0.5f, -0.5f,  0.5f,  0.0f,  0.0f,  1.0f},
    // -z face
    {-0.5f, -0.5f, -0.5f,  0.0f,  0.0f, -1.0f},
    { 0.5f, -0.5f, -0.5f,  0.0f,  0.0f, -1.0f},
    { 0.5f,  0.5f, -0.5f,  0.0f,  0.0f, -1.0f},
    { 0.5f,  0.5f, -0.5f,  0.0f,  0.0f, -1.0f},
    {-0.5f,  0.5f, -0.5f,  0.0f,  0.0f, -1.0f},
    {-0.5f, -0.5f, -0.5f,  0.0f,  0.0f, -1.0f},
    // -x face
    {-0.5f,  0.5f,  0.5f, -1.0f,  0.0f,  0.0f},
    {-0.5f,  0.5f, -0.5f, -1.0f,  0.0f,  0.0f},
    {-0.5f, -0.5f, -0.5f, -1.0f,  0.0f,  0.0f},
    {-0.5f, -0.5f, -0.5f, -1.0f,  0.0f,  0.0f},
    {-0.5f, -0.5f,  0.5f, -1.0f,  0.0f,  0.0f},
    {-0.5f,  0.5f,  0.5f, -1.0f,  0.0f,  0.0f},
    // +x face
    { 0.5f,  0.5f,  0.5f,  1.0f,  0.0f,  0.0f},
    { 0.5f,  0.5f, -0.5f,  1.0f,  0.0f,  0.0f},
    { 0.5f, -0.5f, -0.5f,  1.0f,  0.0f,  0.0f},
    { 0.5f, -0.5f, -0.5f,  1.0f,  0.0f,  0.0f},
    { 0.5f, -0.5f,  0.5f,  1.0f,  0.0f,  0.0f},
    { 0.5f,  0.5f,  0.5f,  1.0f,  0.0f,  0.0f},
    // +y face
    {-0.5f,  0.5f, -0.5f,  0.0f,  1.0f,  0.0f},
    { 0.5f,  0.5f, -0.5f,  0.0f,  1.0f,  0.0f},
    { 0.5f,  0.5f,  0.5f,  0.0f,  1.0f,  0.0f},
    { 0.5f,  0.5f,  0.5f,  0.0f,  1.0f,  0.0f},
    {-0.5f,  0.5f,  0.5f,  0.0f,  1.0f,  0.0f},
    {-0.5f,  0.5f, -0.5f,  0.0f,  1.0f,  0.0f},
    // -y face
    {-0.5f, -0.5f, -0.5f,  0.0f, -1.0f,  0.0f},
    { 0.5f, -0.5f, -0.5f,  0.0f, -1.0f,  0.0f},
    { 0.5f, -0.5f,  0.5f,  0.0f, -1.0f,  0.0f},
    { 0.5f, -0.5f,  0.5f,  0.0f, -1.0f,  0.0f},
    {-0.5f, -0.5f,  0.5f,  0.0f, -1.0f,  0.0f},
    {-0.5f, -0.5f, -0.5f,  0.0f, -1.0f,  0.0f},
}};
// clang-format on

static_assert(sizeof(CubeVertex) == 24, "a cube vertex is six packed floats");

CubeMesh createCubeMesh() {
    CubeMesh mesh{};
    glGenVertexArrays(1, &mesh.vertexArray);
    glGenBuffers(1, &mesh.vertexBuffer);

    glBindVertexArray(mesh.vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, mesh.vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof cubeVertices, cubeVertices.data(), GL_STATIC_DRAW);

    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(CubeVertex),
                          // NOLINTNEXTLINE(performance-no-int-to-ptr): GL takes offsets as pointers
                          reinterpret_cast<const void*>(offsetof(CubeVertex, x)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(CubeVertex),
                          // NOLINTNEXTLINE(performance-no-int-to-ptr): GL takes offsets as pointers
                          reinterpret_cast<const void*>(offsetof(CubeVertex, nx)));

    // The vertex buffer stays bound to GL_ARRAY_BUFFER.
    glBindVertexArray(0);
    return mesh;
}

// The list is named `instances` by the design, as is the one global list that start-up passes.
// cppcheck-suppress shadowVariable
GLuint createInstanceBuffer(const std::vector<Instance>& instances) {
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, buffer);
    glBufferData(GL_SHADER_STORAGE_BUFFER,
                 static_cast<GLsizeiptr>(instances.size() * sizeof(Instance)), instances.data(),
                 GL_STATIC_DRAW);
    // The shaders find the records at storage binding 0 for the whole run.
    glBindBufferBase(GL_SHADER_STORAGE_BUFFER, 0, buffer);
    return buffer;
}

CachedUniforms lookUpCachedUniforms(GLuint program) {
    CachedUniforms cached{};
    cached.lightPos = glGetUniformLocation(program, "lightPos");
    cached.baseColor = glGetUniformLocation(program, "baseColor");
    return cached;
}

glm::ivec2 viewportFor(glm::ivec2 framebuffer, glm::ivec2 window, glm::ivec2 current) {
    if (window.x <= 0 || window.y <= 0) {
        return current;
    }
    return {static_cast<int>(std::lround(double{viewWidth} * framebuffer.x / window.x)),
            static_cast<int>(std::lround(double{viewHeight} * framebuffer.y / window.y))};
}

void fitViewportToScale(GLFWwindow* window, glm::ivec2& viewport) {
    glm::ivec2 framebuffer;
    glm::ivec2 size;
    glfwGetFramebufferSize(window, &framebuffer.x, &framebuffer.y);
    glfwGetWindowSize(window, &size.x, &size.y);
    const glm::ivec2 fitted = viewportFor(framebuffer, size, viewport);
    if (fitted != viewport) {
        viewport = fitted;
        glViewport(0, 0, viewport.x, viewport.y);
    }
}

void drawFrame(GLuint program, CachedUniforms cached, const CameraFrame& frame,
               const glm::vec3& cameraPos, const glm::vec3& fogColor, GLuint vertexArray,
               GLsizei count) {
    const glm::vec3 lightPos(0.0f, 0.0f, 10.0f);
    const glm::vec3 baseColor(0.74f, 0.74f, 0.74f);

    glUseProgram(program);
    glUniform3fv(cached.lightPos, 1, glm::value_ptr(lightPos));
    glUniform3fv(cached.baseColor, 1, glm::value_ptr(baseColor));
    glUniformMatrix4fv(glGetUniformLocation(program, "model"), 1, GL_FALSE,
                       glm::value_ptr(frame.model));
    glUniformMatrix4fv(glGetUniformLocation(program, "view"), 1, GL_FALSE,
                       glm::value_ptr(frame.view));
    glUniformMatrix4fv(glGetUniformLocation(program, "projection"), 1, GL_FALSE,
                       glm::value_ptr(frame.projection));
    glUniform3fv(glGetUniformLocation(program, "cameraPos"), 1, glm::value_ptr(cameraPos));
    glUniform3fv(glGetUniformLocation(program, "fogColor"), 1, glm::value_ptr(fogColor));
    glUniform1f(glGetUniformLocation(program, "fogStart"), 10.0f);
    glUniform1f(glGetUniformLocation(program, "fogEnd"), 200.0f);

    glBindVertexArray(vertexArray);
    glDrawArraysInstanced(GL_TRIANGLES, 0, 36, count);
}
