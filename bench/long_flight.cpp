// Flies the real viewer with random key presses for a while, then closes it. It must keep
// running throughout, end with status 0, and its memory must stop growing after warm-up.
// Usage: long_flight [SECONDS (600)] [SEED (7)]; prints resident memory as it goes.
#include "flight_keys.h"
#include "harness.h"

#include <cstdio>
#include <random>
#include <thread>

// NOLINTNEXTLINE(bugprone-exception-escape): a failed measurement may end the tool
int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 600;
    std::mt19937 random(argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 7U);

    ShownViewer viewer;
    if (!viewer.show()) {
        std::puts("FAIL: the viewer did not show its window");
        return 1;
    }
    Display* x = viewer.display.x();
    focusWindow(x, viewer.window);
    const double start = monotonicSeconds();
    // The rasterizer keeps the largest scene it has binned; a quarter of the flight lets the
    // flight reach its busiest views before the growth is judged.
    const double warmUp = seconds / 4;
    double lastReport = 0;
    double warmRss = 0;
    double peakAfterWarmUp = 0;
    bool held[8] = {};
    while (monotonicSeconds() - start < seconds) {
        // Toggle one random key, then let a random 20 to 400 ms pass.
        const size_t k = random() % 8;
        held[k] = !held[k];
        sendKey(x, flightKeys[k].xName, held[k]);
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 381));
        if (!viewer.run.running()) {
            std::printf("FAIL: the viewer stopped after %.0f s\n", monotonicSeconds() - start);
            return 1;
        }
        const double now = monotonicSeconds() - start;
        if (now - lastReport >= 30) {
            lastReport = now;
            const double rss = statusMiB(viewer.run.pid(), "VmRSS");
            if (now >= warmUp && warmRss == 0) {
                warmRss = rss;
            }
            if (warmRss > 0) {
                peakAfterWarmUp = std::max(peakAfterWarmUp, rss);
            }
            std::printf("%5.0f s  %6d frames  %.1f MiB resident\n", now, viewer.run.framesDrawn(),
                        rss);
            std::fflush(stdout);
        }
    }
    for (size_t k = 0; k < 8; ++k) {
        if (held[k]) {
            sendKey(x, flightKeys[k].xName, false);
        }
    }
    closeWindow(x, viewer.window);
    const auto status = viewer.run.waitForExit(60);
    const double growth = peakAfterWarmUp - warmRss;
    std::printf("%d frames; resident after warm-up %.1f MiB, peak after %.1f MiB (+%.1f); "
                "exit status %d\n",
                viewer.run.framesDrawn(), warmRss, peakAfterWarmUp, growth, status.value_or(-1));
    const bool passed = status == 0 && growth < 2.0;
    std::puts(passed ? "PASS" : "FAIL");
    return passed ? 0 : 1;
}
