// Summaries of measured samples: quantiles and a least-squares line.
#pragma once

#include <vector>

namespace qlo::bench {

// The p-quantile (0..1) of the values, interpolated linearly between the closest ranks; 0 when
// there are none. The values need not be sorted.
double Quantile(std::vector<double> values, double p);
inline double Median(std::vector<double> values) { return Quantile(std::move(values), 0.5); }
double Mean(const std::vector<double>& values);

// y = intercept + slope * x, fitted by least squares, and how much of y's variance it explains.
struct LineFit {
    double slope = 0;
    double intercept = 0;
    double r2 = 0;
};
// Needs at least two distinct x; otherwise all zero.
LineFit FitLine(const std::vector<double>& x, const std::vector<double>& y);

}  // namespace qlo::bench
