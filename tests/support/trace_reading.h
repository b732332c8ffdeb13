// Reading a GL trace back: the calls apitrace recorded, the numbers a call sent, the camera a
// frame shows and what a frame's keys did to it.
#pragma once

#include <glm/vec3.hpp>

#include <string>
#include <utility>
#include <vector>

// The GL calls of one run as apitrace records them, one line per call. The window system's calls
// are left out: which of them the tracer sees depends on how GLFW loads GLX (GLFW 3.4 takes
// libGLX.so.0, which the tracer does not wrap), so frames are told apart by the viewer's own calls.
std::vector<std::string> tracedCalls(const std::string& trace);

// The camera as one frame shows it: the view's eye and axes, and the "cameraPos" it sends.
struct ShownCamera {
    glm::vec3 eye;
    glm::vec3 front;
    glm::vec3 right;
    glm::vec3 cameraPos;
};
ShownCamera shownCamera(const std::string& viewCall, const std::string& cameraPosCall);

// What the keys of a frame did ("+front", "turn up", "" for nothing...), and how far (world units
// or radians): its view shows the camera before them, its "cameraPos" the position after them,
// and the next frame's view the turn.
std::pair<std::string, float> keyAction(const ShownCamera& frame, const ShownCamera& next);
