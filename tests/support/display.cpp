// The harness's display: a private Xvfb, the windows on it, its keys and its screenshots.
#include "harness.h"

#include "close_request.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

// A window may go between the listing of the root's children and a question about it (a viewer
// whose context fails closes its window at once): that error is passed over, and the question
// answers nothing, where Xlib's own handler would end the test process.
int passOver(Display* /*x*/, XErrorEvent* /*error*/) {
    return 0;
}

} // namespace

VirtualDisplay::VirtualDisplay(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const pid_t test = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // It ends with the test, even one that ends abruptly.
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != test) {
            _exit(1);
        }
        close(fds[0]);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        const std::string fd = std::to_string(fds[1]);
        unsetenv("LD_PRELOAD"); // what the test process preloads is not for the X server
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // Xvfb picks a free display number itself and writes it to the pipe once it is ready.
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        throw std::runtime_error("Xvfb did not start");
    }
    name_ = ":" + number;
    // GLFW 3.4 tries Wayland first, by WAYLAND_DISPLAY or a wayland-0 in the runtime directory.
    static const std::string runtimeDir = makeTempDir();
    unsetenv("WAYLAND_DISPLAY");
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    setenv("XDG_SESSION_TYPE", "x11", 1);
    XSetErrorHandler(passOver);
    x_ = XOpenDisplay(name_.c_str());
    if (x_ == nullptr) {
        throw std::runtime_error("cannot connect to Xvfb at " + name_);
    }
}

VirtualDisplay::~VirtualDisplay() {
    lose();
}

void VirtualDisplay::lose() {
    if (x_ != nullptr) {
        XCloseDisplay(x_);
        x_ = nullptr;
    }
    // Xvfb misses a SIGTERM that comes just before it sleeps (for up to ten minutes): send it
    // again until it ends, and after 10 s kill it.
    for (int tries = 0; pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; ++tries) {
        kill(pid_, tries < 500 ? SIGTERM : SIGKILL);
        nap();
    }
    pid_ = -1;
}

std::vector<Window> topLevelWindows(Display* x, const std::string& title) {
    std::vector<Window> found;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count) == 0) {
        return found;
    }
    for (unsigned i = 0; i < count; ++i) {
        char* name = nullptr;
        XWindowAttributes attributes{};
        if (XFetchName(x, children[i], &name) != 0 && name != nullptr) {
            if (title == name && XGetWindowAttributes(x, children[i], &attributes) != 0 &&
                attributes.map_state == IsViewable) {
                found.push_back(children[i]);
            }
            XFree(name);
        }
    }
    XFree(children);
    return found;
}

std::string windowProperty(Display* x, Window window, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long left = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(x, window, XInternAtom(x, name, False), 0, 1L << 20, False, AnyPropertyType,
                       &type, &format, &count, &left, &data);
    std::string items(reinterpret_cast<const char*>(data),
                      data == nullptr ? 0 : count * format / 8);
    for (unsigned long i = 0; format == 32 && i < count; ++i) { // Xlib gives 32-bit items as longs
        const auto item = static_cast<std::uint32_t>(reinterpret_cast<const long*>(data)[i]);
        std::memcpy(&items[i * sizeof item], &item, sizeof item);
    }
    XFree(data);
    return items;
}

Window waitForWindow(Display* x, const std::string& title, double seconds) {
    const double deadline = monotonicSeconds() + seconds;
    while (monotonicSeconds() < deadline) {
        const auto windows = topLevelWindows(x, title);
        if (!windows.empty()) {
            return windows.front();
        }
        nap();
    }
    return 0;
}

RgbImage grabWindow(Display* x, Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(x, window, &attributes);
    XImage* image = XGetImage(x, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    RgbImage picture;
    if (image == nullptr) {
        return picture;
    }
    picture.width = attributes.width;
    picture.height = attributes.height;
    picture.rgb.reserve(static_cast<size_t>(picture.width) * picture.height * 3);
    for (int row = 0; row < picture.height; ++row) {
        for (int column = 0; column < picture.width; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            picture.rgb.push_back(static_cast<std::uint8_t>((pixel >> 16) & 0xff));
            picture.rgb.push_back(static_cast<std::uint8_t>((pixel >> 8) & 0xff));
            picture.rgb.push_back(static_cast<std::uint8_t>(pixel & 0xff));
        }
    }
    XDestroyImage(image);
    return picture;
}

void focusWindow(Display* x, Window window) {
    XSetInputFocus(x, window, RevertToParent, CurrentTime);
    XSync(x, False);
}

void sendKey(Display* x, const char* keyName, bool down) {
    XTestFakeKeyEvent(x, XKeysymToKeycode(x, XStringToKeysym(keyName)), down ? True : False, 0);
    XSync(x, False);
}

void closeWindow(Display* x, Window window) {
    sendCloseRequest(x, window);
}

void resizeWindow(Display* x, Window window, int width, int height) {
    XResizeWindow(x, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(x, False);
}
