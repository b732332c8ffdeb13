// The camera's eight keys, in the order of the camera's key fields and of a flight's key bits:
// the word a flight file gives each, its X key name and its GLFW key code.
#pragma once

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

struct FlightKey {
    const char* word;
    const char* xName;
    int glfwKey;
};

static const struct FlightKey flightKeys[8] = {
    {"w", "w", GLFW_KEY_W},    {"s", "s", GLFW_KEY_S},          {"a", "a", GLFW_KEY_A},
    {"d", "d", GLFW_KEY_D},    {"left", "Left", GLFW_KEY_LEFT}, {"right", "Right", GLFW_KEY_RIGHT},
    {"up", "Up", GLFW_KEY_UP}, {"down", "Down", GLFW_KEY_DOWN},
};
