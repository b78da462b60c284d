#pragma once

#include <string>

// What the benchmark programs share: where their generated input files live,
// and the rows of the table they print. Each row compares one registered
// benchmark (the figure) with another, or with a time measured outside the
// process (the baseline), in the same run.
namespace suite {

enum class Compare {
    TimeMultiple,  // figure time ÷ baseline time: how many times slower
    SpeedUp,       // baseline time ÷ figure time: how many times faster
    // The figure's bandwidth as a share of the baseline's: the scales are
    // then the bytes each moves per iteration, and the sides are shown in
    // GB/s.
    Bandwidth,
};

struct Row {
    std::string what;
    std::string measuredOn;
    std::string figure;    // a benchmark's name
    std::string baseline;  // a benchmark's name, or "external:<key>" (see --external)
    Compare compare = Compare::TimeMultiple;
    // Both times are divided by these before comparing: per-vertex costs.
    double figureScale = 1.0;
    double baselineScale = 1.0;
    // The ratio must stay at most (TimeMultiple) or at least (SpeedUp) this;
    // 0 for a row shown without a target.
    double target = 0.0;
};

void addRow(Row row);

// Registers what makes a benchmark's input files, so that --make_files can
// make them all without running anything (the cold-load runs of
// scripts/bench read them).
void addFiles(void (*make)());

// The folder where the benchmarks write and read their files.
const std::string& dataDir();

}  // namespace suite
