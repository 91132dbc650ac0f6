#include "tools/builder/DisplayLines.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

namespace tess::tools {

QStringList displayLines(QTextEdit* box)
{
    box->ensurePolished();
    QTextDocument* doc = box->document();
    // A box that has not been shown yet has not told its document how wide
    // it is. Without scroll bars the text area is the box less its frame.
    const int width = box->width() - 2 * box->frameWidth();
    if (doc->textWidth() != width)
        doc->setTextWidth(width);
    QAbstractTextDocumentLayout* layout = doc->documentLayout();

    QStringList lines;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        if (text.isEmpty()) {
            if (block.next().isValid())
                lines << QString();
            continue;
        }
        // Large texts are laid out in the background; asking for the
        // block's place lays it out now.
        layout->blockBoundingRect(block);
        const QTextLayout* blockLayout = block.layout();
        for (int i = 0; i < blockLayout->lineCount(); ++i) {
            const QTextLine line = blockLayout->lineAt(i);
            lines << text.mid(line.textStart(), line.textLength());
        }
    }
    return lines;
}

} // namespace tess::tools
