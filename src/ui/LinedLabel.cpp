#include "LinedLabel.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>

namespace skylark::ui {

const QTextDocument& LinedLabel::layoutDocument() const {
    if (m_laidOutText == text() && m_laidOutSize == size() && m_laidOutFont == font()) {
        return m_document;
    }
    m_laidOutText = text();
    m_laidOutSize = size();
    m_laidOutFont = font();
    m_document.clear();
    m_document.setDefaultFont(font());
    m_document.setDocumentMargin(0);
    m_document.setTextWidth(width());
    const QStringList lines = text().split(u'\n');
    QTextBlockFormat format;
    format.setLineHeight(qreal(height() / qMax<qsizetype>(1, lines.size())),
                         QTextBlockFormat::FixedHeight);
    QTextCursor cursor(&m_document);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i == 0) {
            cursor.setBlockFormat(format);
        } else {
            cursor.insertBlock(format);
        }
        cursor.insertText(lines[i]);
    }
    return m_document;
}

void LinedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.palette.setColor(QPalette::Text, palette().color(foregroundRole()));
    layoutDocument().documentLayout()->draw(&painter, context);
}

} // namespace skylark::ui
