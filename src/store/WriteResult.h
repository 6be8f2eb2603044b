#pragma once

#include <QString>

#include <utility>

namespace skylark {

// The outcome of a change to a data file: success, or a message for the user that names
// the file and the reason.
class [[nodiscard]] WriteResult {
public:
    static WriteResult success() { return WriteResult(); }
    static WriteResult failure(QString message) { return WriteResult(std::move(message)); }
    // "无法保存文件 PATH：REASON"
    static WriteResult failure(const QString& path, const QString& reason);

    bool ok() const { return m_message.isEmpty(); }
    explicit operator bool() const { return ok(); }
    const QString& message() const { return m_message; }

private:
    WriteResult() = default;
    explicit WriteResult(QString message)
        : m_message(std::move(message)) {}

    QString m_message;
};

} // namespace skylark
