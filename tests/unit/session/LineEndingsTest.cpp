// Line-ending conversion of local files: the scanning rule in every mode,
// the one log line per file, and the safety of the rewrite (a failed write
// leaves the original whole; permissions, owner and links survive; files
// holding zero bytes are not touched).
#include "session/LineEndings.h"
#include "session/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Makes a directory refuse new entries for as long as it lives.
struct LockedDirectory {
    QByteArray path;
    bool immutable = false, locked = false;

    explicit LockedDirectory(const QByteArray& p) : path(p)
    {
        const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            immutable = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        if (fd >= 0)
            ::close(fd);
        if (!immutable)
            ::chmod(path.constData(), 0500);
        const QByteArray probe = path + "/probe";
        const int made = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        locked = made < 0;
        if (made >= 0) {
            ::close(made);
            ::unlink(probe.constData());
        }
    }
    void unlock()
    {
        if (immutable) {
            const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY);
            int flags = 0;
            if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            if (fd >= 0)
                ::close(fd);
            immutable = false;
        }
        ::chmod(path.constData(), 0700);
    }
    ~LockedDirectory() { unlock(); }
};

class LineEndingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TStringListLogPane pane;
    TSessionLog log{&pane};

    QString path(const QString& name) const { return dir.filePath(name); }
    // Writes name with bytes, converts it and returns what the file holds.
    QByteArray convert(const QString& name, const QByteArray& bytes, int mode,
                       TLineEndingResult expected = TLineEndingResult::Converted)
    {
        writeFile(path(name), bytes);
        EXPECT_EQ(ConvertLineEndings(path(name), mode, &log), expected);
        return readAll(path(name));
    }
    // Names of the directory's entries, hidden ones included.
    QStringList entries(const QString& d) const
    {
        return QDir(d).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
};

} // namespace

