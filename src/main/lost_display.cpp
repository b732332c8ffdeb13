// A display lost under the running viewer: a failure said as one, never a window closed.
#include "lost_display.h"

#include "frame_pacing.h"

#ifdef CORVANE_WAYLAND // Linux, on X11 or Wayland
#include <X11/Xlib.h>
#include <cstdlib>
#include <dlfcn.h>
#include <iostream>
#include <wayland-client.h>

namespace {

// Xlib's own handler would say it in several lines on standard error, or in none.
int xServerGone(Display* display) {
    std::cout << "Corvane lost its display: the X server " << DisplayString(display)
              << " went away\n"
              << std::flush;
    // Whatever would run at exit could still ask the dead connection for something.
    std::_Exit(1);
}

} // namespace

void failWhenTheXServerGoes() {
    // GLFW 3.3 links Xlib, 3.4 and later load it as they start: the one already loaded is used,
    // and none is loaded for this.
    void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (xlib == nullptr) {
        return;
    }
    auto* setHandler =
        reinterpret_cast<decltype(&XSetIOErrorHandler)>(dlsym(xlib, "XSetIOErrorHandler"));
    if (setHandler != nullptr) {
        setHandler(xServerGone);
    }
}

bool reportLostWaylandDisplay(const FramePacing& pacing) {
    // A live compositor answers at once; a connection that is gone fails the round trip, or has
    // failed already.
    if (pacing.display == nullptr ||
        (wl_display_get_error(pacing.display) == 0 &&
         wl_display_roundtrip_queue(pacing.display, pacing.queue) >= 0)) {
        return false;
    }
    const char* name = std::getenv("WAYLAND_DISPLAY");
    std::cout << "Corvane lost its display: the Wayland compositor "
              << (name != nullptr ? name : "wayland-0") << " went away\n"
              << std::flush;
    return true;
}

#else

void failWhenTheXServerGoes() {}

bool reportLostWaylandDisplay(const FramePacing& /*pacing*/) {
    return false;
}

#endif
