#include "app/SkinFolder.h"
#include "common/DesktopRig.h"
#include "common/Files.h"
#include "sim/DemoServer.h"
#include "ui/AlertWindow.h"
#include "ui/Desktop.h"
#include "ui/MainWindow.h"
#include "ui/SkinFrame.h"
#include "ui/SkinPicture.h"
#include "ui/SkinWindow.h"
#include "ui/WindowOps.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>

using namespace skylark;
using namespace skylark::ui;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

struct Rig : DesktopRig {
    Rig()
        : DesktopRig({}, 1) {}
};

QByteArray pictureOf(QColor colour, const char* format = "PNG") {
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// The window's geometry at each move: the closing effect's steps.
class ResizeRecorder : public QObject {
public:
    explicit ResizeRecorder(QWidget& window) { window.installEventFilter(this); }
    QList<QRect> steps;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Move) {
            steps.append(static_cast<QWidget*>(watched)->geometry());
        }
        return false;
    }
};

using Kinds = QList<TitleButtonKind>;

} // namespace

Q_DECLARE_METATYPE(Kinds)

class TstSkinFrame : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void statusText_dropsItsLastPartsBeforeItIsCut_data();
    void statusText_dropsItsLastPartsBeforeItIsCut();
    void titleBarButtons_ofTheFramedWindows_data();
    void titleBarButtons_ofTheFramedWindows();
    void navigation_selectsPagesAndCutsCaptions();
    void framePicture_emptyBytesChangeNothing();
    void coveringPart_isCutBeforeScaling_data();
    void coveringPart_isCutBeforeScaling();
    void hugePicture_isRefusedBeforeDecoding();
    void longThinPicture_coversTheWindowCheaply();
    void configuredSkin_isDecodedOncePerChange();
    void skinBoard_takesItsOwnPresses();
    void dragging_movesAMovableWindow_data();
    void dragging_movesAMovableWindow();
    void closing_withoutHandlerOrWithTheEffect_data();
    void closing_withoutHandlerOrWithTheEffect();
    void alertHotArea_liesOverItsWords();
    void skinWindow_deletingTheConfiguredSkinReskinsTheMainWindow();
};

void TstSkinFrame::titleBarButtons_ofTheFramedWindows_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<Kinds>("kinds");
    QTest::addColumn<QList<int>>("lefts");
    QTest::addColumn<QStringList>("toolTips");
    QTest::newRow("main") << u"main"_s << QSize(1040, 551)
                          << Kinds{TitleButtonKind::Close, TitleButtonKind::Minimize,
                                   TitleButtonKind::Menu, TitleButtonKind::ChangeSkin}
                          << QList<int>{994, 966, 938, 910}
                          << QStringList{u"关闭 "_s, u"最小化 "_s, u"菜单 "_s, u"更换皮肤 "_s};
    QTest::newRow("alert") << u"alert"_s << QSize(300, 200) << Kinds{TitleButtonKind::Close}
                           << QList<int>{254} << QStringList{u"关闭 "_s};
    QTest::newRow("skin") << u"skin"_s << QSize(454, 290) << Kinds{TitleButtonKind::Close}
                          << QList<int>{408} << QStringList{u"关闭 "_s};
}

