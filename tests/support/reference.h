// An exact reference picture of the sponge, ray cast on the CPU from the sponge's definition.
#pragma once

#include "harness.h"

#include <glm/vec3.hpp>

#include <cstdint>
#include <limits>
#include <vector>

// Where the camera is and where it looks, as the viewer's camera state holds them.
struct Pose {
    glm::vec3 position{};
    float yaw = 0;
    float pitch = 0;
};

// What the design says of the scene, written here from it and not taken from the viewer, so
// that a wrong constant there shows: the fog colour a screenshot shows as the background, and
// the start pose, in the cavity looking along −z.
constexpr std::uint8_t fogRgb[3] = {237, 233, 232};
inline const Pose startPose{{0.0f, 0.0f, 3.0f}, 0.0f, 0.0f};

// A face of a leaf cube: the cube's centre and the face's outward normal (zero: no face).
struct Face {
    glm::vec3 cubeCentre{};
    glm::vec3 normal{};
};

// Eye-space depth (distance along the view axis) per pixel of the 800 × 600 view, or +infinity
// where the ray hits nothing between the near and far planes, and the face hit. Row 0 is the bottom
// row, as OpenGL reads pixels back.
struct DepthImage {
    std::vector<float> depth;    // along the view axis
    std::vector<float> distance; // from the eye, along the ray
    std::vector<Face> face;
};

constexpr float noHit = std::numeric_limits<float>::infinity();

// The reference picture of the 300-unit sponge seen from `pose` through the viewer's lens
// (70° vertical field of view, aspect 4:3).
DepthImage castSponge(const Pose& pose);

// Pixels that agree, out of those compared; silhouette and depth-edge pixels are not compared.
struct Agreement {
    long compared = 0;
    long agreed = 0;
    double fraction() const { return compared == 0 ? 0.0 : double(agreed) / double(compared); }
};

// Compares a read-back window-space depth buffer (bottom row first, 800 × 600) with the
// reference.
Agreement compareDepth(const DepthImage& reference, const std::vector<float>& depthBuffer);

// Compares a screenshot's lower-left 800 × 600 with the reference: a cube well inside the fog must
// differ from the fog colour, and a ray that misses or goes well past the fog end must show the fog
// colour, to 1 level.
Agreement compareCoverage(const DepthImage& reference, const RgbImage& screenshot);
