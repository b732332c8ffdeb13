// End-to-end test harness: a private virtual display, the real viewer run in it, and its window.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Xlib's own types, declared here so that its macros stay out of the tests.
using Display = struct _XDisplay; // NOLINT(bugprone-reserved-identifier): Xlib's own name
using Window = unsigned long;

// Seconds on the clock the frame probe writes (CLOCK_MONOTONIC).
double monotonicSeconds();
// A short sleep between two looks at what the harness waits for.
void nap();

// An Xvfb server of this test's own, and a connection to it. From then on, nothing the test starts
// sees the session's Wayland display or runtime directory; the viewer is given this display.
class VirtualDisplay {
  public:
    explicit VirtualDisplay(int width = 1280, int height = 1024);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    const std::string& name() const { return name_; } // such as ":17"
    Display* x() const { return x_; }
    void lose(); // ends the server, as when an X server goes away under its clients

  private:
    int pid_ = -1;
    std::string name_;
    Display* x_ = nullptr;
};

// An 8-bit RGB picture, row 0 at the top.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    const std::uint8_t* at(int column, int row) const {
        return &rgb[(static_cast<size_t>(row) * width + column) * 3];
    }
};

// One run of a program (found on PATH) in a working directory, its standard output kept.
class ProcessRun {
  public:
    // `env` entries override the test's environment; an empty value removes the variable.
    ProcessRun(const std::vector<std::string>& argv, const std::string& workDir,
               const std::map<std::string, std::string>& env);
    ~ProcessRun(); // kills the process if it is still running
    ProcessRun(const ProcessRun&) = delete;
    ProcessRun& operator=(const ProcessRun&) = delete;

    // The exit status, or nullopt (after killing it) when it has not ended within `seconds`;
    // a process ended by a signal reports 128 + the signal's number.
    std::optional<int> waitForExit(double seconds);
    bool running();
    std::string output() const; // everything written to standard output so far
    std::string errors() const; // and to standard error
    double startTime() const { return startTime_; }
    int pid() const { return pid_; }

  private:
    int pid_ = -1;
    std::optional<int> status_;
    std::string outputPath_;
    double startTime_ = 0;
};

// A fresh empty directory under the test's temporary directory; files are read with the viewer's
// own readFile (shader/shader.h).
std::string makeTempDir();
void writeFile(const std::string& path, const std::string& content);

// The viewer run in `workDir` on `display` (unset when empty), with the frame probe preloaded,
// started through `launcher` (such as a tracer) when one is given.
class ViewerRun : public ProcessRun {
  public:
    ViewerRun(const std::string& workDir, const std::string& display,
              const std::map<std::string, std::string>& env = {},
              const std::vector<std::string>& launcher = {});

    int framesDrawn() const;
    // The viewer's calls as the frame probe's call log has them, but its clock's, one line each.
    std::vector<std::string> setUpCalls() const;
    // Every value the viewer read from GLFW's clock, in order.
    std::vector<double> clockReadings() const;
    // Times (monotonic seconds) at which each frame so far was presented.
    std::vector<double> frameTimes() const;
    // Bytes of heap in use after each frame so far (glibc's mallinfo2).
    std::vector<double> heapInUse() const;
    // Waits until `count` more frames than `since` are presented; false on timeout or exit.
    bool waitForFrames(int count, int since = 0, double seconds = 120);

  private:
    ViewerRun(const std::string& workDir, const std::string& display,
              const std::map<std::string, std::string>& env,
              const std::vector<std::string>& launcher, const std::string& logDir);
    std::vector<double> frameLogColumn(size_t column) const;
    std::string frameLog_;
    std::string callLog_;
};

// A working directory holding the shader files of `shaderDir` (the project's own by default).
std::string workDirWithShaders(const std::string& shaderDir = CORVANE_SHADER_DIR);

struct GLFWwindow;
// The viewer's own window and context (its openWindow) on `display`, opened in the test process,
// made current and with GLEW loaded; null when a step fails; a test failure on any error.
GLFWwindow* openViewerContext(const std::string& display, bool visible = true);

// The driver's own answers, asked apart from the viewer in a hidden window and context of the
// viewer's own kind on `display`: its GL_VERSION and GL_SHADING_LANGUAGE_VERSION, one a line; or
// what building the two shader files gives, "ok", or the failing step ("vertex", "fragment" or
// "link") on a line of its own followed by the driver's log, read into a buffer far larger than
// the viewer's, so uncut.
std::string driverVersions(const std::string& display);
std::string driverBuild(const std::string& display, const std::string& vertexPath,
                        const std::string& fragmentPath);

// A field of a process's status under /proc, such as "VmRSS", in MiB; 0 when it cannot be read.
double statusMiB(int pid, const std::string& field);

// The mapped top-level window titled `title`, or 0 when none appears within `seconds`.
Window waitForWindow(Display* x, const std::string& title, double seconds = 60);
RgbImage grabWindow(Display* x, Window window);
void focusWindow(Display* x, Window window);
void sendKey(Display* x, const char* keyName, bool down);
void closeWindow(Display* x, Window window);
void resizeWindow(Display* x, Window window, int width, int height);
std::vector<Window> topLevelWindows(Display* x, const std::string& title);
// A property of the window, such as WM_CLASS, as the protocol carries it: 32-bit items in 4 bytes.
std::string windowProperty(Display* x, Window window, const char* name);
// The window's picture once two frames have passed and it stands still: a driver may show a frame
// some frames after its swap, so screenshots are taken a frame apart (at most 30) until two agree.
RgbImage settledScreenshot(ViewerRun& run, Display* x, Window window);

// The viewer with the project's shaders on a display of its own.
struct ShownViewer {
    explicit ShownViewer(const std::map<std::string, std::string>& env = {})
        : run(workDir, display.name(), env) {}

    VirtualDisplay display;
    std::string workDir = workDirWithShaders();
    ViewerRun run;
    Window window = 0;

    // Waits for the window and `frames` frames; false when either does not come.
    bool show(int frames = 2);
    RgbImage settledScreenshot(); // so that no key is still acting
};
