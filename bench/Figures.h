#pragma once

// What the benchmarks' summaries share.

#include <algorithm>
#include <vector>

// How a summary line ends: whether its figure meets its target.
inline const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

// The median of some figures; the middle one, or the upper of the two middle ones.
inline double medianOf(std::vector<double> values) {
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}