TEST(LineEndingBytes, PairsCountAsOneLineEndAndNoneIsReadTwice)
{
    struct Case {
        const char* name;
        QByteArray in;
        int mode;
        QByteArray out;
    };
    const Case cases[] = {
        {"LF CR LF to CR LF", "\n\r\n", lineend::CrLf, "\r\n\r\n"},
        {"CR CR LF to CR LF", "\r\r\n", lineend::CrLf, "\r\n\r\n"},
        {"LF only stays LF", "a\nb\n\nc\n", lineend::Lf, "a\nb\n\nc\n"},
        {"last line without end kept", "a\r\nlast", lineend::Lf, "a\nlast"},
        {"CR LF to LF", "one\r\ntwo\r\n", lineend::Lf, "one\ntwo\n"},
        {"LF to CR LF", "one\ntwo\n", lineend::CrLf, "one\r\ntwo\r\n"},
        {"LF to LF CR", "a\nb", lineend::LfCr, "a\n\rb"},
        {"LF CR stays LF CR", "a\n\rb\n\r", lineend::LfCr, "a\n\rb\n\r"},
        {"CR LF to LF CR", "a\r\nb", lineend::LfCr, "a\n\rb"},
        {"mixed to CR", "a\r\nb\nc\rd\n\re", lineend::Cr, "a\rb\rc\rd\re"},
        {"two LF are two line ends", "\n\n", lineend::Cr, "\r\r"},
        {"two CR are two line ends", "\r\r", lineend::Lf, "\n\n"},
        {"CR LF CR: a pair, then a single", "\r\n\r", lineend::Lf, "\n\n"},
        {"lone CR at the end", "x\r", lineend::CrLf, "x\r\n"},
        {"no line end at all", "plain", lineend::CrLf, "plain"},
        {"other control bytes kept", "\t\x0b\x0c\x1b", lineend::CrLf, "\t\x0b\x0c\x1b"},
        {"mode 0 changes nothing", "a\r\nb\n", lineend::NoChange, "a\r\nb\n"},
        {"unknown mode changes nothing", "a\r\nb\n", 5, "a\r\nb\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ConvertLineEndingBytes(c.in, c.mode), c.out) << c.name;
}

TEST(LineEndingBytes, LargeTextGrowsAndShrinksBackExactly)
{
    // Long runs without line ends, runs of line ends and a line end at every
    // position of the buffer's edges.
    QByteArray lf;
    for (int i = 0; i < 20000; ++i)
        lf += QByteArray(i % 97, char('a' + i % 26)) + (i % 5 == 0 ? "\n\n" : "\n");
    const QByteArray crlf = ConvertLineEndingBytes(lf, lineend::CrLf);
    EXPECT_EQ(crlf.size(), lf.size() + lf.count('\n'));
    EXPECT_EQ(crlf.count("\r\n"), lf.count('\n'));
    EXPECT_EQ(ConvertLineEndingBytes(crlf, lineend::Lf), lf);
    EXPECT_EQ(ConvertLineEndingBytes(crlf, lineend::CrLf), crlf);
}

TEST_F(LineEndingsTest, EachFileIsOneLogLineWithItsOutcome)
{
    EXPECT_EQ(convert("dos.txt", "a\nb\n", lineend::CrLf), QByteArray("a\r\nb\r\n"));
    // Already in the mode's convention: unchanged and still "Ok".
    EXPECT_EQ(convert("unix.txt", "a\nb\nlast", lineend::Lf), QByteArray("a\nb\nlast"));
    EXPECT_EQ(pane.Lines(), QStringList({"Converting file: " + path("dos.txt") + " ... Ok!",
                                         "Converting file: " + path("unix.txt") + " ... Ok!"}));

    // A missing file: no line at all. An empty file: left alone, no outcome.
    EXPECT_EQ(ConvertLineEndings(path("missing.txt"), lineend::CrLf, &log), TLineEndingResult::Missing);
    EXPECT_EQ(convert("empty.txt", "", lineend::CrLf, TLineEndingResult::Empty), QByteArray());
    EXPECT_EQ(pane.Lines().size(), 3);
    EXPECT_EQ(pane.Lines().last(), "Converting file: " + path("empty.txt") + " ...");

    // The words are those given (a translated message list).
    TLineEndingTexts german;
    german.ConvertingFile = QString::fromUtf8("Datei wird umgewandelt");
    german.Ok = QStringLiteral("OK");
    writeFile(path("de.txt"), "x\r\n");
    EXPECT_EQ(ConvertLineEndings(path("de.txt"), lineend::Lf, &log, german), TLineEndingResult::Converted);
    EXPECT_EQ(pane.Lines().last(), "Datei wird umgewandelt: " + path("de.txt") + " ... OK!");

    // Mode 0 does nothing, not even a line.
    EXPECT_EQ(ConvertLineEndings(path("dos.txt"), lineend::NoChange, &log), TLineEndingResult::NotDone);
    EXPECT_EQ(pane.Lines().size(), 4);
}

TEST_F(LineEndingsTest, ZeroBytesMeanNoTextAndTheFileIsLeftAlone)
{
    const QByteArray utf16("a\0\r\0\n\0b\0", 8);
    EXPECT_EQ(convert("utf16.txt", utf16, lineend::Lf, TLineEndingResult::NotText), utf16);
    const QByteArray binary("\x7f" "ELF\n\r\x00\x01\n", 9);
    EXPECT_EQ(convert("prog", binary, lineend::CrLf, TLineEndingResult::NotText), binary);
    ASSERT_EQ(pane.Lines().size(), 2);
    EXPECT_EQ(pane.Lines()[0], "Converting file: " + path("utf16.txt")
                                   + " ... Not converted: the file holds a zero byte, so it is no text file!");
}

TEST_F(LineEndingsTest, PermissionsAndOwnerOfTheOriginalAreKept)
{
    writeFile(path("script.sh"), "#!/bin/sh\r\necho hi\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path("script.sh")).constData(), 0750), 0);
    const bool root = ::geteuid() == 0;
    if (root) // only root can give a file to someone else
        ASSERT_EQ(::chown(QFile::encodeName(path("script.sh")).constData(), 4321, 4322), 0);

    EXPECT_EQ(ConvertLineEndings(path("script.sh"), lineend::Lf, &log), TLineEndingResult::Converted);
    EXPECT_EQ(readAll(path("script.sh")), QByteArray("#!/bin/sh\necho hi\n"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path("script.sh")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
    }
    // Nothing is left behind beside it.
    EXPECT_EQ(entries(dir.path()), QStringList({"script.sh"}));
}

TEST_F(LineEndingsTest, ALinkStaysALinkAndItsTargetIsConverted)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("elsewhere"));
    const QString real = path("elsewhere/notes.txt");
    writeFile(real, "one\ntwo\n");
    ASSERT_TRUE(QFile::link(real, path("link.txt")));

    EXPECT_EQ(ConvertLineEndings(path("link.txt"), lineend::CrLf, &log), TLineEndingResult::Converted);
    EXPECT_TRUE(QFileInfo(path("link.txt")).isSymLink());
    EXPECT_EQ(QFileInfo(path("link.txt")).symLinkTarget(), real);
    EXPECT_EQ(readAll(real), QByteArray("one\r\ntwo\r\n"));
    EXPECT_EQ(pane.Lines().last(), "Converting file: " + path("link.txt") + " ... Ok!");
    // The new file was made beside the target, not beside the link.
    EXPECT_EQ(entries(path("elsewhere")), QStringList({"notes.txt"}));
    EXPECT_EQ(entries(dir.path()), QStringList({"elsewhere", "link.txt"}));

    // A link to nothing is a missing file.
    ASSERT_TRUE(QFile::link(path("gone.txt"), path("dangling.txt")));
    EXPECT_EQ(ConvertLineEndings(path("dangling.txt"), lineend::CrLf, &log), TLineEndingResult::Missing);
    EXPECT_EQ(pane.Lines().size(), 1);
}

TEST_F(LineEndingsTest, AFailedWriteLeavesTheOriginalWholeAndSaysWhy)
{
    // Writes beyond 64 bytes fail (as on a full disk): the converted file
    // would be larger than that, the original is smaller.
    QByteArray original;
    for (int i = 0; i < 10; ++i)
        original += "line" + QByteArray::number(i) + "\n";
    ASSERT_LT(original.size(), 64);
    writeFile(path("big.txt"), original);

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 64;
    auto* savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const TLineEndingResult r = ConvertLineEndings(path("big.txt"), lineend::CrLf, &log);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_EQ(r, TLineEndingResult::WriteFailed);
    EXPECT_EQ(readAll(path("big.txt")), original);
    EXPECT_EQ(entries(dir.path()), QStringList({"big.txt"})) << "the unfinished new file is removed";
    ASSERT_EQ(pane.Lines().size(), 1);
    const QString line = pane.Lines().first();
    EXPECT_TRUE(line.startsWith("Converting file: " + path("big.txt") + " ... Write file error (cannot write: "))
        << line.toStdString();
    EXPECT_TRUE(line.endsWith(")!")) << line.toStdString();
    EXPECT_FALSE(line.contains(" Ok!"));

    // The next file is converted as usual.
    EXPECT_EQ(convert("small.txt", "a\n", lineend::CrLf), QByteArray("a\r\n"));
}

TEST_F(LineEndingsTest, WhatCannotBeOpenedIsReportedAndNotTouched)
{
    // A FIFO would block a reader; a directory is no file.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    EXPECT_EQ(ConvertLineEndings(path("pipe"), lineend::CrLf, &log), TLineEndingResult::OpenFailed);
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    EXPECT_EQ(ConvertLineEndings(path("sub"), lineend::CrLf, &log), TLineEndingResult::OpenFailed);
    ASSERT_EQ(pane.Lines().size(), 2);
    EXPECT_EQ(pane.Lines()[0], "Converting file: " + path("pipe") + " ... Open file error (not a regular file)!");
    EXPECT_TRUE(pane.Lines()[1].startsWith("Converting file: " + path("sub") + " ... Open file error ("));
    EXPECT_TRUE(QFileInfo(path("pipe")).exists());
    EXPECT_TRUE(QFileInfo(path("sub")).isDir());
}

TEST_F(LineEndingsTest, ADirectoryWhereNoFileCanBeMadeLeavesTheOriginal)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
    writeFile(path("locked/a.txt"), "x\ny\n");
    // No new entries in the directory: immutable where the file system
    // allows it (that stops root too), else read-only for its owner.
    const QByteArray d = QFile::encodeName(path("locked"));
    LockedDirectory lock(d);
    if (!lock.locked)
        GTEST_SKIP() << "cannot make a directory where no file can be created";

    const TLineEndingResult r = ConvertLineEndings(path("locked/a.txt"), lineend::CrLf, &log);
    lock.unlock();
    EXPECT_EQ(r, TLineEndingResult::WriteFailed);
    EXPECT_EQ(readAll(path("locked/a.txt")), QByteArray("x\ny\n"));
    EXPECT_EQ(entries(path("locked")), QStringList({"a.txt"}));
    EXPECT_TRUE(pane.Lines().value(0).startsWith("Converting file: " + path("locked/a.txt")
                                                  + " ... Write file error (cannot create a new file in "
                                                  + path("locked") + ": "))
        << pane.Lines().value(0).toStdString();
}

TEST_F(LineEndingsTest, FilesLargerThanAChunkConvertAcrossTheChunkEdges)
{
    const qsizetype chunk = kLineEndingChunk;
    // Plain lines, then line-end pairs split by the first and second chunk
    // edges, and a lone CR as the very last byte.
    QByteArray text(3 * chunk + 10, 'x');
    for (qsizetype i = 100; i < text.size(); i += 100)
        text[i] = '\n';
    text[chunk - 1] = '\r';
    text[chunk] = '\n';
    text[2 * chunk - 1] = '\n';
    text[2 * chunk] = '\r';
    text[text.size() - 1] = '\r';
    for (int mode : {lineend::CrLf, lineend::LfCr, lineend::Lf, lineend::Cr}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(convert("big.txt", text, mode), ConvertLineEndingBytes(text, mode));
    }

    // Nothing to change before the third chunk: the unchanged start is
    // copied into the new file as it was.
    QByteArray lateChange(3 * chunk, 'y');
    for (qsizetype i = 50; i < lateChange.size(); i += 50)
        lateChange[i] = '\n';
    lateChange[2 * chunk + 7] = '\r';
    EXPECT_EQ(convert("late.txt", lateChange, lineend::Lf), ConvertLineEndingBytes(lateChange, lineend::Lf));
    EXPECT_EQ(ConvertLineEndingBytes(lateChange, lineend::Lf).count('\r'), 0);

    // A zero byte after the first chunk, once the new file was begun: it is
    // removed and the original stays.
    QByteArray lateZero(2 * chunk, 'z');
    lateZero[10] = '\n';
    lateZero[chunk + 10] = '\0';
    EXPECT_EQ(convert("zero.txt", lateZero, lineend::CrLf, TLineEndingResult::NotText), lateZero);
    EXPECT_EQ(entries(dir.path()), QStringList({"big.txt", "late.txt", "zero.txt"}));
}
