// The viewer as the harness runs it: the frame probe preloaded, its logs read back, its window
// shown and its picture once it stands still.
#include "harness.h"

#include "shader/shader.h"

#include <iterator>
#include <sstream>

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

std::vector<double> ViewerRun::frameLogColumn(size_t column) const {
    std::vector<double> values;
    std::istringstream log(readFile(frameLog_));
    for (std::string line; std::getline(log, line);) {
        std::istringstream fields(line);
        const std::vector<double> row{std::istream_iterator<double>(fields), {}};
        values.push_back(row.size() > column ? row[column] : 0);
    }
    return values;
}

std::vector<double> ViewerRun::frameTimes() const {
    return frameLogColumn(1);
}

std::vector<double> ViewerRun::heapInUse() const {
    return frameLogColumn(2);
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
