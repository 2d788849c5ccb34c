// The overwrite prompt driven like a user: every answer and what it does to
// the file name, the "Save as" input loop, Escape and the window manager's
// close, the tab order, the shipped German texts and the route through the
// program's user-interface channel.
#include "i18n/MsgLanguage.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "ui/GuiUserInterface.h"
#include "ui/TFReWrite.h"
#include "ui/TInputForm.h"

#include "TestEnv.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs act on the modal window of type T once it is the active modal one.
template <class T>
void whenShown(std::function<void(T*)> act)
{
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* f = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(f);
        }
    });
    poll->start();
}

QPushButton* byName(TFReWrite* f, const char* name) { return f->findChild<QPushButton*>(QLatin1String(name)); }

// Asks about file, pressing the named button; returns the answer.
int answerWith(QString& file, const char* button)
{
    whenShown<TFReWrite>([button](TFReWrite* f) { byName(f, button)->click(); });
    return AskReWrite(file);
}

} // namespace

TEST(OverwritePrompt, ShowsTheFileAndEveryButtonAnswersItsCodeLeavingTheNameAlone)
{
    const QString name = QStringLiteral("/home/u/dl/ärger über.txt");
    QString caption, question, message;
    bool closeButton = true;
    whenShown<TFReWrite>([&](TFReWrite* f) {
        caption = f->windowTitle();
        question = f->Label1->text();
        message = f->re1->toPlainText();
        closeButton = f->windowFlags().testFlag(Qt::WindowCloseButtonHint);
        f->BitBtn3->click();
    });
    QString file = name;
    EXPECT_EQ(AskReWrite(file), overwrite::Skip);
    EXPECT_EQ(caption, QStringLiteral("Rewrite Files Prompt"));
    EXPECT_EQ(question, QStringLiteral("Overwrite the file ?"));
    EXPECT_EQ(message, QStringLiteral("File already exists !\n") + name);
    EXPECT_FALSE(closeButton);

    const std::pair<const char*, int> buttons[] = {
        {"BitBtn6", 0}, {"BitBtn1", 1}, {"BitBtn2", 2}, {"BitBtn3", 3}, {"BitBtn7", 6}, {"BitBtn4", 5},
    };
    for (const auto& [button, code] : buttons) {
        SCOPED_TRACE(button);
        file = name;
        EXPECT_EQ(answerWith(file, button), code);
        EXPECT_EQ(file, name);
    }
}

TEST(OverwritePrompt, SaveAsAsksForThePathAndOnlyAConfirmedNonEmptyPathAnswers)
{
    const QString name = QStringLiteral("/srv/pub/a.bin");
    QString file = name;

    // Cancelled input, then an emptied one: the prompt stays up; "Skip" then.
    QString inputCaption, inputPrompt, inputValue;
    bool openAfterCancel = false, openAfterEmpty = false;
    whenShown<TFReWrite>([&](TFReWrite* f) {
        whenShown<TInputForm>([&](TInputForm* in) {
            inputCaption = in->windowTitle();
            inputPrompt = in->Prompt->text();
            inputValue = in->Input->text();
            in->Input->setText("/tmp/elsewhere");
            in->Button2->click();
        });
        f->BitBtn5->click();
        openAfterCancel = f->isVisible();
        whenShown<TInputForm>([](TInputForm* in) {
            in->Input->clear();
            in->Button1->click();
        });
        f->BitBtn5->click();
        openAfterEmpty = f->isVisible();
        f->BitBtn3->click();
    });
    EXPECT_EQ(AskReWrite(file), overwrite::Skip);
    EXPECT_EQ(file, name);
    EXPECT_TRUE(openAfterCancel);
    EXPECT_TRUE(openAfterEmpty);
    EXPECT_EQ(inputCaption, QStringLiteral("Save as ..."));
    EXPECT_EQ(inputPrompt, QStringLiteral("New Path"));
    EXPECT_EQ(inputValue, name);

    // Confirmed unchanged: "Save as" with the same name.
    whenShown<TFReWrite>([](TFReWrite* f) {
        whenShown<TInputForm>([](TInputForm* in) { in->Button1->click(); });
        f->BitBtn5->click();
    });
    EXPECT_EQ(AskReWrite(file), overwrite::SaveAs);
    EXPECT_EQ(file, name);

    // Confirmed with a new path, longer than an ordinary input line: taken whole.
    const QString longPath = "/tmp/" + QString(300, 'd') + "/new name.bin";
    whenShown<TFReWrite>([&](TFReWrite* f) {
        whenShown<TInputForm>([&](TInputForm* in) {
            in->Input->setText(longPath);
            in->Button1->click();
        });
        f->BitBtn5->click();
    });
    EXPECT_EQ(AskReWrite(file), overwrite::SaveAs);
    EXPECT_EQ(file, longPath);
}

