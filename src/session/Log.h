#pragma once
// The session log: every message of a session goes through Display, which
// appends it to the log pane (kept to a number of lines) and, when file
// logging is on, to the log file (kept to a size). The pane is abstract so
// the engine runs without a window: the main window's log widget implements
// ILogPane, the command-line tool and the tests use TStringListLogPane.
#include <QString>
#include <QStringList>
#include <functional>

class ILogPane {
public:
    virtual ~ILogPane() = default;
    virtual int LineCount() const = 0;
    virtual void RemoveFirstLine() = 0;
    virtual void AppendLine(const QString& line) = 0;
    // Adds text to the end of the last line (nothing when there is none).
    virtual void AppendToLastLine(const QString& text) = 0;
};

// A pane that is just a list of lines.
class TStringListLogPane final : public ILogPane {
public:
    int LineCount() const override { return int(lines_.size()); }
    void RemoveFirstLine() override
    {
        if (!lines_.isEmpty())
            lines_.removeFirst();
    }
    void AppendLine(const QString& line) override { lines_.append(line); }
    void AppendToLastLine(const QString& text) override
    {
        if (!lines_.isEmpty())
            lines_.last() += text;
    }
    const QStringList& Lines() const { return lines_; }

private:
    QStringList lines_;
};

// The options of the log (taken from the options record by ApplyOptions).
struct TLogSettings {
    bool Log = false;  // write the log file
    QString LogFile;   // the file; a bare name lives in the program's directory
    int LogSize = 0;   // the file's limit in units of 1048 bytes; 0 = no limit
    int LogLines = 0;  // the pane's limit in lines; 0 = 10000
};

class TSessionLog {
public:
    static constexpr int kDefaultMaxLines = 10000;
    static constexpr qint64 kSizeUnit = 1048;
    static constexpr qint64 kBlock = 4096;

    explicit TSessionLog(ILogPane* pane = nullptr) : pane_(pane) {}

    void SetPane(ILogPane* pane) { pane_ = pane; }
    ILogPane* Pane() const { return pane_; }

    // Takes new settings; the file binding follows the LogFile name (with the
    // program's directory in front of a name without a directory part).
    void Apply(const TLogSettings& s);
    const TLogSettings& Settings() const { return settings_; }
    // The bound log file ("" while file logging is off or no file is named).
    QString FilePath() const { return filePath_; }

    // Appends one line to the pane and, when file logging is on, to the file.
    // Returns the line's index in the pane (-1 without a pane). A file that
    // cannot be written leaves the line in the pane only.
    int Display(const QString& text);

    // Completes the last line shown with text (an outcome reported after
    // the work the line announced): the pane's last line grows by text, and
    // so does the file's when it still ends with that line; otherwise the
    // completed line is appended to the file as a line of its own.
    void AppendToLastLine(const QString& text);

    // Keeps the log file within LogSize: moves its last LogSize x 1048 bytes
    // to the front in place and cuts the rest. False when nothing was done
    // (no limit, no directory, file locked or unreadable).
    bool TrimLogFile();

    // For tests of an interrupted trim: called before each block is copied
    // with the number of blocks copied so far; returning false stops there,
    // as if the program had ended at that moment.
    std::function<bool(int blocksDone)> OnTrimBlock;

private:
    void appendToFile(const QString& text);
    bool replaceLastFileLine(const QString& before, const QString& after);

    ILogPane* pane_ = nullptr;
    TLogSettings settings_;
    QString filePath_;
    QString lastLine_; // the last line given to Display, as completed so far
};
