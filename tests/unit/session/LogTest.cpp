// The session log: pane limits, the log file per line, unwritable files and
// the in-place trim of the file, also when it stops half-way.
#include "session/Log.h"
#include "settings/Globals.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Numbered lines of a fixed width, so each is recognisable in any tail.
QString numbered(int i) { return QStringLiteral("line %1 ........................").arg(i, 6, 10, QLatin1Char('0')); }

class LogTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TStringListLogPane pane;
    TSessionLog log{&pane};
    QString savedProgramDir = ProgramDir;

    void SetUp() override { ProgramDir = WithTrailingSlash(dir.path()); }
    void TearDown() override { ProgramDir = savedProgramDir; }

    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    void fileLog(const QString& file, int size = 0)
    {
        TLogSettings s;
        s.Log = true;
        s.LogFile = file;
        s.LogSize = size;
        log.Apply(s);
    }
};

} // namespace

TEST_F(LogTest, PaneKeepsOnlyTheLastLogLinesLines)
{
    TLogSettings s;
    s.LogLines = 3;
    log.Apply(s);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(log.Display(QString::number(i)), qMin(i, 2));
    EXPECT_EQ(pane.Lines(), QStringList({"2", "3", "4"}));
    // Lowering the limit trims the surplus before the next line.
    s.LogLines = 1;
    log.Apply(s);
    log.Display("5");
    EXPECT_EQ(pane.Lines(), QStringList({"5"}));
}

TEST_F(LogTest, LogLinesZeroMeansTenThousand)
{
    log.Apply(TLogSettings{});
    for (int i = 0; i < TSessionLog::kDefaultMaxLines + 5; ++i)
        log.Display(QString::number(i));
    EXPECT_EQ(pane.LineCount(), TSessionLog::kDefaultMaxLines);
    EXPECT_EQ(pane.Lines().first(), QStringLiteral("5"));
    EXPECT_EQ(pane.Lines().last(), QString::number(TSessionLog::kDefaultMaxLines + 4));
    EXPECT_EQ(log.Display(QString()), TSessionLog::kDefaultMaxLines - 1); // an empty line is a line
}

TEST_F(LogTest, LinesGoToTheFileAsGivenWithCrLf)
{
    fileLog(path("session.log"));
    log.Display("> USER anonymous");
    log.Display("");
    log.Display(QString::fromUtf8("< 250 \xc3\xa4 ok"));
    EXPECT_EQ(readAll(path("session.log")), QByteArray("> USER anonymous\r\n\r\n< 250 \xc3\xa4 ok\r\n"));
    // Nothing is written while file logging is off.
    log.Apply(TLogSettings{});
    log.Display("not in the file");
    EXPECT_FALSE(readAll(path("session.log")).contains("not in the file"));
}

TEST_F(LogTest, BareFileNameLivesInTheProgramDirectory)
{
    fileLog("brenlowi.log");
    EXPECT_EQ(log.FilePath(), ProgramDir + "brenlowi.log");
    log.Display("x");
    EXPECT_EQ(readAll(path("brenlowi.log")), QByteArray("x\r\n"));
}

