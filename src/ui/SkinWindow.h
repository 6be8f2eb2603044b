#pragma once

#include "app/SkinFolder.h"

#include <QPixmap>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class SkinWindow;
}

namespace skylark::ui {

class WindowOps;

// The first skin, built into the program: the file Skin/01.jpg is restored from it.
QByteArray builtInFirstSkin();

// The skin window's preview board 画板1: the picture on white inside a single-line border,
// and the red delete cross when the picture may be deleted.
class SkinBoard : public QWidget {
    Q_OBJECT

public:
    explicit SkinBoard(QWidget* parent = nullptr);
    void show(const QPixmap& picture, bool cross);
    bool showsCross() const { return m_cross; }
    const QPixmap& picture() const { return m_picture; }

Q_SIGNALS:
    void released(QPoint at);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap m_picture;
    bool m_cross = false;
};

// The skin window over the program-wide skin folder: the arrows page through the skins, a
// click on the board applies, deletes or adds one. It closes on Esc.
class SkinWindow : public QWidget {
    Q_OBJECT

public:
    using FileChooser = std::function<QString()>;

    static constexpr int kWidth = 454;
    static constexpr int kHeight = 290;
    static constexpr int kTitleBarHeight = 100;
    static QString secondLine();
    // The open-file dialog's filter in Qt's form.
    static QString dialogFilter();

    SkinWindow(SkinFolder& folder, const QByteArray& frameSkin, WindowOps& ops,
               FileChooser chooseFile = {}, QWidget* parent = nullptr);
    ~SkinWindow() override;

Q_SIGNALS:
    // The configured skin changed: the main window takes it.
    void skinChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showPreview();
    void onReleased(QPoint at);
    QString chooseFile();

    SkinFolder& m_folder;
    WindowOps& m_ops;
    FileChooser m_chooseFile;
    std::unique_ptr<Ui::SkinWindow> m_ui;
};

} // namespace skylark::ui