void TstSkinFrame::titleBarButtons_ofTheFramedWindows() {
    QFETCH(QString, window);
    QFETCH(QSize, size);
    QFETCH(Kinds, kinds);
    QFETCH(QList<int>, lefts);
    QFETCH(QStringList, toolTips);
    std::unique_ptr<Rig> rig;
    std::unique_ptr<QWidget> owned;
    QWidget* framed = nullptr;
    QTemporaryDir dir;
    Settings settings(dir.path());
    SkinFolder skins(dir.filePath(u"Skin"_s), "first", settings);
    if (window == u"main") {
        rig = std::make_unique<Rig>();
        framed = &rig->desktop->window();
    } else if (window == u"alert") {
        owned = std::make_unique<AlertWindow>(
            QList<SpecialFare>{{u"成都"_s, u"上海"_s, {}, {}, {}}}, defaultSkinPicture());
        framed = owned.get();
    } else {
        WindowOps ops;
        owned = std::make_unique<SkinWindow>(skins, defaultSkinPicture(), ops);
        framed = owned.get();
        QCOMPARE(framed->windowTitle(), u" 皮肤预览"_s);
    }
    QVERIFY(framed->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(framed->size(), size);
    const SkinFrame* frame = SkinFrame::of(*framed);
    QVERIFY(frame);
    QCOMPARE(framed->findChildren<QAbstractButton*>(QRegularExpression(u"^titleButton"_s)).size(),
             kinds.size());
    for (qsizetype i = 0; i < kinds.size(); ++i) {
        const QAbstractButton* button = frame->titleButton(kinds[i]);
        QVERIFY(button);
        const QSize buttonSize = kinds[i] == TitleButtonKind::Close ? QSize(39, 20) : QSize(28, 20);
        QCOMPARE(button->geometry(), QRect(QPoint(lefts[i], 5), buttonSize));
        QCOMPARE(button->toolTip(), toolTips[i]);
    }
}

void TstSkinFrame::navigation_selectsPagesAndCutsCaptions() {
    Rig rig;
    SkinFrame& frame = rig.desktop->frame();
    QTabWidget& pages = rig.desktop->window().pages();
    QCOMPARE(pages.currentIndex(), 1);
    QCOMPARE(frame.selectedNavigationButton(), 2);
    const QStringList captions{u"首页"_s, u"机票监控"_s, u"监控记录"_s};
    for (int n = 1; n <= 3; ++n) {
        QAbstractButton* button = frame.navigationButton(n);
        QCOMPARE(button->geometry(), QRect(10 + 76 * (n - 1), 30, 76, 71));
        QCOMPARE(button->text(), captions[n - 1]);
        QCOMPARE(button->isChecked(), n == 2);
    }
    QTest::mouseClick(frame.navigationButton(3), Qt::LeftButton);
    QCOMPARE(pages.currentIndex(), 2);
    QVERIFY(frame.navigationButton(3)->isChecked());
    QVERIFY(!frame.navigationButton(2)->isChecked());
    frame.selectNavigationButton(1); // marks it, leaves the page
    QVERIFY(frame.navigationButton(1)->isChecked());
    QCOMPARE(pages.currentIndex(), 2);

    // A fourth button: no such page, its handler runs; its caption of 9 bytes is cut
    // before the double-byte character that the fourth byte would halve.
    int handled = 0;
    frame.addNavigationButton(u"a监控记录"_s, QPixmap(), &pages, [&] { ++handled; });
    QAbstractButton* fourth = frame.navigationButton(4);
    QCOMPARE(fourth->geometry(), QRect(238, 30, 76, 71));
    QCOMPARE(fourth->text(), u"a监..."_s);
    QTest::mouseClick(fourth, Qt::LeftButton);
    QCOMPARE(handled, 1);
    QCOMPARE(pages.currentIndex(), 2);
    QCOMPARE(frame.selectedNavigationButton(), 4);
}

void TstSkinFrame::framePicture_emptyBytesChangeNothing() {
    QWidget window;
    SkinFrame* frame =
        SkinFrame::attach(window, {.picture = defaultSkinPicture(), .size = QSize(300, 200)});
    const QByteArray red = pictureOf(Qt::red);
    frame->setFramePicture(red);
    QCOMPARE(frame->settings().picture, red);
    frame->setFramePicture({});
    QCOMPARE(frame->settings().picture, red);
    // What is painted is the picture, covering the window.
    QCOMPARE(window.grab().toImage().pixelColor(150, 100), QColor(Qt::red));
    // The built-in default skin is a real bitmap of its colour.
    frame->setFramePicture(defaultSkinPicture());
    QCOMPARE(window.grab().toImage().pixelColor(150, 100), QColor(0, 136, 255));
}

void TstSkinFrame::dragging_movesAMovableWindow_data() {
    QTest::addColumn<bool>("movable");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("moved");
    QTest::addColumn<QPoint>("by");
    const QPoint far(30, 40);
    QTest::newRow("movable, on the frame") << true << QPoint(150, 60) << QPoint(130, 240) << far;
    QTest::newRow("not movable (the alert)") << false << QPoint(150, 60) << QPoint(100, 200) << far;
    QTest::newRow("movable, on the menu button")
        << true << QPoint(235, 10) << QPoint(100, 200) << far;
    // A tap, and a press that hardly moves, never start a move.
    QTest::newRow("a tap") << true << QPoint(150, 60) << QPoint(100, 200) << QPoint();
    QTest::newRow("under the drag distance") << true << QPoint(150, 60) << QPoint(100, 200)
                                             << QPoint(QApplication::startDragDistance() - 1, 0);
}

// Offscreen the window system cannot move windows: the frame follows the mouse itself.
void TstSkinFrame::dragging_movesAMovableWindow() {
    QFETCH(bool, movable);
    QFETCH(QPoint, press);
    QFETCH(QPoint, moved);
    QFETCH(QPoint, by);
    QWidget window;
    SkinFrame::attach(
        window, {.size = QSize(300, 200), .buttons = {TitleButtonKind::Menu}, .movable = movable});
    window.move(100, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget* target = window.childAt(press) ? window.childAt(press) : &window;
    const QPoint local = target->mapFrom(&window, press);
    QTest::mousePress(target, Qt::LeftButton, {}, local);
    QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(target->mapToGlobal(local) + by),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QTest::mouseRelease(target, Qt::LeftButton, {}, local);
    QCOMPARE(window.pos(), moved);
}

void TstSkinFrame::closing_withoutHandlerOrWithTheEffect_data() {
    QTest::addColumn<bool>("effect");
    QTest::newRow("close button without a handler: at once") << false;
    QTest::newRow("closing effect: ten steps, then destroyed") << true;
}

void TstSkinFrame::closing_withoutHandlerOrWithTheEffect() {
    QFETCH(bool, effect);
    QPointer<QWidget> window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    SkinFrame* frame = SkinFrame::attach(*window, {.size = QSize(454, 290), .titleBarHeight = 100});
    window->move(100, 200);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    ResizeRecorder resizes(*window);
    if (effect) {
        frame->closeWithEffect(2);
    } else {
        QTest::mouseClick(frame->titleButton(TitleButtonKind::Close), Qt::LeftButton);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!window);
    QCOMPARE(resizes.steps.size(), effect ? 10 : 0);
    if (effect) { // the top edge 30 i lower, the height 60 i smaller
        QCOMPARE(resizes.steps[0], QRect(100, 230, 454, 230));
        QCOMPARE(resizes.steps[3], QRect(100, 320, 454, 50));
    }
}

// The hint line drawn on a black skin: its last words are the white columns after the
// widest gap, and they lie inside the hot area.
void TstSkinFrame::alertHotArea_liesOverItsWords() {
    AlertWindow alert(QList<SpecialFare>{{u"成都"_s, u"上海"_s, {}, {}, {}}}, pictureOf(Qt::black));
    const SkinFrame* frame = SkinFrame::of(alert);
    QCOMPARE(frame->settings().secondLine, AlertWindow::hintLine());
    QVERIFY(AlertWindow::hintLine().endsWith(u"              打开软件查看全部"_s));
    const QRect line = frame->secondLineRect();
    const QImage image = alert.grab(line).toImage();
    QList<int> lit; // the columns with white text
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (qGray(image.pixel(x, y)) > 200) {
                lit.append(line.left() + x);
                break;
            }
        }
    }
    QVERIFY(lit.size() > 1);
    qsizetype gapEnd = 1;
    for (qsizetype i = 1; i < lit.size(); ++i) {
        if (lit[i] - lit[i - 1] > lit[gapEnd] - lit[gapEnd - 1]) {
            gapEnd = i;
        }
    }
    const QRect hotArea = alert.findChild<QLabel*>(u"透明标签_打开界面"_s)->geometry();
    QVERIFY2(hotArea.left() <= lit[gapEnd] && lit.last() <= hotArea.right(),
             qPrintable(u"words drawn from %1 to %2"_s.arg(lit[gapEnd]).arg(lit.last())));
    QVERIFY(hotArea.contains(QPoint(hotArea.center().x(), line.center().y())));
}

