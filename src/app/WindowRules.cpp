#include "WindowRules.h"

#include "text/Gbk.h"

namespace skylark {
namespace {

const QString kShow = QStringLiteral("显示界面");
const QString kHide = QStringLiteral("隐藏界面");
constexpr qsizetype kTipBytes = 62;

} // namespace

TrayAction trayActionFor(int event) {
    switch (event) {
    case 1:
    case 2:
        return TrayAction::ShowMainWindow;
    case 3:
        return TrayAction::PopUpMenu;
    default:
        return TrayAction::None;
    }
}

QString showHideCaption(bool mainWindowVisible) {
    return mainWindowVisible ? kHide : kShow;
}

ShowHide showHideFor(const QString& caption) {
    if (caption == kShow) {
        return ShowHide::Show;
    }
    return caption == kHide ? ShowHide::Hide : ShowHide::Nothing;
}

QString tipWindowCaption() {
    return QStringLiteral("操作提示（5 秒后自动关闭...）");
}

std::optional<QString> tipCaptionAfterTick(int& counter) {
    if (counter > 4) {
        return std::nullopt;
    }
    ++counter;
    return QStringLiteral("操作提示（") + QString::number(5 - counter) +
           QStringLiteral(" 秒后自动关闭...）");
}

QString trayTip(const QString& caption) {
    return cutToGbkBytes(caption, kTipBytes);
}

} // namespace skylark
