#include "SecretInput.h"

#include <iostream>
#include <string>

#include <termios.h>
#include <unistd.h>

namespace skylark {
namespace {

// Turns the terminal's echo off for its lifetime, and on again however the read ends.
class EchoOff {
public:
    EchoOff() {
        m_active = tcgetattr(STDIN_FILENO, &m_saved) == 0;
        if (m_active) {
            termios quiet = m_saved;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            m_active = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~EchoOff() {
        if (m_active) {
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    termios m_saved{};
    bool m_active = false;
};

} // namespace

namespace {

enum class LineRead { Line, Nothing, TooLong };

// Up to the line end, at most kMaxSecretLineBytes.
LineRead readBoundedLine(std::string& line) {
    char c = 0;
    bool any = false;
    while (std::cin.get(c)) {
        any = true;
        if (c == '\n') {
            return LineRead::Line;
        }
        if (line.size() >= size_t(kMaxSecretLineBytes)) {
            return LineRead::TooLong;
        }
        line += c;
    }
    return any ? LineRead::Line : LineRead::Nothing;
}

} // namespace

SecretLine readSecretLine(QTextStream& prompt, const QString& question) {
    std::string line;
    LineRead read = LineRead::Nothing;
    if (isatty(STDIN_FILENO) == 1) {
        prompt << question;
        prompt.flush();
        EchoOff quiet;
        read = readBoundedLine(line);
        prompt << '\n';
        prompt.flush();
    } else {
        read = readBoundedLine(line);
    }
    if (read == LineRead::TooLong) {
        return {{}, QStringLiteral("标准输入的一行超过 %1 字节").arg(kMaxSecretLineBytes)};
    }
    if (read == LineRead::Nothing) {
        return {{}, QStringLiteral("标准输入没有内容，未保存")};
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return {QString::fromStdString(line), {}};
}

} // namespace skylark
