#pragma once

#include <QLabel>
#include <QTextDocument>

namespace skylark::ui {

// A label whose lines share its height evenly, whatever the face's own line spacing: the
// last of many short lines stays inside the label. The text is plain, one line a block.
class LinedLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

    // The text laid out as it is painted.
    const QTextDocument& layoutDocument() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    mutable QTextDocument m_document;
    mutable QString m_laidOutText;
    mutable QSize m_laidOutSize;
    mutable QFont m_laidOutFont;
};

} // namespace skylark::ui
