// The scene on a real GL context: the faces the shaders send on, where they place them, and the
// picture they draw against a ray-cast reference of the sponge; and a driver's log with no NUL.
#include "camera/camera.h"
#include "render/render.h"
#include "scene.h"
#include "shader/shader.h"
#include "sponge/sponge.h"

#include "harness.h"
#include "reference.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

// The camera's matrices at `pose`.
CameraFrame frameAt(const Pose& pose) {
    FlyCamera camera{pose.position, pose.yaw, pose.pitch};
    return updateCameraFrame(camera);
}

// The viewer's own window and context, on a display of the test's own, with the scene uploaded
// as at start-up.
class GlScene : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = openViewerContext(display_.name());
        ASSERT_NE(window_, nullptr);
        glEnable(GL_DEPTH_TEST);
        glViewport(0, 0, viewWidth, viewHeight);

        instances.clear();
        corvane(0, {0.0f, 0.0f, 0.0f, scene::spongeEdge}, scene::spongeDepth);
        mesh_ = createCubeMesh();
        createInstanceBuffer(instances);
    }

    void TearDown() override { glfwTerminate(); }

  public:
    // Draws every cube from `pose` as the frame loop does.
    void draw(const Pose& pose, GLuint program) {
        drawFrame(program, lookUpCachedUniforms(program), frameAt(pose), pose.position,
                  scene::fogColor, mesh_.vertexArray, static_cast<GLsizei>(instances.size()));
    }

  protected:
    // Draws one frame from `pose` as the frame loop does and reads the depth buffer back.
    std::vector<float> drawAndReadDepth(const Pose& pose, GLuint program,
                                        RgbImage* colour = nullptr) {
        const glm::vec3& fog = scene::fogColor;
        glClearColor(fog.r, fog.g, fog.b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw(pose, program);
        std::vector<float> depth(size_t{viewWidth} * viewHeight);
        glReadPixels(0, 0, viewWidth, viewHeight, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
        if (colour != nullptr) {
            colour->width = viewWidth;
            colour->height = viewHeight;
            colour->rgb.resize(size_t{viewWidth} * viewHeight * 3);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            // Top row first, as a screenshot has it.
            for (int row = 0; row < viewHeight; ++row) {
                glReadPixels(0, viewHeight - 1 - row, viewWidth, 1, GL_RGB, GL_UNSIGNED_BYTE,
                             &colour->rgb[size_t{viewWidth} * 3 * row]);
            }
        }
        return depth;
    }

    VirtualDisplay display_;
    GLFWwindow* window_ = nullptr;
    CubeMesh mesh_{};
};

// The colour of `face` seen from `eye`, lit and fogged as a whole at its centre: ambient 0.3 and
// diffuse 0.7 of the base colour 0.74, the diffuse term the cosine towards the light at (0, 0, 10)
// over 1 + 0.00005 d² (d its distance), then linear fog from 10 to 200 units from the eye towards
// the background; and the face's distance from the light.
std::pair<glm::vec3, float> designColour(const Face& face, const glm::vec3& eye) {
    const glm::vec3 centre = face.cubeCentre + (150.0f / 81.0f) * face.normal;
    const glm::vec3 toLight = glm::vec3(0.0f, 0.0f, 10.0f) - centre;
    const float d = glm::length(toLight);
    const float diffuse = std::max(glm::dot(face.normal, toLight) / d, 0.0f) / (1 + 5e-5f * d * d);
    const float fog = std::clamp((glm::distance(centre, eye) - 10) / 190, 0.0f, 1.0f);
    const glm::vec3 fogColour = glm::vec3(fogRgb[0], fogRgb[1], fogRgb[2]) / 255.0f;
    return {glm::mix(glm::vec3(0.74f * (0.3f + 0.7f * diffuse)), fogColour, fog), d};
}

// The depth as the reference has it at 99.5% of the pixels whose neighbours lie on their surface,
// and the colour of one pixel in 8 × 8 whose face also fills the 4 pixels 3 away diagonally, as
// the design lights and fogs it, to 1 level.
TEST_F(GlScene, DrawsWhatTheRayCastReferenceSees) {
    const GLuint program = createProgram(std::string(CORVANE_SHADER_DIR) + "/vertex.fs",
                                         std::string(CORVANE_SHADER_DIR) + "/fragment.fs");
    const Pose poses[] = {
        startPose,                                 // inside the cavity
        {{120.0f, 90.0f, 260.0f}, -0.42f, -0.30f}, // outside, looking at a corner
        {{10.0f, -20.0f, 30.0f}, 0.9f, 0.35f},     // inside, turned and pitched
        {{0.0f, 0.0f, -120.0f}, 2.6f, -0.8f},      // in the tunnel, looking back and down
    };
    long byLight[3] = {}; // faces compared, under 90, under 150 and further from the light
    for (const Pose& pose : poses) {
        RgbImage colour;
        const DepthImage reference = castSponge(pose);
        const Agreement depth = compareDepth(reference, drawAndReadDepth(pose, program, &colour));
        std::printf("pose (%g, %g, %g) yaw %g pitch %g: depth %.3f%% of %ld pixels agree\n",
                    pose.position.x, pose.position.y, pose.position.z, pose.yaw, pose.pitch,
                    100.0 * depth.fraction(), depth.compared);
        EXPECT_GT(depth.compared, 800 * 600 / 2);
        EXPECT_GE(depth.fraction(), 0.995);
        for (int row = 3; row < viewHeight - 3; row += 8) {
            for (int column = 3; column < viewWidth - 3; column += 8) {
                const Face& face = reference.face[row * viewWidth + column];
                bool settled = face.normal != glm::vec3(0.0f);
                for (const int corner : {0, 1, 2, 3}) {
                    const Face& other = reference.face[(row + corner / 2 * 6 - 3) * viewWidth +
                                                       column + corner % 2 * 6 - 3];
                    settled = settled && other.cubeCentre == face.cubeCentre &&
                              other.normal == face.normal;
                }
                if (!settled) {
                    continue;
                }
                const auto [expected, lightDistance] = designColour(face, pose.position);
                ++byLight[lightDistance < 90 ? 0 : lightDistance < 150 ? 1 : 2];
                const std::uint8_t* drawn = colour.at(column, viewHeight - 1 - row);
                for (int c = 0; c < 3; ++c) {
                    ASSERT_NEAR(drawn[c], std::lround(255 * expected[c]), 1)
                        << "pixel " << column << ", " << row << " from the bottom, channel " << c;
                }
            }
        }
    }
    std::printf("faces' colours compared: %ld near the light, %ld between, %ld far in the fog\n",
                byLight[0], byLight[1], byLight[2]);
    EXPECT_GT(*std::min_element(byLight, byLight + 3), 0);
    // The draw is one instanced call over the whole list: with no records nothing is drawn.
    instances.clear();
    const std::vector<float> empty = drawAndReadDepth(startPose, program);
    EXPECT_EQ(std::count(empty.begin(), empty.end(), 1.0f), 800 * 600);
}

// Where the shipped vertex stage places each vertex from `pose`, in clip space, cube after cube in
// the mesh's order, read back through transform feedback.
std::vector<glm::vec4> placedVertices(GlScene& scene, const Pose& pose) {
    const GLuint program = glCreateProgram();
    const std::string shader = readFile(CORVANE_SHADER_DIR "/vertex.fs");
    glAttachShader(program, compileStage(shader, GL_VERTEX_SHADER, 512).object);
    const char* position = "gl_Position";
    glTransformFeedbackVaryings(program, 1, &position, GL_INTERLEAVED_ATTRIBS);
    glLinkProgram(program);
    std::vector<glm::vec4> placed(36 * instances.size());
    const auto bytes = static_cast<GLsizeiptr>(placed.size() * sizeof placed[0]);
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, buffer);
    glBufferData(GL_TRANSFORM_FEEDBACK_BUFFER, bytes, nullptr, GL_STATIC_READ);
    glEnable(GL_RASTERIZER_DISCARD);
    glUseProgram(program); // the program whose outputs are captured must be in use first
    glBeginTransformFeedback(GL_TRIANGLES);
    scene.draw(pose, program);
    glEndTransformFeedback();
    glDisable(GL_RASTERIZER_DISCARD);
    glGetBufferSubData(GL_TRANSFORM_FEEDBACK_BUFFER, 0, bytes, placed.data());
    return placed;
}

