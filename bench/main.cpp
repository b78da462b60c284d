// Runs every registered benchmark with its repetitions interleaved at random,
// so that noise from other work on the machine spreads over figure and
// baseline alike, then prints the table of rows: each figure's median, its
// baseline's median, their ratio with its spread over the repetitions, and
// the target.
//
// Own flags, given before Google Benchmark's:
//   --data_dir=DIR             where input files are generated (default: a
//                              fresh folder under the temporary directory)
//   --external=KEY:SECONDS     a baseline measured outside (repeatable)
//   --table=FILE               also write the table's rows, in Markdown, there
//   --make_files               only make the benchmarks' input files in the
//                              data folder, and exit

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/suite.h"

namespace {

std::vector<suite::Row>& rows() {
    static std::vector<suite::Row> all;
    return all;
}

std::vector<void (*)()>& fileMakers() {
    static std::vector<void (*)()> all;
    return all;
}

std::string& dataFolder() {
    static std::string folder;
    return folder;
}

// CPU seconds per iteration of every repetition, by benchmark name, in run
// order. CPU time rather than wall time: the machine is shared, and time
// spent waiting for another program's turn is no cost of the code measured.
class Collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            samples[run.run_name.function_name].push_back(run.cpu_accumulated_time /
                                                          double(run.iterations));
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, std::vector<double>> samples;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string duration(double seconds) {
    char text[32];
    if (seconds >= 1.0) {
        std::snprintf(text, sizeof text, "%.3g s", seconds);
    } else if (seconds >= 1e-3) {
        std::snprintf(text, sizeof text, "%.3g ms", seconds * 1e3);
    } else if (seconds >= 1e-6) {
        std::snprintf(text, sizeof text, "%.3g µs", seconds * 1e6);
    } else {
        std::snprintf(text, sizeof text, "%.3g ns", seconds * 1e9);
    }
    return text;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, value < 0.1 ? "%.2g" : "%.3g", value);
    return text;
}

struct Side {
    std::string label;
    std::vector<double> samples;  // already divided by the row's scale
};

std::string describe(const Side& side, double scale, suite::Compare compare) {
    std::string text;
    if (compare == suite::Compare::Bandwidth) {
        // The samples are seconds per byte.
        char rate[32];
        std::snprintf(rate, sizeof rate, "%.3g GB/s", 1e-9 / median(side.samples));
        text = rate;
    } else {
        text = duration(median(side.samples));
        if (scale != 1.0) text += " per vertex";
    }
    return text + " (" + side.label + ")";
}

// The ratio of the medians, and its lowest and highest value over the
// repetitions taken pairwise in the order they ran.
std::string tableRow(const suite::Row& row, const Side& figure, const Side& baseline) {
    const bool larger = row.compare != suite::Compare::TimeMultiple;
    const auto ratio = [&](double f, double b) { return larger ? b / f : f / b; };
    const double mid = ratio(median(figure.samples), median(baseline.samples));
    double low = mid, high = mid;
    const std::size_t pairs = std::max(figure.samples.size(), baseline.samples.size());
    for (std::size_t i = 0; i < pairs; ++i) {
        const double r = ratio(figure.samples[std::min(i, figure.samples.size() - 1)],
                               baseline.samples[std::min(i, baseline.samples.size() - 1)]);
        low = std::min(low, r);
        high = std::max(high, r);
    }
    const bool holds = larger ? mid >= row.target : mid <= row.target;
    const std::string target =
        row.target > 0 ? (larger ? "≥ " : "≤ ") + number(row.target) + "×" : "—";
    const std::string verdict = row.target > 0 ? (holds ? "yes" : "**no**") : "—";
    const char* sense = row.compare == suite::Compare::SpeedUp     ? "faster"
                        : row.compare == suite::Compare::Bandwidth ? "the bandwidth"
                                                                   : "the time";
    return "| " + row.what + " | " + row.measuredOn + " | " +
           describe(figure, row.figureScale, row.compare) + " | " +
           describe(baseline, row.baselineScale, row.compare) + " | " + number(mid) + "× (" +
           number(low) + "–" + number(high) + ") " + sense + " | " + target + " | " + verdict +
           " |";
}

}  // namespace

void suite::addRow(Row row) { rows().push_back(std::move(row)); }

void suite::addFiles(void (*make)()) { fileMakers().push_back(make); }

const std::string& suite::dataDir() { return dataFolder(); }

int main(int argc, char** argv) {
    std::map<std::string, double> external;
    std::string tableFile;
    bool ownFolder = false, makeFilesOnly = false;
    // Interleaved repetitions by default; later flags override these.
    std::vector<char*> args{argv[0]};
    std::string defaults[] = {"--benchmark_repetitions=5",
                              "--benchmark_enable_random_interleaving=true"};
    for (std::string& flag : defaults) args.push_back(flag.data());
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--data_dir=", 0) == 0) {
            dataFolder() = arg.substr(11);
        } else if (arg.rfind("--external=", 0) == 0) {
            const std::size_t colon = arg.find(':', 11);
            if (colon == std::string::npos) {
                std::fprintf(stderr, "--external needs KEY:SECONDS\n");
                return 2;
            }
            external[arg.substr(11, colon - 11)] = std::stod(arg.substr(colon + 1));
        } else if (arg.rfind("--table=", 0) == 0) {
            tableFile = arg.substr(8);
        } else if (arg == "--make_files") {
            makeFilesOnly = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    if (dataFolder().empty()) {
        dataFolder() =
            (std::filesystem::temp_directory_path() / ("engine-bench-" + std::to_string(getpid())))
                .string();
        ownFolder = true;
    }
    std::filesystem::create_directories(dataFolder());
    if (makeFilesOnly) {
        for (const auto make : fileMakers()) make();
        return 0;
    }

    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    if (ownFolder) std::filesystem::remove_all(dataFolder());

    std::vector<std::string> lines;
    for (const suite::Row& row : rows()) {
        const auto side = [&](const std::string& name, double scale) -> Side {
            Side s{name, {}};
            if (name.rfind("external:", 0) == 0) {
                const auto found = external.find(name.substr(9));
                if (found != external.end()) s.samples.push_back(found->second / scale);
                s.label = name.substr(9);
                return s;
            }
            const auto found = collector.samples.find(name);
            if (found != collector.samples.end()) {
                for (double t : found->second) s.samples.push_back(t / scale);
            }
            return s;
        };
        const Side figure = side(row.figure, row.figureScale);
        const Side baseline = side(row.baseline, row.baselineScale);
        if (figure.samples.empty() || baseline.samples.empty()) continue;  // filtered out
        lines.push_back(tableRow(row, figure, baseline));
    }
    std::printf("\n");
    for (const std::string& line : lines) std::printf("%s\n", line.c_str());
    if (!tableFile.empty()) {
        std::ofstream out(tableFile);
        for (const std::string& line : lines) out << line << '\n';
    }
    return 0;
}
