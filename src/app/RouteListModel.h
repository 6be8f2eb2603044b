#pragma once

#include "Route.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace skylark {

// The rows of the route list: one per route in book order, eight text columns. The
// first five come from the route book; the last three are run-time state of the
// monitoring rounds and start empty whenever the rows are rebuilt.
//
// Cells may carry colour overrides (the highlights of special fares). They belong to
// positions, not to routes, and are served through TextColourRole and BackColourRole as
// RGB values with red in the low byte; while colouring is active every other cell reads
// black on the list's background.
//
// Rows may carry a note from the fare history: the route's last stored fare, served
// through PlaceholderRole while the fare and time cells are empty, and its price context,
// added to the fare cell's tooltip. Notes belong to positions too and start empty.
class RouteListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        IdColumn,
        DepartureColumn,
        ArrivalColumn,
        DateColumn,
        PriceColumn,
        LowestFareColumn,
        UpdateTimeColumn,
        StatusColumn,
        ColumnCount
    };

    enum Role { TextColourRole = Qt::UserRole + 1, BackColourRole, PlaceholderRole };

    using Rgb = quint32; // red in the low byte, then green, then blue
    static constexpr Rgb kBlack = 0x000000;
    static constexpr Rgb kWhite = 0xFFFFFF;

    struct CellColour {
        Rgb text;
        Rgb back;
        bool operator==(const CellColour&) const = default;
    };

    // What the history knows of a row's route.
    struct RouteNote {
        QString lastFare;   // the last fare stored for it; empty when none
        QDateTime lastSeen; // when that fare was seen
        QString context;    // lines on its prices, for the fare cell's tooltip

        bool operator==(const RouteNote&) const = default;
    };

    using QAbstractTableModel::QAbstractTableModel;

    static QString caption(int column);
    static int initialWidth(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

    // Replaces every row with the given routes; the run-time columns are empty.
    void setRoutes(QList<Route> routes);
    // Appends a row whose identifier column holds routeId and returns its index.
    int appendRow(const QString& routeId);
    QString cell(int row, int column) const;
    bool setCell(int row, int column, const QString& text);
    // Why the row's fare was not found, the tooltip of its fare cell; empty for none.
    void setFareReason(int row, const QString& reason);
    // Why the row's route counts as stale, the tooltip of its status cell; empty for none.
    void setStatusTip(int row, const QString& tip);
    void setRouteNote(int row, const RouteNote& note);
    RouteNote routeNote(int row) const;
    // The first row that shows this identifier, or -1.
    int rowOfRoute(QStringView routeId) const;

    // The list's own colours; an override equal to them is no override.
    void setListColours(CellColour colours) { m_listColours = colours; }
    void setCellColour(int row, int column, Rgb text, Rgb back);
    void clearCellColours();
    bool colouringActive() const { return m_colouringActive; }
    std::optional<CellColour> cellColour(int row, int column) const;

private:
    using Row = std::array<QString, ColumnCount>;

    void repaintAll();
    QVariant noteData(const QModelIndex& index, int role) const;

    QList<Row> m_rows;
    QStringList m_fareReasons; // one for each row
    QList<RouteNote> m_notes;  // one for each row
    QStringList m_statusTips;  // one for each row
    QHash<QPair<int, int>, CellColour> m_cellColours;
    CellColour m_listColours{kBlack, kWhite};
    bool m_colouringActive = false;
};

} // namespace skylark
