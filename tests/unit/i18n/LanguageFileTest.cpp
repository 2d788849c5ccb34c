// Language files: key syntax, line breaks, reading damaged files, writing a
// section, and the list of available languages.
#include "i18n/LanguageFile.h"
#include "i18n/MainMessages.h"
#include "i18n/MsgLanguage.h"
#include "settings/Globals.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct KeyRow {
    const char* key;
    const char* component;
    const char* property;
    bool hasIndex;
    int index;
    const char* sub;
};

const KeyRow kKeys[] = {
    {"Self.Caption", "Self", "Caption", false, -1, ""},
    {"Label1.Caption", "Label1", "Caption", false, -1, ""},
    {"msl.Items.2", "msl", "Items", true, 2, ""},
    {"lvLoc.Columns.1.Caption", "lvLoc", "Columns", true, 1, "Caption"},
    {"rgDir.Items.x", "rgDir", "Items", true, -1, ""},
    {"a.b.3.c.d", "a", "b", true, 3, "c.d"},
    {"NoDot", "NoDot", "", false, -1, ""},
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

TEST(LanguageKey, SplitsIntoComponentPropertyIndexAndSubProperty)
{
    for (const KeyRow& r : kKeys) {
        SCOPED_TRACE(r.key);
        const TTextKey k = ParseTextKey(QString::fromLatin1(r.key));
        EXPECT_EQ(k.Component, QLatin1String(r.component));
        EXPECT_EQ(k.Property, QLatin1String(r.property));
        EXPECT_EQ(k.HasIndex, r.hasIndex);
        EXPECT_EQ(k.Index, r.index);
        EXPECT_EQ(k.SubProperty, QLatin1String(r.sub));
    }
}

TEST(LanguageValue, DoubleTildeIsALineBreakBothWays)
{
    EXPECT_EQ(DecodeLangValue("Erste~~Zweite"), QStringLiteral("Erste\nZweite"));
    EXPECT_EQ(DecodeLangValue("a~~~~b"), QStringLiteral("a\n\nb"));
    EXPECT_EQ(EncodeLangValue("a\r\nb\nc\rd"), QStringLiteral("a~~b~~c~~d"));
    EXPECT_EQ(DecodeLangValue(EncodeLangValue("one\ntwo")), QStringLiteral("one\ntwo"));
}

TEST(LanguageFile, MissingFileIsCreatedEmptyAndYieldsNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("deutsch.lan");
    EXPECT_TRUE(ReadLanguageSection(path, "T_MAIN").isEmpty());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

TEST(LanguageFile, DamagedFileYieldsOnlyItsWellFormedLines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("broken.lan");
    QByteArray bytes = "garbage before any section\n[OTHER]\nx.Caption=other\n[t_main]\n"
                       "no equals sign here\n"
                       "Prev.Caption=before\nKeyOnly.Caption\n"
                       "Label1.Caption=Bezeichnung=mit=Gleich\n";
    bytes += QByteArray("\x00\x01\xff\xfe binary\n", 13);
    bytes += "sbConnect.Hint=Verbinden\xe4\n"; // Latin-1 "ä"
    writeFile(path, bytes);
    const TLangPairs pairs = ReadLanguageSection(path, "T_MAIN");
    bool sawLabel = false, sawHint = false;
    for (const auto& p : pairs) {
        EXPECT_NE(p.first, QStringLiteral("x.Caption")); // other section
        EXPECT_NE(p.first, QStringLiteral("KeyOnly.Caption")); // no "=": addresses nothing
        if (p.first == QStringLiteral("Label1.Caption")) {
            sawLabel = true;
            EXPECT_EQ(p.second, QStringLiteral("Bezeichnung=mit=Gleich")); // after the first "="
        }
        if (p.first == QStringLiteral("sbConnect.Hint")) {
            sawHint = true;
            EXPECT_EQ(p.second, QString::fromUtf8("Verbinden\xc3\xa4"));
        }
    }
    EXPECT_TRUE(sawLabel);
    EXPECT_TRUE(sawHint);
    // A directory in place of the file is no file at all.
    QDir(dir.path()).mkdir("dir.lan");
    EXPECT_TRUE(ReadLanguageSection(dir.filePath("dir.lan"), "T_MAIN").isEmpty());
}

TEST(LanguageFile, OfADoubledKeyTheFirstLineCountsWhateverTheCase)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("doubled.lan");
    // Case differences beyond ASCII: final and capital sigma fold together.
    writeFile(path, "[T_MAIN]\nLabel1.Caption=first\nLABEL1.caption=second\n"
                    "\xc3\x84rger.Caption=upper\n\xc3\xa4rger.Caption=lower\n"
                    "x\xcf\x82.Hint=final sigma\nX\xce\xa3.Hint=capital sigma\n"
                    "Label2.Caption=other\n");
    const TLangPairs pairs = ReadLanguageSection(path, "T_MAIN");
    const TLangPairs expected{{"Label1.Caption", "first"},
                              {QString::fromUtf8("\xc3\x84rger.Caption"), "upper"},
                              {QString::fromUtf8("x\xcf\x82.Hint"), "final sigma"},
                              {"Label2.Caption", "other"}};
    EXPECT_EQ(pairs, expected);

    // Many keys, each doubled in other case after all of them: every key once,
    // in file order, with its first value.
    constexpr int kKeys = 50000;
    QByteArray many = "[T_MAIN]\n";
    for (int i = 0; i < kKeys; ++i)
        many += "Item" + QByteArray::number(i) + ".Caption=v" + QByteArray::number(i) + "\n";
    for (int i = 0; i < kKeys; ++i)
        many += "ITEM" + QByteArray::number(i) + ".CAPTION=again\n";
    writeFile(path, many);
    const TLangPairs read = ReadLanguageSection(path, "T_MAIN");
    ASSERT_EQ(read.size(), kKeys);
    for (int i = 0; i < kKeys; ++i) {
        if (read[i].first != QStringLiteral("Item%1.Caption").arg(i) || read[i].second != QStringLiteral("v%1").arg(i)) {
            ADD_FAILURE() << "pair " << i << ": " << read[i].first.toStdString() << "=" << read[i].second.toStdString();
            break;
        }
    }
}

TEST(LanguageFile, WritingASectionOverwritesItsKeysAndKeepsTheRest)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("language.lan");
    writeFile(path, "[T_MAIN]\nSelf.Caption=Old\nCustom.Caption=kept\n[TINPUTFORM]\nButton1.Caption=&Ok\n");
    ASSERT_TRUE(WriteLanguageSection(path, "T_MAIN", {{"Self.Caption", "Varnoth"}, {"Label1.Caption", "a~~b"}}));
    const TLangPairs pairs = ReadLanguageSection(path, "T_MAIN");
    ASSERT_EQ(pairs.size(), 3);
    EXPECT_EQ(pairs[0], qMakePair(QStringLiteral("Self.Caption"), QStringLiteral("Varnoth")));
    EXPECT_EQ(pairs[1], qMakePair(QStringLiteral("Custom.Caption"), QStringLiteral("kept")));
    EXPECT_EQ(pairs[2], qMakePair(QStringLiteral("Label1.Caption"), QStringLiteral("a~~b")));
    EXPECT_EQ(ReadLanguageSection(path, "TINPUTFORM").size(), 1);
}

