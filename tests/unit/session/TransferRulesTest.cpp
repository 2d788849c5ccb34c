// The rules a transfer batch decides by: which listed names may become
// local files, whether a path stays inside the chosen folder, ASCII by
// extension, the times copied both ways, and what a local folder offers an
// upload (FIFOs, sockets and links met on a real disk).
#include "session/TransferRules.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

TEST(TransferRules, OnlyPlainNamesAreSafeToJoinToAFolder)
{
    struct Case {
        QString name;
        bool safe;
    };
    const QList<Case> cases = {
        {"file.txt", true},      {".hidden", true},       {"...", true},        {"name with space", true},
        {"", false},             {".", false},            {"..", false},        {"../x", false},
        {"a/../../x", false},    {"/etc/passwd", false},  {"a\\b", false},      {"..\\x", false},
        {QString("nul") + QChar(0) + "x", false},
    };
    for (const Case& k : cases)
        EXPECT_EQ(IsSafeEntryName(k.name), k.safe) << k.name.toStdString();
}

TEST(TransferRules, PathInsideCleansWithoutLeavingTheBase)
{
    struct Case {
        QString base, path, inside;  // inside: the empty text when refused
    };
    const QList<Case> cases = {
        {"/tmp/a", "/tmp/a/b", "/tmp/a/b"},
        {"/tmp/a", "b/c", "/tmp/a/b/c"},
        {"/tmp/a", "b/../c", "/tmp/a/c"},
        {"/tmp/a", "./b//c/", "/tmp/a/b/c"},
        {"/tmp/a", "../a/x", "/tmp/a/x"},
        {"/tmp/a", "/tmp/a", "/tmp/a"},   // the base itself
        {"/tmp/a/", "/tmp/a/", "/tmp/a"},
        {"/tmp/a", ".", "/tmp/a"},
        {"/tmp/a", "..", ""},
        {"/tmp/a", "/tmp/a/../b", ""},
        {"/tmp/a", "x/../../b", ""},
        {"/tmp/a", "../../.bashrc", ""},
        {"/tmp/a", "/etc/x", ""},
        {"/tmp/a", "/tmp/ab", ""},       // a sibling sharing the prefix
        {"/tmp/a/", "/tmp/ab/c", ""},
        {"/tmp/a", "../ab/c", ""},
        {"/", "/etc/x", "/etc/x"},
        {"", "x", ""},
        {"/tmp/a", QString("b") + QChar(0) + "c", ""},
    };
    for (const Case& k : cases)
        EXPECT_EQ(PathInside(k.base, k.path), k.inside) << k.base.toStdString() << " + " << k.path.toStdString();
}

TEST(TransferRules, PathInsideCleansByTextAndNeverResolvesLinks)
{
    QTemporaryDir area;
    const QString base = area.filePath("base");
    ASSERT_TRUE(QDir().mkpath(base));
    ASSERT_TRUE(QFile::link(area.path(), base + "/up"));
    // "up/.." is the base by text, although up leads elsewhere on disk.
    EXPECT_EQ(PathInside(base, "up/../f"), base + "/f");
    EXPECT_EQ(PathInside(base, "up/f"), base + "/up/f");
}

TEST(TransferRules, TheExtensionMustEqualAWholeItemOfTheList)
{
    struct Case {
        const char* name;
        const char* ext;
        bool text;
    };
    const QList<Case> cases = {
        {"x.txt", "txt,htm", true},      {"x.htm", "txt,htm", true},      {"x.TXT", "txt,htm", false},
        {"x.m", "txt,htm", false},       {"x.ht", "txt,htm", false},      {"x.html", "txt,htm", false},
        {"noext", "txt,htm", false},     {"x.", "txt,htm", false},        {"a.b.txt", "txt", true},
        {"x.txt", "htm; txt", true},     {"x.txt", "htm txt", true},      {"x.txt", ".txt", true},
        {"dir.txt/plain", "txt", false}, {"/d/x.htm", "txt,htm", true},   {"x.txt", "", false},
        {"x.tx", "txt", false},          {"x.xt", "txt", false},
    };
    for (const Case& k : cases)
        EXPECT_EQ(IsTextByExtension(k.name, k.ext), k.text) << k.name << " in \"" << k.ext << '"';
}

TEST(TransferRules, ListedTimesAreReadInTheSitesZone)
{
    const QDate today(2020, 6, 1);
    struct Case {
        const char* date;
        const char* time;
        double zone;
        QDateTime utc;
    };
    const QList<Case> cases = {
        {"Jan 10", "10:00", 0, QDateTime(QDate(2020, 1, 10), QTime(10, 0), QTimeZone::utc())},
        {"Jan 10", "10:00", 2, QDateTime(QDate(2020, 1, 10), QTime(8, 0), QTimeZone::utc())},
        {"Jan 10", "10:00", 5.30, QDateTime(QDate(2020, 1, 10), QTime(4, 30), QTimeZone::utc())},
        {"Jan 10", "10:00", -3.30, QDateTime(QDate(2020, 1, 10), QTime(13, 30), QTimeZone::utc())},
        {"Jan 10", "02:00", 5.45, QDateTime(QDate(2020, 1, 9), QTime(20, 15), QTimeZone::utc())},
        // A month after today's lies in the year before.
        {"Dec 31", "23:00", -1, QDateTime(QDate(2020, 1, 1), QTime(0, 0), QTimeZone::utc())},
    };
    for (const Case& k : cases) {
        const QDateTime t = ListedFileTime(k.date, k.time, k.zone, today);
        ASSERT_TRUE(t.isValid()) << k.date << ' ' << k.time;
        EXPECT_EQ(t.toUTC(), k.utc) << k.date << ' ' << k.time << " at " << k.zone;
    }
}

