// The real viewer under a GL tracer, flown with each key in turn: the GL calls of its design, in
// order, and what each key did to the camera, read back from the traced matrices.
#include "harness.h"
#include "reference.h"
#include "trace_reading.h"

#include "flight_keys.h"

#include <gtest/gtest.h>

#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>
#include <regex>

namespace {

constexpr double exitTimeout = 60;

// The camera's speeds and pitch limit, written from the design.
constexpr float moveSpeed = 40.0f;      // units a second
constexpr float turnSpeed = 1.5f;       // radians a second
constexpr float pitchLimit = 1.553343f; // 89°, in radians

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

TEST(Viewer, MakesTheGlCallsOfItsDesignWhileEachKeyActsItsOwnWay) {
    VirtualDisplay display;
    Display* x = display.x();
    const std::string trace = makeTempDir() + "/corvane.trace";
    ViewerRun run(workDirWithShaders(), display.name(), {},
                  {"apitrace", "trace", "--api", "gl", "--output", trace});
    const Window window = waitForWindow(x, "Corvane");
    ASSERT_NE(window, 0UL);
    ASSERT_TRUE(run.waitForFrames(2));

    // Each key pressed in turn and held until the frames drawn since cover its time, then two
    // frames more, then released for 3 frames: 0.3 s of moving or turning, and
    // for Up the 1.04 s that reach the pitch limit. Counted in frames, this takes at least 3
    // frames at 1 frame a second and about 300 (1,040 for Up) at 1,000; each wait for a frame
    // gives up after 120 s.
    // What each of the camera's keys (flight_keys.h) does, in their order, and how long it is held.
    struct Key {
        const char* action;
        double seconds;
    };
    const Key keys[8] = {{"+front", 0.3},   {"-front", 0.3},    {"-right", 0.3},
                         {"+right", 0.3},   {"turn left", 0.3}, {"turn right", 0.3},
                         {"turn up", 1.04}, {"turn down", 0.3}};
    focusWindow(x, window);
    RgbImage afterForward;
    for (unsigned i = 0; i < 8; ++i) {
        const Key& key = keys[i];
        const char* name = flightKeys[i].xName;
        const auto pressedAt = static_cast<size_t>(run.framesDrawn());
        sendKey(x, name, true);
        ASSERT_TRUE(run.waitForFrames(3, run.framesDrawn()));
        while (run.frameTimes().back() - run.frameTimes()[pressedAt] < key.seconds) {
            ASSERT_TRUE(run.waitForFrames(1, run.framesDrawn()));
        }
        ASSERT_TRUE(run.waitForFrames(2, run.framesDrawn()));
        sendKey(x, name, false);
        ASSERT_TRUE(run.waitForFrames(3, run.framesDrawn()));
        if (afterForward.width == 0) {
            afterForward = settledScreenshot(run, x, window);
        }
    }
    closeWindow(x, window);
    ASSERT_EQ(run.waitForExit(exitTimeout), 0) << run.output() << run.errors();
    const std::vector<std::string> calls = tracedCalls(trace);

    // The viewer's own context set-up, as it asked for it, and no wait for events: it is shown.
    EXPECT_EQ(run.setUpCalls(), (std::vector<std::string>{
                                    "glfwWindowHint(0x22002, 0x4)",     // context version 4
                                    "glfwWindowHint(0x22003, 0x3)",     // .3
                                    "glfwWindowHint(0x22008, 0x32001)", // core profile
                                    "glfwWindowHint(0x22006, 0x1)",     // forward-compatible
                                    "glfwCreateWindow(800, 600, \"Corvane\", NULL, NULL)",
                                    "glfwMakeContextCurrent()",
                                    "glfwSwapInterval(1)",
                                    "glewInit() = 0 with glewExperimental 0",
                                }));
    // Until the depth test is enabled, GL sees only GLFW's and GLEW's queries and the clear of
    // the new window.
    const auto depthTest = std::find(calls.begin(), calls.end(), "glEnable(cap = GL_DEPTH_TEST)");
    ASSERT_NE(depthTest, calls.end());
    const std::regex loaderCall("^glGetString\\(|^glGetStringi\\(|^glGetIntegerv\\(|"
                                "^glClear\\(mask = GL_COLOR_BUFFER_BIT\\)$");
    for (auto call = calls.begin(); call != depthTest; ++call) {
        EXPECT_TRUE(std::regex_search(*call, loaderCall)) << "before the depth test: " << *call;
    }
    const size_t first = static_cast<size_t>(depthTest - calls.begin());

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
    // Every frame: clear to the fog colour, then the inputs and one instanced draw.
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
        "glUniform3fv(location = 5, count = 1, value = {",
        "glGetUniformLocation(program = 3, name = \"fogColor\")",
        "glUniform3fv(location = 6, count = 1, value = {0.9294118, 0.9137255, 0.9098039})",
        "glGetUniformLocation(program = 3, name = \"fogStart\")",
        "glUniform1f(location = 7, v0 = 10)",
        "glGetUniformLocation(program = 3, name = \"fogEnd\")",
        "glUniform1f(location = 8, v0 = 200)",
        "glBindVertexArray(array = 1)",
        "glDrawArraysInstanced(mode = GL_TRIANGLES, first = 0, count = 36, instancecount = 160000)",
    };
    const size_t viewCall = 8;
    const size_t cameraPosCall = 12;
    ASSERT_GE(calls.size(), first + startUp.size() + 3 * frame.size());
    for (size_t i = 0; i < startUp.size(); ++i) {
        EXPECT_TRUE(startsWith(calls[first + i], startUp[i]))
            << "call " << i << ": " << calls[first + i];
    }
    // The uniform locations depend on the shader text; the order of the calls does not.
    const std::regex anyLocation("location = \\d+");
    std::vector<ShownCamera> shown;
    for (size_t i = first + startUp.size(); i + frame.size() <= calls.size(); i += frame.size()) {
        for (size_t j = 0; j < frame.size(); ++j) {
            EXPECT_TRUE(startsWith(std::regex_replace(calls[i + j], anyLocation, "location = L"),
                                   std::regex_replace(frame[j], anyLocation, "location = L")))
                << "frame " << shown.size() << " call " << j << ": " << calls[i + j];
        }
        shown.push_back(shownCamera(calls[i + viewCall], calls[i + cameraPosCall]));
    }
    EXPECT_EQ(first + startUp.size() + shown.size() * frame.size(), calls.size())
        << "calls after the last frame";
    EXPECT_EQ(shown.size(), static_cast<size_t>(run.framesDrawn())) << "one swap a frame";
    const std::vector<double> times = run.frameTimes();
    std::printf("%zu frames, %.3f s apart on average\n", times.size(),
                (times.back() - times.front()) / double(times.size() - 1));

