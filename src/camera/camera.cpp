// The fly camera: pitch clamp, direction vectors, matrices and keyboard steering.
#include "camera.h"
#include "scene.h"

#include <GLFW/glfw3.h>
#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <cmath>

namespace {

using scene::pitchLimit;
const glm::vec3 worldUp(0.0f, 1.0f, 0.0f);
const float fieldOfView = glm::radians(70.0f);
// Fixed, whatever the window's size.
const float aspectRatio = static_cast<float>(viewWidth) / static_cast<float>(viewHeight);
const float nearPlane = 0.1f;
const float farPlane = 500.0f;

} // namespace

CameraFrame updateCameraFrame(FlyCamera& camera) {
    if (camera.pitch > pitchLimit) {
        camera.pitch = pitchLimit;
    }
    if (camera.pitch < -pitchLimit) {
        camera.pitch = -pitchLimit;
    }

    // The trigonometry runs in double precision; the vectors are stored in float.
    const double yaw = camera.yaw;
    const double pitch = camera.pitch;
    CameraFrame frame{};
    frame.front = glm::normalize(glm::vec3(static_cast<float>(std::sin(yaw) * std::cos(pitch)),
                                           static_cast<float>(std::sin(pitch)),
                                           static_cast<float>(-std::cos(pitch) * std::cos(yaw))));
    // Already of unit length: the normalised cross product of front and world up.
    frame.right =
        glm::vec3(static_cast<float>(std::cos(yaw)), 0.0f, static_cast<float>(std::sin(yaw)));
    frame.model = glm::mat4(1.0f);
    frame.view = glm::lookAt(camera.position, camera.position + frame.front, worldUp);
    frame.projection = glm::perspective(fieldOfView, aspectRatio, nearPlane, farPlane);
    return frame;
}

void steerCamera(FlyCamera& camera, const CameraKeys& keys, float dt, const CameraFrame& frame) {
    const glm::vec3 ahead = frame.front * camera.moveSpeed;
    const glm::vec3 aside = frame.right * camera.moveSpeed;
    const float turn = camera.turnSpeed * dt;
    if (keys.forward) {
        camera.position += ahead * dt;
    }
    if (keys.back) {
        camera.position -= ahead * dt;
    }
    if (keys.left) {
        camera.position -= aside * dt;
    }
    if (keys.right) {
        camera.position += aside * dt;
    }
    if (keys.turnLeft) {
        camera.yaw -= turn;
    }
    if (keys.turnRight) {
        camera.yaw += turn;
    }
    if (keys.turnUp) {
        camera.pitch += turn;
    }
    if (keys.turnDown) {
        camera.pitch -= turn;
    }
}

void applyCameraKeys(FlyCamera& camera, GLFWwindow* window, float dt, const CameraFrame& frame) {
    const auto held = [window](int key) { return glfwGetKey(window, key) == GLFW_PRESS; };
    const CameraKeys keys{held(GLFW_KEY_W),  held(GLFW_KEY_S),    held(GLFW_KEY_A),
                          held(GLFW_KEY_D),  held(GLFW_KEY_LEFT), held(GLFW_KEY_RIGHT),
                          held(GLFW_KEY_UP), held(GLFW_KEY_DOWN)};
    steerCamera(camera, keys, dt, frame);
}
