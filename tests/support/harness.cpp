// End-to-end test harness: Xvfb per test, the viewer as a child process, Xlib and XTest.
#include "harness.h"

#include "close_request.h"
#include "flight_keys.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

void nap() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

} // namespace

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

VirtualDisplay::VirtualDisplay(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    pid_ = fork();
    if (pid_ == 0) {
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
    x_ = XOpenDisplay(name_.c_str());
    if (x_ == nullptr) {
        throw std::runtime_error("cannot connect to Xvfb at " + name_);
    }
}

VirtualDisplay::~VirtualDisplay() {
    if (x_ != nullptr) {
        XCloseDisplay(x_);
    }
    // Xvfb misses a SIGTERM that comes just before it sleeps (for up to ten minutes): send it
    // again until it ends, and after 10 s kill it.
    for (int tries = 0; pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; ++tries) {
        kill(pid_, tries < 500 ? SIGTERM : SIGKILL);
        nap();
    }
}

std::string makeTempDir() {
    // Every directory made here goes when the test process ends.
    static struct Made {
        std::vector<std::string> dirs;
        ~Made() {
            for (const auto& dir : dirs) {
                std::error_code ignored;
                std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ignored);
                std::filesystem::remove_all(dir, ignored);
            }
        }
    } made;
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/corvane-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    made.dirs.push_back(pattern);
    return pattern;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream ss;
    ss << file.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

ProcessRun::ProcessRun(const std::vector<std::string>& argv, const std::string& workDir,
                       const std::map<std::string, std::string>& env)
    : outputPath_(makeTempDir() + "/stdout") {
    startTime_ = monotonicSeconds();
    pid_ = fork();
    if (pid_ == 0) {
        if (chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        for (const auto& [name, value] : env) {
            if (value.empty()) {
                unsetenv(name.c_str());
            } else {
                setenv(name.c_str(), value.c_str(), 1);
            }
        }
        const int out = open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        const std::string errorPath = outputPath_ + ".stderr";
        const int errors = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(errors, STDERR_FILENO);
        std::vector<char*> args;
        args.reserve(argv.size() + 1);
        for (const auto& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
}

ProcessRun::~ProcessRun() {
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool ProcessRun::running() {
    if (status_ || pid_ <= 0) {
        return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return true;
}

std::optional<int> ProcessRun::waitForExit(double seconds) {
    const double deadline = monotonicSeconds() + seconds;
    while (running()) {
        if (monotonicSeconds() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return std::nullopt;
        }
        nap();
    }
    return status_;
}

std::string ProcessRun::output() const {
    return readFile(outputPath_);
}

namespace {

std::vector<std::string> viewerCommand(std::vector<std::string> launcher) {
    launcher.emplace_back(CORVANE_BINARY);
    return launcher;
}

std::map<std::string, std::string> viewerEnvironment(std::map<std::string, std::string> env,
                                                     const std::string& display,
                                                     const std::string& logDir) {
    env.emplace("DISPLAY", display);
    // The probe joins whatever the tests themselves preload (a sanitizer's runtime, say).
    const char* preloaded = std::getenv("LD_PRELOAD");
    env.emplace("LD_PRELOAD", preloaded != nullptr
                                  ? std::string(preloaded) + " " + CORVANE_FRAME_PROBE
                                  : std::string(CORVANE_FRAME_PROBE));
    env.emplace("CORVANE_FRAME_LOG", logDir + "/frames");
    env.emplace("CORVANE_CALL_LOG", logDir + "/calls");
    return env;
}

} // namespace

ViewerRun::ViewerRun(const std::string& workDir, const std::string& display,
                     const std::map<std::string, std::string>& env,
                     const std::vector<std::string>& launcher)
    : ViewerRun(workDir, display, env, launcher, makeTempDir()) {}

ViewerRun::ViewerRun(const std::string& workDir, const std::string& display,
                     const std::map<std::string, std::string>& env,
                     const std::vector<std::string>& launcher, const std::string& logDir)
    : ProcessRun(viewerCommand(launcher), workDir, viewerEnvironment(env, display, logDir)),
      frameLog_(logDir + "/frames"), callLog_(logDir + "/calls") {}

namespace {

// The lines of a call log that are readings of the clock ("glfwGetTime() = SECONDS", given as
// SECONDS), or all the others.
const std::string clockCall = "glfwGetTime() = ";
std::vector<std::string> loggedCalls(const std::string& path, bool clock) {
    std::vector<std::string> calls;
    std::istringstream log(readFile(path));
    for (std::string line; std::getline(log, line);) {
        if ((line.rfind(clockCall, 0) == 0) == clock) {
            calls.push_back(clock ? line.substr(clockCall.size()) : line);
        }
    }
    return calls;
}

} // namespace

std::vector<std::string> ViewerRun::setUpCalls() const {
    return loggedCalls(callLog_, false);
}

std::vector<double> ViewerRun::clockReadings() const {
    std::vector<double> readings;
    for (const std::string& seconds : loggedCalls(callLog_, true)) {
        readings.push_back(std::stod(seconds));
    }
    return readings;
}

std::vector<double> ViewerRun::frameTimes() const {
    std::vector<double> times;
    std::istringstream log(readFile(frameLog_));
    long frame = 0;
    double time = 0;
    while (log >> frame >> time) {
        times.push_back(time);
    }
    return times;
}

int ViewerRun::framesDrawn() const {
    return static_cast<int>(frameTimes().size());
}

bool ViewerRun::waitForFrames(int count, int since, double seconds) {
    const double deadline = monotonicSeconds() + seconds;
    while (framesDrawn() < since + count) {
        if (!running() || monotonicSeconds() > deadline) {
            return false;
        }
        nap();
    }
    return true;
}

std::string workDirWithShaders(const std::string& shaderDir) {
    std::string dir = makeTempDir();
    for (const char* name : {"vertex.fs", "fragment.fs"}) {
        writeFile(dir + "/" + name, readFile(shaderDir + "/" + name));
    }
    return dir;
}

double statusMiB(int pid, const std::string& field) {
    const std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
    std::smatch match;
    return std::regex_search(status, match, std::regex(field + ":\\s+(\\d+) kB"))
               ? std::stod(match[1]) / 1024
               : 0;
}

Flight readFlight(const std::string& path) {
    Flight flight;
    std::istringstream lines(readFile(path));
    std::string word;
    lines >> word >> flight.delta;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        int frames = 0;
        words >> frames;
        unsigned held = 0;
        while (words >> word) {
            for (unsigned i = 0; i < 8; ++i) {
                held |= word == flightKeys[i].word ? 1U << i : 0U;
            }
        }
        flight.keys.insert(flight.keys.end(), static_cast<size_t>(std::max(frames, 0)), held);
    }
    return flight;
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

bool ShownViewer::show(int frames) {
    window = waitForWindow(display.x(), "Corvane");
    return window != 0 && run.waitForFrames(frames);
}

RgbImage settledScreenshot(ViewerRun& run, Display* x, Window window) {
    run.waitForFrames(2, run.framesDrawn());
    RgbImage shot = grabWindow(x, window);
    for (int frame = 0; frame < 30 && run.waitForFrames(1, run.framesDrawn()); ++frame) {
        RgbImage next = grabWindow(x, window);
        if (next.width == shot.width && next.rgb == shot.rgb) {
            break;
        }
        shot = std::move(next);
    }
    return shot;
}

RgbImage ShownViewer::settledScreenshot() {
    return ::settledScreenshot(run, display.x(), window);
}
