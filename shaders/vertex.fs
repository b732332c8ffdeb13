#version 430 core
// Places one unit-cube vertex of one sponge cube; a face that cannot be seen goes behind the far
// plane, where the clipper drops it before any set-up. On a software rasterizer a frame's cost is
// the triangles that reach set-up and this stage, which runs on one thread: the test is kept to a
// few vector operations, with no branch and no integer division, and of the lighting only the
// face's cosine term is worked out here, the rest left to the fragment stage, run for what is drawn.
//
// Which faces cannot be seen rests on the sponge's fixed shape: the root cube of edge 300 at the
// origin split four levels deep, so that every cube is a cell of an 81-cell grid per axis, solid
// unless at some level two or more of its three base-3 digits are 1. A face turned away from the
// eye, or shared with a solid neighbour cell, is hidden by the faces around it. That fails only
// where the eye is inside a cube or so close that the near plane cuts it open: all faces of the
// cubes around the eye stay, those of its neighbours included. The eye is that of this frame's view
// matrix ("cameraPos" already holds the position after this frame's keys); the model matrix is
// the identity.

layout(location = 0) in vec3 corner; // unit-cube corner, each coordinate ±0.5
// The mesh's face normals (location 1) are not read: the normal follows from the vertex's place in
// the mesh, which saves fetching a second attribute.

// One record per cube: xyz its centre, w its edge length, in world units.
layout(std430, binding = 0) readonly buffer Cubes {
    vec4 cubes[];
};

uniform mat4 model;
uniform mat4 view;
uniform mat4 projection;
uniform vec3 lightPos;

// The face's centre, and the cosine term of its light before the distance: all the fragment stage
// needs to light and fog the face as a whole, the same on both its triangles.
flat out vec4 face;

const float cellsPerUnit = 81.0 / 300.0;

// For each level (the lowest first), how far the cell coordinate's fraction at that level lies from
// a half: under 1/6 where the level's base-3 digit is 1, over 1/6 where it is 0 or 2. The cell
// coordinate comes with one half added (0.5 to 80.5), so that no fraction comes near 1/6.
vec4 middleDigits(float cellPlusHalf) {
    vec4 f = cellPlusHalf * vec4(1.0 / 3.0, 1.0 / 9.0, 1.0 / 27.0, 1.0 / 81.0) - 0.5;
    return abs(f - round(f));
}

bool solidCell(vec3 cellPlusHalf) {
    vec4 x = middleDigits(cellPlusHalf.x);
    vec4 y = middleDigits(cellPlusHalf.y);
    vec4 z = middleDigits(cellPlusHalf.z);
    bool inside = all(lessThan(abs(cellPlusHalf - 40.5), vec3(40.5)));
    // A level has two or more middle digits where the middle of its three values is under 1/6.
    vec4 middle = max(min(x, y), min(max(x, y), z));
    return inside && all(greaterThan(middle, vec4(1.0 / 6.0)));
}

void main() {
    vec4 cube = cubes[gl_InstanceID];

    // The mesh has faces +z and -z at vertices 0 to 11, -x and +x at 12 to 23, +y and -y at 24 to
    // 35; the corner's coordinate along the face's axis carries the side.
    int vertex = gl_VertexID;
    vec3 normal = 2.0 * corner * vec3(vertex >= 12 && vertex < 24, vertex >= 24, vertex < 12);

    vec3 toEye = -(transpose(mat3(view)) * view[3].xyz) - cube.xyz;
    float halfEdge = 0.5 * cube.w;
    // The cubes of the eye's cell and the cells around it: the near plane's corners, 0.15 from the
    // eye (at 0.1, with a 70° field of view and a 4:3 aspect), lie well inside them.
    bool nearEye = all(lessThan(abs(toEye), vec3(3.0 * halfEdge)));
    // Every cube is one cell, so the neighbour's cell is one step along the normal.
    vec3 neighbour = cube.xyz * cellsPerUnit + (150.0 * cellsPerUnit) + normal;
    bool seen = nearEye || (dot(normal, toEye) > halfEdge && !solidCell(neighbour));
    vec4 placed = projection * (view * (model * vec4(cube.xyz + cube.w * corner, 1.0)));
    gl_Position = seen ? placed : vec4(0.0, 0.0, 2.0, 1.0);

    vec3 faceCentre = cube.xyz + halfEdge * normal;
    face = vec4(faceCentre, max(dot(normal, lightPos - faceCentre), 0.0));
}
