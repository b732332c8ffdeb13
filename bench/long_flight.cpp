// Flies the real viewer for a while round and round one lap of random key stretches, then closes
// it. It must keep running throughout and end with status 0, and it must not leak: the lap ends
// where it began, looking the same way, so the heap after each frame of the last lap may exceed
// that of the middle lap by under 256 bytes a frame flown between them, on average. The heap is
// judged, not the resident size: that keeps memory once freed, and moves with the driver's scenes.
// Usage: long_flight [SECONDS (600)] [SEED (7)]; prints resident size and heap as it goes.
#include "harness.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <thread>

namespace {

constexpr int lapFrames = 40;

// One lap from `seed`: random one-key stretches, then the same undone, last first, keys opposite.
std::string lap(unsigned seed) {
    std::mt19937 random(seed);
    const char* const keys[] = {"w", "s", "a", "d", "left", "right"}; // opposites side by side
    std::vector<std::pair<int, size_t>> out;
    for (int frames = 0; frames < lapFrames / 2; frames += out.back().first) {
        out.emplace_back(std::min(2 + static_cast<int>(random() % 7), lapFrames / 2 - frames),
                         random() % 6);
    }
    std::string text;
    for (size_t i = 0; i < 2 * out.size(); ++i) {
        const bool back = i >= out.size();
        const auto& [frames, key] = out[back ? 2 * out.size() - 1 - i : i];
        text += std::to_string(frames) + " " + keys[back ? key ^ 1U : key] + "\n";
    }
    return text;
}

} // namespace

// NOLINTNEXTLINE(bugprone-exception-escape): a failed measurement may end the tool
int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 600;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 7U;
    // One random lap, flown over and over: laps enough for 1000 frames a second.
    const std::string oneLap = lap(seed);
    std::string flight = "delta 0.05\n";
    size_t flightFrames = 0;
    for (; flightFrames < static_cast<size_t>(seconds * 1000); flightFrames += lapFrames) {
        flight += oneLap;
    }
    const std::string flightFile = makeTempDir() + "/laps.txt";
    writeFile(flightFile, flight);
    ShownViewer viewer({{"CORVANE_FLIGHT", flightFile}});
    if (!viewer.show()) {
        std::puts("FAIL: the viewer did not show its window");
        return 1;
    }
    const double start = monotonicSeconds();
    for (double lastReport = 0; viewer.run.running() && monotonicSeconds() - start < seconds;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (monotonicSeconds() - start - lastReport >= 30) {
            lastReport = monotonicSeconds() - start;
            const std::vector<double> heap = viewer.run.heapInUse();
            std::printf("%5.0f s  %6zu frames  %.1f MiB resident  %.2f MiB heap\n", lastReport,
                        heap.size(), statusMiB(viewer.run.pid(), "VmRSS"),
                        heap.empty() ? 0 : heap.back() / (1 << 20));
            std::fflush(stdout);
        }
    }
    // Time up, or the whole flight flown; however slow the frames, 3 whole laps at least.
    const bool flown = monotonicSeconds() - start >= seconds ||
                       static_cast<size_t>(viewer.run.framesDrawn()) == flightFrames;
    viewer.run.waitForFrames(3 * lapFrames, 0, 600);
    closeWindow(viewer.display.x(), viewer.window);
    const auto status = viewer.run.waitForExit(60);
    // The last whole lap against the one halfway through the flight (not the first: it warms up).
    const std::vector<double> heap = viewer.run.heapInUse();
    const size_t laps = heap.size() / lapFrames;
    const size_t last = std::max<size_t>(laps, 3) - 1;
    const size_t middle = last / 2;
    double growth = 0;
    for (size_t i = 0; laps >= 3 && i < lapFrames; ++i) {
        growth += (heap[last * lapFrames + i] - heap[middle * lapFrames + i]) /
                  static_cast<double>((last - middle) * lapFrames * lapFrames);
    }
    std::printf("%zu frames, %zu whole laps of %d; heap from lap %zu to lap %zu: %+.0f bytes a "
                "frame; exit status %d%s\n",
                heap.size(), laps, lapFrames, middle + 1, last + 1, growth, status.value_or(-1),
                flown ? "" : "; the viewer stopped early");
    // A leak of 1 KiB a frame shows as 1024 bytes a frame.
    const bool passed = status == 0 && flown && laps >= 3 && growth < 256;
    std::puts(passed ? "PASS" : "FAIL");
    return passed ? 0 : 1;
}
