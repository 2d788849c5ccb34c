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
    if (LineCount() == 0)
        return;
    QTextCursor c(edit_->document()->firstBlock());
    c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    if (c.position() == 0 || !c.hasSelection() || edit_->document()->blockCount() == 1)
        c.select(QTextCursor::BlockUnderCursor);
    c.removeSelectedText();
    if (edit_->document()->blockCount() == 1 && edit_->document()->firstBlock().text().isEmpty())
        edit_->clear();
}

void TLogPane::AppendLine(const QString& line)
{
    edit_->appendPlainText(line);
}
