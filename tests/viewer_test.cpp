// The real viewer in a virtual display: its report, window, picture and how it ends; its X errors.
#include "harness.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "main/lost_display.h"
#include <X11/Xlib.h>
#include <sys/ioctl.h>

namespace {

constexpr double exitTimeout = 60;

// On an EGL context (a Wayland session) GLEW loads every function, then says it found no GLX
// display; here GLX is made to report none, so that the real glewInit says the same on X11.
void reportsDrawsAndClosesCleanly(const std::map<std::string, std::string>& env,
                                  const std::string& glewSays) {
    ShownViewer viewer(env);
    ASSERT_TRUE(viewer.show());
    ASSERT_FALSE(viewer.run.setUpCalls().empty());
    EXPECT_EQ(viewer.run.setUpCalls().back(), glewSays);

    // The report: the count, then the context's versions as the driver gives them.
    const std::string versions = driverVersions(viewer.display.name());
    const std::string glVersion = versions.substr(0, versions.find('\n'));
    const std::string glslVersion = versions.substr(versions.find('\n') + 1);
    EXPECT_EQ(viewer.run.output(),
              "160000\nOpenGL version: " + glVersion + "\nGLSL version: " + glslVersion);

    // One window titled "Corvane", 800 × 600, showing the sponge, named as its menu entry's
    // StartupWMClass and with the menu icon's pictures up to 128 pixels, pixel for pixel.
    Display* x = viewer.display.x();
    EXPECT_EQ(topLevelWindows(x, "Corvane").size(), 1U);
    EXPECT_EQ(windowProperty(x, viewer.window, "WM_CLASS"), std::string("corvane\0Corvane\0", 16));
    std::string pictures; // each picture's width and height, then its pixels, 32-bit ARGB
    for (const std::uint32_t size : {16U, 32U, 48U, 64U, 128U}) {
        const std::string png = CORVANE_ICON_DIR "/corvane-" + std::to_string(size) + ".png";
        // ImageMagick 7's command is magick, 6's convert; bgra is ARGB in a little-endian word.
        const char* bgraOf =
            R"sh(exec "$(command -v magick || echo convert)" "$0" -depth 8 bgra:-)sh";
        ProcessRun convert({"sh", "-c", bgraOf, png}, ".", {});
        ASSERT_EQ(convert.waitForExit(exitTimeout), 0) << png;
        const std::string side(reinterpret_cast<const char*>(&size), sizeof size);
        pictures += side + side + convert.output();
    }
    EXPECT_TRUE(windowProperty(x, viewer.window, "_NET_WM_ICON") == pictures) << "the icon";
    const RgbImage shot = viewer.settledScreenshot();
    ASSERT_EQ(shot.width, 800);
    ASSERT_EQ(shot.height, 600);
    const Agreement agreement = compareCoverage(castSponge(startPose), shot);
    std::printf("start view: %.3f%% of %ld pixels agree\n", 100 * agreement.fraction(),
                agreement.compared);
    EXPECT_GE(agreement.fraction(), 0.995);
    // Straight ahead the tunnel opens onto the background, drawn in the fog colour.
    const std::uint8_t* centre = shot.at(400, 300);
    EXPECT_TRUE(std::equal(centre, centre + 3, fogRgb));

    // Escape is not a way out.
    focusWindow(viewer.display.x(), viewer.window);
    sendKey(viewer.display.x(), "Escape", true);
    sendKey(viewer.display.x(), "Escape", false);
    ASSERT_TRUE(viewer.run.waitForFrames(3, viewer.run.framesDrawn()));
    EXPECT_TRUE(viewer.run.running());

    // The close request is.
    closeWindow(viewer.display.x(), viewer.window);
    EXPECT_EQ(viewer.run.waitForExit(exitTimeout), 0) << viewer.run.output() << viewer.run.errors();
}

TEST(Viewer, ReportsDrawsAndClosesCleanly) {
    reportsDrawsAndClosesCleanly({}, "glewInit() = 0 with glewExperimental 0");
}

TEST(Viewer, RunsWhenGlewFindsNoGlxDisplay) {
    reportsDrawsAndClosesCleanly({{"CORVANE_NO_GLX_DISPLAY", "1"}},
                                 "glewInit() = 4 with glewExperimental 0");
}

TEST(Viewer, SaysSoWhenItsDisplayGoes) {
    // The X server ended, or its connection broken under a write, which raises SIGPIPE.
    for (const bool underAWrite : {false, true}) {
        const std::string broken = makeTempDir() + "/broken";
        ShownViewer viewer({{"CORVANE_BROKEN_PIPE", broken}});
        ASSERT_TRUE(viewer.show());
        underAWrite ? writeFile(broken, "") : viewer.display.lose();
        EXPECT_EQ(viewer.run.waitForExit(exitTimeout), 1) << "under a write: " << underAWrite;
        const std::string said =
            "\nCorvane lost its display: the X server " + viewer.display.name();
        EXPECT_NE(viewer.run.output().find(said + " went away"), std::string::npos);
    }
    // Broken under the first write of all, as GLFW connects: the start-up step that failed, said.
    const VirtualDisplay display;
    const std::string broken = makeTempDir() + "/broken";
    writeFile(broken, "");
    ViewerRun run(workDirWithShaders(), display.name(), {{"CORVANE_BROKEN_PIPE", broken}});
    EXPECT_EQ(run.waitForExit(exitTimeout), 1);
    EXPECT_NE(run.output().find("\nCorvane could not initialise GLFW: "), std::string::npos);
}

int xErrorsSeen = 0;

// Its handler of X errors passes any error but the server's end on to the handler before it,
// once, even when set twice (as its own predecessor, it would call itself without end), and with
// events still unread behind the error, which are no hang-up: after the handler's half second (a
// second, for the test), the connection goes on serving them.
TEST(Viewer, PassesOtherXErrorsOnOnce) {
    const VirtualDisplay display;
    Display* x = display.x();
    XSetErrorHandler([](Display*, XErrorEvent*) { return ++xErrorsSeen, 0; });
    failWhenTheXServerGoes();
    failWhenTheXServerGoes();
    const auto waitUnread = [x](int bytes) { // false when they have not come within a minute
        const double deadline = monotonicSeconds() + 60;
        for (int unread = 0; unread < bytes; ioctl(ConnectionNumber(x), FIONREAD, &unread)) {
            nap();
            if (monotonicSeconds() > deadline) {
                return false;
            }
        }
        return true;
    };
    // The error arrives first, unread (Xlib reads as it sends: the grab holds the request back);
    // then more events than the one read that meets the error takes in, from another client.
    Display* other = XOpenDisplay(display.name().c_str());
    ASSERT_NE(other, nullptr);
    const Window window = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 1, 1, 0, 0, 0);
    XGrabServer(other);
    XSync(other, False);
    XMapWindow(x, 1); // no such window
    XFlush(x);
    XUngrabServer(other);
    XSync(other, False);
    ASSERT_TRUE(waitUnread(32));
    XEvent message{ClientMessage};
    message.xclient.format = 8;
    for (int i = 0; i < 1000; ++i) {
        XSendEvent(other, window, False, NoEventMask, &message);
    }
    XSync(other, False);
    ASSERT_TRUE(waitUnread(4096 + 64)); // more than libxcb reads at once
    const double start = monotonicSeconds();
    XPending(x);
    EXPECT_LT(monotonicSeconds() - start, 1.0);
    EXPECT_EQ(xErrorsSeen, 1);
    XSync(x, False);
    EXPECT_EQ(QLength(x), 1000);
    XCloseDisplay(other);
}

