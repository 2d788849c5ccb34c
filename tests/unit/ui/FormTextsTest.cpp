// Language files applied to and written from a window that holds every kind
// of widget the program's windows use.
#include "i18n/MsgLanguage.h"
#include "ui/FormTexts.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

class TTestWindow : public QDialog {
    Q_OBJECT
public:
    TTestWindow()
    {
        setWindowTitle("Test window");
        auto* l = new QVBoxLayout(this);
        Label1 = add<QLabel>("Label1", l);
        Label1->setText("Name");
        Empty = add<QLabel>("Empty", l);
        Button = add<QPushButton>("sbGo", l);
        Button->setText("&Go");
        Button->setToolTip("Start it");
        Edit = add<QLineEdit>("eHost", l);
        Edit->setText("host");
        Combo = add<QComboBox>("cbKind", l);
        Combo->addItems({"Auto", "Ascii", "Binary"});
        Combo->setCurrentIndex(2);
        Group = add<QGroupBox>("rgDir", l);
        Group->setTitle("Direction");
        auto* g = new QVBoxLayout(Group);
        for (const char* t : {"Upload", "Download"})
            g->addWidget(new QRadioButton(t, Group));
        Tree = add<QTreeWidget>("lvFiles", l);
        Tree->setHeaderLabels({"Filename", "Size"});
        Memo = add<QPlainTextEdit>("mNotes", l);
        Memo->setPlainText("first\nsecond");
        Tabs = add<QTabWidget>("pcPages", l);
        Page = new QWidget;
        Page->setObjectName("tsGeneral");
        Tabs->addTab(Page, "General");
        Menu = new QMenu("&File", this);
        Menu->setObjectName("File1");
        Open = Menu->addAction("&Open");
        Open->setObjectName("Open1");
        Menu->addSeparator()->setObjectName("N1");
        msl = new TMsgLanguage(this, {"Attention", "", "Done"});
    }
    template <class W> W* add(const char* name, QVBoxLayout* l)
    {
        auto* w = new W(this);
        w->setObjectName(name);
        l->addWidget(w);
        return w;
    }
    QLabel *Label1, *Empty;
    QPushButton* Button;
    QLineEdit* Edit;
    QComboBox* Combo;
    QGroupBox* Group;
    QTreeWidget* Tree;
    QPlainTextEdit* Memo;
    QTabWidget* Tabs;
    QWidget* Page;
    QMenu* Menu;
    QAction* Open;
    TMsgLanguage* msl;
};