    // Each frame draws the view from where the previous frame's keys left the camera.
    EXPECT_LT(glm::distance(shown.front().eye, startPose.position), 1e-5f);
    for (size_t k = 1; k < shown.size(); ++k) {
        EXPECT_LT(glm::distance(shown[k].eye, shown[k - 1].cameraPos), 1e-3f) << "frame " << k;
    }
    // Each key acted its own way, in the order pressed, and Up stopped at the pitch limit. Each
    // frame's step is the key's speed times the frame delta the viewer read from its clock (once
    // at start-up, then once a frame); a turn that reaches the pitch limit stops short.
    const std::vector<double> clock = run.clockReadings();
    ASSERT_EQ(clock.size(), shown.size() + 1);
    std::vector<std::string> actions;
    size_t forwardEnd = 0;
    float highest = 0;
    for (size_t k = 0; k + 1 < shown.size(); ++k) {
        const auto [action, step] = keyAction(shown[k], shown[k + 1]);
        const float speed = startsWith(action, "turn") ? turnSpeed : moveSpeed;
        const float expectedStep = speed * static_cast<float>(clock[k + 1] - clock[k]);
        const bool stopped = std::abs(shown[k + 1].front.y) > std::sin(pitchLimit - 1e-4f);
        if (!action.empty() && !stopped) {
            EXPECT_NEAR(step, expectedStep, 1e-3f * expectedStep + 1e-4f)
                << "frame " << k << ": " << action;
        }
        if (!action.empty() && (actions.empty() || actions.back() != action)) {
            actions.push_back(action);
        }
        forwardEnd = actions.size() == 1 ? k : forwardEnd;
        highest = std::max(highest, std::asin(shown[k].front.y));
    }
    std::vector<std::string> expected;
    for (const Key& key : keys) {
        expected.emplace_back(key.action);
    }
    EXPECT_EQ(actions, expected);
    EXPECT_NEAR(highest, pitchLimit, 1e-4f);

    // The picture after the flight forward is the sponge from where the trace says it went.
    const Pose pose{shown[forwardEnd].cameraPos, 0, 0};
    const Agreement agreement = compareCoverage(castSponge(pose), afterForward);
    std::printf("after W, at z = %g: %.3f%% of %ld pixels agree\n", pose.position.z,
                100 * agreement.fraction(), agreement.compared);
    EXPECT_LT(pose.position.z, 0.0f);
    EXPECT_GE(agreement.fraction(), 0.99);
}

} // namespace
