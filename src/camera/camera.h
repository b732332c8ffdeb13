// The fly camera: its state, the matrices derived from it and its keyboard control.
#pragma once

#include "scene.h"

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

struct GLFWwindow;

// The camera state; as made, it starts in the cavity looking along −z (scene.h).
struct FlyCamera {
    glm::vec3 position = scene::startPosition;
    float yaw = scene::startYaw;
    float pitch = scene::startPitch;
    float moveSpeed = scene::moveSpeed;
    float turnSpeed = scene::turnSpeed;
};

// What one frame derives from the camera state.
struct CameraFrame {
    glm::vec3 front;
    glm::vec3 right;
    glm::mat4 model;
    glm::mat4 view;
    glm::mat4 projection;
};

// Which of the camera's keys are held down.
struct CameraKeys {
    bool forward, back, left, right;
    bool turnLeft, turnRight, turnUp, turnDown;
};

// Clamps the pitch in the state, then derives the frame's vectors and matrices.
CameraFrame updateCameraFrame(FlyCamera& camera);

// Moves and turns the camera for `dt` seconds of the held keys, along the frame's vectors.
void steerCamera(FlyCamera& camera, const CameraKeys& keys, float dt, const CameraFrame& frame);

// Reads W, A, S, D and the arrow keys of `window` and steers the camera by them.
void applyCameraKeys(FlyCamera& camera, GLFWwindow* window, float dt, const CameraFrame& frame);
