#include "ui/LogPane.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

int TLogPane::LineCount() const
{
    // An empty document still has one (empty) block.
    return edit_->document()->isEmpty() ? 0 : edit_->document()->blockCount();
}

void TLogPane::RemoveFirstLine()
{
    QTextDocument* doc = edit_->document();
    if (doc->blockCount() <= 1) {
        edit_->clear();
        return;
    }
    // The first line together with the line break after it.
    QTextCursor c(doc->firstBlock());
    c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

void TLogPane::AppendLine(const QString& line)
{
    edit_->appendPlainText(line);
}

void TLogPane::AppendToLastLine(const QString& text)
{
    if (LineCount() == 0)
        return;
    QTextCursor c(edit_->document()->lastBlock());
    c.movePosition(QTextCursor::EndOfBlock);
    c.insertText(text);
}
