// Measures the real viewer in a virtual display with the project's shaders, the floor shaders
// (cube placement and a constant colour: the bare cost of the draw) and the limit shaders (each
// record read, nothing drawn), run in turn along fixed flights (bench/flights: a fixed frame delta
// and scripted keys, so that every run draws the same frames whatever its pace), and prints one
// table together with the generation benchmark's median, and ours' place between the limit (0)
// and the floor (1). With DATA-FILE, it also writes there each flight's frame times, frame by
// frame (the median over the runs), for a plot.
// Usage: frame_benchmark [RUNS-PER-PAIR [OUR-DIR FLOOR-DIR LIMIT-DIR [DATA-FILE]]]
#include "flight.h"
#include "harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

namespace {

constexpr int warmUpFrames = 3;

struct NamedFlight {
    const char* name;
    const char* file;
};
const NamedFlight flights[] = {{"still start view", CORVANE_FLIGHT_DIR "/still.txt"},
                               {"dive into the sponge", CORVANE_FLIGHT_DIR "/dive.txt"}};

struct Sample {
    std::vector<double> intervals; // seconds between presented frames, after the warm-up
    double frame = 0;              // their median
    double firstFrame = 0;         // seconds from process start to the first frame presented
    double peakRss = 0;            // MiB
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One run of the viewer along `flight`, which closes it after its last frame.
Sample measure(const VirtualDisplay& display, const std::string& shaderDir,
               const NamedFlight& flight) {
    ViewerRun run(workDirWithShaders(shaderDir), display.name(), {{"CORVANE_FLIGHT", flight.file}});
    const Flight flown = readFlight(flight.file);
    std::free(flown.keys);
    const auto frames = static_cast<int>(flown.frames);
    // The peak is read just before the last frame, while the process is still there.
    if (!run.waitForFrames(frames - 1, 0, 600)) {
        std::fprintf(stderr, "the viewer did not fly %s with %s\n", flight.file, shaderDir.c_str());
        std::exit(1);
    }
    const double peak = statusMiB(run.pid(), "VmHWM");
    if (run.waitForExit(120) != 0) {
        std::fprintf(stderr, "the viewer did not end its flight with status 0\n");
        std::exit(1);
    }
    const std::vector<double> times = run.frameTimes();
    Sample sample{{}, 0, times.front() - run.startTime(), peak};
    for (size_t i = warmUpFrames + 1; i < times.size(); ++i) {
        sample.intervals.push_back(times[i] - times[i - 1]);
    }
    sample.frame = median(sample.intervals);
    return sample;
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
    // Ours, the floor and the limit, in that order.
    const std::vector<std::string> pairs =
        argc > 4 ? std::vector<std::string>{argv[2], argv[3], argv[4]}
                 : std::vector<std::string>{CORVANE_SHADER_DIR, CORVANE_BENCH_DIR "/floor",
                                            CORVANE_BENCH_DIR "/limit"};
    const double generation = generationMedian();
    // The median over the runs of what `of` reads from each.
    const auto medianOf = [](const std::vector<Sample>& samples, const auto& of) {
        std::vector<double> values;
        values.reserve(samples.size());
        for (const Sample& s : samples) {
            values.push_back(of(s));
        }
        return median(values);
    };

    VirtualDisplay display;
    std::vector<std::vector<Sample>> all(pairs.size());
    std::string rows;
    std::ofstream data(argc > 5 ? argv[5] : "/dev/null");
    for (const NamedFlight& flight : flights) {
        std::vector<std::vector<Sample>> here(pairs.size());
        for (int i = 0; i < runs; ++i) {
            for (size_t p = 0; p < pairs.size(); ++p) {
                here[p].push_back(measure(display, pairs[p], flight));
            }
        }
        std::vector<double> frame(pairs.size());
        for (size_t p = 0; p < pairs.size(); ++p) {
            frame[p] = 1000 * medianOf(here[p], std::mem_fn(&Sample::frame));
        }
        char row[200];
        std::snprintf(row, sizeof row, "| frame time, %s | %.1f ms | %.1f ms | %.1f ms | %.3f |\n",
                      flight.name, frame[0], frame[1], frame[2],
                      (frame[0] - frame[2]) / (frame[1] - frame[2]));
        rows += row;
        data << "# " << flight.name << ": frame, ours, floor, limit (ms)\n";
        for (size_t k = 0; k < here[0].front().intervals.size(); ++k) {
            data << k + warmUpFrames + 1;
            for (const std::vector<Sample>& samples : here) {
                data << ' ' << medianOf(samples, [k](const Sample& s) {
                    return 1000 * s.intervals.at(k);
                });
            }
            data << '\n';
        }
        data << "\n\n";
        for (size_t p = 0; p < pairs.size(); ++p) {
            all[p].insert(all[p].end(), here[p].begin(), here[p].end());
        }
    }
    // The median over every run of each pair, in `unit` times what `of` reads.
    const auto cells = [&](const char* format, double unit, const auto& of) {
        std::string text;
        for (const std::vector<Sample>& samples : all) {
            char cell[40];
            std::snprintf(cell, sizeof cell, format, unit * medianOf(samples, of));
            text += cell;
        }
        return text;
    };

    std::printf("| measure (median of %d runs each, in turn) | ours | floor | limit | ours' place "
                "(limit 0, floor 1) |\n|---|---|---|---|---|\n",
                runs);
    std::printf("| generation of the 160000 records | %.2f ms | | | |\n", generation);
    std::printf("%s", rows.c_str());
    std::printf("| process start to first frame |%s |\n",
                cells(" %.0f ms |", 1000, std::mem_fn(&Sample::firstFrame)).c_str());
    std::printf("| peak resident memory |%s |\n",
                cells(" %.1f MiB |", 1, std::mem_fn(&Sample::peakRss)).c_str());
    return 0;
}
