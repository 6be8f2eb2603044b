#pragma once

#include "common/Files.h"
#include "sim/DemoServer.h"
#include "ui/Desktop.h"
#include "ui/MainWindow.h"
#include "ui/WindowOps.h"

#include <QAbstractButton>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace skylark::testing {

using namespace Qt::Literals::StringLiterals;

// The desktop program of a temporary data directory on a demo server of its own, started;
// its message boxes are answered OK and kept in messages.
struct DesktopRig {
    QTemporaryDir dir;
    sim::DemoServer server;
    ui::WindowOps ops;
    QStringList messages;
    std::unique_ptr<ui::Desktop> desktop;

    // directory: the data directory, a temporary one of the rig's own when empty.
    explicit DesktopRig(const QByteArray& settings = {}, int tipTickMs = 1000,
                        const QString& directory = {}) {
        const QString data = directory.isEmpty() ? dir.path() : directory;
        if (!settings.isEmpty()) {
            writeBytes(QDir(data).filePath(u"config.ini"_s), settings);
        }
        server.start();
        ops.setAnswerer([this](const QString& text) {
            messages.append(text);
            return int(ui::WindowOps::Ok);
        });
        desktop = std::make_unique<ui::Desktop>(data, Endpoints::forDemo(server.baseUrl()), ops,
                                                QString(), MonitorTiming{10, 60000});
        desktop->setTipTickMs(tipTickMs);
        desktop->setStartPagesDelayMs(0); // the browser engine has a test of its own
        desktop->start();
    }
    template <typename T>
    T* control(const QString& name) {
        return desktop->window().findChild<T*>(name);
    }
    QStringList logTexts() const {
        QStringList texts;
        for (const QString& line : desktop->log().lines()) {
            texts.append(line.mid(11));
        }
        return texts;
    }
    void add(const QString& from, const QString& to, const QString& price) {
        control<QLineEdit>(u"编辑框_出发城市"_s)->setText(from);
        control<QLineEdit>(u"编辑框_到达城市"_s)->setText(to);
        control<QLineEdit>(u"编辑框_监控价格"_s)->setText(price);
        control<QDateEdit>(u"日期框_出发日期"_s)->setDate(QDate::currentDate().addDays(30));
        QTest::mouseClick(control<QAbstractButton>(u"按钮_增加航线"_s), Qt::LeftButton);
    }
};

} // namespace skylark::testing
