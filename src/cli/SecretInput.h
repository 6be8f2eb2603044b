#pragma once

#include <QString>
#include <QTextStream>

namespace skylark {

// One line read from standard input, or why none could be.
struct SecretLine {
    QString value;
    QString error;
};

// Reads one line of standard input, at most kMaxBytes, for a value that must not stand
// among the arguments, where every local user can read it. On a terminal it asks on the
// error stream and does not echo what is typed; input that ends without a line end is
// taken as the line.
inline constexpr int kMaxSecretLineBytes = 64 * 1024;
SecretLine readSecretLine(QTextStream& prompt, const QString& question);

} // namespace skylark
