// A display lost under the running viewer: a failure said as one, never a window closed.
#pragma once

struct FramePacing;

// From now on, a write to a display server that has gone fails instead of raising SIGPIPE, which
// would end the viewer without a word: GLFW's start-up or an I/O error handler then says so, and
// the run ends with status 1. Call it before glfwInit.
void failWritesToALostDisplay();

// From now on, an X server that goes away ends the run at once with status 1 and a line on
// standard output that names its display. Call it once the window is open; a viewer on Wayland
// (or on Windows) has no X connection, and nothing changes.
void failWhenTheXServerGoes();

// After the frame loop: true when the loop ended because the Wayland compositor went away, which
// GLFW takes for a close request, or ended the connection for a protocol error, with the line that
// says so printed; false for a window closed by its user, and wherever the viewer is not on
// Wayland. It waits for nothing.
bool reportLostWaylandDisplay(FramePacing& pacing);
