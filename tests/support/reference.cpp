// The reference ray caster: a grid walk through the 81³ leaf cells of the sponge.
#include "reference.h"

#include <glm/geometric.hpp>
#include <glm/vec3.hpp>

#include <algorithm>
#include <cmath>

namespace {

constexpr double half = 150.0;
constexpr int cells = 81;
constexpr double cell = 2.0 * half / cells;
constexpr double nearPlane = 0.1;
constexpr double farPlane = 500.0;
constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr int width = 800;
constexpr int height = 600;

int pixelIndex(int column, int row) {
    return row * width + column;
}

// True when the leaf cell (0..80 on each axis) of the level-4 sponge is solid: no level
// of its base-3 digits has two or more digits equal to 1.
bool spongeCellSolid(int x, int y, int z) {
    for (int level = 0; level < 4; ++level) {
        if ((x % 3 == 1) + (y % 3 == 1) + (z % 3 == 1) >= 2) {
            return false;
        }
        x /= 3;
        y /= 3;
        z /= 3;
    }
    return true;
}

// Distance along the unit ray to the first solid cell, or infinity; `face` gets the face it enters
// that cell by.
double castRay(const glm::dvec3& origin, const glm::dvec3& dir, Face& face) {
    double enter = 0.0;
    double leave = infinity;
    int crossed = 0; // the axis of the last cell wall crossed
    for (int a = 0; a < 3; ++a) {
        if (std::abs(dir[a]) < 1e-12) {
            if (std::abs(origin[a]) > half) {
                return infinity;
            }
            continue;
        }
        double t0 = (-half - origin[a]) / dir[a];
        double t1 = (half - origin[a]) / dir[a];
        if (t0 > t1) {
            std::swap(t0, t1);
        }
        crossed = t0 > enter ? a : crossed;
        enter = std::max(enter, t0);
        leave = std::min(leave, t1);
    }
    if (enter > leave) {
        return infinity;
    }
    const glm::dvec3 start = origin + dir * enter;
    int index[3];
    int step[3];
    double next[3];
    double delta[3];
    for (int a = 0; a < 3; ++a) {
        index[a] = std::clamp(static_cast<int>(std::floor((start[a] + half) / cell)), 0, cells - 1);
        step[a] = dir[a] > 0 ? 1 : -1;
        const double boundary = -half + (index[a] + (dir[a] > 0 ? 1 : 0)) * cell;
        next[a] = std::abs(dir[a]) < 1e-12 ? infinity : (boundary - origin[a]) / dir[a];
        delta[a] = std::abs(dir[a]) < 1e-12 ? infinity : cell / std::abs(dir[a]);
    }
    double t = enter;
    while (true) {
        if (spongeCellSolid(index[0], index[1], index[2])) {
            for (int axis = 0; axis < 3; ++axis) {
                face.cubeCentre[axis] = static_cast<float>(-half + (index[axis] + 0.5) * cell);
            }
            face.normal[crossed] = static_cast<float>(-step[crossed]);
            return t;
        }
        const int a = next[0] < next[1] ? (next[0] < next[2] ? 0 : 2) : (next[1] < next[2] ? 1 : 2);
        crossed = a;
        t = next[a];
        index[a] += step[a];
        if (index[a] < 0 || index[a] >= cells) {
            return infinity;
        }
        next[a] += delta[a];
    }
}

bool isFog(const std::uint8_t* rgb) {
    return std::abs(rgb[0] - fogRgb[0]) <= 1 && std::abs(rgb[1] - fogRgb[1]) <= 1 &&
           std::abs(rgb[2] - fogRgb[2]) <= 1;
}

// Visits the interior pixels whose eight neighbours all `agree` with them.
template <typename Agree, typename Visit> void forSettledPixels(Agree agree, Visit visit) {
    for (int row = 1; row + 1 < height; ++row) {
        for (int column = 1; column + 1 < width; ++column) {
            const int i = pixelIndex(column, row);
            bool settled = true;
            for (int dr = -1; dr <= 1 && settled; ++dr) {
                for (int dc = -1; dc <= 1 && settled; ++dc) {
                    settled = agree(i, pixelIndex(column + dc, row + dr));
                }
            }
            if (settled) {
                visit(column, row, i);
            }
        }
    }
}

} // namespace

DepthImage castSponge(const Pose& pose) {
    const double yaw = pose.yaw;
    const double pitch = pose.pitch;
    const glm::dvec3 front(std::sin(yaw) * std::cos(pitch), std::sin(pitch),
                           -std::cos(pitch) * std::cos(yaw));
    const glm::dvec3 right = glm::normalize(glm::cross(front, glm::dvec3(0, 1, 0)));
    const glm::dvec3 up = glm::cross(right, front);
    const double tanHalf = std::tan(35.0 * M_PI / 180.0);
    const double aspect = double(width) / height;

    DepthImage image;
    image.depth.resize(size_t{width} * height);
    image.distance.resize(image.depth.size());
    image.face.resize(image.depth.size());
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const double x = (column + 0.5) / (width / 2.0) - 1.0;
            const double y = (row + 0.5) / (height / 2.0) - 1.0;
            const glm::dvec3 dir =
                glm::normalize(front + x * tanHalf * aspect * right + y * tanHalf * up);
            const double t =
                castRay(glm::dvec3(pose.position), dir, image.face[pixelIndex(column, row)]);
            const double depth = t * glm::dot(dir, front);
            const bool seen = t != infinity && depth >= nearPlane && depth <= farPlane;
            image.depth[pixelIndex(column, row)] = seen ? static_cast<float>(depth) : noHit;
            image.distance[pixelIndex(column, row)] = seen ? static_cast<float>(t) : noHit;
        }
    }
    return image;
}

Agreement compareDepth(const DepthImage& reference, const std::vector<float>& depthBuffer) {
    const auto& depth = reference.depth;
    const auto sameSurface = [&](int a, int b) {
        if (depth[a] == noHit || depth[b] == noHit) {
            return depth[a] == depth[b];
        }
        return std::abs(depth[a] - depth[b]) <= 0.05f * depth[a] + 0.1f;
    };
    Agreement agreement;
    forSettledPixels(sameSurface, [&](int, int, int i) {
        const double ndc = 2.0 * depthBuffer[i] - 1.0;
        const double eye = depthBuffer[i] >= 1.0f
                               ? infinity
                               : 2.0 * farPlane * nearPlane /
                                     (farPlane + nearPlane - ndc * (farPlane - nearPlane));
        ++agreement.compared;
        if (depth[i] == noHit ? eye == infinity
                              : std::abs(eye - depth[i]) <= 0.01 * depth[i] + 0.05) {
            ++agreement.agreed;
        }
    });
    return agreement;
}

Agreement compareCoverage(const DepthImage& reference, const RgbImage& screenshot) {
    // 1: a cube well inside the fog, 0: nothing or only fog, -1: too close to call.
    std::vector<int> expected(reference.distance.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const float d = reference.distance[i];
        expected[i] = d < 150.0f ? 1 : (d > 215.0f ? 0 : -1);
    }
    Agreement agreement;
    forSettledPixels([&](int a, int b) { return expected[a] == expected[b] && expected[a] >= 0; },
                     [&](int column, int row, int i) {
                         const std::uint8_t* pixel =
                             screenshot.at(column, screenshot.height - 1 - row);
                         ++agreement.compared;
                         if ((expected[i] == 1) != isFog(pixel)) {
                             ++agreement.agreed;
                         }
                     });
    return agreement;
}