TEST_F(LogTest, UnwritableLogFileLeavesTheLineInThePane)
{
    QDir(dir.path()).mkdir("adir");
    const QString readOnlyDir = path("ro");
    QDir(dir.path()).mkdir("ro");
    QFile::setPermissions(readOnlyDir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    for (const QString& target : {path("adir"), QStringLiteral("/dev/full"), readOnlyDir + "/x.log",
                                  path("missing/sub/dir.log")}) {
        SCOPED_TRACE(target.toStdString());
        fileLog(target, 1);
        const int index = log.Display("kept in the pane");
        EXPECT_EQ(pane.Lines().value(index), QStringLiteral("kept in the pane"));
    }
    QFile::setPermissions(readOnlyDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(QFileInfo(path("adir")).isDir());
    // A missing directory is created by the trim that follows the first line,
    // so the next line reaches the file.
    log.Display("second");
    EXPECT_EQ(readAll(path("missing/sub/dir.log")), QByteArray("second\r\n"));
}

TEST_F(LogTest, SizeLimitKeepsTheLast1048BytesAfterEveryLine)
{
    fileLog(path("trim.log"), 1);
    QByteArray all;
    for (int i = 0; i < 200; ++i) {
        log.Display(numbered(i));
        all += numbered(i).toUtf8() + "\r\n";
        const QByteArray now = readAll(path("trim.log"));
        ASSERT_EQ(now, all.right(qMin<qsizetype>(all.size(), 1048))) << "after line " << i;
    }
}

TEST_F(LogTest, TrimMovesTailsLongerAndShorterThanOneBlock)
{
    // Tails of several blocks, whose source and destination overlap or not,
    // must arrive byte for byte.
    struct Case { int units; int fileBytes; };
    for (const Case c : {Case{1, 5000}, Case{5, 6000}, Case{5, 20000}, Case{12, 12577}, Case{4, 4193}}) {
        SCOPED_TRACE(c.fileBytes);
        QByteArray content;
        for (int i = 0; content.size() < c.fileBytes; ++i)
            content += char('a' + i % 26) + QByteArray::number(i) + ' ';
        content.truncate(c.fileBytes);
        QFile f(path("t.log"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        fileLog(path("t.log"), c.units);
        EXPECT_TRUE(log.TrimLogFile());
        EXPECT_EQ(readAll(path("t.log")), content.right(c.units * 1048));
    }
}

TEST_F(LogTest, TrimStoppedHalfWayLosesNoNewLinesAndIsCompletedByTheNext)
{
    // 40 KB of numbered lines, limit 20 * 1048 bytes: five blocks to move.
    QByteArray content;
    for (int i = 0; content.size() < 40000; ++i)
        content += numbered(i).toUtf8() + "\r\n";
    QFile f(path("stop.log"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    f.close();
    fileLog(path("stop.log"), 20);
    const qint64 limit = 20 * 1048;
    const QByteArray tail = content.right(limit);

    for (int stopAt : {0, 1, 3}) {
        SCOPED_TRACE(stopAt);
        QFile g(path("stop.log"));
        ASSERT_TRUE(g.open(QIODevice::WriteOnly | QIODevice::Truncate));
        g.write(content);
        g.close();
        log.OnTrimBlock = [stopAt](int done) { return done < stopAt; };
        EXPECT_FALSE(log.TrimLogFile());
        const QByteArray after = readAll(path("stop.log"));
        // Not cut yet: the same length, the moved blocks at the front and
        // everything not yet moved still in place, newest line last.
        ASSERT_EQ(after.size(), content.size());
        EXPECT_EQ(after.left(stopAt * 4096), tail.left(stopAt * 4096));
        EXPECT_EQ(after.mid(stopAt * 4096), content.mid(stopAt * 4096));
        EXPECT_TRUE(after.endsWith(tail.right(tail.size() - stopAt * 4096)));
        log.OnTrimBlock = nullptr;
        EXPECT_TRUE(log.TrimLogFile());
        EXPECT_EQ(readAll(path("stop.log")).size(), limit);
        EXPECT_TRUE(readAll(path("stop.log")).endsWith(content.right(200)));
    }
}

TEST_F(LogTest, NoTrimWithoutASizeLimit)
{
    fileLog(path("big.log"), 0);
    for (int i = 0; i < 100; ++i)
        log.Display(numbered(i));
    EXPECT_FALSE(log.TrimLogFile());
    EXPECT_GT(readAll(path("big.log")).size(), 1048);
}

TEST_F(LogTest, AnOutcomeCompletesTheLastLineInThePaneAndInTheFile)
{
    fileLog(path("out.log"));
    log.Display("first");
    log.Display(QString::fromUtf8("Converting file: /tmp/\xc3\xa4.txt ..."));
    log.AppendToLastLine(" Ok!");
    EXPECT_EQ(pane.Lines(), QStringList({"first", QString::fromUtf8("Converting file: /tmp/\xc3\xa4.txt ... Ok!")}));
    EXPECT_EQ(readAll(path("out.log")), QByteArray("first\r\nConverting file: /tmp/\xc3\xa4.txt ... Ok!\r\n"));

    // Another writer added to the file meanwhile: the completed line goes
    // to its end, nobody else's line is changed.
    log.Display("second ...");
    QFile other(path("out.log"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly | QIODevice::Append));
    other.write("someone else\r\n");
    other.close();
    log.AppendToLastLine(" done!");
    EXPECT_EQ(pane.Lines().last(), QStringLiteral("second ... done!"));
    EXPECT_TRUE(readAll(path("out.log")).endsWith("second ...\r\nsomeone else\r\nsecond ... done!\r\n"));

    // An empty pane has no line to complete.
    TStringListLogPane empty;
    TSessionLog quiet(&empty);
    quiet.AppendToLastLine(" Ok!");
    EXPECT_EQ(empty.LineCount(), 0);
}
