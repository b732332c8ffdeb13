// Frames paced by the compositor on Wayland, where a hidden window is sent no frame callbacks, and
// a minimised window's frames slowed elsewhere.
#include "frame_pacing.h"

#include <GLFW/glfw3.h>

#include <chrono>

namespace {

// How long a frame that is not shown waits: on Wayland (the window hidden, minimised or on another
// workspace) it is drawn after this long, at most four a second, its events answered just after;
// elsewhere a minimised window waits as long for its events, answering them in the wait.
constexpr std::chrono::milliseconds hiddenFrameWait{250};

// On X11 and Windows the swap paces a shown window, but a minimised one's swap may wait for
// nothing (a software driver's, or any on Windows): it waits for its events instead.
void waitWhileMinimised(const FramePacing& pacing) {
    if (glfwGetWindowAttrib(pacing.window, GLFW_ICONIFIED) == GLFW_TRUE) {
        glfwWaitEventsTimeout(std::chrono::duration<double>(hiddenFrameWait).count());
    }
}

} // namespace

#ifdef CORVANE_X11_AND_WAYLAND
#include <cstdint>
#include <dlfcn.h>
#include <poll.h>
#include <wayland-client.h>

namespace {

// GLFW's value for its Wayland platform (3.4 and later).
constexpr int waylandPlatform = 0x00060003;

// GCOVR_EXCL_START: the suite runs on X11 alone; the Wayland and desktops' checks run what is
// Wayland's own in this file.
void frameShown(void* pacing, wl_callback* callback, std::uint32_t /*time*/) {
    wl_callback_destroy(callback);
    static_cast<FramePacing*>(pacing)->frameDone = nullptr;
}
// GCOVR_EXCL_STOP

const wl_callback_listener frameShownListener{frameShown};

// A GLFW function that only some of its builds have: null where the running library has none.
template <typename Function> Function* glfwFunction(const char* name) {
    return reinterpret_cast<Function*>(dlsym(RTLD_DEFAULT, name));
}

} // namespace

FramePacing paceFrames(GLFWwindow* window) {
    // GLFW 3.4 and later say which platform they chose; a GLFW 3.3 is built for one, and only its
    // Wayland build has the Wayland functions. Looked up as the program runs, since the library
    // it runs with may be another build than the one it was built with.
    auto* platform = glfwFunction<int()>("glfwGetPlatform");
    auto* waylandDisplay = glfwFunction<wl_display*()>("glfwGetWaylandDisplay");
    auto* waylandSurface = glfwFunction<wl_surface*(GLFWwindow*)>("glfwGetWaylandWindow");
    const bool waylandBuild = waylandDisplay != nullptr && waylandSurface != nullptr;
    if (!waylandBuild || (platform != nullptr && platform() != waylandPlatform)) {
        return {window};
    }
    FramePacing pacing{window}; // GCOVR_EXCL_START: Wayland only, as above
    pacing.display = waylandDisplay();
    pacing.queue = wl_display_create_queue(pacing.display);
    pacing.surface = static_cast<wl_surface*>(wl_proxy_create_wrapper(waylandSurface(window)));
    if (pacing.queue == nullptr || pacing.surface == nullptr) {
        // GCOVR_EXCL_STOP
        endFramePacing(pacing); // GCOVR_EXCL_LINE: run by no check; libwayland fails these only
        return {window};        // GCOVR_EXCL_LINE: run by no check, out of memory
        // GCOVR_EXCL_START: Wayland only, as above
    }
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(pacing.surface), pacing.queue);
    // With a swap interval of 1 the swap itself waits for the compositor's frame callback, which
    // a hidden window never gets: under GLFW 3.3 and 3.4 the loop would stand still. So
    // the swap waits for nothing, and waitForNextFrame waits in its place, for a while only.
    glfwSwapInterval(0);
    return pacing;
} // GCOVR_EXCL_STOP

void waitForNextFrame(FramePacing& pacing) {
    if (pacing.display == nullptr) {
        waitWhileMinimised(pacing);
        return;
    }
    wl_display* const display = pacing.display; // GCOVR_EXCL_START: Wayland only, as above
    const auto deadline = std::chrono::steady_clock::now() + hiddenFrameWait;
    while (pacing.frameDone != nullptr) {
        // Events read here for GLFW's own queue wait there for its next poll of events.
        if (wl_display_prepare_read_queue(display, pacing.queue) != 0) {
            if (wl_display_dispatch_queue_pending(display, pacing.queue) < 0) {
                return; // the connection is lost
            }
            continue;
        }
        wl_display_flush(display);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd connection{wl_display_get_fd(display), POLLIN, 0};
        if (left.count() <= 0 || poll(&connection, 1, static_cast<int>(left.count())) <= 0) {
            wl_display_cancel_read(display);
            break; // not shown: this frame is swapped all the same, its callback still awaited
        }
        if (wl_display_read_events(display) != 0 ||
            wl_display_dispatch_queue_pending(display, pacing.queue) < 0) {
            return; // the connection is lost
        }
    }
    if (pacing.frameDone == nullptr) {
        // Asked now, the callback goes with the swap's commit: it comes when that frame is shown.
        pacing.frameDone = wl_surface_frame(pacing.surface);
        wl_callback_add_listener(pacing.frameDone, &frameShownListener, &pacing);
    }
} // GCOVR_EXCL_STOP

bool connectionLost(const FramePacing& pacing) {
    return pacing.display != nullptr && wl_display_get_error(pacing.display) != 0;
}

void endFramePacing(FramePacing& pacing) {
    if (pacing.frameDone != nullptr) {
        wl_callback_destroy(pacing.frameDone); // GCOVR_EXCL_LINE: Wayland only, as above
    }
    if (pacing.surface != nullptr) {
        wl_proxy_wrapper_destroy(pacing.surface); // GCOVR_EXCL_LINE: Wayland only, as above
    }
    if (pacing.queue != nullptr) {
        wl_event_queue_destroy(pacing.queue); // GCOVR_EXCL_LINE: Wayland only, as above
    }
    pacing = {pacing.window};
}

#else

FramePacing paceFrames(GLFWwindow* window) {
    return {window};
}

void waitForNextFrame(FramePacing& pacing) {
    waitWhileMinimised(pacing);
}

bool connectionLost(const FramePacing& /*pacing*/) {
    return false;
}

void endFramePacing(FramePacing& /*pacing*/) {}

#endif
