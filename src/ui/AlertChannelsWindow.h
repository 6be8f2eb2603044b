#pragma once

#include "notify/ChannelSettings.h"

#include <QHash>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace skylark {
class AlertDispatcher;
}

namespace skylark::ui {

class WindowOps;

// The window "提醒方式": one group per alert channel with its switch, its fields and a test
// button whose outcome shows in the group, and a save button that stores every channel at
// once or, with a refused value, says why and stores nothing.
class AlertChannelsWindow : public QWidget {
    Q_OBJECT

public:
    AlertChannelsWindow(ChannelBook& book, AlertDispatcher& alerts, WindowOps& ops,
                        QWidget* parent = nullptr);

    // The save button's handler; true when every channel was stored.
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
    // Why the stored settings could not be read; empty when they could.
    QLabel& problemLine() const { return *m_problem; }

private:
    struct Group {
        QCheckBox* enabled = nullptr;
        QHash<QString, QWidget*> fields;
        QPushButton* test = nullptr;
        QLabel* outcome = nullptr;
    };

    QWidget* makeGroup(const QString& name);
    void load();

    ChannelBook& m_book;
    AlertDispatcher& m_alerts;
    WindowOps& m_ops;
    QHash<QString, Group> m_groups;
    QPushButton* m_save = nullptr;
    QLabel* m_problem = nullptr;
};

} // namespace skylark::ui
