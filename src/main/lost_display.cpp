// A display lost under the running viewer: a failure said as one, never a window closed.
#include "lost_display.h"

#include "frame_pacing.h"

#ifdef CORVANE_X11_AND_WAYLAND
#include <X11/Xlib.h>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <iostream>
#include <poll.h>
#include <wayland-client.h>

namespace {

// Xlib's own handlers would say it in several lines on standard error, or in none.
// GCOVR_EXCL_START: Viewer.SaysSoWhenItsDisplayGoes runs it, but _Exit writes no coverage.
int xServerGone(Display* display) {
    std::cout << "Corvane lost its display: the X server " << DisplayString(display)
              << " went away\n"
              << std::flush;
    // Whatever would run at exit could still ask the dead connection for something.
    std::_Exit(1);
} // GCOVR_EXCL_STOP

XErrorHandler xlibErrorHandler = nullptr;

// A driver may report the server's end as an error of its own about the window it lost (zink
// does), even a moment before the server closes the connection: when the server closes it within
// half a second, that is said as the server gone; any other error goes to the handler there was
// before. Asked for a hang-up alone, which shows even behind events not read yet, poll answers
// only for the connection's end.
int xErrorSeen(Display* display, XErrorEvent* error) {
    pollfd connection{ConnectionNumber(display), POLLRDHUP, 0};
    if (poll(&connection, 1, 500) > 0) {
        // GCOVR_EXCL_START: zink's way, run by the zink run, which counts no coverage.
        xServerGone(display);
    } // GCOVR_EXCL_STOP
    return xlibErrorHandler(display, error);
}

} // namespace

void failWritesToALostDisplay() {
    std::signal(SIGPIPE, SIG_IGN);
}

void failWhenTheXServerGoes() {
    // GLFW 3.3 links Xlib, 3.4 and later load it as they start: the one already loaded is used,
    // and none is loaded for this.
    void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (xlib == nullptr) {
        return;
    }
    auto* setIoHandler =
        reinterpret_cast<decltype(&XSetIOErrorHandler)>(dlsym(xlib, "XSetIOErrorHandler"));
    auto* setHandler =
        reinterpret_cast<decltype(&XSetErrorHandler)>(dlsym(xlib, "XSetErrorHandler"));
    if (setIoHandler != nullptr && setHandler != nullptr) {
        setIoHandler(xServerGone);
        // Set once the window is open: GLFW borrows Xlib's error handler only inside
        // glfwCreateWindow, and 3.3 then leaves Xlib's default in its place. Set again, the
        // handler would be its own predecessor: the one before it is kept.
        const XErrorHandler before = setHandler(xErrorSeen);
        if (before != xErrorSeen) {
            xlibErrorHandler = before;
        }
    }
}

bool reportLostWaylandDisplay(FramePacing& pacing) {
    if (pacing.display == nullptr) {
        return false;
    }
    // GCOVR_EXCL_START: Wayland only; run by the Wayland check, whichever way it ends the run. A
    // protocol error without an object, which no check sends, takes the lines of a connection gone.
    // What the compositor has sent is read without waiting for more: on a connection it has
    // closed, that ends in the connection's end. So a compositor that hangs holds nothing up.
    wl_display* const display = pacing.display;
    pollfd connection{wl_display_get_fd(display), POLLIN, 0};
    while (wl_display_dispatch_queue_pending(display, pacing.queue) >= 0 &&
           wl_display_prepare_read_queue(display, pacing.queue) == 0) {
        if (poll(&connection, 1, 0) <= 0) {
            wl_display_cancel_read(display);
            break;
        }
        wl_display_read_events(display);
    }
    const int error = wl_display_get_error(display);
    if (error == 0) {
        return false;
    }
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (name == nullptr) {
        // GCOVR_EXCL_STOP
        name = "wayland-0"; // GCOVR_EXCL_LINE: run by no check; every check names its compositor
        // GCOVR_EXCL_START: Wayland only, as above
    }
    std::cout << "Corvane lost its display: the Wayland compositor " << name;
    const wl_interface* object = nullptr;
    std::uint32_t id = 0;
    const std::uint32_t code = wl_display_get_protocol_error(display, &object, &id);
    if (error == EPROTO && object != nullptr) {
        std::cout << " ended the connection for error " << code << " on " << object->name << '#'
                  << id;
    } else {
        std::cout << " went away";
    }
    std::cout << '\n' << std::flush;
    return true;
} // GCOVR_EXCL_STOP

#else

void failWritesToALostDisplay() {}

void failWhenTheXServerGoes() {}

bool reportLostWaylandDisplay(FramePacing& /*pacing*/) {
    return false;
}

#endif
