// The real viewer in a virtual display: its report, its window, its picture and how it ends.
#include "harness.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

constexpr double exitTimeout = 60;

std::string referenceVersions(const std::string& display,
                              const std::map<std::string, std::string>& env = {}) {
    auto withDisplay = env;
    withDisplay.emplace("DISPLAY", display);
    ProcessRun reference({CORVANE_GL_REFERENCE, "versions"}, makeTempDir(), withDisplay);
    EXPECT_EQ(reference.waitForExit(exitTimeout), 0);
    return reference.output();
}

TEST(Viewer, ReportsDrawsAndClosesCleanly) {
    ShownViewer viewer;
    ASSERT_TRUE(viewer.show());

    // The report: the count, then the context's versions as the driver gives them.
    const std::string versions = referenceVersions(viewer.display.name());
    const std::string glVersion = versions.substr(0, versions.find('\n'));
    const std::string glslVersion = versions.substr(versions.find('\n') + 1);
    EXPECT_EQ(viewer.run.output(),
              "160000\nOpenGL version: " + glVersion + "\nGLSL version: " + glslVersion);

    // One window titled "Corvane", 800 × 600, showing the sponge.
    EXPECT_EQ(topLevelWindows(viewer.display.x(), "Corvane").size(), 1U);
    const RgbImage shot = viewer.settledScreenshot();
    ASSERT_EQ(shot.width, 800);
    ASSERT_EQ(shot.height, 600);
    const Agreement agreement = compareCoverage(castSponge({{0, 0, 3}, 0, 0}), shot);
    std::printf("start view: %.3f%% of %ld pixels agree\n", 100 * agreement.fraction(),
                agreement.compared);
    EXPECT_GE(agreement.fraction(), 0.995);
    // Straight ahead the tunnel opens onto the background, drawn in the fog colour.
    const std::uint8_t* centre = shot.at(400, 300);
    EXPECT_EQ(std::vector<int>(centre, centre + 3), (std::vector<int>{237, 233, 232}));

    // Escape is not a way out.
    focusWindow(viewer.display.x(), viewer.window);
    sendKey(viewer.display.x(), "Escape", true);
    sendKey(viewer.display.x(), "Escape", false);
    ASSERT_TRUE(viewer.run.waitForFrames(3, viewer.run.framesDrawn()));
    EXPECT_TRUE(viewer.run.running());

    // The close request is.
    closeWindow(viewer.display.x(), viewer.window);
    EXPECT_EQ(viewer.run.waitForExit(exitTimeout), 0);
}

TEST(Viewer, KeepsItsPictureInTheLowerLeftWhenResized) {
    ShownViewer viewer;
    ASSERT_TRUE(viewer.show());
    const RgbImage before = viewer.settledScreenshot();

    for (const auto& [width, height] : {std::pair{1000, 750}, std::pair{500, 400}}) {
        resizeWindow(viewer.display.x(), viewer.window, width, height);
        const RgbImage after = [&] {
            RgbImage shot;
            // The window system applies the size asynchronously; wait until it shows.
            for (int tries = 0; tries < 20 && (shot.width != width || shot.height != height);
                 ++tries) {
                shot = viewer.settledScreenshot();
            }
            return shot;
        }();
        ASSERT_EQ(after.width, width);
        ASSERT_EQ(after.height, height);
        long same = 0;
        long fog = 0;
        long outside = 0;
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                const int fromBottom = height - 1 - row;
                const std::uint8_t* pixel = after.at(column, row);
                if (column < 800 && fromBottom < 600) {
                    const std::uint8_t* was = before.at(column, 599 - fromBottom);
                    same += std::equal(pixel, pixel + 3, was,
                                       [](int a, int b) { return std::abs(a - b) <= 2; });
                } else {
                    ++outside;
                    fog += pixel[0] == 237 && pixel[1] == 233 && pixel[2] == 232;
                }
            }
        }
        const long inside = long(std::min(width, 800)) * std::min(height, 600);
        EXPECT_GE(double(same) / double(inside), 0.995) << width << " x " << height;
        EXPECT_EQ(fog, outside) << width << " x " << height;
    }
    closeWindow(viewer.display.x(), viewer.window);
    EXPECT_EQ(viewer.run.waitForExit(exitTimeout), 0);
}

TEST(Viewer, FailsClearlyWithoutADisplayOrA43Context) {
    struct Case {
        const char* name;
        bool display;
        std::map<std::string, std::string> env;
        const char* message;
    };
    const Case cases[] = {
        {"no display", false, {}, "Corvane could not initialise GLFW: .+"},
        {"OpenGL 3.3 only",
         true,
         {{"MESA_GL_VERSION_OVERRIDE", "3.3"}},
         "Corvane could not open its window with an OpenGL 4.3 core context: .+"},
    };
    for (const Case& c : cases) {
        VirtualDisplay display;
        ViewerRun run(workDirWithShaders(), c.display ? display.name() : "", c.env);
        EXPECT_EQ(run.waitForExit(exitTimeout), 1) << c.name;
        const std::string output = run.output();
        EXPECT_TRUE(
            std::regex_match(output, std::regex(std::string("160000\n") + c.message + "\n")))
            << c.name << ": " << output;
        EXPECT_EQ(run.framesDrawn(), 0) << c.name;
    }
}

} // namespace
