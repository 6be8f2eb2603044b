#include "SkinRules.h"

#include "text/Gbk.h"

namespace skylark {
namespace {

QString toolTipOf(TitleButtonKind kind, bool maximized) {
    switch (kind) {
    case TitleButtonKind::Close:
        return QStringLiteral("关闭 ");
    case TitleButtonKind::Maximize:
        return maximized ? QStringLiteral("还原 ") : QStringLiteral("最大化 ");
    case TitleButtonKind::Minimize:
        return QStringLiteral("最小化 ");
    case TitleButtonKind::Menu:
        return QStringLiteral("菜单 ");
    case TitleButtonKind::ChangeSkin:
        return QStringLiteral("更换皮肤 ");
    }
    return {};
}

} // namespace

QList<TitleButton> titleBarButtons(int windowWidth, const QList<TitleButtonKind>& wanted,
                                   bool maximized) {
    QList<TitleButton> buttons{{TitleButtonKind::Close, QRect(windowWidth - 46, 5, 39, 20),
                                toolTipOf(TitleButtonKind::Close, maximized)}};
    int left = windowWidth - 46;
    for (TitleButtonKind kind : {TitleButtonKind::Maximize, TitleButtonKind::Minimize,
                                 TitleButtonKind::Menu, TitleButtonKind::ChangeSkin}) {
        if (wanted.contains(kind)) {
            left -= 28;
            buttons.append({kind, QRect(left, 5, 28, 20), toolTipOf(kind, maximized)});
        }
    }
    return buttons;
}

QRect navigationButtonGeometry(int n, int titleBarHeight) {
    return {10 + 76 * n, titleBarHeight > 0 ? titleBarHeight : 30, 76, 71};
}

QString navigationCaption(const QString& caption) {
    if (gbkLength(caption) <= 8) {
        return caption;
    }
    return cutToGbkBytes(caption, 4) + QStringLiteral("...");
}

double navigationCaptionLeft(const QString& shownCaption) {
    return double(12 - gbkLength(shownCaption)) * 3.125;
}

QRect closingEffectStep(const QRect& start, int step) {
    return {start.left(), start.top() + 30 * step, start.width(),
            qMax(0, start.height() - 60 * step)};
}

} // namespace skylark