TEST(LanguageList, NamesInLowerCaseSortedWithoutDuplicatesOrTheTemplate)
{
    QTemporaryDir dir;
    for (const char* name : {"Deutsch.lan", "deutsch.LAN", "Francais.lan", "language.lan", "LANGUAGE.LAN",
                             "notes.txt", "espanol.lan.bak", ".lan"})
        writeFile(dir.filePath(name), "");
    QDir(dir.path()).mkdir("italiano.lan"); // a directory is not a language
    EXPECT_EQ(ListLanguages(dir.path()), QStringList({"deutsch", "francais"}));
}

TEST(LanguageList, FileOfALanguageIsFoundWhateverTheCaseOfItsName)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("Deutsch.lan"), "[T_MAIN]\n");
    const QString base = WithTrailingSlash(dir.path());
    EXPECT_EQ(LanguageFilePath("deutsch", dir.path()), base + "Deutsch.lan");
    EXPECT_TRUE(LanguageFileExists("DEUTSCH", dir.path()));
    EXPECT_FALSE(LanguageFileExists("francais", dir.path()));
    EXPECT_EQ(LanguageFilePath("francais", dir.path()), base + "francais.lan");
}

TEST(MessageList, TextsByIndexAndOutOfRangeIsEmpty)
{
    QObject window;
    TMsgLanguage* msl = CreateMainMessages(&window);
    EXPECT_EQ(TMsgLanguage::Of(&window), msl);
    EXPECT_EQ(msl->objectName(), QStringLiteral("msl"));
    EXPECT_EQ(msl->Count(), int(mainmsg::Count));
    EXPECT_EQ(msl->Text(mainmsg::Attention), QStringLiteral("Attention"));
    EXPECT_EQ(msl->Text(mainmsg::QuitQuestion), QStringLiteral("Do you want to quit the program?"));
    EXPECT_EQ(msl->Text(mainmsg::ConnectionClosed), QStringLiteral("Connection closed"));
    EXPECT_EQ(msl->Text(-1), QString());
    EXPECT_EQ(msl->Text(mainmsg::Count), QString());
    EXPECT_FALSE(msl->SetText(99, "x"));
    EXPECT_TRUE(msl->SetText(0, "Passwort eingeben"));
    EXPECT_EQ(msl->Text(0), QStringLiteral("Passwort eingeben"));
    // The list is reachable as the property a language file names.
    EXPECT_EQ(msl->property("Items").toStringList().size(), int(mainmsg::Count));
}
