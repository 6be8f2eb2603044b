#pragma once

#include "Clock.h"

#include <QAbstractListModel>
#include <QStringList>

namespace skylark {

// The status log: one line per event, "[HH:MM:SS]:" and the text, never trimmed.
class StatusLog : public QAbstractListModel {
    Q_OBJECT

public:
    explicit StatusLog(const Clock& clock, QObject* parent = nullptr);

    // Appends "[" + the time as HH:MM:SS + "]:" + text and makes it the current line.
    void appendLog(const QString& text);

    const QStringList& lines() const { return m_lines; }
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // A new last line that views should make current and scroll to.
    void lineAppended(int row, const QString& line);

private:
    const Clock& m_clock;
    QStringList m_lines;
};

} // namespace skylark
