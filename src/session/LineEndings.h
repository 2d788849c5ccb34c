#pragma once
// Rewriting the line ends of local text files ("Carriage Return" of the
// local pane). A CR LF or LF CR pair counts as one line end, any other CR or
// LF as one of its own; each becomes the chosen convention's line end.
//
// The converted text goes to a new file beside the original, which is then
// renamed over it: a full disk, a failed write or a crash leaves the original
// byte for byte as it was. The new file takes the original's permissions; a
// symbolic link stays a link and the file it points to is converted.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class TMsgLanguage;
class TSessionLog;

// The conversion modes (the dialog's tags); 0 changes nothing.
namespace lineend {
enum Mode : int { NoChange = 0, CrLf = 1, LfCr = 2, Lf = 3, Cr = 4 };
}

// The words of the log line of one file.
struct TLineEndingTexts {
    QString ConvertingFile = QStringLiteral("Converting file");
    QString Ok = QStringLiteral("Ok");
    QString ReadFileError = QStringLiteral("Read file error");
    QString OpenFileError = QStringLiteral("Open file error");
    QString WriteFileError = QStringLiteral("Write file error");
    QString NotText = QStringLiteral("Not converted: the file holds a zero byte, so it is no text file");

    // The first four from the main window's message list (31 to 34).
    static TLineEndingTexts FromMainMessages(const TMsgLanguage* msl);
};

// What became of one file.
enum class TLineEndingResult {
    NotDone,     // mode 0 or out of range
    Missing,     // no such file: no log line
    Empty,       // left alone, the log line has no outcome
    Converted,   // "Ok" (also when nothing had to change)
    NotText,     // holds a NUL byte: left alone
    OpenFailed,  // the file could not be opened for reading and writing
    ReadFailed,  // fewer bytes arrived than the file's size
    WriteFailed, // the new file could not be made, written or renamed
};

// Files are read and converted in chunks of this size.
constexpr qsizetype kLineEndingChunk = qsizetype(1) << 20;

// The line end a mode writes ("" for 0 and unknown modes).
QByteArray LineEndOf(int mode);

// The text with every line end replaced by the mode's, in one pass.
// Unknown modes give the text unchanged.
QByteArray ConvertLineEndingBytes(QByteArrayView text, int mode);

// Converts one file and reports it as one line of log: "Converting file:
// <path> ..." followed by " <outcome>!" (with the system's reason for a
// failure). log may be null.
TLineEndingResult ConvertLineEndings(const QString& path, int mode, TSessionLog* log,
                                     const TLineEndingTexts& texts = {});