namespace {

QString valueOf(const TLangPairs& pairs, const QString& key)
{
    for (const auto& p : pairs)
        if (p.first == key)
            return p.second;
    return QStringLiteral("<absent>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

TEST(FormTexts, CollectsEveryTextKindUnderItsLanguageFileKey)
{
    TTestWindow w;
    const TLangPairs pairs = CollectFormTexts(&w);
    EXPECT_EQ(FormSection(&w), QStringLiteral("TTESTWINDOW"));
    EXPECT_EQ(pairs.first(), qMakePair(QStringLiteral("Self.Caption"), QStringLiteral("Test window")));
    const QList<QPair<const char*, const char*>> expected = {
        {"Label1.Caption", "Name"},      {"sbGo.Caption", "&Go"},         {"sbGo.Hint", "Start it"},
        {"eHost.Text", "host"},          {"cbKind.Items.2", "Binary"},    {"rgDir.Caption", "Direction"},
        {"rgDir.Items.0", "Upload"},     {"rgDir.Items.1", "Download"},   {"lvFiles.Columns.1.Caption", "Size"},
        {"mNotes.Lines.1", "second"},    {"tsGeneral.Caption", "General"}, {"File1.Caption", "&File"},
        {"Open1.Caption", "&Open"},      {"msl.Items.0", "Attention"},    {"msl.Items.2", "Done"},
    };
    for (const auto& e : expected)
        EXPECT_EQ(valueOf(pairs, e.first), QLatin1String(e.second)) << e.first;
    // Nothing for empty texts, separators, the empty message line, or an
    // action's tool tip that only repeats its text.
    for (const char* absent : {"Empty.Caption", "N1.Caption", "msl.Items.1", "Open1.Hint", "Label1.Hint"})
        EXPECT_EQ(valueOf(pairs, absent), QStringLiteral("<absent>")) << absent;
}

TEST(FormTexts, AppliesEveryKindAndKeepsTheChosenDropDownItem)
{
    TTestWindow w;
    ApplyFormTexts(&w, {{"Self.Caption", "Testfenster"},
                        {"Label1.Caption", "Erste~~Zweite"},
                        {"sbGo.Hint", "Starten"},
                        {"eHost.Text", "rechner"},
                        {"cbKind.Items.0", "Automatisch"},
                        {"cbKind.Items.2", "Binär"},
                        {"rgDir.Items.1", "Herunterladen"},
                        {"lvFiles.Columns.0.Caption", "Dateiname"},
                        {"mNotes.Lines.0", "erste"},
                        {"tsGeneral.Caption", "Allgemein"},
                        {"File1.Caption", "&Datei"},
                        {"Open1.Caption", "Ö&ffnen"},
                        {"msl.Items.0", "Achtung"}});
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Testfenster"));
    EXPECT_EQ(w.Label1->text(), QStringLiteral("Erste\nZweite"));
    EXPECT_EQ(w.Button->toolTip(), QStringLiteral("Starten"));
    EXPECT_EQ(w.Edit->text(), QStringLiteral("rechner"));
    EXPECT_EQ(w.Combo->itemText(0), QStringLiteral("Automatisch"));
    EXPECT_EQ(w.Combo->currentIndex(), 2);
    EXPECT_EQ(w.Combo->currentText(), QStringLiteral("Binär"));
    EXPECT_EQ(w.Group->findChildren<QRadioButton*>()[1]->text(), QStringLiteral("Herunterladen"));
    EXPECT_EQ(w.Tree->headerItem()->text(0), QStringLiteral("Dateiname"));
    EXPECT_EQ(w.Memo->toPlainText(), QStringLiteral("erste\nsecond"));
    EXPECT_EQ(w.Tabs->tabText(0), QStringLiteral("Allgemein"));
    EXPECT_EQ(w.Menu->title(), QStringLiteral("&Datei"));
    EXPECT_EQ(w.Open->text(), QStringLiteral("Ö&ffnen"));
    EXPECT_EQ(w.msl->Text(0), QStringLiteral("Achtung")); // what the code shows for message 0
}

TEST(FormTexts, LinesAddressingNothingChangeNothing)
{
    TTestWindow w;
    const TLangPairs before = CollectFormTexts(&w);
    ApplyFormTexts(&w, {{"Empty.Caption", "never shown"}, // empty texts stay empty
                        {"cbKind.Items.3", "beyond the end"},
                        {"cbKind.Items.-1", "negative"},
                        {"cbKind.Items.x", "not a number"},
                        {"cbKind.Items", "no index"},
                        {"lvFiles.Columns.2.Caption", "no such column"},
                        {"lvFiles.Columns.0.Width", "no such item property"},
                        {"msl.Items.3", "beyond the messages"},
                        {"Nobody.Caption", "unknown component"},
                        {"Label1.Colour", "unknown property"},
                        {"Label1", "no property"},
                        {"", "empty key"},
                        {"...", "dots"}});
    EXPECT_EQ(CollectFormTexts(&w), before);
    EXPECT_TRUE(w.Empty->text().isEmpty());
    EXPECT_EQ(w.Combo->count(), 3);
    EXPECT_EQ(w.msl->Count(), 3);
}

TEST(FormTexts, WrittenFileReadsBackUnchangedAndKeepsForeignLines)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("language.lan");
    writeFile(file, "[TTESTWINDOW]\nExtra.Caption=kept\nLabel1.Caption=stale\n[OTHER]\nx.Caption=y\n");
    TTestWindow w;
    w.Label1->setText("Two~~lines\nhere");
    ASSERT_TRUE(WriteFormTexts(&w, file));
    const TLangPairs written = ReadLanguageSection(file, "TTESTWINDOW");
    EXPECT_EQ(valueOf(written, "Extra.Caption"), QStringLiteral("kept"));
    EXPECT_EQ(valueOf(written, "Label1.Caption"), QStringLiteral("Two~~lines~~here"));
    EXPECT_EQ(ReadLanguageSection(file, "OTHER").size(), 1);

    TTestWindow fresh;
    fresh.Label1->setText("x");
    ReadFormTexts(&fresh, file);
    EXPECT_EQ(fresh.Label1->text(), QStringLiteral("Two\nlines\nhere"));
    TTestWindow again;
    again.Label1->setText("Two~~lines\nhere");
    const TLangPairs before = CollectFormTexts(&again);
    ReadFormTexts(&again, file);
    EXPECT_EQ(CollectFormTexts(&again).mid(1), before.mid(1));
}

TEST(FormTexts, DamagedOrMissingFileNeverBreaksTheWindow)
{
    QTemporaryDir dir;
    TTestWindow w;
    const TLangPairs before = CollectFormTexts(&w);
    ReadFormTexts(&w, dir.filePath("missing.lan"));
    EXPECT_TRUE(QFile::exists(dir.filePath("missing.lan")));
    const char raw[] = "[TTESTWINDOW]\n\x00\xff\xfe=\x01\n=\nLabel1.Caption\n";
    QByteArray junk(raw, sizeof raw - 1);
    junk += QByteArray(5000, '\xee') + "\nsbGo.Caption=&Los\n";
    writeFile(dir.filePath("junk.lan"), junk);
    ReadFormTexts(&w, dir.filePath("junk.lan"));
    EXPECT_EQ(w.Button->text(), QStringLiteral("&Los"));
    EXPECT_EQ(w.Label1->text(), QStringLiteral("Name"));
    ReadFormTexts(&w, dir.path()); // a directory
    EXPECT_EQ(CollectFormTexts(&w).size(), before.size());
}

TEST(FormTexts, BuiltInTextsComeBackAfterTwoLanguages)
{
    TTestWindow w;
    const TLangPairs english = CollectFormTexts(&w);
    ApplyFormTexts(&w, {{"sbGo.Caption", "&Los"}, {"cbKind.Items.0", "Automatisch"}, {"msl.Items.2", "Fertig"}});
    ApplyFormTexts(&w, {{"sbGo.Caption", "&Aller"}, {"lvFiles.Columns.1.Caption", "Taille"}});
    EXPECT_EQ(w.Button->text(), QStringLiteral("&Aller"));
    RestoreBuiltInTexts(&w);
    EXPECT_EQ(CollectFormTexts(&w), english);
    EXPECT_EQ(w.Combo->currentIndex(), 2);
}

TEST(FormTexts, NoTranslateWidgetsAreNeitherWrittenNorChanged)
{
    TTestWindow w;
    w.Combo->setProperty("noTranslate", true);
    const TLangPairs pairs = CollectFormTexts(&w);
    EXPECT_EQ(valueOf(pairs, "cbKind.Items.0"), QStringLiteral("<absent>"));
    ApplyFormTexts(&w, {{"cbKind.Items.0", "x"}});
    EXPECT_EQ(w.Combo->itemText(0), QStringLiteral("Auto"));
}

#include "FormTextsTest.moc"