void TstSkinFrame::coveringPart_isCutBeforeScaling_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QRect>("part");
    QTest::newRow("wide: cut evenly from both ends")
        << QSize(20000, 10) << QSize(1040, 551) << QRect(9990, 0, 19, 10);
    QTest::newRow("tall: cut from the bottom")
        << QSize(100, 1000) << QSize(200, 100) << QRect(0, 0, 100, 50);
    QTest::newRow("the window's own shape: all of it")
        << QSize(520, 275) << QSize(1040, 550) << QRect(0, 0, 520, 275);
}

void TstSkinFrame::coveringPart_isCutBeforeScaling() {
    QFETCH(QSize, picture);
    QFETCH(QSize, window);
    QFETCH(QRect, part);
    QCOMPARE(ui::coveringPart(picture, window), part);
}

// One PNG chunk: length, type, data and the CRC-32 of type and data.
QByteArray pngChunk(const QByteArray& type, const QByteArray& data) {
    const QByteArray covered = type + data;
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : covered) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
        }
    }
    char length[4];
    char sum[4];
    qToBigEndian<quint32>(quint32(data.size()), length);
    qToBigEndian<quint32>(~crc, sum);
    return QByteArray(length, 4) + covered + QByteArray(sum, 4);
}

// A PNG of a few dozen bytes that claims a picture of that size.
QByteArray pngClaiming(quint32 width, quint32 height) {
    QByteArray header(13, '\0');
    qToBigEndian(width, header.data());
    qToBigEndian(height, header.data() + 4);
    header[8] = 8; // 8-bit RGB
    header[9] = 2;
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
           pngChunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) +
           pngChunk("IEND", {});
}

