#include "bench/e2e/stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace qlo::bench {

double Quantile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const double rank = std::clamp(p, 0.0, 1.0) * static_cast<double>(values.size() - 1);
    const size_t below = static_cast<size_t>(std::floor(rank));
    const size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (rank - static_cast<double>(below));
}

double Mean(const std::vector<double>& values) {
    if (values.empty()) return 0;
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

LineFit FitLine(const std::vector<double>& x, const std::vector<double>& y) {
    LineFit fit;
    const size_t n = std::min(x.size(), y.size());
    if (n < 2) return fit;
    const std::vector<double> xs(x.begin(), x.begin() + static_cast<long>(n));
    const std::vector<double> ys(y.begin(), y.begin() + static_cast<long>(n));
    const double mx = Mean(xs), my = Mean(ys);
    double sxx = 0, sxy = 0, syy = 0;
    for (size_t i = 0; i < n; ++i) {
        sxx += (xs[i] - mx) * (xs[i] - mx);
        sxy += (xs[i] - mx) * (ys[i] - my);
        syy += (ys[i] - my) * (ys[i] - my);
    }
    if (sxx == 0) return fit;
    fit.slope = sxy / sxx;
    fit.intercept = my - fit.slope * mx;
    fit.r2 = syy == 0 ? 1.0 : (sxy * sxy) / (sxx * syy);
    return fit;
}

}  // namespace qlo::bench
