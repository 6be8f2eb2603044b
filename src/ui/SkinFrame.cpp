#include "SkinFrame.h"

#include "SkinPicture.h"

#include <QApplication>

#include "Faces.h"
#include "app/SkinFolder.h"
#include "text/LogCategories.h"

#include <QAbstractButton>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cmath>

namespace skylark::ui {
namespace {

const QColor kFallbackSkin(0, 136, 255);
constexpr int kFaceSize = 12;
constexpr int kSecondLineHeight = 22;

// A frame text, left-aligned and centred on the rectangle's height, in white on a faint
// shadow. Every space is a third of the face's height wide, as in the faces the frame texts
// were laid out with: the alert's hint line puts its last words under the hot area so.
// How wide drawFrameText draws the text.
qreal frameTextWidth(const QFont& font, const QString& text) {
    const QFontMetricsF metrics(font);
    qreal width = 0;
    for (const QString& run : text.split(u' ')) {
        width += metrics.horizontalAdvance(run) + font.pixelSize() / 3.0;
    }
    return width - font.pixelSize() / 3.0;
}

const QString kStatusPartGap = QStringLiteral(" · ");

// Returns where the text ends.
qreal drawFrameText(QPainter& painter, const QRect& rect, const QString& text) {
    const QFontMetricsF metrics(painter.font());
    const qreal space = painter.font().pixelSize() / 3.0;
    const qreal baseline = rect.top() + (rect.height() - metrics.height()) / 2 + metrics.ascent();
    painter.save();
    painter.setClipRect(rect);
    qreal x = rect.left();
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = at;
        const bool spaces = text[at] == u' ';
        while (end < text.size() && (text[end] == u' ') == spaces) {
            ++end;
        }
        const QString run = text.mid(at, end - at);
        if (spaces) {
            x += space * qreal(run.size());
        } else {
            painter.setPen(QColor(0, 0, 0, 110));
            painter.drawText(QPointF(x + 1, baseline + 1), run);
            painter.setPen(Qt::white);
            painter.drawText(QPointF(x, baseline), run);
            x += metrics.horizontalAdvance(run);
        }
        at = end;
    }
    painter.restore();
    return x;
}

// A title-bar button: a white glyph that lights up under the mouse; close turns red.
class TitleBarButton final : public QAbstractButton {
public:
    TitleBarButton(TitleButtonKind kind, QWidget* parent)
        : QAbstractButton(parent)
        , m_kind(kind) {
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::ArrowCursor);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (isDown()) {
            painter.fillRect(rect(), m_kind == TitleButtonKind::Close ? QColor(170, 20, 30)
                                                                      : QColor(0, 0, 0, 60));
        } else if (underMouse()) {
            painter.fillRect(rect(), m_kind == TitleButtonKind::Close ? QColor(232, 17, 35)
                                                                      : QColor(255, 255, 255, 70));
        }
        painter.setPen(QPen(Qt::white, 1.4));
        const QPointF c = QRectF(rect()).center();
        switch (m_kind) {
        case TitleButtonKind::Close:
            painter.drawLine(c + QPointF(-4.5, -4.5), c + QPointF(4.5, 4.5));
            painter.drawLine(c + QPointF(-4.5, 4.5), c + QPointF(4.5, -4.5));
            break;
        case TitleButtonKind::Maximize:
            painter.drawRect(QRectF(c.x() - 4.5, c.y() - 4.5, 9, 9));
            break;
        case TitleButtonKind::Minimize:
            painter.drawLine(c + QPointF(-5, 3), c + QPointF(5, 3));
            break;
        case TitleButtonKind::Menu:
            for (double dy : {-3.5, 0.0, 3.5}) {
                painter.drawLine(c + QPointF(-5, dy), c + QPointF(5, dy));
            }
            break;
        case TitleButtonKind::ChangeSkin: {
            // A shirt: the skin the window wears.
            QPainterPath shirt;
            shirt.moveTo(c + QPointF(-2, -5));
            shirt.lineTo(c + QPointF(-6, -2.5));
            shirt.lineTo(c + QPointF(-4.5, 0));
            shirt.lineTo(c + QPointF(-3, -1));
            shirt.lineTo(c + QPointF(-3, 5));
            shirt.lineTo(c + QPointF(3, 5));
            shirt.lineTo(c + QPointF(3, -1));
            shirt.lineTo(c + QPointF(4.5, 0));
            shirt.lineTo(c + QPointF(6, -2.5));
            shirt.lineTo(c + QPointF(2, -5));
            shirt.quadTo(c + QPointF(0, -3), c + QPointF(-2, -5));
            painter.drawPath(shirt);
            break;
        }
        }
    }

private:
    TitleButtonKind m_kind;
};

