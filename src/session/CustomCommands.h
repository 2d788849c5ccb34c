#pragma once
// The library of named FTP commands the user keeps ("commands.txt" in the
// program directory) and the history of the command bar.
//
// The file has two lines: the labels as one comma text line, then the
// command texts as one comma text line (the same comma text the keep-alive
// command list uses: SplitCommaText / JoinCommaText).
#include <QString>
#include <QStringList>

class TCustomCommands {
public:
    QStringList Labels;   // entry i is (Labels[i], Commands[i])
    QStringList Commands;

    // Clears both lists and reads path. A missing file, or one with fewer
    // than two lines, is an empty library. Lines of unequal length are padded
    // with empty items, so both lists always have the same length. Returns
    // false when the file exists but cannot be read; the library then refuses
    // to save over it (SaveCommands), so the user's file is never lost.
    bool LoadCommands(const QString& path);
    // Writes both lines through a new file renamed over the old one (the old
    // file stays whole when the write fails). Refused, with error set, after
    // a load that could not read the file.
    bool SaveCommands(const QString& path, QString* error = nullptr) const;

    bool LoadFailed() const { return loadFailed_; }
    int Count() const { return int(Commands.size()); }

private:
    bool loadFailed_ = false;
};

// "commands.txt" in the given program directory (which ends with "/").
QString CommandsFilePath(const QString& programDir);

// The command bar's history: the commands entered in this run (kept only in
// memory) and the selected one.
class TCommandHistory {
public:
    QStringList Items;
    int Selected = -1;

    // "Do It" with the bar's text: appends the text and selects it unless it
    // is the selected item already (no selection counts as different).
    // Returns the command to send: the selected item, or empty when there is
    // nothing to send. The caller checks first that the client is ready.
    QString DoIt(const QString& text);
    // A command chosen in the library: appended (as it stands) and selected
    // when, trimmed, it is not empty; not sent.
    bool AddChosen(const QString& command);
};
