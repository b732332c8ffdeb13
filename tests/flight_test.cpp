// The real viewer flown by real key events: the picture after each flight is matched against
// ray-cast references of the poses the flight could have reached.
#include "harness.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

constexpr float moveSpeed = 40.0f;
constexpr float turnSpeed = 1.5f;
constexpr float pitchLimit = 1.553343f;

// How long a key was held, and the longest frame seen meanwhile: the viewer sees a key from
// the first poll after the press to the first poll after the release, so its motion lasts
// `held` give or take one frame at each end.
struct Hold {
    double held;
    double slack;
};

Hold holdKey(ShownViewer& viewer, const char* key, double seconds) {
    Display* x = viewer.display.x();
    focusWindow(x, viewer.window);
    const int before = viewer.run.framesDrawn();
    const double pressed = monotonicSeconds();
    sendKey(x, key, true);
    // At least three frames see the key, however slow the frames are.
    viewer.run.waitForFrames(3, before);
    const double left = seconds - (monotonicSeconds() - pressed);
    if (left > 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(left));
    }
    sendKey(x, key, false);
    const double held = monotonicSeconds() - pressed;
    viewer.run.waitForFrames(2, viewer.run.framesDrawn());

    const std::vector<double> times = viewer.run.frameTimes();
    double longest = 0;
    for (size_t i = static_cast<size_t>(std::max(before, 1)); i < times.size(); ++i) {
        longest = std::max(longest, times[i] - times[i - 1]);
    }
    std::printf("%s held %.2f s over %zu frames, the longest %.3f s\n", key, held,
                times.size() - static_cast<size_t>(before), longest);
    return {held, 2 * longest + 0.05};
}

// Poses from `from` to `to` (inclusive) in `steps` steps of one parameter.
template <typename Make> std::vector<Pose> sweep(float from, float to, int steps, Make make) {
    std::vector<Pose> poses;
    for (int i = 0; i <= steps; ++i) {
        poses.push_back(
            make(from + (to - from) * static_cast<float>(i) / static_cast<float>(steps)));
    }
    return poses;
}

// Matches the settled picture against the candidates.
BestPose matchFlight(ShownViewer& viewer, const std::vector<Pose>& candidates) {
    const RgbImage shot = viewer.settledScreenshot();
    const BestPose best = bestMatchingPose(candidates, shot, 200, 150);
    std::printf("best pose (%g, %g, %g) yaw %g pitch %g: %.3f%% of pixels agree\n",
                best.pose.position.x, best.pose.position.y, best.pose.position.z, best.pose.yaw,
                best.pose.pitch, 100 * best.fraction);
    return best;
}

void closeAndExpectZero(ShownViewer& viewer) {
    closeWindow(viewer.display.x(), viewer.window);
    EXPECT_EQ(viewer.run.waitForExit(60), 0);
}

TEST(Flight, HoldingWFliesForwardThroughTheTunnel) {
    ShownViewer viewer;
    ASSERT_TRUE(viewer.show());
    const Hold hold = holdKey(viewer, "w", 1.0);
    const float farthest = 3.0f - moveSpeed * static_cast<float>(hold.held + hold.slack);
    const float nearest =
        3.0f - moveSpeed * static_cast<float>(std::max(0.0, hold.held - hold.slack));
    const BestPose best = matchFlight(viewer, sweep(farthest - 10, 3.0f, 400, [](float z) {
                                          return Pose{{0, 0, z}, 0, 0};
                                      }));
    EXPECT_GE(best.fraction, 0.99);
    EXPECT_LT(best.pose.position.z, -20.0f) << "well away from the start";
    EXPECT_GE(best.pose.position.z, farthest - 1.0f);
    EXPECT_LE(best.pose.position.z, nearest + 1.0f);
    closeAndExpectZero(viewer);
}

TEST(Flight, TheRightArrowTurnsTowardPlusX) {
    ShownViewer viewer;
    ASSERT_TRUE(viewer.show());
    // A short turn: the sponge looks the same a quarter turn round, so from near its middle a
    // wide turn to the right can match a small turn to the left.
    const Hold hold = holdKey(viewer, "Right", 0.3);
    const float most = turnSpeed * static_cast<float>(hold.held + hold.slack);
    const float least = turnSpeed * static_cast<float>(std::max(0.0, hold.held - hold.slack));
    const BestPose best = matchFlight(viewer, sweep(-0.3f, most + 0.3f, 300, [](float yaw) {
                                          return Pose{{0, 0, 3}, yaw, 0};
                                      }));
    EXPECT_GE(best.fraction, 0.99);
    EXPECT_GT(best.pose.yaw, 0.2f) << "turned toward +x";
    EXPECT_GE(best.pose.yaw, least - 0.02f);
    EXPECT_LE(best.pose.yaw, most + 0.02f);
    closeAndExpectZero(viewer);
}

TEST(Flight, HoldingUpStopsAtThePitchLimit) {
    ShownViewer viewer;
    ASSERT_TRUE(viewer.show());
    holdKey(viewer, "Up", 2.5); // 3.75 rad worth of turning, far past straight up
    const BestPose best = matchFlight(viewer, sweep(0.9f, 1.7f, 160, [](float pitch) {
                                          return Pose{{0, 0, 3}, 0, pitch};
                                      }));
    EXPECT_GE(best.fraction, 0.99);
    EXPECT_NEAR(best.pose.pitch, pitchLimit, 0.011f);
    closeAndExpectZero(viewer);
}

} // namespace
