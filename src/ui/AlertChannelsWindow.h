#pragma once

#include "app/MonitorRules.h"
#include "notify/ChannelSettings.h"

#include <QHash>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

class QTabWidget;

namespace skylark {
class AlertDispatcher;
class RouteListModel;
} // namespace skylark

namespace skylark::ui {

class MonitorRulesPage;
class WindowOps;

// The window "提醒方式": on its first page one group per alert channel with its switch, its
// fields and a test button whose outcome shows in the group, on its second the monitor's
// rules; a save button stores every channel at once and then the rules or, with a refused
// value, says why and stores nothing more.
class AlertChannelsWindow : public QWidget {
    Q_OBJECT

public:
    AlertChannelsWindow(ChannelBook& book, AlertDispatcher& alerts, RulesBook& rules,
                        const RouteListModel& routes, WindowOps& ops, QWidget* parent = nullptr);

    // The save button's handler; true when every channel and the rules were stored.
    bool save();
    // The test button's handler of the channel: its fields as they stand, saved or not.
    void test(const QString& name);
    // The channel's settings as the window shows them.
    ChannelSettings shownSettings(const QString& name) const;

    QCheckBox& switchOf(const QString& name) const { return *m_groups[name].enabled; }
    // The field's edit box, or its choice box for a field with choices.
    QWidget& fieldOf(const QString& name, const QString& key) const {
        return *m_groups[name].fields[key];
    }
    QPushButton& testButtonOf(const QString& name) const { return *m_groups[name].test; }
    QLabel& outcomeOf(const QString& name) const { return *m_groups[name].outcome; }
    QPushButton& saveButton() const { return *m_save; }
    QTabWidget& pages() const { return *m_pages; }
    MonitorRulesPage& rulesPage() const { return *m_rulesPage; }
    // Why the stored settings could not be read; empty when they could.
    QLabel& problemLine() const { return *m_problem; }

private:
    struct Group {
        QCheckBox* enabled = nullptr;
        QHash<QString, QWidget*> fields;
        QPushButton* test = nullptr;
        QLabel* outcome = nullptr;
    };

    QWidget* makeChannelsPage();
    QWidget* makeGroup(const QString& name);
    void load();

    ChannelBook& m_book;
    AlertDispatcher& m_alerts;
    WindowOps& m_ops;
    QHash<QString, Group> m_groups;
    QTabWidget* m_pages = nullptr;
    MonitorRulesPage* m_rulesPage = nullptr;
    QPushButton* m_save = nullptr;
    QLabel* m_problem = nullptr;
};

} // namespace skylark::ui
