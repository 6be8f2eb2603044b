#include "StatusLog.h"

#include "Stamp.h"

namespace skylark {

StatusLog::StatusLog(const Clock& clock, QObject* parent)
    : QAbstractListModel(parent)
    , m_clock(clock) {}

void StatusLog::appendLog(const QString& text) {
    const QString line =
        QLatin1Char('[') + makeStamp(m_clock).clockText + QStringLiteral("]:") + text;
    const int row = int(m_lines.size());
    beginInsertRows({}, row, row);
    m_lines.append(line);
    endInsertRows();
    Q_EMIT lineAppended(row, line);
}

int StatusLog::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant StatusLog::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    return m_lines[index.row()];
}

} // namespace skylark
