// The cube mesh table, checked by its geometry, not against a copy of itself; and the viewport.
#include "render/render.h"

#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

glm::vec3 position(const CubeVertex& v) {
    return {v.x, v.y, v.z};
}
glm::vec3 normal(const CubeVertex& v) {
    return {v.nx, v.ny, v.nz};
}

TEST(CubeMesh, IsTheUnitCubeFaceByFace) {
    ASSERT_EQ(cubeVertices.size(), 36U);
    ASSERT_EQ(sizeof cubeVertices, 864U);
    const glm::vec3 faceNormals[6] = {{0, 0, 1}, {0, 0, -1}, {-1, 0, 0},
                                      {1, 0, 0}, {0, 1, 0},  {0, -1, 0}};
    for (int face = 0; face < 6; ++face) {
        const CubeVertex* v = &cubeVertices[static_cast<size_t>(face) * 6];
        std::set<std::tuple<float, float, float>> corners;
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(normal(v[i]), faceNormals[face]) << "face " << face << " vertex " << i;
            for (const float c : {v[i].x, v[i].y, v[i].z}) {
                EXPECT_EQ(std::abs(c), 0.5f);
            }
            EXPECT_EQ(glm::dot(position(v[i]), faceNormals[face]), 0.5f) << "off its face";
            corners.emplace(v[i].x, v[i].y, v[i].z);
        }
        EXPECT_EQ(corners.size(), 4U) << "face " << face << " does not use its four corners";
        // A B C C D A: the triangles share the diagonal A–C and each covers half the face.
        EXPECT_EQ(position(v[2]), position(v[3]));
        EXPECT_EQ(position(v[0]), position(v[5]));
        for (const int t : {0, 3}) {
            const glm::vec3 area = glm::cross(position(v[t + 1]) - position(v[t]),
                                              position(v[t + 2]) - position(v[t]));
            EXPECT_FLOAT_EQ(glm::length(area), 1.0f) << "triangle " << t / 3 << " of face " << face;
        }
        EXPECT_EQ(glm::length(position(v[2]) - position(v[0])), std::sqrt(2.0f))
            << "not a diagonal";
    }
}

// Framebuffer, window, viewport: scaled by 2 and by 1.5, resized at scale 2; at 125% and 175% with
// odd window sizes, whose pixels the compositor rounds, so that the viewport is rounded to the
// nearest pixel, not down or up; minimised.
TEST(Viewport, CoversTheWindowsFirst800By600UnitsAtAnyScale) {
    const glm::ivec2 rows[][3] = {
        {{800, 600}, {800, 600}, {800, 600}},   {{1600, 1200}, {800, 600}, {1600, 1200}},
        {{1200, 900}, {800, 600}, {1200, 900}}, {{2000, 1004}, {1000, 502}, {1600, 1200}},
        {{1001, 751}, {801, 601}, {1000, 750}}, {{1405, 1052}, {803, 601}, {1400, 1050}},
        {{0, 0}, {0, 0}, {1234, 567}}};
    for (const auto& row : rows) {
        EXPECT_EQ(viewportFor(row[0], row[1], {1234, 567}), row[2]) << row[1].x << " units";
    }
}

} // namespace
