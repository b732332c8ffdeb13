// The scene on a real GL context: what start-up leaves on the GPU, and the picture it draws
// compared with a ray-cast reference of the sponge.
#include "camera/camera.h"
#include "render/render.h"
#include "scene.h"
#include "shader/shader.h"
#include "sponge/sponge.h"

#include "flight.h"
#include "harness.h"
#include "reference.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

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
        corvane(0, {0.0f, 0.0f, 0.0f, 300.0f}, 4);
        mesh_ = createCubeMesh();
        instanceBuffer_ = createInstanceBuffer(instances);
    }

    void TearDown() override { glfwTerminate(); }

    // Draws one frame from `pose` as the frame loop does and reads the depth buffer back.
    std::vector<float> drawAndReadDepth(const Pose& pose, GLuint program,
                                        RgbImage* colour = nullptr) {
        FlyCamera camera;
        camera.position = pose.position;
        camera.yaw = pose.yaw;
        camera.pitch = pose.pitch;
        const CameraFrame frame = updateCameraFrame(camera);
        const glm::vec3& fog = scene::fogColor;
        glClearColor(fog.r, fog.g, fog.b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawFrame(program, lookUpCachedUniforms(program), frame, camera.position, fog,
                  mesh_.vertexArray, static_cast<GLsizei>(instances.size()));
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
    GLuint instanceBuffer_ = 0;
};

GLint integer(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

TEST_F(GlScene, StartUpLeavesTheSceneWhereTheShadersLookForIt) {
    // The instance buffer holds the list byte for byte and sits at storage binding 0.
    GLint64 size = 0;
    glBindBuffer(GL_COPY_READ_BUFFER, instanceBuffer_);
    glGetBufferParameteri64v(GL_COPY_READ_BUFFER, GL_BUFFER_SIZE, &size);
    ASSERT_EQ(size, static_cast<GLint64>(16 * instances.size()));
    std::vector<Instance> onGpu(instances.size());
    glGetBufferSubData(GL_COPY_READ_BUFFER, 0, size, onGpu.data());
    EXPECT_EQ(std::memcmp(onGpu.data(), instances.data(), static_cast<size_t>(size)), 0);
    GLint bound = 0;
    glGetIntegeri_v(GL_SHADER_STORAGE_BUFFER_BINDING, 0, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), instanceBuffer_);
    EXPECT_EQ(static_cast<GLuint>(integer(GL_SHADER_STORAGE_BUFFER_BINDING)), instanceBuffer_);

    // The mesh buffer holds the table and stays bound as the array buffer.
    EXPECT_EQ(static_cast<GLuint>(integer(GL_ARRAY_BUFFER_BINDING)), mesh_.vertexBuffer);
    std::vector<CubeVertex> vertices(36);
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, sizeof cubeVertices, vertices.data());
    // The GPU holds the table byte for byte.
    // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
    EXPECT_EQ(std::memcmp(vertices.data(), cubeVertices.data(), sizeof cubeVertices), 0);
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_BINDING), 0) << "the vertex array is left bound";

    // The vertex array records attributes 0 and 1 only, both from the mesh buffer.
    glBindVertexArray(mesh_.vertexArray);
    const GLint maxAttributes = integer(GL_MAX_VERTEX_ATTRIBS);
    for (GLuint a = 0; a < static_cast<GLuint>(maxAttributes); ++a) {
        GLint enabled = 0;
        glGetVertexAttribiv(a, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
        EXPECT_EQ(enabled != 0, a < 2) << "attribute " << a;
    }
    for (GLuint a = 0; a < 2; ++a) {
        GLint value = 0;
        const std::pair<GLenum, GLint> expected[] = {
            {GL_VERTEX_ATTRIB_ARRAY_SIZE, 3},
            {GL_VERTEX_ATTRIB_ARRAY_TYPE, GL_FLOAT},
            {GL_VERTEX_ATTRIB_ARRAY_NORMALIZED, 0},
            {GL_VERTEX_ATTRIB_ARRAY_STRIDE, 24},
            {GL_VERTEX_ATTRIB_ARRAY_DIVISOR, 0},
            {GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, static_cast<GLint>(mesh_.vertexBuffer)}};
        for (const auto& [name, want] : expected) {
            glGetVertexAttribiv(a, name, &value);
            EXPECT_EQ(value, want) << "attribute " << a << " query " << name;
        }
        void* offset = nullptr;
        glGetVertexAttribPointerv(a, GL_VERTEX_ATTRIB_ARRAY_POINTER, &offset);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(offset), 12U * a);
    }
}

