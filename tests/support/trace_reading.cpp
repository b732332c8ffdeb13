// Reading a GL trace back with apitrace's dump, and the camera in the matrices it sent.
#include "trace_reading.h"

#include "harness.h"

#include <gtest/gtest.h>

#include <glm/geometric.hpp>
#include <glm/gtc/constants.hpp>
#include <glm/mat4x4.hpp>
#include <glm/matrix.hpp>

#include <cmath>
#include <regex>
#include <sstream>

std::vector<std::string> tracedCalls(const std::string& trace) {
    ProcessRun dump({"apitrace", "dump", "--verbose", "--call-nos=no", trace}, makeTempDir(), {});
    EXPECT_EQ(dump.waitForExit(120), 0);
    std::vector<std::string> calls;
    std::istringstream lines(dump.output());
    const std::regex call("^gl[A-Z]\\w*\\(.*");
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_match(line, call) && line.rfind("glX", 0) != 0 &&
            line.find("// fake") == std::string::npos) {
            calls.push_back(line); // not shader text, window-system calls or the tracer's notes
        }
    }
    return calls;
}

namespace {

// The numbers of a traced call's "value = {...}".
glm::mat4 tracedValues(const std::string& call) {
    glm::mat4 matrix(0.0f);
    std::istringstream numbers(call.substr(call.find("value = {") + 9));
    int read = 0; // column by column, as GL sends them
    for (char comma = ','; comma == ',' && read < 16; numbers >> comma, ++read) {
        numbers >> matrix[read / 4][read % 4];
    }
    return matrix;
}

} // namespace

ShownCamera shownCamera(const std::string& viewCall, const std::string& cameraPosCall) {
    const glm::mat4 view = tracedValues(viewCall);
    return {glm::vec3(glm::inverse(view)[3]), -glm::vec3(view[0][2], view[1][2], view[2][2]),
            glm::vec3(view[0][0], view[1][0], view[2][0]),
            glm::vec3(tracedValues(cameraPosCall)[0])};
}

std::pair<std::string, float> keyAction(const ShownCamera& frame, const ShownCamera& next) {
    const glm::vec3 move = frame.cameraPos - frame.eye;
    const float yawTurn = std::remainder(std::atan2(next.front.x, -next.front.z) -
                                             std::atan2(frame.front.x, -frame.front.z),
                                         2 * glm::pi<float>());
    const float pitchTurn = std::asin(next.front.y) - std::asin(frame.front.y);
    // Near straight up or down the horizontal part of front is short, and its angle coarse.
    const float yawTolerance = 1e-4f / std::sqrt(1 - frame.front.y * frame.front.y);
    const bool moved = glm::length(move) > 1e-3f;
    const bool turned = std::abs(yawTurn) > yawTolerance || std::abs(pitchTurn) > 1e-4f;
    if (moved == turned) {
        return {moved ? "moved and turned" : "", 0};
    }
    if (moved) {
        const glm::vec3 way = glm::normalize(move);
        for (const auto& [axis, name] : {std::pair{frame.front, "front"}, {frame.right, "right"}}) {
            if (std::abs(glm::dot(way, axis)) > 0.9999f) {
                return {std::string(glm::dot(way, axis) > 0 ? "+" : "-") + name, glm::length(move)};
            }
        }
        return {"moved aslant", 0};
    }
    if (std::abs(pitchTurn) < 1e-4f) {
        return {yawTurn > 0 ? "turn right" : "turn left", std::abs(yawTurn)};
    }
    if (std::abs(yawTurn) < yawTolerance) {
        return {pitchTurn > 0 ? "turn up" : "turn down", std::abs(pitchTurn)};
    }
    return {"turned aslant", 0};
}
