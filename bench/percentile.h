// The one percentile of every figure the benchmarks and the test probes print: the nearest rank,
// the smallest value that at least the fraction `p` of the values is no greater than. 0 for none.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

inline double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}
