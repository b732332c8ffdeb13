// The fly camera without a window: clamp, direction vectors, steering and projection.
#include "camera/camera.h"

#include <glm/geometric.hpp>
#include <glm/trigonometric.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

constexpr float tolerance = 1e-5f;

void expectNear(const glm::vec3& actual, const glm::vec3& expected, float within = tolerance) {
    EXPECT_NEAR(actual.x, expected.x, within);
    EXPECT_NEAR(actual.y, expected.y, within);
    EXPECT_NEAR(actual.z, expected.z, within);
}

CameraKeys only(bool CameraKeys::*key) {
    CameraKeys keys{};
    keys.*key = true;
    return keys;
}

float pitchLimit() {
    const std::uint32_t bits = 0x3FC6D3F2;
    float limit = 0;
    std::memcpy(&limit, &bits, sizeof limit);
    return limit;
}

// Where a world point lands in normalised device coordinates.
glm::vec3 project(const CameraFrame& frame, const glm::vec3& point) {
    const glm::vec4 clip = frame.projection * frame.view * frame.model * glm::vec4(point, 1.0f);
    return glm::vec3(clip) / clip.w;
}

TEST(Camera, StartsInsideTheCavityLookingDownMinusZ) {
    FlyCamera camera;
    EXPECT_EQ(camera.position, glm::vec3(0.0f, 0.0f, 3.0f));
    EXPECT_EQ(camera.moveSpeed, 40.0f);
    EXPECT_EQ(camera.turnSpeed, 1.5f);
    const CameraFrame frame = updateCameraFrame(camera);
    expectNear(frame.front, {0.0f, 0.0f, -1.0f});
    expectNear(frame.right, {1.0f, 0.0f, 0.0f});
    EXPECT_EQ(frame.model, glm::mat4(1.0f));
}

TEST(Camera, RightIsTheNormalisedCrossOfFrontAndUp) {
    for (const float yaw : {-7.0f, -1.0f, 0.3f, 1.5707964f, 2.5f, 40.0f}) {
        for (const float pitch : {-1.5f, -0.4f, 0.0f, 0.9f, 1.55f}) {
            FlyCamera camera;
            camera.yaw = yaw;
            camera.pitch = pitch;
            const CameraFrame frame = updateCameraFrame(camera);
            EXPECT_NEAR(glm::length(frame.front), 1.0f, tolerance);
            expectNear(frame.right,
                       glm::normalize(glm::cross(frame.front, glm::vec3(0.0f, 1.0f, 0.0f))));
        }
    }
}

TEST(Camera, PitchIsClampedIntoTheStateBeforeTheMatrices) {
    for (const float pitch : {2.0f, -2.0f, 100.0f}) {
        FlyCamera camera;
        camera.pitch = pitch;
        const CameraFrame frame = updateCameraFrame(camera);
        EXPECT_EQ(camera.pitch, std::copysign(pitchLimit(), pitch));
        EXPECT_NEAR(std::asin(frame.front.y), camera.pitch, tolerance);
    }
}

TEST(Camera, HoldingUpStopsAtThePitchLimit) {
    FlyCamera camera;
    const float dt = 0.1f;
    for (int i = 0; i < 40; ++i) {
        const CameraFrame frame = updateCameraFrame(camera);
        EXPECT_LE(camera.pitch, pitchLimit());
        steerCamera(camera, only(&CameraKeys::turnUp), dt, frame);
        EXPECT_LE(camera.pitch, pitchLimit() + camera.turnSpeed * dt * 1.0001f);
    }
    updateCameraFrame(camera);
    EXPECT_EQ(camera.pitch, pitchLimit());
}

TEST(Camera, OneSecondOfRightTurnsOneAndAHalfRadiansTowardPlusX) {
    FlyCamera camera;
    steerCamera(camera, only(&CameraKeys::turnRight), 1.0f, updateCameraFrame(camera));
    EXPECT_FLOAT_EQ(camera.yaw, 1.5f);
    const CameraFrame frame = updateCameraFrame(camera);
    expectNear(frame.front, {std::sin(1.5f), 0.0f, -std::cos(1.5f)});
    EXPECT_EQ(camera.position, glm::vec3(0.0f, 0.0f, 3.0f));
}

