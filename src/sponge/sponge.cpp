// The sponge generator: recursive 3 × 3 × 3 subdivision keeping corner and edge cubes.
#include "sponge.h"

#include <glm/vec3.hpp>

std::vector<Instance> instances;

void corvane(int level, Instance cube, int maxLevel) {
    // A start past the last level is taken as already there, so the recursion always ends.
    if (level >= maxLevel) {
        instances.push_back(cube);
        return;
    }
    const float s = cube.v.w / 3.0f;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) {
                // Two or more middle indices mark a face centre or the body centre: a hole.
                if ((i == 1 && j == 1) || (i == 1 && k == 1) || (j == 1 && k == 1)) {
                    continue;
                }
                const glm::vec3 offset = glm::vec3(i - 1, j - 1, k - 1) * s;
                corvane(level + 1,
                        Instance(cube.v.x + offset.x, cube.v.y + offset.y, cube.v.z + offset.z, s),
                        maxLevel);
            }
        }
    }
}