TEST_F(GlScene, DrawsWhatTheRayCastReferenceSees) {
    const GLuint program = createProgram(std::string(CORVANE_SHADER_DIR) + "/vertex.fs",
                                         std::string(CORVANE_SHADER_DIR) + "/fragment.fs");
    const Pose poses[] = {
        {{0.0f, 0.0f, 3.0f}, 0.0f, 0.0f},          // the start pose, inside the cavity
        {{120.0f, 90.0f, 260.0f}, -0.42f, -0.30f}, // outside, looking at a corner
        {{10.0f, -20.0f, 30.0f}, 0.9f, 0.35f},     // inside, turned and pitched
        {{0.0f, 0.0f, -120.0f}, 2.6f, -0.8f},      // in the tunnel, looking back and down
    };
    for (const Pose& pose : poses) {
        RgbImage colour;
        const DepthImage reference = castSponge(pose);
        const Agreement depth = compareDepth(reference, drawAndReadDepth(pose, program, &colour));
        const Agreement coverage = compareCoverage(reference, colour);
        std::printf("pose (%g, %g, %g) yaw %g pitch %g: depth %.3f%% of %ld pixels, "
                    "coverage %.3f%% of %ld pixels agree\n",
                    pose.position.x, pose.position.y, pose.position.z, pose.yaw, pose.pitch,
                    100.0 * depth.fraction(), depth.compared, 100.0 * coverage.fraction(),
                    coverage.compared);
        EXPECT_GT(depth.compared, 800 * 600 / 2);
        EXPECT_GE(depth.fraction(), 0.995);
        EXPECT_GE(coverage.fraction(), 0.995);
    }
    // The draw is one instanced call over the whole list: with no records nothing is drawn.
    const Pose start{{0.0f, 0.0f, 3.0f}, 0.0f, 0.0f};
    instances.clear();
    const std::vector<float> empty = drawAndReadDepth(start, program);
    EXPECT_EQ(std::count(empty.begin(), empty.end(), 1.0f), 800 * 600);
}

// The shipped shaders leave out faces nobody can see; the shaders that draw every face (test data)
// must give the same picture, within 1% per channel on 99.8% of the pixels, along the dive of the
// benchmark (flown at its frame delta) and where culling is most at risk.
TEST_F(GlScene, DrawsWhatTheUnculledShadersDraw) {
    const GLuint ours = createProgram(std::string(CORVANE_SHADER_DIR) + "/vertex.fs",
                                      std::string(CORVANE_SHADER_DIR) + "/fragment.fs");
    const GLuint unculled = createProgram(std::string(CORVANE_TEST_DATA) + "/unculled/vertex.fs",
                                          std::string(CORVANE_TEST_DATA) + "/unculled/fragment.fs");
    std::vector<std::pair<std::string, Pose>> poses = {
        {"inside a solid cube", {{52.0f, -74.07f, 0.5f}, 0.3f, 0.2f}},
        {"0.05 before a face, facing it", {{49.95f, -74.07f, 0.0f}, 1.5707964f, 0.0f}},
        {"0.05 before a face, aslant", {{49.95f, -74.07f, 0.0f}, 1.2f, -0.4f}},
        {"grazing a face", {{50.0f, -74.07f, 20.0f}, 0.0f, 0.0f}},
        {"straight up at the pitch limit", {scene::startPosition, 0.0f, scene::pitchLimit}},
    };
    // The dive, frame by frame, its keys in the order of the flight's key bits.
    const Flight dive = readFlight(CORVANE_FLIGHT_DIR "/dive.txt");
    ASSERT_GT(dive.frames, 0) << "no dive flown";
    bool CameraKeys::*const fields[8] = {
        &CameraKeys::forward,  &CameraKeys::back,      &CameraKeys::left,   &CameraKeys::right,
        &CameraKeys::turnLeft, &CameraKeys::turnRight, &CameraKeys::turnUp, &CameraKeys::turnDown};
    FlyCamera camera;
    for (long frame = 0; frame < dive.frames; ++frame) {
        if (frame % 10 == 0) {
            poses.push_back({"dive frame " + std::to_string(frame + 1),
                             {camera.position, camera.yaw, camera.pitch}});
        }
        CameraKeys keys{};
        for (unsigned i = 0; i < 8; ++i) {
            keys.*fields[i] = (dive.keys[frame] >> i) & 1U;
        }
        steerCamera(camera, keys, static_cast<float>(dive.delta), updateCameraFrame(camera));
    }
    std::free(dive.keys);
    for (const auto& [name, pose] : poses) {
        RgbImage picture;
        RgbImage expected;
        drawAndReadDepth(pose, ours, &picture);
        drawAndReadDepth(pose, unculled, &expected);
        long same = 0;
        for (size_t i = 0; i < picture.rgb.size(); i += 3) {
            same += std::equal(&picture.rgb[i], &picture.rgb[i] + 3, &expected.rgb[i],
                               [](int a, int b) { return std::abs(a - b) <= 2; });
        }
        const double fraction = double(same) / (800.0 * 600.0);
        std::printf("%s: %.3f%% of pixels as unculled\n", name.c_str(), 100 * fraction);
        EXPECT_GE(fraction, 0.998) << name;
    }
}

} // namespace