// A navigation button: its icon above its caption on one of the two backgrounds.
class NavigationButton final : public QAbstractButton {
public:
    NavigationButton(const QString& caption, const QPixmap& icon, QWidget* parent)
        : QAbstractButton(parent)
        , m_icon(icon) {
        setText(navigationCaption(caption));
        setToolTip(caption);
        setAccessibleName(caption);
        setCheckable(true);
        setAttribute(Qt::WA_Hover);
        setFocusPolicy(Qt::NoFocus);
        setFont(frameFace(kFaceSize));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        static const QPixmap normal(QStringLiteral(":/skylark/pictures/nav-back.png"));
        static const QPixmap selected(QStringLiteral(":/skylark/pictures/nav-back-selected.png"));
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        if (isChecked() || isDown()) {
            painter.drawPixmap(rect(), selected);
        } else if (underMouse()) {
            painter.setOpacity(0.55);
            painter.drawPixmap(rect(), selected);
            painter.setOpacity(1.0);
        } else {
            painter.drawPixmap(rect(), normal);
        }
        painter.drawPixmap(QRect(0, 0, 76, 51), m_icon);
        const QRectF captionRect(navigationCaptionLeft(text()), 50, width(), height() - 50);
        painter.setFont(font());
        painter.setPen(Qt::white);
        painter.drawText(captionRect, Qt::AlignLeft | Qt::AlignTop, text());
    }

private:
    QPixmap m_icon;
};

void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

SkinFrame::SkinFrame(QWidget& window, FrameSettings settings)
    : QObject(&window) {
    setObjectName(QStringLiteral("skinFrame"));
    window.setWindowFlag(Qt::FramelessWindowHint, true);
    window.installEventFilter(this);
    setSettings(std::move(settings));
}

SkinFrame* SkinFrame::attach(QWidget& window, FrameSettings settings) {
    if (SkinFrame* attached = of(window)) {
        attached->setSettings(std::move(settings));
        return attached;
    }
    return new SkinFrame(window, std::move(settings));
}

SkinFrame* SkinFrame::of(const QWidget& window) {
    return window.findChild<SkinFrame*>(QStringLiteral("skinFrame"), Qt::FindDirectChildrenOnly);
}

QWidget& SkinFrame::window() const {
    return *static_cast<QWidget*>(parent());
}

void SkinFrame::setSettings(FrameSettings settings) {
    m_settings = std::move(settings);
    loadSkin(m_settings.picture, m_settings.decoded);
    if (m_settings.size.isValid()) {
        window().setFixedSize(m_settings.size);
    }
    window().setWindowOpacity(m_settings.opacity / 255.0);
    buildTitleButtons();
    window().update();
}

void SkinFrame::buildTitleButtons() {
    qDeleteAll(m_titleButtons);
    m_titleButtons.clear();
    const bool maximized = window().isMaximized();
    for (const TitleButton& place :
         titleBarButtons(window().width(), m_settings.buttons, maximized)) {
        auto* button = new TitleBarButton(place.kind, &window());
        button->setObjectName(QStringLiteral("titleButton%1").arg(int(place.kind)));
        button->setGeometry(place.geometry);
        button->setToolTip(place.toolTip);
        button->setAccessibleName(place.toolTip.trimmed());
        connect(button, &QAbstractButton::clicked, this,
                [this, kind = place.kind] { titleButtonClicked(kind); });
        button->show();
        m_titleButtons.append(button);
    }
}

void SkinFrame::setTitleButtonHandler(TitleButtonKind kind, std::function<void()> handler) {
    m_handlers[kind] = std::move(handler);
}

QAbstractButton* SkinFrame::titleButton(TitleButtonKind kind) const {
    return window().findChild<QAbstractButton*>(QStringLiteral("titleButton%1").arg(int(kind)),
                                                Qt::FindDirectChildrenOnly);
}

void SkinFrame::titleButtonClicked(TitleButtonKind kind) {
    const auto handler = m_handlers.find(kind);
    if (handler != m_handlers.end() && handler->second) {
        handler->second();
        return;
    }
    QWidget& w = window();
    switch (kind) {
    case TitleButtonKind::Close:
        w.setAttribute(Qt::WA_DeleteOnClose);
        w.close();
        break;
    case TitleButtonKind::Maximize:
        w.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        if (w.isMaximized()) {
            w.showNormal();
            w.setFixedSize(m_settings.size);
        } else {
            w.showMaximized();
        }
        buildTitleButtons();
        break;
    case TitleButtonKind::Minimize:
        w.showMinimized();
        break;
    case TitleButtonKind::Menu:
    case TitleButtonKind::ChangeSkin:
        break;
    }
}

