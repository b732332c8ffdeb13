// The viewer's window: 800 × 600, titled "Corvane", with an OpenGL 4.3 core context.
#pragma once

struct GLFWwindow;

// Asks GLFW (initialised) for the window with the viewer's four context hints, in their order,
// and its names to the desktop (app id "corvane", X11 class "Corvane"); every other hint keeps
// what GLFW has. The window gets Corvane's icon. Null when it cannot, with GLFW's reason in
// `reason`.
GLFWwindow* openWindow(const char*& reason);
