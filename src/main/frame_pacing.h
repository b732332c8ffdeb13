// Frames paced by the compositor on Wayland, where a hidden window is sent no frame callbacks, and
// a minimised window's frames slowed elsewhere.
#pragma once

struct GLFWwindow;
struct wl_callback;
struct wl_display;
struct wl_event_queue;
struct wl_surface;

// The viewer's own wait for the compositor, on Wayland; elsewhere only the window, and the swap
// interval paces the frames while it is shown.
struct FramePacing {
    GLFWwindow* window = nullptr;
    wl_display* display = nullptr;
    wl_event_queue* queue = nullptr;  // where the answers to `surface`'s requests arrive
    wl_surface* surface = nullptr;    // the window's surface, answered on `queue`
    wl_callback* frameDone = nullptr; // asked with the last frame, until the compositor answers
};

// On a Wayland window, sets the swap interval to 0 and returns what waitForNextFrame needs;
// elsewhere changes nothing and returns a record of the window alone. Call it with the window's
// context current, after the swap interval is set.
FramePacing paceFrames(GLFWwindow* window);

// Before a buffer swap: on Wayland, waits until the compositor has shown the last frame, or at
// most a quarter of a second, which is all a hidden window ever gets; elsewhere, while the window
// is minimised, waits as long for its events, and otherwise returns at once. `pacing` must stay
// where it is while its frame is awaited. A connection lost meanwhile ends the wait; the swap
// after it fails on it too, and connectionLost then tells.
void waitForNextFrame(FramePacing& pacing);

// After a buffer swap, before GLFW's poll of events: true when the compositor's connection has
// failed, whichever read met it (the frame wait's or the driver's in the swap), since that poll
// could go round without end on events left for GLFW that can no longer be dispatched; always
// false off Wayland.
bool connectionLost(const FramePacing& pacing);

// After the frame loop, before glfwTerminate: ends the frame callback and what paceFrames made.
void endFramePacing(FramePacing& pacing);
