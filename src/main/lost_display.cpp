// A display lost under the running viewer: a failure said as one, never a window closed.
#include "lost_display.h"

#include "frame_pacing.h"

#ifdef CORVANE_WAYLAND // Linux, on X11 or Wayland
#include <X11/Xlib.h>
#include <cstdlib>
#include <dlfcn.h>
#include <iostream>
#include <poll.h>
#include <sys/socket.h>
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
// does): when the server has closed the connection, that is said as the server gone; any other
// error goes to the handler there was before.
// GCOVR_EXCL_START: zink's way, run by the test command's zink run, which counts no coverage.
int xErrorSeen(Display* display, XErrorEvent* error) {
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    char next = 0;
    if (poll(&connection, 1, 0) > 0 && recv(connection.fd, &next, 1, MSG_PEEK) == 0) {
        xServerGone(display);
    }
    return xlibErrorHandler(display, error);
} // GCOVR_EXCL_STOP

} // namespace

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
        xlibErrorHandler = setHandler(xErrorSeen);
    }
}

bool reportLostWaylandDisplay(const FramePacing& pacing) {
    // A live compositor answers at once; a connection that is gone fails the round trip, or has
    // failed already.
    if (pacing.display == nullptr) {
        return false;
    }
    // GCOVR_EXCL_START: Wayland only; the Wayland check kills the compositor at scale 1.5.
    if (wl_display_get_error(pacing.display) == 0 &&
        wl_display_roundtrip_queue(pacing.display, pacing.queue) >= 0) {
        return false;
    }
    const char* name = std::getenv("WAYLAND_DISPLAY");
    std::cout << "Corvane lost its display: the Wayland compositor "
              << (name != nullptr ? name : "wayland-0") << " went away\n"
              << std::flush;
    return true;
} // GCOVR_EXCL_STOP

#else

void failWhenTheXServerGoes() {}

bool reportLostWaylandDisplay(const FramePacing& /*pacing*/) {
    return false;
}

#endif
