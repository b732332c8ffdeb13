// Measures the real viewer in a virtual display with the project's shaders and with the floor
// shaders (cube placement and a constant colour: the bare cost of the draw), run alternately,
// and prints one table together with the generation benchmark's median.
// Usage: frame_benchmark [RUNS-PER-PAIR [OUR-SHADER-DIR FLOOR-SHADER-DIR]]
#include "harness.h"

#include <algorithm>
#include <cstdio>
#include <regex>

namespace {

constexpr int warmUpFrames = 3;
constexpr int measuredFrames = 30;

struct Sample {
    double frame;      // median seconds between presented frames
    double firstFrame; // seconds from process start to the first frame presented
    double peakRss;    // MiB
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double peakResidentMiB(int pid) {
    std::smatch match;
    const std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
    const std::regex peak("VmHWM:\\s+(\\d+) kB");
    return std::regex_search(status, match, peak) ? std::stod(match[1]) / 1024 : 0;
}

Sample measure(const VirtualDisplay& display, const std::string& shaderDir) {
    const std::string dir = makeTempDir();
    for (const char* name : {"vertex.fs", "fragment.fs"}) {
        writeFile(dir + "/" + name, readFile(shaderDir + "/" + name));
    }
    ViewerRun run(dir, display.name());
    const Window window = waitForWindow(display.x(), "Corvane");
    if (window == 0 || !run.waitForFrames(warmUpFrames + measuredFrames + 1)) {
        std::fprintf(stderr, "the viewer did not draw with %s\n", shaderDir.c_str());
        std::exit(1);
    }
    const double peak = peakResidentMiB(run.pid());
    closeWindow(display.x(), window);
    run.waitForExit(60);

    const std::vector<double> times = run.frameTimes();
    std::vector<double> intervals;
    intervals.reserve(measuredFrames);
    for (int i = warmUpFrames + 1; i <= warmUpFrames + measuredFrames; ++i) {
        intervals.push_back(times[i] - times[i - 1]);
    }
    return {median(intervals), times.front() - run.startTime(), peak};
}

// The median of the generation benchmark's repetitions, in milliseconds.
double generationMedian() {
    ProcessRun run({CORVANE_GENERATION_BENCHMARK, "--benchmark_format=csv",
                    "--benchmark_report_aggregates_only=true"},
                   makeTempDir(), {});
    run.waitForExit(300);
    std::smatch match;
    const std::string csv = run.output();
    const std::regex row("_median\",\\d+,([0-9.]+),");
    return std::regex_search(csv, match, row) ? std::stod(match[1]) : 0;
}

} // namespace

// NOLINTNEXTLINE(bugprone-exception-escape): a failed measurement may end the tool
int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string ourShaders = argc > 3 ? argv[2] : CORVANE_SHADER_DIR;
    const std::string floorShaders = argc > 3 ? argv[3] : CORVANE_FLOOR_SHADER_DIR;
    const double generation = generationMedian();

    VirtualDisplay display;
    std::vector<Sample> ours;
    std::vector<Sample> floor;
    ours.reserve(static_cast<size_t>(runs));
    floor.reserve(static_cast<size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        ours.push_back(measure(display, ourShaders));
        floor.push_back(measure(display, floorShaders));
    }
    const auto medianOf = [](const std::vector<Sample>& samples, double Sample::*field) {
        std::vector<double> values;
        values.reserve(samples.size());
        for (const Sample& s : samples) {
            values.push_back(s.*field);
        }
        return median(values);
    };
    const double frameOurs = medianOf(ours, &Sample::frame);
    const double frameFloor = medianOf(floor, &Sample::frame);
    const double firstOurs = medianOf(ours, &Sample::firstFrame);
    const double firstFloor = medianOf(floor, &Sample::firstFrame);

    std::printf("| measure (median of %d runs each, alternating) | ours | floor | ours / floor |\n",
                runs);
    std::printf("|---|---|---|---|\n");
    std::printf("| generation of the 160000 records | %.2f ms | | |\n", generation);
    std::printf("| frame time | %.1f ms | %.1f ms | %.3f |\n", 1000 * frameOurs, 1000 * frameFloor,
                frameOurs / frameFloor);
    std::printf("| process start to first frame | %.0f ms | %.0f ms | %.3f |\n", 1000 * firstOurs,
                1000 * firstFloor, firstOurs / firstFloor);
    std::printf("| peak resident memory | %.1f MiB | %.1f MiB | |\n",
                medianOf(ours, &Sample::peakRss), medianOf(floor, &Sample::peakRss));
    return 0;
}