void SkinFrame::addNavigationButton(const QString& caption, const QPixmap& icon, QTabWidget* tabs,
                                    std::function<void()> handler) {
    const int n = int(m_navigation.size());
    auto* button = new NavigationButton(caption, icon, &window());
    button->setObjectName(QStringLiteral("navigationButton%1").arg(n + 1));
    button->setGeometry(navigationButtonGeometry(n, m_settings.titleBarHeight));
    connect(button, &QAbstractButton::clicked, this, [this, n] { navigationClicked(n + 1); });
    button->show();
    m_navigation.append({button, tabs, std::move(handler)});
}

void SkinFrame::selectNavigationButton(int n) {
    m_selected = n;
    for (qsizetype i = 0; i < m_navigation.size(); ++i) {
        m_navigation[i].button->setChecked(i + 1 == n);
    }
}

QAbstractButton* SkinFrame::navigationButton(int n) const {
    return n >= 1 && n <= m_navigation.size() ? m_navigation[n - 1].button : nullptr;
}

void SkinFrame::navigationClicked(int n) {
    selectNavigationButton(n);
    const Navigation& navigation = m_navigation[n - 1];
    if (navigation.tabs && n - 1 < navigation.tabs->count()) {
        navigation.tabs->setCurrentIndex(n - 1);
    }
    if (navigation.handler) {
        navigation.handler();
    }
}

void SkinFrame::setFramePicture(const QByteArray& picture, const QPixmap& decoded) {
    if (picture.isEmpty()) {
        return;
    }
    m_settings.picture = picture;
    m_settings.decoded = decoded;
    loadSkin(picture, decoded);
    window().update();
}

void SkinFrame::setFrameOpacity(int opacity) {
    m_settings.opacity = qBound(0, opacity, 255);
    window().setWindowOpacity(m_settings.opacity / 255.0);
}

void SkinFrame::closeWithEffect(int pauseMs) {
    if (m_closing) {
        return;
    }
    m_closing = true;
    QPointer<QWidget> w = &window();
    for (const QColor& colour : {QColor(Qt::black), QColor(Qt::white)}) {
        m_closingColour = colour;
        w->repaint();
    }
    const QRect start = w->geometry();
    w->setMinimumSize(0, 0);
    for (int step = 1; step <= kClosingEffectSteps; ++step) {
        w->setGeometry(closingEffectStep(start, step));
        pause(pauseMs);
        if (!w) {
            return; // closed by someone else meanwhile
        }
    }
    w->close();
}

// A picture that cannot be decoded within the caps is refused: the frame wears the colour
// of the built-in default skin instead.
void SkinFrame::loadSkin(const QByteArray& picture, const QPixmap& decoded) {
    m_fitted = QPixmap();
    if (!decoded.isNull()) {
        m_skin = decoded;
        return;
    }
    QString reason;
    m_skin =
        picture.isEmpty() ? QPixmap() : QPixmap::fromImage(decodeSkinPicture(picture, &reason));
    if (!reason.isEmpty()) {
        qCWarning(logUi).noquote() << QStringLiteral("皮肤图片无法使用：") + reason;
    }
    m_fitted = QPixmap();
}

