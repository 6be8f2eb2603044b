#pragma once

#include "store/WriteResult.h"

#include <QByteArray>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>

namespace skylark {

class Settings;

// The largest skin picture file read; a larger one is refused and the default worn.
constexpr qint64 kMaxSkinFileBytes = 32LL * 1024 * 1024;

// The built-in default skin: a 100 x 100 24-bit bitmap of the single colour RGB (0, 136, 255).
QByteArray defaultSkinPicture();

// The skin picture of a framed window: the file the settings name when it exists as a
// regular file of at most kMaxSkinFileBytes, else the built-in default skin.
QByteArray configuredSkinPicture(const Settings& settings);

// What the skin window's preview board shows.
struct SkinPreview {
    QString file;             // empty while the add-skin placeholder is shown
    bool placeholder = false; // the add-skin placeholder
    bool cross = false;       // the red delete cross over the picture
    bool previousVisible = true;
    bool nextVisible = true;
};

// What a release on the preview board changed.
struct SkinChange {
    // The configured skin changed: the main window takes it, the skin window's frame shows
    // framePicture.
    bool configuredChanged = false;
    QString framePicture;
    // Why the change could not be made in full; empty when it was.
    QString error;
};

// The skin window's list of skin pictures in the folder "Skin" of the data directory, the
// one it shows, and its apply, delete and add rules. The first skin is written back as
// 01.jpg whenever it is missing and is never offered for deletion.
class SkinFolder {
public:
    static constexpr int kCrossLeft = 225;
    static constexpr int kCrossTop = 5;
    static constexpr int kCrossSize = 10;
    // The open-file dialog's filter.
    static QString pictureFilter();
    // The whole skin picture file, empty when it cannot be read, is not a regular file or
    // is larger than kMaxSkinFileBytes.
    static QByteArray readPicture(const QString& path);

    SkinFolder(QString folder, QByteArray firstSkin, Settings& settings);

    QString folder() const { return m_folder; }
    QStringList files() const { return m_files; }
    // 1 ... count shows files()[index - 1]; 0 and count + 1 show the placeholder.
    int index() const { return m_index; }
    const SkinPreview& preview() const { return m_preview; }

    // Restores 01.jpg, removes Thumbs.db, lists the folder and shows its first file with the
    // cross when it may be deleted.
    void open();
    void previous();
    void next();
    // The left button released on the board at that point: deletes the shown skin inside the
    // cross, applies it elsewhere, and on the placeholder adds the file that chooseFile
    // returns (empty: cancelled).
    SkinChange released(QPoint at, const std::function<QString()>& chooseFile);

private:
    void restoreFolder();
    void list();
    void show(int index);
    bool isFirstSkin(const QString& file) const;
    QString shownFile() const;
    SkinChange apply(const QString& file);
    SkinChange deleteShown();
    SkinChange add(const QString& chosen);

    QString m_folder;
    QByteArray m_firstSkin;
    Settings& m_settings;
    QStringList m_files;
    int m_index = 1;
    SkinPreview m_preview;
};

} // namespace skylark
