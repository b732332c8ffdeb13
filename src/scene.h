// Fixed numbers of the scene, one home each: the view's size, the sponge's size, the fog colour,
// the camera's start, speeds and pitch limit. The view's size is also readable from C (the frame
// probe).
#pragma once

// The window's size in units, the viewport's in pixels at scale 1 and the projection's shape.
enum { viewWidth = 800, viewHeight = 600 };

#ifdef __cplusplus
#include <glm/trigonometric.hpp>
#include <glm/vec3.hpp>

namespace scene {

// The sponge: a root cube of this edge, centred on the origin, split this many levels deep. The
// vertex shader's grid (81 cells a side over 300 units) follows from them.
constexpr float spongeEdge = 300.0f;
constexpr int spongeDepth = 4;

// The pale background, which the cubes fade into: the clear colour and the shaders' "fogColor".
inline const glm::vec3 fogColor = glm::vec3(237.0f, 233.0f, 232.0f) / 255.0f;

// The camera starts in the empty cavity at the heart of the sponge, looking along −z.
inline const glm::vec3 startPosition{0.0f, 0.0f, 3.0f};
constexpr float startYaw = 0.0f;   // radians, grows to the right
constexpr float startPitch = 0.0f; // radians, grows upward
constexpr float moveSpeed = 40.0f; // world units per second
constexpr float turnSpeed = 1.5f;  // radians per second
// Just short of straight up or down: 89°.
inline const float pitchLimit = glm::radians(89.0f);

} // namespace scene
#endif
