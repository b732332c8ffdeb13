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

const float yaws[] = {-7.0f, -1.0f, 0.3f, 0.7853982f, 1.5707964f, 2.5f, 40.0f};
const float pitches[] = {-1.5f, -0.4f, -0.1f, 0.0f, 0.2f, 0.9f, 1.55f};

TEST(Camera, FrontAndRightAreNarrowedFromDoublePrecision) {
    for (const float yaw : yaws) {
        for (const float pitch : pitches) {
            FlyCamera camera;
            camera.yaw = yaw;
            camera.pitch = pitch;
            const CameraFrame frame = updateCameraFrame(camera);
            const double y = yaw;
            const double p = pitch;
            EXPECT_EQ(frame.front,
                      glm::normalize(glm::vec3(float(std::sin(y) * std::cos(p)), float(std::sin(p)),
                                               float(-std::cos(p) * std::cos(y)))))
                << yaw << ", " << pitch;
            EXPECT_EQ(frame.right, glm::vec3(float(std::cos(y)), 0.0f, float(std::sin(y))));
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

TEST(Camera, EachKeyMovesOrTurnsOneWayByExactlyItsStep) {
    struct Case {
        bool CameraKeys::*key;
        glm::vec3 CameraFrame::*along; // moves along this vector of the frame, or turns
        float sign;
        float FlyCamera::*angle;
    };
    const Case cases[] = {
        {&CameraKeys::forward, &CameraFrame::front, 1, nullptr},
        {&CameraKeys::back, &CameraFrame::front, -1, nullptr},
        {&CameraKeys::left, &CameraFrame::right, -1, nullptr},
        {&CameraKeys::right, &CameraFrame::right, 1, nullptr},
        {&CameraKeys::turnLeft, nullptr, -1, &FlyCamera::yaw},
        {&CameraKeys::turnRight, nullptr, 1, &FlyCamera::yaw},
        {&CameraKeys::turnUp, nullptr, 1, &FlyCamera::pitch},
        {&CameraKeys::turnDown, nullptr, -1, &FlyCamera::pitch},
    };
    for (const Case& c : cases) {
        for (const float dt : {0.5f, 0.016f, 0.1234567f, 0.3f, 1.7f}) {
            for (size_t i = 0; i < std::size(yaws); ++i) {
                FlyCamera camera;
                camera.yaw = yaws[i];
                camera.pitch = pitches[i];
                FlyCamera expected = camera;
                const CameraFrame frame = updateCameraFrame(camera);
                steerCamera(camera, only(c.key), dt, frame);
                // A step is (vector · speed) · dt in float, a turn speed · dt.
                if (c.along != nullptr) {
                    const glm::vec3 step = (frame.*c.along * expected.moveSpeed) * dt;
                    expected.position =
                        c.sign > 0 ? expected.position + step : expected.position - step;
                } else {
                    expected.*c.angle += c.sign * (expected.turnSpeed * dt);
                }
                EXPECT_EQ(camera.position, expected.position) << dt << " s at " << i;
                EXPECT_EQ(camera.yaw, expected.yaw) << dt << " s at " << i;
                EXPECT_EQ(camera.pitch, expected.pitch) << dt << " s at " << i;
            }
        }
    }
    // At the start, W flies toward -z and D toward +x.
    FlyCamera camera;
    steerCamera(camera, only(&CameraKeys::forward), 0.5f, updateCameraFrame(camera));
    steerCamera(camera, only(&CameraKeys::right), 0.25f, updateCameraFrame(camera));
    expectNear(camera.position, {10.0f, 0.0f, -17.0f});
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
