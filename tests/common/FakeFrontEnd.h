#pragma once

#include "app/FrontEnd.h"

#include <QStringList>

namespace skylark::testing {

// Records what the core asked of its front-end, in order.
class FakeFrontEnd final : public FrontEnd {
public:
    void showInformation(const QString& text) override {
        calls.append(QStringLiteral("message: ") + text);
    }
    void playAlertSound() override { calls.append(QStringLiteral("sound")); }
    void showAlertWindow(const QList<SpecialFare>& fares) override {
        calls.append(QStringLiteral("alert window: ") + QString::number(fares.size()));
    }
    bool alertWindowSuppressed() const override { return suppressAlertWindow; }
    void openPushSettings() override { calls.append(QStringLiteral("push settings")); }

    QStringList calls;
    bool suppressAlertWindow = false;
};

} // namespace skylark::testing
