// The command library file and the command bar's history: real files in a
// temporary directory, read back the way the next start reads them.
#include "session/CustomCommands.h"

#include <QDir>
#include <unistd.h>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct LibraryDir {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("commands.txt"));

    void write(const QByteArray& data) const
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }
    QByteArray read() const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    TCustomCommands load() const
    {
        TCustomCommands c;
        EXPECT_TRUE(c.LoadCommands(path));
        return c;
    }
};

} // namespace

TEST(CustomCommandsFile, EntriesSurviveASaveAndALoad)
{
    struct Case {
        const char* name;
        QStringList labels, commands;
        QByteArray file;  // what the save writes
    };
    const QList<Case> cases = {
        {"plain words", {"System", "Idle"}, {"SYST", "NOOP"}, "System,Idle\nSYST,NOOP\n"},
        {"spaces are quoted and read back whole", {"Site idle"}, {"SITE IDLE 60"}, "\"Site idle\"\n\"SITE IDLE 60\"\n"},
        {"a quote inside is doubled", {"say \"hi\""}, {"SITE MSG a\"b"},
         "\"say \"\"hi\"\"\"\n\"SITE MSG a\"\"b\"\n"},
        {"a comma inside is quoted", {"a,b"}, {"SITE X,Y"}, "\"a,b\"\n\"SITE X,Y\"\n"},
        // An entry added and left empty is an empty item in both lines.
        {"one empty entry", {""}, {""}, "\"\"\n\"\"\n"},
        {"a trailing empty entry", {"System", ""}, {"SYST", ""}, "System,\nSYST,\n"},
        {"a leading empty entry", {"", "System"}, {"", "SYST"}, ",System\n,SYST\n"},
        {"two empty entries", {"", ""}, {"", ""}, ",\n,\n"},
        {"no entries", {}, {}, "\n\n"},
        {"non-ASCII letters", {"Größe"}, {"SIZE Ünïcode"}, "Größe\n\"SIZE Ünïcode\"\n"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        LibraryDir d;
        TCustomCommands c;
        c.Labels = k.labels;
        c.Commands = k.commands;
        QString error;
        ASSERT_TRUE(c.SaveCommands(d.path, &error)) << error.toStdString();
        EXPECT_EQ(QString::fromUtf8(d.read()), QString::fromUtf8(k.file));
        const TCustomCommands back = d.load();
        EXPECT_EQ(back.Labels, k.labels);
        EXPECT_EQ(back.Commands, k.commands);
    }
}

TEST(CustomCommandsFile, FilesWrittenByHandLoadAsPairsOfEqualLength)
{
    struct Case {
        const char* name;
        QByteArray file;
        QStringList labels, commands;
    };
    const QList<Case> cases = {
        {"a single line is an empty library", "System,Idle\n", {}, {}},
        {"an empty file", "", {}, {}},
        {"more commands than labels: the labels are padded", "System\nSYST,NOOP,PWD\n", {"System", "", ""},
         {"SYST", "NOOP", "PWD"}},
        {"more labels than commands: the commands are padded", "System,Idle,Where\nSYST\n", {"System", "Idle", "Where"},
         {"SYST", "", ""}},
        {"CR LF line ends", "System,Idle\r\nSYST,NOOP\r\n", {"System", "Idle"}, {"SYST", "NOOP"}},
        {"no line end after the last line", "System\nSYST", {"System"}, {"SYST"}},
        {"blanks before items are skipped; unquoted items end at a blank", "  a b, c\n x,\"y z\"\n",
         {"a", "b", "c"}, {"x", "y z", ""}},
        {"lines after the second are ignored", "A\nSYST\nextra,line\n", {"A"}, {"SYST"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        LibraryDir d;
        d.write(k.file);
        const TCustomCommands c = d.load();
        EXPECT_EQ(c.Labels, k.labels);
        EXPECT_EQ(c.Commands, k.commands);
        EXPECT_EQ(c.Labels.size(), c.Commands.size());
    }
}

TEST(CustomCommandsFile, AMissingFileIsAnEmptyLibraryAndIsCreatedOnSave)
{
    LibraryDir d;
    TCustomCommands c;
    c.Labels << "stale";
    c.Commands << "NOOP";
    EXPECT_TRUE(c.LoadCommands(d.path));
    EXPECT_TRUE(c.Labels.isEmpty());
    EXPECT_TRUE(c.Commands.isEmpty());
    EXPECT_FALSE(c.LoadFailed());
    c.Labels << "System";
    c.Commands << "SYST";
    ASSERT_TRUE(c.SaveCommands(d.path));
    EXPECT_EQ(d.read(), QByteArray("System\nSYST\n"));
    // A new file is the user's alone (commands may carry passwords).
    EXPECT_EQ(QFile::permissions(d.path) & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
}

namespace {

// File permissions do not bind root: when the tests run as root, the step
// that must meet them runs with the effective user "nobody" instead.
class AsOtherUser {
public:
    AsOtherUser() : root_(::geteuid() == 0) { EXPECT_TRUE(!root_ || ::seteuid(65534) == 0); }
    ~AsOtherUser()
    {
        if (root_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }
    static bool root() { return ::geteuid() == 0; }

private:
    bool root_;
};

} // namespace

TEST(CustomCommandsFile, AnUnreadableFileIsNeverOverwritten)
{
    LibraryDir d;
    d.write("Keep,Me\nSYST,NOOP\n");
    ASSERT_TRUE(QFile::setPermissions(d.path, QFile::WriteOwner));
    if (AsOtherUser::root()) { // the other user may pass through the directory
        ASSERT_TRUE(QFile::setPermissions(d.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                            | QFile::ExeGroup | QFile::ExeOther));
    }
    TCustomCommands c;
    {
        AsOtherUser other;
        EXPECT_FALSE(c.LoadCommands(d.path));
    }
    EXPECT_TRUE(c.LoadFailed());
    EXPECT_TRUE(c.Labels.isEmpty());
    c.Labels << "new";
    c.Commands << "PWD";
    QString error;
    EXPECT_FALSE(c.SaveCommands(d.path, &error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(QFile::setPermissions(d.path, QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_EQ(d.read(), QByteArray("Keep,Me\nSYST,NOOP\n"));
}

TEST(CustomCommandsFile, AFailedSaveLeavesTheOldFileWhole)
{
    LibraryDir d;
    d.write("Old\nNOOP\n");
    TCustomCommands c = d.load();
    c.Labels << "New";
    c.Commands << "SYST";
    // The old file may be written, but no new file can be made beside it:
    // the save fails rather than write into the old file in place.
    const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther
                     | QFile::WriteOther;
    ASSERT_TRUE(QFile::setPermissions(d.path, all));
    ASSERT_TRUE(QFile::setPermissions(d.dir.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                                        | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    QString error;
    bool saved = true;
    {
        AsOtherUser other;
        saved = c.SaveCommands(d.path, &error);
    }
    QFile::setPermissions(d.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(d.read(), QByteArray("Old\nNOOP\n"));
    EXPECT_EQ(QDir(d.dir.path()).entryList(QDir::Files), QStringList({"commands.txt"}));
}

TEST(CustomCommandsFile, ItLivesInTheProgramDirectory)
{
    EXPECT_EQ(CommandsFilePath("/opt/varnoth/"), QString("/opt/varnoth/commands.txt"));
}

TEST(CommandHistory, DoItAddsANewTextOnceAndSendsTheSelectedItem)
{
    TCommandHistory h;
    EXPECT_EQ(h.DoIt(QString()), QString());
    EXPECT_TRUE(h.Items.isEmpty());

    EXPECT_EQ(h.DoIt("SYST"), QString("SYST"));
    // The same selected text twice: sent twice, kept once.
    EXPECT_EQ(h.DoIt("SYST"), QString("SYST"));
    EXPECT_EQ(h.Items, QStringList({"SYST"}));
    EXPECT_EQ(h.Selected, 0);

    EXPECT_EQ(h.DoIt("NOOP"), QString("NOOP"));
    EXPECT_EQ(h.Items, QStringList({"SYST", "NOOP"}));
    EXPECT_EQ(h.Selected, 1);

    // No selection counts as different, even for a text the list holds.
    h.Selected = -1;
    EXPECT_EQ(h.DoIt("SYST"), QString("SYST"));
    EXPECT_EQ(h.Items, QStringList({"SYST", "NOOP", "SYST"}));
    EXPECT_EQ(h.Selected, 2);
}

TEST(CommandHistory, AChosenLibraryCommandIsAddedUntrimmedButABlankOneIsNot)
{
    TCommandHistory h;
    EXPECT_FALSE(h.AddChosen("   "));
    EXPECT_FALSE(h.AddChosen(QString()));
    EXPECT_TRUE(h.Items.isEmpty());
    EXPECT_TRUE(h.AddChosen("SITE HELP "));
    EXPECT_EQ(h.Items, QStringList({"SITE HELP "}));
    EXPECT_EQ(h.Selected, 0);
    // Chosen, not sent: Do It with the bar showing it sends it without a
    // second copy.
    EXPECT_EQ(h.DoIt("SITE HELP "), QString("SITE HELP "));
    EXPECT_EQ(h.Items.size(), 1);
}