// A few dozen bytes that claim a picture of 4 billion pixels.
void TstSkinFrame::hugePicture_isRefusedBeforeDecoding() {
    const QByteArray bmp = pngClaiming(65536, 65536);
    QString reason;
    QVERIFY(ui::decodeSkinPicture(bmp, &reason).isNull());
    QVERIFY2(reason.contains(u"图片太大"_s), qPrintable(reason));
    QWidget window;
    SkinFrame::attach(window, {.picture = bmp, .size = QSize(300, 200)});
    QCOMPARE(window.grab().toImage().pixelColor(150, 100), QColor(0, 136, 255));
}

void TstSkinFrame::longThinPicture_coversTheWindowCheaply() {
    QImage stripe(20000, 10, QImage::Format_RGB32);
    stripe.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(stripe.save(&buffer, "PNG"));
    QVERIFY(png.size() < 10000);
    QWidget window;
    SkinFrame::attach(window, {.picture = png, .size = QSize(1040, 551)});
    QCOMPARE(window.grab().toImage().pixelColor(520, 275), QColor(Qt::red));
}

// Every alert window wears the picture decoded at start-up; a new file is decoded once.
void TstSkinFrame::configuredSkin_isDecodedOncePerChange() {
    QTemporaryDir dir;
    Settings settings(dir.path());
    const QString path = dir.filePath(u"skin.png"_s);
    writeBytes(path, pictureOf(Qt::red));
    QVERIFY(settings.setSkinPath(path));
    ui::ConfiguredSkin skin(settings);
    const qint64 first = skin.current().pixmap.cacheKey();
    QCOMPARE(skin.current().pixmap.cacheKey(), first);
    QCOMPARE(skin.current().bytes, pictureOf(Qt::red));
    writeBytes(path, pictureOf(Qt::green, "BMP")); // another size
    QVERIFY(skin.current().pixmap.cacheKey() != first);
    QCOMPARE(skin.current().pixmap.toImage().pixelColor(0, 0), QColor(Qt::green));
    // A picture that cannot be worn gives the built-in default.
    writeBytes(path, pngClaiming(65536, 65536));
    QCOMPARE(skin.current().bytes, defaultSkinPicture());
    QCOMPARE(skin.current().pixmap.toImage().pixelColor(0, 0), QColor(0, 136, 255));
    // The window's frame takes the decoded pixels as they are.
    QWidget window;
    SkinFrame::attach(window, {.picture = skin.current().bytes,
                               .decoded = skin.current().pixmap,
                               .size = QSize(300, 200)});
    QCOMPARE(window.grab().toImage().pixelColor(150, 100), QColor(0, 136, 255));
}