TEST(TransferRules, ADateWithoutATimeIsLocalMidnightInAnyZone)
{
    const QDate today(2020, 6, 1);
    for (double zone : {0.0, 5.30, -8.0}) {
        const QDateTime t = ListedFileTime("Jan 10 2019", "", zone, today);
        EXPECT_EQ(t, QDateTime(QDate(2019, 1, 10), QTime(0, 0))) << zone;
    }
    EXPECT_FALSE(ListedFileTime("", "10:00", 0, today).isValid());
}

TEST(TransferRules, TheRemoteTimeArgumentIsInTheSitesZone)
{
    struct Case {
        QDateTime time;
        double zone;
        const char* argument;
    };
    const QDateTime t(QDate(2021, 3, 4), QTime(5, 6, 7), QTimeZone::utc());
    const QList<Case> cases = {
        {t, 0, "20210304050607"},
        {t, 5.30, "20210304103607"},
        {t, -3.30, "20210304013607"},
        {t, -6, "20210303230607"},  // back over midnight
        {QDateTime(QDate(2021, 12, 31), QTime(23, 50), QTimeZone::utc()), 1, "20220101005000"},
        {t.toTimeZone(QTimeZone(3600)), 0, "20210304050607"},  // the same moment written elsewhere
    };
    for (const Case& k : cases)
        EXPECT_EQ(RemoteTimeArgument(k.time, k.zone), k.argument) << k.zone;
}

namespace {

bool makeSocket(const QString& path)
{
    const QByteArray p = QFile::encodeName(path);
    sockaddr_un addr{};
    if (size_t(p.size()) >= sizeof(addr.sun_path))
        return false;
    addr.sun_family = AF_UNIX;
    memcpy(addr.sun_path, p.constData(), size_t(p.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

} // namespace

// A folder holding every kind of entry an upload meets on disk.
class LocalFolder : public ::testing::Test {
protected:
    QTemporaryDir area;
    QString dir;
    bool haveSocket = false;

    void SetUp() override
    {
        dir = area.filePath("d");
        ASSERT_TRUE(QDir().mkpath(dir + "/sub"));
        writeFile(dir + "/file", "12345");
        writeFile(dir + "/sub/inner", "x");
        ASSERT_EQ(::mkfifo(QFile::encodeName(dir + "/fifo").constData(), 0600), 0);
        haveSocket = makeSocket(dir + "/sock");
        ASSERT_TRUE(QFile::link(dir + "/sub", dir + "/linkdir"));
        ASSERT_TRUE(QFile::link(dir + "/file", dir + "/linkfile"));
        ASSERT_TRUE(QFile::link(dir + "/nowhere", dir + "/dangling"));
    }
};

TEST_F(LocalFolder, AnUploadTakesFilesAndRealFoldersAndSaysWhyItLeavesTheRest)
{
    writeFile(dir + "/line\nbreak", "x");
    std::vector<LocalUploadEntry> entries;
    QStringList skipped;
    ASSERT_TRUE(ScanUploadFolder(dir, entries, skipped));
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "file");
    EXPECT_FALSE(entries[0].directory);
    EXPECT_EQ(entries[0].size, 5);
    EXPECT_EQ(entries[1].name, "linkfile");  // a link to a file sends the file
    EXPECT_FALSE(entries[1].directory);
    EXPECT_EQ(entries[1].size, 5);
    EXPECT_EQ(entries[2].name, "sub");
    EXPECT_TRUE(entries[2].directory);
    EXPECT_TRUE(entries[0].modified.isValid());

    skipped.sort();
    QStringList expected = {"dangling: a link to nothing", "fifo: a FIFO", "linkdir: a link to a directory, not followed",
                            "line\nbreak: the name cannot be sent to a server"};
    if (haveSocket)
        expected << "sock: a socket";
    expected.sort();
    EXPECT_EQ(skipped, expected);

    entries.clear();
    EXPECT_FALSE(ScanUploadFolder(area.filePath("missing"), entries, skipped));
}

TEST_F(LocalFolder, AnEntryChosenAtTheTopIsAFileAFolderOrNeither)
{
    struct Case {
        const char* name;
        int kind;
    };
    for (const Case& k : {Case{"file", 1}, Case{"linkfile", 1}, Case{"sub", 2}, Case{"linkdir", 2}, Case{"fifo", 0},
                          Case{"dangling", 0}, Case{"missing", 0}}) {
        qint64 size = -1;
        QDateTime modified;
        EXPECT_EQ(UploadKindOf(dir + "/" + k.name, &size, &modified), k.kind) << k.name;
        if (k.kind == 1) {
            EXPECT_EQ(size, 5) << k.name;
        }
    }
    if (haveSocket) {
        EXPECT_EQ(UploadKindOf(dir + "/sock"), 0);
    }
}

TEST(TransferRules, ALocalCopyGetsItsTimeButALinkIsNeverFollowed)
{
    QTemporaryDir area;
    const QString file = area.filePath("f");
    writeFile(file, "x");
    const QDateTime when(QDate(2019, 5, 6), QTime(7, 8, 9), QTimeZone::utc());
    ASSERT_TRUE(SetLocalModificationTime(file, when));
    EXPECT_EQ(QFileInfo(file).lastModified().toUTC(), when);

    // Stamping a link changes the link, not the file it points at.
    const QString link = area.filePath("l");
    ASSERT_TRUE(QFile::link(file, link));
    SetLocalModificationTime(link, when.addYears(-1));
    EXPECT_EQ(QFileInfo(file).lastModified().toUTC(), when);
    EXPECT_FALSE(SetLocalModificationTime(file, QDateTime()));
}