TEST(Camera, EachKeyMovesOrTurnsOneWay) {
    struct Case {
        bool CameraKeys::*key;
        glm::vec3 move; // per second at yaw 0, pitch 0
        float yaw;
        float pitch;
    };
    const Case cases[] = {
        {&CameraKeys::forward, {0, 0, -40}, 0, 0},   {&CameraKeys::back, {0, 0, 40}, 0, 0},
        {&CameraKeys::left, {-40, 0, 0}, 0, 0},      {&CameraKeys::right, {40, 0, 0}, 0, 0},
        {&CameraKeys::turnLeft, {0, 0, 0}, -1.5, 0}, {&CameraKeys::turnRight, {0, 0, 0}, 1.5, 0},
        {&CameraKeys::turnUp, {0, 0, 0}, 0, 1.5},    {&CameraKeys::turnDown, {0, 0, 0}, 0, -1.5},
    };
    for (const Case& c : cases) {
        FlyCamera camera;
        steerCamera(camera, only(c.key), 0.5f, updateCameraFrame(camera));
        expectNear(camera.position, glm::vec3(0, 0, 3) + c.move * 0.5f);
        EXPECT_FLOAT_EQ(camera.yaw, c.yaw * 0.5f);
        EXPECT_FLOAT_EQ(camera.pitch, c.pitch * 0.5f);
    }
}

TEST(Camera, OppositeKeysCancel) {
    FlyCamera camera;
    camera.yaw = 0.7f;
    camera.pitch = -0.3f;
    const FlyCamera before = camera;
    const CameraKeys all{true, true, true, true, true, true, true, true};
    for (int i = 0; i < 100; ++i) {
        steerCamera(camera, all, 0.016f, updateCameraFrame(camera));
    }
    expectNear(camera.position, before.position, 1e-3f);
    EXPECT_NEAR(camera.yaw, before.yaw, 1e-5f);
    EXPECT_NEAR(camera.pitch, before.pitch, 1e-5f);
}

TEST(Camera, ForwardFollowsTheFrontOfThisFrameVerticalPartIncluded) {
    FlyCamera camera;
    camera.pitch = 0.5f;
    const CameraFrame frame = updateCameraFrame(camera);
    CameraKeys keys = only(&CameraKeys::forward);
    keys.turnRight = true; // turns only after this frame's move
    steerCamera(camera, keys, 0.25f, frame);
    expectNear(camera.position, glm::vec3(0, 0, 3) + frame.front * 10.0f);
    EXPECT_GT(camera.position.y, 4.0f);
    EXPECT_FLOAT_EQ(camera.yaw, 0.375f);
}

TEST(Camera, TheLensProjectsKnownPoints) {
    FlyCamera camera;
    camera.position = {5.0f, -2.0f, 1.0f};
    camera.yaw = 0.4f;
    camera.pitch = -0.2f;
    const CameraFrame frame = updateCameraFrame(camera);
    const glm::vec3 eye = camera.position;
    const glm::vec3 up = glm::cross(frame.right, frame.front);

    const glm::vec3 ahead = project(frame, eye + frame.front * 50.0f);
    EXPECT_NEAR(ahead.x, 0.0f, tolerance);
    EXPECT_NEAR(ahead.y, 0.0f, tolerance);
    // 35° above the axis is the top edge of the 70° view; the left edge is wider by 4:3.
    const float tanHalf = std::tan(glm::radians(35.0f));
    EXPECT_NEAR(project(frame, eye + (frame.front + up * tanHalf) * 20.0f).y, 1.0f, tolerance);
    EXPECT_NEAR(project(frame, eye + (frame.front - frame.right * tanHalf * 4.0f / 3.0f) * 20.0f).x,
                -1.0f, tolerance);
    EXPECT_NEAR(project(frame, eye + frame.front * 0.1f).z, -1.0f, 1e-4f);
    EXPECT_NEAR(project(frame, eye + frame.front * 500.0f).z, 1.0f, 1e-4f);
}

TEST(Camera, NoKeyNoMotion) {
    FlyCamera camera;
    const FlyCamera before = camera;
    for (const float dt : {0.0f, 0.001f, 0.5f, 30.0f}) {
        steerCamera(camera, CameraKeys{}, dt, updateCameraFrame(camera));
    }
    EXPECT_EQ(camera.position, before.position);
    EXPECT_EQ(camera.yaw, before.yaw);
    EXPECT_EQ(camera.pitch, before.pitch);
}

} // namespace
