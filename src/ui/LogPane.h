#pragma once
// The log pane widget as the session log's pane.
#include "session/Log.h"

class QPlainTextEdit;

class TLogPane final : public ILogPane {
public:
    explicit TLogPane(QPlainTextEdit* edit) : edit_(edit) {}
    int LineCount() const override;
    void RemoveFirstLine() override;
    void AppendLine(const QString& line) override;
    void AppendToLastLine(const QString& text) override;

private:
    QPlainTextEdit* edit_;
};
