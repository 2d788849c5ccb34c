// The one-line input window: confirming, cancelling, the mask check box,
// Enter and Escape in the field, the length cut and translation on creation.
#include "settings/Globals.h"
#include "ui/TInputForm.h"

#include "TestEnv.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs act on the input window once InputLine shows it.
void whenShown(std::function<void(TInputForm*)> act)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* f = qobject_cast<TInputForm*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(f);
        }
    });
    poll->start();
}

void sendKey(QWidget* w, QEvent::Type type, Qt::Key key)
{
    QKeyEvent e(type, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void releaseKey(QWidget* w, Qt::Key key)
{
    sendKey(w, QEvent::KeyPress, key);
    sendKey(w, QEvent::KeyRelease, key);
}

} // namespace

TEST(InputLine, ShowsCaptionPromptAndValueAndConfirmsAnEmptyField)
{
    QString value = "old name";
    QString caption, prompt, shown;
    whenShown([&](TInputForm* f) {
        caption = f->windowTitle();
        prompt = f->Prompt->text();
        shown = f->Input->text();
        f->Input->clear();
        f->Button1->click();
    });
    EXPECT_TRUE(InputLine("Rename", "Enter new name:", value, false, 255));
    EXPECT_EQ(caption, QStringLiteral("Rename"));
    EXPECT_EQ(prompt, QStringLiteral("Enter new name:"));
    EXPECT_EQ(shown, QStringLiteral("old name"));
    EXPECT_EQ(value, QString());
}

TEST(InputLine, CancelAndEscapeLeaveTheValueExactlyAsPassed)
{
    QString value = "  keep me ";
    whenShown([](TInputForm* f) {
        f->Input->setText("typed");
        f->Button2->click();
    });
    EXPECT_FALSE(InputLine("c", "p", value, false, 255));
    EXPECT_EQ(value, QStringLiteral("  keep me "));

    whenShown([](TInputForm* f) {
        f->Input->setText("typed");
        releaseKey(f->Input, Qt::Key_Escape);
    });
    EXPECT_FALSE(InputLine("c", "p", value, false, 255));
    EXPECT_EQ(value, QStringLiteral("  keep me "));
}

TEST(InputLine, EnterConfirmsOnReleaseOnly)
{
    QString value;
    bool openAfterPress = false;
    whenShown([&](TInputForm* f) {
        f->Input->setText("abc");
        sendKey(f->Input, QEvent::KeyPress, Qt::Key_Return);
        QCoreApplication::processEvents();
        openAfterPress = f->isVisible();
        sendKey(f->Input, QEvent::KeyRelease, Qt::Key_Return);
    });
    EXPECT_TRUE(InputLine("c", "p", value, false, 255));
    EXPECT_TRUE(openAfterPress);
    EXPECT_EQ(value, QStringLiteral("abc"));
}

TEST(InputLine, LongTextIsCutToMaxLength)
{
    QString value;
    whenShown([](TInputForm* f) {
        f->Input->setText(QString(300, 'x') + "y");
        f->Button1->click();
    });
    EXPECT_TRUE(InputLine("c", "p", value, false, 255));
    EXPECT_EQ(value, QString(255, 'x'));
}

TEST(InputLine, MaskCheckBoxHidesTheTextUntilUnchecked)
{
    QString value = "secret";
    bool visible = false, checked = false;
    QLineEdit::EchoMode masked = QLineEdit::Normal, clear = QLineEdit::Password;
    whenShown([&](TInputForm* f) {
        visible = !f->chbMask->isHidden();
        checked = f->chbMask->isChecked();
        masked = f->Input->echoMode();
        f->chbMask->click();
        clear = f->Input->echoMode();
        f->chbMask->click();
        EXPECT_EQ(f->Input->echoMode(), QLineEdit::Password);
        f->Button1->click();
    });
    EXPECT_TRUE(InputLine("Password", "Enter password:", value, true, 255));
    EXPECT_TRUE(visible);
    EXPECT_TRUE(checked);
    EXPECT_EQ(masked, QLineEdit::Password);
    EXPECT_EQ(clear, QLineEdit::Normal);
    EXPECT_EQ(value, QStringLiteral("secret"));

    whenShown([&](TInputForm* f) {
        visible = !f->chbMask->isHidden();
        masked = f->Input->echoMode();
        f->Button2->click();
    });
    InputLine("Name", "Enter name:", value, false, 255);
    EXPECT_FALSE(visible);
    EXPECT_EQ(masked, QLineEdit::Normal);
}

TEST(InputForm, TranslatedWhenCreated)
{
    QTemporaryDir dir;
    const QString saved = ProgramDir;
    ProgramDir = WithTrailingSlash(dir.path());
    QFile f(dir.filePath("Deutsch.lan"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[TINPUTFORM]\nButton2.Caption=&Abbrechen\nchbMask.Caption=Passwort verbergen\n");
    f.close();
    LangOn = true;
    LangFile = "deutsch";
    TInputForm form;
    LangOn = false;
    LangFile = "language";
    ProgramDir = saved;
    EXPECT_EQ(form.Button2->text(), QStringLiteral("&Abbrechen"));
    EXPECT_EQ(form.chbMask->text(), QStringLiteral("Passwort verbergen"));
    EXPECT_EQ(form.Button1->text(), QStringLiteral("&Ok"));
}
