// The sponge model: one leaf cube record and the list the generator fills.
#pragma once

#include <glm/vec4.hpp>

#include <type_traits>
#include <vector>

// One leaf cube: xyz is its centre, w its edge length, all in world units.
// The GPU reads these records byte for byte, so the record is exactly four packed floats.
struct Instance {
    glm::vec4 v;

    Instance() = default;
    Instance(float x, float y, float z, float w) : v(x, y, z, w) {}
};

static_assert(sizeof(Instance) == 16, "an Instance is four packed 32-bit floats");
static_assert(std::is_standard_layout_v<Instance>, "an Instance is uploaded as raw bytes");
static_assert(std::is_trivially_copyable_v<Instance>, "an Instance is uploaded as raw bytes");

// Every leaf cube of the sponge, in generation order; read-only once start-up has filled it.
extern std::vector<Instance> instances;

// Appends the leaves of `cube` to `instances`: the cube itself once `level` reaches
// `maxLevel`, otherwise the leaves of its 20 corner and edge sub-cubes.
void corvane(int level, Instance cube, int maxLevel);
