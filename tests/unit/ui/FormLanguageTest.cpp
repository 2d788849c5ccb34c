// Choosing the language: the main window translated by the shipped German and
// French files and restored by "Default (English)", the language menu, the
// translators' template, and the shipped files covering every window text.
#include "MainWindowFixture.h"

#include "i18n/LanguageFile.h"
#include "i18n/MainMessages.h"
#include "i18n/MsgLanguage.h"
#include "ui/FormLanguage.h"
#include "ui/FormTexts.h"
#include "ui/TInputForm.h"
#include "ui/T_About.h"
#include "ui/T_Carrage.h"
#include "ui/T_FCmd.h"
#include "ui/T_Mirror.h"
#include "ui/TFReWrite.h"
#include "ui/TProgress.h"
#include "ui/T_ChMod.h"
#include "ui/T_Options.h"
#include "ui/TFFtpBase.h"
#include "ui/T_Certificate.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QTreeView>

namespace {

QString shippedLanguage(const char* file) { return testenv::sourceDir() + "/lang/" + file; }

void copyShippedLanguages(const QString& dir)
{
    for (const char* f : {"Deutsch.lan", "Francais.lan"})
        ASSERT_TRUE(QFile::copy(shippedLanguage(f), dir + "/" + f)) << f;
}

QAction* entry(QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

QStringList entryTexts(QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

// Texts that are data, not wording: never part of a language file.
void markData(QWidget* w)
{
    for (const char* name : {"DriveComboBox1", "lbTitle", "lbVersion", "lbSettings"})
        if (QObject* o = w->findChild<QObject*>(QLatin1String(name)))
            o->setProperty("noTranslate", true);
}

struct LanguageGlobals {
    bool on = LangOn, init = LangInit;
    QString file = LangFile;
    ~LanguageGlobals()
    {
        LangOn = on;
        LangInit = init;
        LangFile = file;
    }
};

} // namespace

class MainWindowLanguageTest : public MainWindowTest {
protected:
    LanguageGlobals saved;
    QMenu* languageMenu() const { return find<QMenu>("miLang"); }
    QString header(const char* view, int column) const
    {
        return find<QTreeView>(view)->model()->headerData(column, Qt::Horizontal).toString();
    }
};

TEST_F(MainWindowLanguageTest, GermanThenFrenchThenEnglishFromTheLanguageMenu)
{
    copyShippedLanguages(dir.path());
    start();
    markData(window.get());
    const TLangPairs english = CollectFormTexts(window.get());
    BuildLanguageMenu(window.get(), languageMenu());
    ASSERT_EQ(entryTexts(languageMenu()), QStringList({"Default (English)", "-", "deutsch", "francais"}));
    ASSERT_EQ(languageMenu()->actions().first()->objectName(), QStringLiteral("miEnglish"));
    EXPECT_TRUE(languageMenu()->actions().first()->isChecked());

    entry(languageMenu(), "deutsch")->trigger();
    EXPECT_EQ(find<QToolButton>("sbConnect")->text(), QStringLiteral("&Connect")); // queued: not yet
    QCoreApplication::processEvents();
    EXPECT_TRUE(LangOn);
    EXPECT_EQ(LangFile, QStringLiteral("deutsch"));
    EXPECT_EQ(find<QToolButton>("sbConnect")->text(), QStringLiteral("&Verbinden"));
    EXPECT_EQ(find<QToolButton>("sbConnect")->toolTip(), QStringLiteral("Mit dem ausgewählten FTP-Server verbinden"));
    EXPECT_EQ(find<QMenu>("File1")->title(), QStringLiteral("&Datei"));
    EXPECT_EQ(find<QAction>("Connect1")->text(), QStringLiteral("Mit FTP-Server verbinden"));
    EXPECT_EQ(header("lvLoc", 1), QStringLiteral("Größe"));
    EXPECT_EQ(header("FTPView", 5), QStringLiteral("Verknüpfung"));
    EXPECT_EQ(find<QLabel>("Panel8")->text(), QStringLiteral("Lokaler Computer"));
    // Texts composed from messages follow too: the path box's root item.
    EXPECT_EQ(find<QComboBox>("FTPPath")->itemText(0), QStringLiteral("SERVERLISTE ..."));
    EXPECT_EQ(languageMenu()->actions().first()->text(), QStringLiteral("Standard (Englisch)"));
    EXPECT_EQ(TMsgLanguage::Of(window.get())->Text(mainmsg::ConnectionClosed), QStringLiteral("Verbindung geschlossen"));
    EXPECT_TRUE(entry(languageMenu(), "deutsch")->isChecked());
    EXPECT_FALSE(languageMenu()->actions().first()->isChecked());

    entry(languageMenu(), "francais")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(find<QToolButton>("sbConnect")->text(), QStringLiteral("&Connexion"));
    EXPECT_EQ(header("lvLoc", 1), QStringLiteral("Taille"));
    EXPECT_EQ(TMsgLanguage::Of(window.get())->Text(mainmsg::Attention), QStringLiteral("Attention"));
    EXPECT_EQ(TMsgLanguage::Of(window.get())->Text(mainmsg::Error), QStringLiteral("Erreur"));
    EXPECT_FALSE(entry(languageMenu(), "deutsch")->isChecked());

    // The code's own questions take the translated messages.
    ui.answer = mb::IdNo;
    FTPOptions.AskForExit = true;
    window->close();
    QCoreApplication::processEvents();
    ASSERT_FALSE(ui.asked.isEmpty());
    EXPECT_EQ(ui.asked.last().text, QStringLiteral("Voulez-vous quitter le programme ?"));

    // "Default (English)" brings every built-in text back, with no template.
    languageMenu()->actions().first()->trigger();
    QCoreApplication::processEvents();
    EXPECT_FALSE(LangOn);
    EXPECT_EQ(LangFile, QStringLiteral("language"));
    EXPECT_EQ(CollectFormTexts(window.get()), english);
    EXPECT_EQ(find<QComboBox>("FTPPath")->itemText(0), QStringLiteral("SERVER LIST ..."));
    EXPECT_TRUE(languageMenu()->actions().first()->isChecked());
}

TEST_F(MainWindowLanguageTest, LangInitWritesOneTemplateSectionPerWindowThatReadsBackUnchanged)
{
    start();
    LangInit = true;
    LangOn = false;
    LangFile = DefaultLanguageName();
    TranslateForm(window.get());
    TInputForm input;
    T_About about;
    TranslateForm(&about);
    const QString file = dir.filePath("language.lan");
    TIniFile ini(file);
    EXPECT_EQ(ini.ReadSections(), QStringList({"T_MAIN", "TINPUTFORM", "T_ABOUT"}));
    EXPECT_EQ(ini.ReadString("T_MAIN", "msl.Items.30", ""), QStringLiteral("Do you want to quit the program?"));
    EXPECT_EQ(ini.ReadString("T_MAIN", "lvLoc.Columns.0.Caption", ""), QStringLiteral("Filename"));
    EXPECT_EQ(ini.ReadString("TINPUTFORM", "Button2.Caption", ""), QStringLiteral("&Cancel"));

    const TLangPairs before = CollectFormTexts(window.get());
    ReadFormTexts(window.get(), file);
    EXPECT_EQ(CollectFormTexts(window.get()), before);

    // Any other language chosen: no template is written.
    QFile::remove(file);
    LangFile = "deutsch";
    TranslateForm(window.get());
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(MainWindowLanguageTest, ShippedLanguagesTranslateEveryTextOfEveryWindow)
{
    start();
    BuildLanguageMenu(window.get(), languageMenu());
    TInputForm input;
    T_About about;
    TFFtpBase siteDialog;
    QList<QWidget*> windows = {window.get(), &input, &about, &siteDialog};
    T_Options options;
    windows << &options;
    T_Carrage lineEnds;
    windows << &lineEnds;
    T_FCmd commandLibrary;
    windows << &commandLibrary;
    TFReWrite overwritePrompt;
    TProgress progress;
    progress.setAttribute(Qt::WA_DeleteOnClose, false); // lives on the stack here
    windows << &overwritePrompt << &progress;
    T_ChMod permissions;
    windows << &permissions;
    T_Mirror mirrorJob;
    windows << &mirrorJob;
    T_Certificate certificate;
    windows << &certificate;
    for (const char* lang : {"Deutsch.lan", "Francais.lan"}) {
        for (QWidget* w : windows) {
            markData(w);
            const QString section = FormSection(w);
            SCOPED_TRACE(std::string(lang) + " [" + section.toStdString() + "]");
            QStringList needed, offered;
            for (const auto& p : CollectFormTexts(w))
                needed << p.first;
            for (const auto& p : ReadLanguageSection(shippedLanguage(lang), section)) {
                offered << p.first;
                EXPECT_FALSE(p.second.isEmpty()) << p.first.toStdString();
            }
            for (const QString& k : needed)
                EXPECT_TRUE(offered.contains(k)) << "untranslated: " << k.toStdString();
            for (const QString& k : offered)
                EXPECT_TRUE(needed.contains(k)) << "addresses nothing: " << k.toStdString();
        }
    }
}

TEST(LanguageMenu, OneEntryPerLanguageWhateverTheCaseOfTheFileNames)
{
    LanguageGlobals saved;
    QTemporaryDir dir;
    const QString savedDir = ProgramDir;
    ProgramDir = WithTrailingSlash(dir.path());
    for (const char* name : {"Deutsch.lan", "deutsch.LAN", "FRANCAIS.lan", "language.lan"}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[QMAINWINDOW]\nSelf.Caption=Hauptfenster\n");
    }
    QMainWindow w;
    w.setWindowTitle("Main");
    QMenu* menu = w.menuBar()->addMenu("Language");

    LangFile = "Deutsch";
    LangOn = true;
    BuildLanguageMenu(&w, menu);
    BuildLanguageMenu(&w, menu); // built again: no entry twice
    EXPECT_EQ(entryTexts(menu), QStringList({"Default (English)", "-", "deutsch", "francais"}));
    EXPECT_EQ(menu->actions()[0]->objectName(), QStringLiteral("miEnglish"));
    EXPECT_EQ(menu->actions()[0]->data().toInt(), -1);
    EXPECT_EQ(entry(menu, "francais")->data().toInt(), 1);
    EXPECT_TRUE(entry(menu, "deutsch")->isChecked());
    EXPECT_TRUE(LangOn);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Hauptfenster"));

    // A chosen language whose file has gone falls back to English.
    LangFile = "espanol";
    BuildLanguageMenu(&w, menu);
    EXPECT_FALSE(LangOn);
    EXPECT_EQ(LangFile, QStringLiteral("language"));
    EXPECT_TRUE(menu->actions()[0]->isChecked());
    EXPECT_FALSE(entry(menu, "deutsch")->isChecked());

    // Choosing a language clears the template switch.
    LangInit = true;
    entry(menu, "francais")->trigger();
    EXPECT_TRUE(LangOn);
    EXPECT_FALSE(LangInit);
    EXPECT_EQ(LangFile, QStringLiteral("francais"));
    ProgramDir = savedDir;
}