// Which faces can be seen from `eye`, found from `instances` alone: a face can be seen when the
// eye is in front of its plane and the cell beyond it holds no cube; the cubes of the eye's cell
// and the cells around it, which the near plane may cut open, keep every face.
std::vector<bool> facesSeen(const glm::vec3& eye) {
    const float edge = instances.front().v.w;
    const glm::vec3 low(instances.front().v); // the generator's first cube: the lowest corner's
    const auto cellOf = [&](glm::vec4 at) {
        return glm::ivec3(glm::round((glm::vec3(at) - low) / edge));
    };
    std::set<std::tuple<int, int, int>> occupied;
    for (const Instance& cube : instances) {
        const glm::ivec3 cell = cellOf(cube.v);
        occupied.emplace(cell.x, cell.y, cell.z);
    }
    std::vector<bool> seen;
    for (const Instance& cube : instances) {
        const glm::ivec3 around = glm::abs(cellOf(cube.v) - cellOf(glm::vec4(eye, 1.0f)));
        for (size_t face = 0; face < 6; ++face) {
            const CubeVertex& corner = cubeVertices[6 * face];
            const glm::vec3 normal(corner.nx, corner.ny, corner.nz);
            const glm::ivec3 beyond = cellOf(cube.v) + glm::ivec3(normal);
            seen.push_back(std::max({around.x, around.y, around.z}) <= 1 ||
                           (glm::dot(normal, eye - glm::vec3(cube.v)) > edge / 2 &&
                            occupied.count({beyond.x, beyond.y, beyond.z}) == 0));
        }
    }
    return seen;
}

