// Flies the real viewer for a while round and round one lap of random key stretches, then closes
// it. It must keep running throughout and end with status 0, and it must not leak: the lap ends
// where it began, looking the same way, so the heap in use after each frame of a lap must be what
// it was after the same frame of an earlier lap. The driver's scene memory, which the resident
// size shows, rises and falls with the view; the view repeats, and with it the heap.
// Usage: long_flight [SECONDS (600)] [SEED (7)]; prints resident size and heap as it goes.
#include "harness.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <thread>

namespace {

constexpr int lapFrames = 40;
constexpr double mebibyte = 1024 * 1024;

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
    for (const auto& [frames, key] : out) {
        text += std::to_string(frames) + " " + keys[key] + "\n";
    }
    for (auto back = out.rbegin(); back != out.rend(); ++back) {
        text += std::to_string(back->first) + " " + keys[back->second ^ 1U] + "\n";
    }
    return text;
}

} // namespace

// NOLINTNEXTLINE(bugprone-exception-escape): a failed measurement may end the tool
int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 600;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 7U;
    // One random lap, flown over and over: enough laps for 60 frames a second; the window is
    // closed when the time is up.
    const std::string oneLap = lap(seed);
    std::string flight = "delta 0.05\n";
    for (int laps = 0; laps * lapFrames < seconds * 60; ++laps) {
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
    double lastReport = 0;
    while (monotonicSeconds() - start < seconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (!viewer.run.running()) {
            std::printf("FAIL: the viewer stopped after %.0f s\n", monotonicSeconds() - start);
            return 1;
        }
        const double now = monotonicSeconds() - start;
        if (now - lastReport >= 30) {
            lastReport = now;
            const std::vector<double> heap = viewer.run.heapInUse();
            std::printf("%5.0f s  %6zu frames  %.1f MiB resident  %.2f MiB heap\n", now,
                        heap.size(), statusMiB(viewer.run.pid(), "VmRSS"),
                        heap.empty() ? 0 : heap.back() / mebibyte);
            std::fflush(stdout);
        }
    }
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
                "frame; exit status %d\n",
                heap.size(), laps, lapFrames, middle + 1, last + 1, growth, status.value_or(-1));
    // A leak of 1 KiB a frame shows as 1024 bytes a frame.
    const bool passed = status == 0 && laps >= 3 && growth < 256;
    std::puts(passed ? "PASS" : "FAIL");
    return passed ? 0 : 1;
}