// The skin scaled once to cover the window, cut evenly on the long side: a repaint under a
// changing control then only copies pixels.
const QPixmap& SkinFrame::skinForSize(const QSize& size) {
    if (m_fitted.size() == size) {
        return m_fitted;
    }
    m_fitted = QPixmap(size);
    if (m_skin.isNull()) {
        m_fitted.fill(kFallbackSkin);
        return m_fitted;
    }
    // Each round's alert window wears the same skin at the same size: it is scaled once.
    const QString key = QStringLiteral("skylark-skin-%1-%2x%3")
                            .arg(m_skin.cacheKey())
                            .arg(size.width())
                            .arg(size.height());
    if (QPixmapCache::find(key, &m_fitted)) {
        return m_fitted;
    }
    const QPixmap covering = m_skin.copy(coveringPart(m_skin.size(), size));
    QPainter painter(&m_fitted);
    painter.drawPixmap(0, 0,
                       covering.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    painter.end();
    QPixmapCache::insert(key, m_fitted);
    return m_fitted;
}

QFont SkinFrame::frameFont() const {
    return frameFace(kFaceSize);
}

QString fittedStatusText(const QFont& font, const QString& text, int room) {
    QString shown = text;
    while (frameTextWidth(font, shown) > room && shown.contains(kStatusPartGap)) {
        shown.truncate(shown.lastIndexOf(kStatusPartGap));
    }
    if (frameTextWidth(font, shown) > room) {
        shown = QFontMetrics(font).elidedText(shown, Qt::ElideRight, qMax(0, room));
    }
    return shown;
}

QRect SkinFrame::secondLineRect() const {
    return {2, window().height() - kSecondLineHeight, window().width() - 4, kSecondLineHeight};
}

void SkinFrame::paint(const QRect& dirty) {
    QWidget& w = window();
    QPainter painter(&w);
    if (m_closing) {
        painter.fillRect(w.rect(), m_closingColour);
        return;
    }
    painter.drawPixmap(0, 0, skinForSize(w.size()));
    painter.setFont(frameFont());
    const int buttonsLeft = m_titleButtons.isEmpty() ? w.width() : m_titleButtons.last()->x();
    const QRect titleRect(6, 5, buttonsLeft - 12, 20);
    if (dirty.intersects(titleRect)) {
        drawFrameText(painter, titleRect, w.windowTitle());
    }
    const QRect band(0, w.height() - kSecondLineHeight, w.width(), kSecondLineHeight);
    if ((!m_settings.secondLine.isEmpty() || !m_statusText.isEmpty()) && dirty.intersects(band)) {
        // A shade under the line keeps its white text readable on light skins.
        painter.fillRect(band, QColor(8, 45, 100, 120));
        const QRect line = secondLineRect();
        const qreal end = drawFrameText(painter, line, m_settings.secondLine);
        // The status goes to the right end of the line. Where it would run into the line's
        // own text, its last parts (after " · ") go, then the rest is cut short.
        const QString shown =
            fittedStatusText(painter.font(), m_statusText, line.right() - int(end) - 24);
        const int width = int(std::ceil(frameTextWidth(painter.font(), shown))) + 2;
        drawFrameText(painter,
                      QRect(line.right() - width - 4, line.top(), width + 4, line.height()), shown);
    }
}

void SkinFrame::setSecondLine(const QString& text) {
    if (text != m_settings.secondLine) {
        m_settings.secondLine = text;
        window().update(0, window().height() - kSecondLineHeight, window().width(),
                        kSecondLineHeight);
    }
}

void SkinFrame::setStatusText(const QString& text) {
    if (text != m_statusText) {
        m_statusText = text;
        window().update(secondLineRect());
    }
}

bool SkinFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched != parent()) {
        return false;
    }
    switch (event->type()) {
    case QEvent::Paint:
        paint(static_cast<QPaintEvent*>(event)->rect());
        break;
    case QEvent::WindowTitleChange:
        window().update();
        break;
    case QEvent::MouseButtonPress: {
        auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton && m_settings.movable && !window().isMaximized()) {
            // A press alone (a touchpad's tap) moves nothing: the move starts once the
            // pointer has travelled the platform's drag distance with the button held.
            m_pressedAt = press->globalPosition().toPoint();
            return true;
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* move = static_cast<QMouseEvent*>(event);
        const QPoint at = move->globalPosition().toPoint();
        if (!(move->buttons() & Qt::LeftButton)) {
            m_pressedAt.reset();
            m_dragOffset.reset();
            break;
        }
        if (m_pressedAt &&
            (at - *m_pressedAt).manhattanLength() >= QApplication::startDragDistance()) {
            const QPoint pressedAt = *std::exchange(m_pressedAt, std::nullopt);
            if (startDrag(pressedAt)) {
                return true; // the window system moves it from here on
            }
        }
        if (m_dragOffset) {
            window().move(at - *m_dragOffset);
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        m_pressedAt.reset();
        m_dragOffset.reset();
        break;
    default:
        break;
    }
    return false;
}

// The window system moves the window where it can (X11, Wayland): true then. Elsewhere the
// frame follows the mouse itself from where the press caught the window.
bool SkinFrame::startDrag(const QPoint& pressedAt) {
    QWindow* handle = window().windowHandle();
    if (handle && handle->startSystemMove()) {
        return true;
    }
    m_dragOffset = pressedAt - window().pos();
    return false;
}

} // namespace skylark::ui