// The shipped shaders send on exactly the faces that can be seen: from the start, from outside and
// where culling is most at risk.
TEST_F(GlScene, SendsOnExactlyTheFacesThatCanBeSeen) {
    const std::pair<const char*, Pose> poses[] = {
        {"the start view", startPose},
        {"outside, facing the +z side", {{40.0f, 30.0f, 260.0f}, 0.1f, -0.05f}},
        {"inside a solid cube", {{52.0f, -74.07f, 0.5f}, 0.3f, 0.2f}},
        {"0.05 before a face, facing it", {{49.95f, -74.07f, 0.0f}, 1.5707964f, 0.0f}},
        {"straight up at the pitch limit", {startPose.position, 0.0f, scene::pitchLimit}},
        // 0.1 from the planes of the cavity's walls on each axis, inside the cavity or behind the
        // walls: the faces along the walls, beyond the cubes kept whole, pass or fail the facing
        // test by that much, less than a tenth of their half edge (0.185).
        {"0.1 inside the cavity's walls", {glm::vec3(-49.9f), 0.8f, 0.3f}},
        {"0.1 behind the cavity's walls", {glm::vec3(-50.1f), 0.8f, 0.3f}},
    };
    // A vertex is sent on to the rasterizer unless it lies behind the far plane; sent on, it lies
    // where its cube's centre and edge from the instance buffer and its corner put it.
    for (const auto& [name, pose] : poses) {
        const std::vector<glm::vec4> placed = placedVertices(*this, pose);
        const std::vector<bool> seen = facesSeen(pose.position);
        const glm::mat4 viewProjection = frameAt(pose).projection * frameAt(pose).view;
        long sent = 0, wrong = 0, misplaced = 0;
        for (size_t v = 0; v < placed.size(); ++v) {
            const glm::vec4& cube = instances[v / 36].v;
            const CubeVertex& c = cubeVertices[v % 36];
            const glm::vec4 at =
                viewProjection * glm::vec4(glm::vec3(cube) + cube.w * glm::vec3(c.x, c.y, c.z), 1);
            const bool kept = placed[v].z <= placed[v].w;
            sent += kept && v % 3 == 0;
            wrong += kept != seen[v / 6];
            misplaced += kept && glm::distance(placed[v], at) > 1e-4f * glm::length(at);
        }
        std::printf(
            "%s: %ld triangles sent on, %ld faces seen, %ld vertices wrong, %ld misplaced\n", name,
            sent, long(std::count(seen.begin(), seen.end(), true)), wrong, misplaced);
        EXPECT_EQ(wrong + misplaced, 0) << name;
    }
}

// A driver that fills the log buffer to its end, with no NUL: the log is kept all the same, cut as
// if the NUL were there.
TEST_F(GlScene, KeepsALogThatEndsWithoutANul) {
    // NOLINTNEXTLINE(bugprone-reserved-identifier): GLEW's own name for the entry point
    __glewGetShaderInfoLog = [](GLuint, GLsizei size, GLsizei*, GLchar* log) {
        std::fill(log, log + size, 'x');
    };
    EXPECT_EQ(compileStage("not GLSL", GL_VERTEX_SHADER, 16).log, std::string(15, 'x'));
}

} // namespace