TEST(Viewer, KeepsItsPictureWhenResizedAndWaitsWhenMinimised) {
    ShownViewer viewer;
    ASSERT_TRUE(viewer.show());
    const RgbImage before = viewer.settledScreenshot();

    for (const auto& size : {std::pair{1000, 750}, std::pair{500, 400}}) {
        const int width = size.first;
        const int height = size.second;
        resizeWindow(viewer.display.x(), viewer.window, width, height);
        RgbImage after;
        long same = 0;
        long fog = 0;
        long outside = 0;
        const long inside = long(std::min(width, 800)) * std::min(height, 600);
        // The window system applies the size when it likes, and a driver may still show a few
        // frames drawn at the old size: take settled screenshots until the new one shows.
        bool shown = false;
        for (int tries = 0; tries < 30 && !shown; ++tries) {
            after = settledScreenshot(viewer.run, viewer.display.x(), viewer.window);
            if (after.width != width || after.height != height) {
                continue;
            }
            same = fog = outside = 0;
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
                        fog += std::equal(pixel, pixel + 3, fogRgb);
                    }
                }
            }
            shown = double(same) >= 0.995 * double(inside) && fog == outside;
        }
        ASSERT_EQ(after.width, width);
        ASSERT_EQ(after.height, height);
        EXPECT_GE(double(same) / double(inside), 0.995) << width << " x " << height;
        EXPECT_EQ(fog, outside) << width << " x " << height;
    }

    // Minimised, as a window manager says in WM_STATE (3 iconic, 1 normal), the viewer waits for
    // events before each frame; shown again, no more. The waits are counted over 3 frames, once 3
    // have passed since the change: at least 2, as the first may come before the count begins.
    for (const long state : {3L, 1L}) {
        const long value[] = {state, 0};
        const Atom wmState = XInternAtom(viewer.display.x(), "WM_STATE", False);
        XChangeProperty(viewer.display.x(), viewer.window, wmState, wmState, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(value), 2);
        XSync(viewer.display.x(), False);
        long waits[2] = {};
        for (long& count : waits) {
            ASSERT_TRUE(viewer.run.waitForFrames(3, viewer.run.framesDrawn()));
            const std::vector<std::string> calls = viewer.run.setUpCalls();
            count = std::count(calls.begin(), calls.end(), "glfwWaitEventsTimeout(0.25)");
        }
        EXPECT_TRUE(state == 3 ? waits[1] - waits[0] >= 2 : waits[1] == waits[0]) << state;
    }
    closeWindow(viewer.display.x(), viewer.window);
    EXPECT_EQ(viewer.run.waitForExit(exitTimeout), 0) << viewer.run.output() << viewer.run.errors();
}

TEST(Viewer, FailsClearlyWithoutADisplayOrA43Context) {
    struct Case {
        const char* name = nullptr;
        const char* message = nullptr;
        std::map<std::string, std::string> env; // an empty DISPLAY: no display at all
    };
    const Case cases[] = {
        {"no display", "Corvane could not initialise GLFW: .+", {{"DISPLAY", ""}}},
        {"OpenGL 3.3 only",
         "Corvane could not open its window with an OpenGL 4.3 core context: .+",
         {{"MESA_GL_VERSION_OVERRIDE", "3.3"}}},
        {"GLEW finds no GL version",
         "Corvane could not load the OpenGL functions: .+",
         {{"CORVANE_NO_GL_VERSION", "1"}}},
    };
    for (const Case& c : cases) {
        VirtualDisplay display;
        ViewerRun run(workDirWithShaders(), display.name(), c.env);
        EXPECT_EQ(run.waitForExit(exitTimeout), 1) << c.name;
        const std::string output = run.output();
        EXPECT_TRUE(
            std::regex_match(output, std::regex(std::string("160000\n") + c.message + "\n")))
            << c.name << ": " << output;
        EXPECT_EQ(run.framesDrawn(), 0) << c.name;
    }
}

} // namespace
