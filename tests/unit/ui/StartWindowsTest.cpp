// The About window as splash and as About, the language menu and the input
// window behind the user-interface channel.
#include "MainWindowFixture.h"

#include "ui/GuiUserInterface.h"
#include "ui/T_About.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QMessageBox>
#include <QWidget>

TEST_F(MainWindowTest, SplashShowsWaitOnADisabledFlatButtonAndNamesTheSettingsFile)
{
    T_About splash;
    splash.ShowAsSplash();
    EXPECT_TRUE(splash.isVisible());
    EXPECT_FALSE(splash.isModal());
    EXPECT_FALSE(splash.OkButton()->isEnabled());
    EXPECT_TRUE(splash.OkButton()->isFlat());
    EXPECT_EQ(splash.OkButton()->text(), "Wait...");
    auto* settings = splash.findChild<QLabel*>("lbSettings");
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->text().contains(QDir::toNativeSeparators(ProgramDir + "options.ftp")));

    T_About about;
    EXPECT_TRUE(about.OkButton()->isEnabled());
    EXPECT_EQ(about.OkButton()->text(), "OK");
}

TEST_F(MainWindowTest, LanguageMenuOffersTheDefaultLanguage)
{
    start();
    auto* menu = find<QMenu>("miLang");
    ASSERT_NE(menu, nullptr);
    QAction* english = menu->findChild<QAction*>("miEnglish");
    ASSERT_NE(english, nullptr);
    EXPECT_TRUE(english->isChecked());
}

TEST_F(MainWindowTest, LanguageInitWritesTheMainWindowTextsForTranslators)
{
    writeOptions("[Language]\nLangInit=1\n");
    start();
    QFile lan(dir.filePath("language.lan"));
    ASSERT_TRUE(lan.open(QIODevice::ReadOnly));
    const QByteArray text = lan.readAll();
    EXPECT_TRUE(text.contains("[T_MAIN]"));
    EXPECT_TRUE(text.contains("Panel8.Caption=Local computer"));
    // Data boxes are not wording.
    EXPECT_FALSE(text.contains("DriveComboBox1."));
}

TEST_F(MainWindowTest, GuiQuestionsUseRealDialogsWithTheRequestedButtons)
{
    GuiUserInterface gui;
    // Answer the box from the event loop the way a user would: press No.
    QTimer::singleShot(50, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                EXPECT_EQ(box->windowTitle(), "Attention");
                EXPECT_NE(box->button(QMessageBox::Yes), nullptr);
                box->button(QMessageBox::No)->click();
            }
    });
    EXPECT_EQ(gui.ShowMessageBox("Do you want to quit the program?", "Attention", mb::YesNo | mb::IconQuestion),
              mb::IdNo);

    QTimer::singleShot(50, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w))
                box->reject(); // Escape
    });
    EXPECT_EQ(gui.ShowMessageBox("Go on?", "Question", mb::OkCancel), mb::IdCancel);

    // The input line: typed text comes back, cut to the maximum length.
    QTimer::singleShot(50, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                if (auto* edit = w->findChild<QLineEdit*>()) {
                    edit->setText("secret-password");
                    QMetaObject::invokeMethod(w, "accept");
                }
    });
    QString value;
    EXPECT_TRUE(gui.InputLine("Enter password", "Password:", value, true, 6));
    EXPECT_EQ(value, "secret");
}
