#pragma once

#include <QString>

#include <utility>

namespace skylark {

// What a read of one of our files gave: the value, or the defaults with the reason the
// existing file could not be read. Every caller decides what a failed read means for it.
template <typename T>
struct [[nodiscard]] ReadResult {
    T value{};
    QString error; // empty when the file was read or is missing

    bool ok() const { return error.isEmpty(); }

    static ReadResult read(T value, QString error) { return {std::move(value), std::move(error)}; }
};

} // namespace skylark
