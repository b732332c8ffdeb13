// The sponge generator: record counts, order, sizes, holes and bounds.
#include "sponge/sponge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>

namespace {

std::vector<Instance> generate(int level, Instance root, int maxLevel) {
    instances.clear();
    corvane(level, root, maxLevel);
    return instances;
}

TEST(Sponge, LevelZeroIsTheRootItself) {
    const auto cubes = generate(0, {1.0f, 2.0f, 3.0f, 300.0f}, 0);
    ASSERT_EQ(cubes.size(), 1U);
    EXPECT_EQ(cubes[0].v, glm::vec4(1.0f, 2.0f, 3.0f, 300.0f));
}

TEST(Sponge, AStartPastTheLastLevelGivesTheCubeItself) {
    const auto cubes = generate(5, {0.0f, 0.0f, 0.0f, 300.0f}, 4);
    ASSERT_EQ(cubes.size(), 1U);
    EXPECT_EQ(cubes[0].v.w, 300.0f);
}

TEST(Sponge, OneLevelKeepsCornersAndEdgesOnly) {
    const auto cubes = generate(0, {0.0f, 0.0f, 0.0f, 300.0f}, 1);
    ASSERT_EQ(cubes.size(), 20U);
    EXPECT_EQ(cubes.front().v, glm::vec4(-100.0f, -100.0f, -100.0f, 100.0f));
    EXPECT_EQ(cubes.back().v, glm::vec4(100.0f, 100.0f, 100.0f, 100.0f));
    for (const Instance& cube : cubes) {
        const int middles = (cube.v.x == 0.0f) + (cube.v.y == 0.0f) + (cube.v.z == 0.0f);
        EXPECT_LT(middles, 2) << "a hole was filled at " << cube.v.x << ", " << cube.v.y << ", "
                              << cube.v.z;
        EXPECT_EQ(cube.v.w, 100.0f);
    }
    // i-major order: x changes slowest, z fastest.
    EXPECT_EQ(cubes[1].v, glm::vec4(-100.0f, -100.0f, 0.0f, 100.0f));
    EXPECT_EQ(cubes[3].v, glm::vec4(-100.0f, 0.0f, -100.0f, 100.0f));
}

TEST(Sponge, TheFullRunGivesDistinctEqualLeavesInsideTheRoot) {
    const auto cubes = generate(0, {0.0f, 0.0f, 0.0f, 300.0f}, 4);
    ASSERT_EQ(cubes.size(), 160000U);

    float leafEdge = 300.0f;
    for (int level = 0; level < 4; ++level) {
        leafEdge /= 3.0f;
    }
    EXPECT_FLOAT_EQ(leafEdge, 3.7037036f);

    std::set<std::tuple<float, float, float>> centres;
    for (const Instance& cube : cubes) {
        ASSERT_EQ(cube.v.w, leafEdge);
        for (int axis = 0; axis < 3; ++axis) {
            ASSERT_LE(std::abs(cube.v[axis]), 148.14816f);
            ASSERT_LE(std::abs(cube.v[axis]) + cube.v.w / 2, 150.0f + 1e-3f);
        }
        centres.emplace(cube.v.x, cube.v.y, cube.v.z);
    }
    EXPECT_EQ(centres.size(), cubes.size()) << "two leaves share a centre";
    EXPECT_NEAR(cubes.front().v.x, -148.14815f, 1e-4f);
    EXPECT_EQ(cubes.front().v.x, cubes.front().v.y);
    EXPECT_EQ(cubes.front().v.x, cubes.front().v.z);
    EXPECT_NEAR(cubes.back().v.x, 148.14815f, 1e-4f);
    EXPECT_EQ(cubes.back().v.x, cubes.back().v.z);
}

TEST(Sponge, NoLeafSitsInAHoleOfAnyLevel) {
    const auto cubes = generate(0, {0.0f, 0.0f, 0.0f, 300.0f}, 4);
    for (const Instance& cube : cubes) {
        // The leaf's cell on the 81-cell grid, and that cell's base-3 digits level by level.
        int cell[3];
        for (int axis = 0; axis < 3; ++axis) {
            cell[axis] = static_cast<int>(std::lround((cube.v[axis] + 150.0f) / cube.v.w - 0.5f));
        }
        for (int level = 0; level < 4; ++level) {
            const int ones = (cell[0] % 3 == 1) + (cell[1] % 3 == 1) + (cell[2] % 3 == 1);
            ASSERT_LT(ones, 2);
            for (int& c : cell) {
                c /= 3;
            }
        }
    }
}

} // namespace