TEST(OverwritePrompt, EscapeAndTheWindowManagersCloseAnswerCancelNotResume)
{
    const QString name = QStringLiteral("/data/log.txt");
    QString file = name;
    whenShown<TFReWrite>([](TFReWrite* f) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(f, &press);
    });
    EXPECT_EQ(AskReWrite(file), overwrite::Cancel);
    EXPECT_EQ(file, name);

    whenShown<TFReWrite>([](TFReWrite* f) { f->close(); });
    EXPECT_EQ(AskReWrite(file), overwrite::Cancel);
    EXPECT_EQ(file, name);

    // A prompt that was never answered at all holds Cancel too.
    TFReWrite unanswered;
    EXPECT_EQ(unanswered.Answer(), overwrite::Cancel);
}

TEST(OverwritePrompt, TabOrderFollowsCreationWhileTheScreenOrderDiffers)
{
    TFReWrite f;
    f.show();
    QCoreApplication::processEvents();
    QStringList tabOrder;
    QWidget* w = f.BitBtn6;
    do {
        if (auto* b = qobject_cast<QPushButton*>(w))
            tabOrder << b->objectName();
        w = w->nextInFocusChain();
    } while (w != f.BitBtn6 && tabOrder.size() < 20);
    EXPECT_EQ(tabOrder, QStringList({"BitBtn6", "BitBtn1", "BitBtn2", "BitBtn3", "BitBtn5", "BitBtn4", "BitBtn7"}));

    QList<QPushButton*> onScreen = f.findChildren<QPushButton*>();
    std::sort(onScreen.begin(), onScreen.end(), [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
    QStringList screenOrder;
    for (QPushButton* b : onScreen) {
        screenOrder << b->text();
        EXPECT_FALSE(b->text().isEmpty());
    }
    EXPECT_EQ(screenOrder, QStringList({"Resume", "Overwrite", "All", "Skip", "Skip All", "Save as", "Cancel"}));
    EXPECT_FALSE(f.re1->accessibleName().isEmpty());
    EXPECT_TRUE(f.re1->isReadOnly());
}

TEST(OverwritePrompt, TheShippedGermanFileTranslatesTheButtonsAndTheMessage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(testenv::sourceDir() + "/lang/Deutsch.lan", dir.filePath("Deutsch.lan")));
    const QString savedDir = ProgramDir, savedFile = LangFile;
    const bool savedOn = LangOn, savedInit = LangInit;
    ProgramDir = dir.path() + "/";
    LangFile = "Deutsch";
    LangOn = true;
    LangInit = false;

    QString message, skipAll, inputCaption;
    whenShown<TFReWrite>([&](TFReWrite* f) {
        message = f->re1->toPlainText();
        skipAll = f->BitBtn7->text();
        whenShown<TInputForm>([&](TInputForm* in) {
            inputCaption = in->windowTitle();
            in->Button2->click();
        });
        f->BitBtn5->click();
        f->BitBtn4->click();
    });
    QString file = QStringLiteral("/x/y");
    EXPECT_EQ(AskReWrite(file), overwrite::Cancel);
    EXPECT_EQ(message, QStringLiteral("Die Datei ist schon vorhanden!\n/x/y"));
    EXPECT_EQ(skipAll, QStringLiteral("Alle überspringen"));
    EXPECT_EQ(inputCaption, QStringLiteral("Speichern unter ..."));

    ProgramDir = savedDir;
    LangFile = savedFile;
    LangOn = savedOn;
    LangInit = savedInit;
}

TEST(OverwritePrompt, TheEngineAsksThroughTheUserInterfaceChannel)
{
    IUserInterface* before = userInterface();

    // Nobody to ask (the command-line tool, a headless run): cancel, touch nothing.
    setUserInterface(nullptr);
    QString file = QStringLiteral("/a/b");
    EXPECT_EQ(userInterface()->AskReWrite(file), overwrite::Cancel);
    EXPECT_EQ(file, QStringLiteral("/a/b"));

    // The window program shows the prompt and hands back the typed path.
    GuiUserInterface gui;
    setUserInterface(&gui);
    whenShown<TFReWrite>([](TFReWrite* f) {
        whenShown<TInputForm>([](TInputForm* in) {
            in->Input->setText("/a/c");
            in->Button1->click();
        });
        f->BitBtn5->click();
    });
    EXPECT_EQ(userInterface()->AskReWrite(file), overwrite::SaveAs);
    EXPECT_EQ(file, QStringLiteral("/a/c"));
    setUserInterface(before);
}
