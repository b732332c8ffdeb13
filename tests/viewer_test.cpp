// The real viewer in a virtual display: its report, its window, its picture and how it ends.
#include "harness.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

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

    for (const auto& size : {std::pair{1000, 750}, std::pair{500, 400}}) {
        const int width = size.first;
        const int height = size.second;
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

namespace {

// The GL calls of one run as apitrace records them, from the viewer's first own call on:
// one line per call, window-system calls left out but for each buffer swap, as "swap".
std::vector<std::string> tracedCalls(const std::string& trace) {
    ProcessRun dump({"apitrace", "dump", "--verbose", "--call-nos=no", trace}, makeTempDir(), {});
    EXPECT_EQ(dump.waitForExit(120), 0);
    std::vector<std::string> calls;
    std::istringstream lines(dump.output());
    const std::regex call("^gl[A-Z]\\w*\\(.*");
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("glXSwapBuffers", 0) == 0) {
            line = "swap";
        } else if (!std::regex_match(line, call) || line.rfind("glX", 0) == 0 ||
                   line.find("// fake") != std::string::npos) {
            continue; // shader text, window-system calls, the tracer's own notes
        }
        if (calls.empty() && line != "glEnable(cap = GL_DEPTH_TEST)") {
            continue; // GLFW's and GLEW's calls while the window and the loader start
        }
        calls.push_back(line);
    }
    return calls;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

TEST(Viewer, MakesExactlyTheGlCallsOfItsDesign) {
    VirtualDisplay display;
    const std::string trace = makeTempDir() + "/corvane.trace";
    ViewerRun run(workDirWithShaders(), display.name(), {},
                  {"apitrace", "trace", "--api", "gl", "--output", trace});
    const Window window = waitForWindow(display.x(), "Corvane");
    ASSERT_NE(window, 0UL);
    ASSERT_TRUE(run.waitForFrames(3));
    closeWindow(display.x(), window);
    ASSERT_EQ(run.waitForExit(exitTimeout), 0);
    const std::vector<std::string> calls = tracedCalls(trace);

    // Start-up: depth test, report, mesh, instance buffer, program, two cached locations.
    const std::vector<std::string> startUp = {
        "glEnable(cap = GL_DEPTH_TEST)",
        "glGetString(name = GL_VERSION)",
        "glGetString(name = GL_SHADING_LANGUAGE_VERSION)",
        "glGenVertexArrays(n = 1, arrays = &1)",
        "glGenBuffers(n = 1, buffers = &1)",
        "glBindVertexArray(array = 1)",
        "glBindBuffer(target = GL_ARRAY_BUFFER, buffer = 1)",
        "glBufferData(target = GL_ARRAY_BUFFER, size = 864, data = blob(864), usage = "
        "GL_STATIC_DRAW)",
        "glEnableVertexAttribArray(index = 0)",
        "glVertexAttribPointer(index = 0, size = 3, type = GL_FLOAT, normalized = GL_FALSE, "
        "stride = 24, pointer = NULL)",
        "glEnableVertexAttribArray(index = 1)",
        "glVertexAttribPointer(index = 1, size = 3, type = GL_FLOAT, normalized = GL_FALSE, "
        "stride = 24, pointer = 0xc)",
        "glBindVertexArray(array = 0)",
        "glGenBuffers(n = 1, buffers = &2)",
        "glBindBuffer(target = GL_SHADER_STORAGE_BUFFER, buffer = 2)",
        "glBufferData(target = GL_SHADER_STORAGE_BUFFER, size = 2560000, data = blob(2560000), "
        "usage = GL_STATIC_DRAW)",
        "glBindBufferBase(target = GL_SHADER_STORAGE_BUFFER, index = 0, buffer = 2)",
        "glCreateShader(type = GL_VERTEX_SHADER)",
        "glShaderSource(shader = 1, count = 1, string = &\"#version 430 core",
        "glCompileShader(shader = 1)",
        "glGetShaderiv(shader = 1, pname = GL_COMPILE_STATUS",
        "glCreateShader(type = GL_FRAGMENT_SHADER)",
        "glShaderSource(shader = 2, count = 1, string = &\"#version 430 core",
        "glCompileShader(shader = 2)",
        "glGetShaderiv(shader = 2, pname = GL_COMPILE_STATUS",
        "glCreateProgram()",
        "glAttachShader(program = 3, shader = 1)",
        "glAttachShader(program = 3, shader = 2)",
        "glLinkProgram(program = 3)",
        "glGetProgramiv(program = 3, pname = GL_LINK_STATUS",
        "glDeleteShader(shader = 1)",
        "glDeleteShader(shader = 2)",
        "glGetUniformLocation(program = 3, name = \"lightPos\")",
        "glGetUniformLocation(program = 3, name = \"baseColor\")",
        "glViewport(x = 0, y = 0, width = 800, height = 600)",
    };
    // Every frame: clear to the fog colour, then the inputs and one instanced draw, then swap.
    const std::vector<std::string> frame = {
        "glClearColor(red = 0.9294118, green = 0.9137255, blue = 0.9098039, alpha = 1)",
        "glClear(mask = GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT)",
        "glUseProgram(program = 3)",
        "glUniform3fv(location = 3, count = 1, value = {0, 0, 10})",
        "glUniform3fv(location = 4, count = 1, value = {0.74, 0.74, 0.74})",
        "glGetUniformLocation(program = 3, name = \"model\")",
        "glUniformMatrix4fv(location = 0, count = 1, transpose = GL_FALSE, value = {1, 0, 0, 0, "
        "0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1})",
        "glGetUniformLocation(program = 3, name = \"view\")",
        "glUniformMatrix4fv(location = 1, count = 1, transpose = GL_FALSE",
        "glGetUniformLocation(program = 3, name = \"projection\")",
        "glUniformMatrix4fv(location = 2, count = 1, transpose = GL_FALSE",
        "glGetUniformLocation(program = 3, name = \"cameraPos\")",
        "glUniform3fv(location = 5, count = 1, value = {0, 0, 3})",
        "glGetUniformLocation(program = 3, name = \"fogColor\")",
        "glUniform3fv(location = 6, count = 1, value = {0.9294118, 0.9137255, 0.9098039})",
        "glGetUniformLocation(program = 3, name = \"fogStart\")",
        "glUniform1f(location = 7, v0 = 10)",
        "glGetUniformLocation(program = 3, name = \"fogEnd\")",
        "glUniform1f(location = 8, v0 = 200)",
        "glBindVertexArray(array = 1)",
        "glDrawArraysInstanced(mode = GL_TRIANGLES, first = 0, count = 36, instancecount = 160000)",
        "swap",
    };
    ASSERT_GE(calls.size(), startUp.size() + 3 * frame.size());
    for (size_t i = 0; i < startUp.size(); ++i) {
        EXPECT_TRUE(startsWith(calls[i], startUp[i])) << "call " << i << ": " << calls[i];
    }
    // The uniform locations depend on the shader text; the order of the calls does not.
    const std::regex anyLocation("location = \\d+");
    size_t frames = 0;
    for (size_t i = startUp.size(); i + frame.size() <= calls.size(); i += frame.size()) {
        for (size_t j = 0; j < frame.size(); ++j) {
            const std::string& expected = frame[j];
            const std::string& actual = calls[i + j];
            EXPECT_TRUE(startsWith(std::regex_replace(actual, anyLocation, "location = L"),
                                   std::regex_replace(expected, anyLocation, "location = L")))
                << "frame " << frames << " call " << j << ": " << actual;
        }
        ++frames;
    }
    EXPECT_EQ(startUp.size() + frames * frame.size(), calls.size()) << "calls after the last frame";
    EXPECT_GE(frames, 3U);
}

} // namespace
