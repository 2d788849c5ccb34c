// varnoth-cli parse end to end: options, input decoding and the printed
// fields, on a captured listing and on bad invocations.
#include "TestEnv.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

QString cliPath()
{
    return testenv::buildDir() + QStringLiteral("/src/cli/varnoth-cli");
}

CliRun runCli(const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    p.start(cliPath(), QStringList{"parse"} + args);
    p.waitForStarted();
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

#define REQUIRE_CLI()                                                                   \
    if (!QFile::exists(cliPath())) {                                                    \
        if (testenv::underCi()) FAIL() << "varnoth-cli not built: " << cliPath().toStdString(); \
        else GTEST_SKIP() << "varnoth-cli not built";                                   \
    }

TEST(ParseCommand, PrintsEntriesOfCapturedListing)
{
    REQUIRE_CLI();
    const CliRun r = runCli({"--type", "7", "--today", "2026-12-08", "--zone-diff", "1.30",
                          testenv::sourceDir() + "/tests/data/listings/vsftpd.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[0], "0\tMy Folder\t4096\tNov 21\t08:05\tdrwxr-xr-x\t\t2026-11-21\t06:35");
    EXPECT_EQ(lines[5], "1\tlinkfile\t9\tNov 20\t10:30\tlrwxrwxrwx\tplain.txt\t2026-11-20\t09:00");
    EXPECT_EQ(lines[6], "1\told.txt\t4\tJun 15 1999\t\t-rw-r--r--\t\t1999-06-15\t");
}

TEST(ParseCommand, VmsDirectoryLineAndStdin)
{
    REQUIRE_CLI();
    const QByteArray vms = "Directory USERS:[SMITH.PUB]\r\n\r\n"
                           "FOO.DIR;1       1/3      24-DEC-2003 10:00:23  [SMITH]   (RWE,RWE,RE,RE)\r\n";
    const CliRun r = runCli({"--type", "5", "-"}, vms);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "directory\tSMITH/PUB\n0\tFOO\t\t24.12.2003\t10:00:23\t(RWE,RWE,RE,RE)\t\t2003-12-24\t10:00\n");
}

TEST(ParseCommand, DecodesUtf8OrLatin1PerLineAndCustomColumns)
{
    REQUIRE_CLI();
    QByteArray input = "drwxr-xr-x 2 o g 4096 Jan 12 12:00 Gr\xc3\xbc\xc3\x9f""e Ordner\n"
                       "-rw-r--r-- 1 o g 5 Jan 12 12:00 caf\xe9.txt\n";
    const CliRun r = runCli({"--type", "4", "--columns", "956781", "--today", "2026-03-01", "-"}, input);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].section('\t', 1, 1), QString::fromUtf8("Grüße Ordner"));
    EXPECT_EQ(lines[1].section('\t', 1, 1), QString::fromUtf8("café.txt"));
    EXPECT_EQ(lines[1].section('\t', 7, 8), "2026-01-12\t12:00");
}

TEST(ParseCommand, BadOptionsAndUnreadableInputFail)
{
    REQUIRE_CLI();
    const QString file = testenv::sourceDir() + "/tests/data/listings/vsftpd.txt";
    for (const QStringList& args : {QStringList{"--type", "x", file}, QStringList{"--type", "12", file},
                                    QStringList{"--today", "2026-13-01", file}, QStringList{"--zone-diff", "5.75", file},
                                    QStringList{"--zone-diff", "abc", file}, QStringList{"--columns", "12", "--type", "4", file},
                                    QStringList{"--columns", "956781", "--type", "0", file}, QStringList{"--type", "0"},
                                    QStringList{"--bogus", file}}) {
        const CliRun r = runCli(args);
        EXPECT_NE(r.exitCode, 0) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    QTemporaryDir dir;
    const CliRun missing = runCli({dir.path() + "/no-such-listing.txt"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("cannot read")) << missing.err.toStdString();
    const CliRun directory = runCli({dir.path()});
    EXPECT_EQ(directory.exitCode, 1);
}

} // namespace
