// What the tests know of the scene the viewer draws: the fog colour, the start pose and the
// camera's speeds and pitch limit.
#pragma once

#include <glm/vec3.hpp>

#include <cstdint>

// Where the camera is and where it looks, as the viewer's camera state holds them.
struct Pose {
    glm::vec3 position;
    float yaw;
    float pitch;
};

// The fog colour, which is also the clear colour: as a screenshot shows it and as GL gets it.
constexpr std::uint8_t fogRgb[3] = {237, 233, 232};
inline const glm::vec3 fogColor = glm::vec3(237.0f, 233.0f, 232.0f) / 255.0f;

inline const Pose startPose{{0.0f, 0.0f, 3.0f}, 0.0f, 0.0f};
constexpr float moveSpeed = 40.0f;      // units a second
constexpr float turnSpeed = 1.5f;       // radians a second
constexpr float pitchLimit = 1.553343f; // 89°, in radians
