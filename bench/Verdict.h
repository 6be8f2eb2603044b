#pragma once

// How a summary line ends: whether its figure meets its target.
inline const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}