// A press on the preview board with a small move chooses a skin; it never drags the window.
void TstSkinFrame::skinBoard_takesItsOwnPresses() {
    Rig rig;
    bool checked = false;
    QTimer::singleShot(0, [&] {
        SkinWindow* window = rig.desktop->skinWindow();
        QVERIFY(window);
        const QPoint before = window->pos();
        auto* board = window->findChild<SkinBoard*>(u"画板1"_s);
        const QPoint local(100, 60);
        QTest::mousePress(board, Qt::LeftButton, {}, local);
        QMouseEvent move(QEvent::MouseMove, QPointF(local + QPoint(12, 0)),
                         QPointF(board->mapToGlobal(local) + QPoint(12, 0)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(board, &move);
        QTest::mouseRelease(board, Qt::LeftButton, {}, local + QPoint(12, 0));
        QCOMPARE(window->pos(), before);
        QTest::keyClick(window, Qt::Key_Escape);
        checked = true;
    });
    rig.desktop->openSkinWindow();
    QVERIFY(checked);
}

void TstSkinFrame::skinWindow_deletingTheConfiguredSkinReskinsTheMainWindow() {
    QCOMPARE(SkinWindow::dialogFilter(), u"图片文件(*.png *.jpg *.bmp *.gif)"_s);
    Rig rig;
    const QString folder = rig.dir.filePath(u"Skin"_s);
    QDir().mkpath(folder);
    const QByteArray red = pictureOf(Qt::red);
    const QByteArray green = pictureOf(Qt::green, "JPG");
    writeBytes(folder + u"/a.png"_s, red);
    writeBytes(folder + u"/b.jpg"_s, green);
    Settings settings(rig.dir.path());
    QVERIFY(settings.setSkinPath(QString(folder + u"/a.png"_s)));
    rig.desktop->applyConfiguredSkin();
    QCOMPARE(rig.desktop->frame().settings().picture, red);

    bool checked = false;
    QTimer::singleShot(0, [&] {
        SkinWindow* window = rig.desktop->skinWindow();
        QVERIFY(window);
        auto* board = window->findChild<SkinBoard*>(u"画板1"_s);
        QVERIFY(!board->showsCross()); // 01.jpg, restored from the built-in first skin
        QTest::mouseClick(window->findChild<QAbstractButton*>(u"按钮2"_s), Qt::LeftButton);
        QVERIFY(board->showsCross()); // a.png
        QTest::mouseClick(board, Qt::LeftButton, {}, QPoint(230, 10));
        QVERIFY(!QFileInfo::exists(folder + u"/a.png"_s));
        QCOMPARE(settings.skinPath(), folder + u"/b.jpg"_s);
        QCOMPARE(rig.desktop->frame().settings().picture, green);
        QCOMPARE(SkinFrame::of(*window)->settings().picture, green);
        QTest::keyClick(window, Qt::Key_Escape);
        checked = true;
    });
    rig.desktop->openSkinWindow(); // modal: returns when the window has closed
    QVERIFY(checked);
    QCOMPARE(readBytes(folder + u"/01.jpg"_s), builtInFirstSkin());
    QVERIFY(!ui::decodeSkinPicture(builtInFirstSkin()).isNull()); // the picture, not nothing
    QTRY_VERIFY(!rig.desktop->skinWindow());
}

void TstSkinFrame::statusText_dropsItsLastPartsBeforeItIsCut_data() {
    QTest::addColumn<int>("room");
    QTest::addColumn<QString>("shown");
    const QString text =
        u"下一轮 15:38:19（还有 2:55） · 上一轮 0.2 秒：找到 3，特价 1，未找到 0"_s;
    QTest::newRow("room for the whole text") << 2000 << text;
    QTest::newRow("room for the first part alone") << 200 << u"下一轮 15:38:19（还有 2:55）"_s;
    QTest::newRow("room for less than the first part") << 60 << QString();
}

void TstSkinFrame::statusText_dropsItsLastPartsBeforeItIsCut() {
    QFETCH(int, room);
    QFETCH(QString, shown);
    QWidget window;
    SkinFrame* frame = SkinFrame::attach(window, {.size = QSize(1040, 551)});
    const QString text =
        u"下一轮 15:38:19（还有 2:55） · 上一轮 0.2 秒：找到 3，特价 1，未找到 0"_s;
    const QString fitted = fittedStatusText(frame->frameFont(), text, room);
    if (shown.isEmpty()) {
        QVERIFY2(fitted.startsWith(u"下一轮"_s) && fitted.endsWith(u"…"_s), qPrintable(fitted));
        QVERIFY(QFontMetrics(frame->frameFont()).horizontalAdvance(fitted) <= room + 2);
    } else {
        QCOMPARE(fitted, shown);
    }
}

QTEST_MAIN(TstSkinFrame)
#include "tst_skinframe.moc"
