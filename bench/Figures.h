#pragma once
// The benchmark's figures: each measured side by side with its baseline in interleaved rounds,
// printed as a ratio next to its target. Absolute times differ between machines and runs; a
// ratio measured in one run holds.
#include <string>
#include <vector>

struct CFigure {
    std::string name;
    std::string unit;              // of the measured values, e.g. "ms per plug-in"
    std::vector<double> measured;  // one value per round
    std::string baselineName;
    std::vector<double> baseline;  // one value per round, measured next to `measured`
    // The target for measured / baseline, or for the measured value when there is no baseline;
    // none when `target` is 0.
    double target = 0;
    bool atMost = true;  // the ratio must stay at or under the target, else reach it
    std::string note;    // printed under the table
};

double Median(std::vector<double> values);
double RoundRatio(const CFigure& figure);  // the median of the rounds' ratios

// The table on standard output, and the raw figures as JSON.
void PrintFigures(const std::vector<CFigure>& figures);
void WriteFiguresJson(const std::vector<CFigure>& figures, const std::string& path);
