#include "bench/Figures.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include <nlohmann/json.hpp>

double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double RoundRatio(const CFigure& figure)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < figure.measured.size() && i < figure.baseline.size(); ++i)
        if (figure.baseline[i] > 0) ratios.push_back(figure.measured[i] / figure.baseline[i]);
    return Median(ratios);
}

namespace {

std::string Number(double value)
{
    char text[32];
    snprintf(text, sizeof(text), value >= 100 ? "%.0f" : value >= 10 ? "%.1f" : "%.2f", value);
    return text;
}

std::string Verdict(const CFigure& figure)
{
    if (figure.target == 0) return "-";
    // Without a baseline the target holds for the measured value itself.
    const double ratio = figure.baseline.empty() ? Median(figure.measured) : RoundRatio(figure);
    return (figure.atMost ? ratio <= figure.target : ratio >= figure.target) ? "met" : "MISSED";
}

}  // namespace

void PrintFigures(const std::vector<CFigure>& figures)
{
    printf("\n%-46s %9s %9s %9s  %-30s %9s %8s %7s  %s\n", "figure", "median", "min", "max", "baseline (median)",
           "ratio", "target", "", "unit");
    for (const CFigure& f : figures) {
        const auto [low, high] = std::minmax_element(f.measured.begin(), f.measured.end());
        const std::string baseline = f.baseline.empty() ? "-" : f.baselineName + " " + Number(Median(f.baseline));
        const std::string target = f.target == 0 ? "-" : std::string(f.atMost ? "<= " : ">= ") + Number(f.target);
        const std::string ratio = f.baseline.empty() ? "-" : Number(RoundRatio(f)) + "x";
        printf("%-46s %9s %9s %9s  %-30s %9s %8s %7s  %s\n", f.name.c_str(), Number(Median(f.measured)).c_str(),
               Number(f.measured.empty() ? 0 : *low).c_str(), Number(f.measured.empty() ? 0 : *high).c_str(),
               baseline.c_str(), ratio.c_str(), target.c_str(), Verdict(f).c_str(), f.unit.c_str());
    }
    for (const CFigure& f : figures)
        if (!f.note.empty()) printf("  %s: %s\n", f.name.c_str(), f.note.c_str());
    fflush(stdout);
}

void WriteFiguresJson(const std::vector<CFigure>& figures, const std::string& path)
{
    nlohmann::ordered_json document = nlohmann::ordered_json::array();
    for (const CFigure& f : figures)
        document.push_back({{"figure", f.name}, {"unit", f.unit}, {"measured", f.measured}, {"baseline", f.baselineName},
                            {"baselineMeasured", f.baseline}, {"ratio", RoundRatio(f)}, {"target", f.target},
                            {"atMost", f.atMost}, {"verdict", Verdict(f)}, {"note", f.note}});
    std::ofstream(path) << document.dump(2) << "\n";
}
