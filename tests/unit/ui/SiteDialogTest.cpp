// The site properties dialog (TFFtpBase) as a user drives it, offscreen and
// through the controls' object names: its edge cases, the custom host
// types and their file in the program directory, the time-zone rule, the
// password field, and the dialog from the main window's commands, up to a
// site made with New Server that is connected to a real FTP server.
#include "MainWindowFixture.h"
#include "SiteDialogFixture.h"

#include "FtpServers.h"
#include "i18n/MsgLanguage.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "settings/Globals.h"
#include "settings/Options.h"
#include "settings/TimeZones.h"
#include "sites/HostTypes.h"
#include "sites/SiteLine.h"
#include "sites/SiteListFile.h"
#include "sites/SiteZones.h"
#include "ui/TFFtpBase.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <functional>

namespace {

// Runs act on the site dialog once it is shown modally.
void whenDialogShown(std::function<void(TFFtpBase*)> act)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* d = qobject_cast<TFFtpBase*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(d);
        }
    });
    poll->start();
}

void typeText(QWidget* w, const QString& text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(w, &release);
    }
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

QStringList items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

QStringList positions(const TFFtpBase& d)
{
    return {d.eFName->text(), d.eFSize->text(), d.eFDate->text(), d.eFDate2->text(), d.eFTime->text(),
            d.eFAttr->text()};
}

void setPositions(TFFtpBase& d, const QStringList& values)
{
    QList<QLineEdit*> fields = {d.eFName, d.eFSize, d.eFDate, d.eFDate2, d.eFTime, d.eFAttr};
    for (int i = 0; i < fields.size(); ++i) {
        fields[i]->clear();
        typeText(fields[i], values[i]); // typed, as the user does
    }
}

// Answers the input dialog from a queue and records every message box.
class DialogUi : public IUserInterface {
public:
    QStringList answers;      // one per InputLine; a null string cancels
    QStringList prompted;     // "caption|prompt|value" of each InputLine
    QList<AskedQuestion> boxes;

    int ShowMessageBox(const QString& text, const QString& caption, int flags) override
    {
        boxes.append({text, caption, flags});
        return mb::IdOk;
    }
    bool InputLine(const QString& caption, const QString& prompt, QString& value, bool, int) override
    {
        prompted << caption + '|' + prompt + '|' + value;
        if (answers.isEmpty())
            return false;
        const QString a = answers.takeFirst();
        if (a.isNull())
            return false;
        value = a;
        return true;
    }
};

class SiteDialogTest : public SiteDialogFixture {
protected:
    void SetUp() override
    {
        SiteDialogFixture::SetUp();
        FTPOptions.TimeZone = 0;
        setUserInterface(&ui);
    }

    DialogUi ui;
};

} // namespace

// --- the controls ---

TEST_F(SiteDialogTest, EveryControlOfThePartUnderItsName)
{
    TFFtpBase d;
    for (const char* name : {"NameEdt", "ServerEdt", "PortEdt", "UserEdt", "PasswordEdt", "AccountEdt", "EMailEdt",
                             "RemoteDirEdt", "LocalDir"})
        EXPECT_NE(d.findChild<QLineEdit*>(name), nullptr) << name;
    for (const char* name : {"AnonymousCB", "SavePasswordCB", "cbPv", "cbMPsw", "cbVH", "cbHidden", "cbMkDir", "cbPD"})
        EXPECT_NE(d.findChild<QCheckBox*>(name), nullptr) << name;
    for (const char* name : {"eFName", "eFSize", "eFDate", "eFDate2", "eFTime", "eFAttr"})
        EXPECT_NE(d.findChild<QLineEdit*>(name), nullptr) << name;
    for (const char* name : {"cbType", "cbName", "cbZones"})
        EXPECT_NE(d.findChild<QComboBox*>(name), nullptr) << name;
    for (const char* name : {"Button3", "SpeedButton1", "SpeedButton2", "sbAddType", "sbEditType", "sbDeleteType"})
        EXPECT_NE(d.findChild<QPushButton*>(name), nullptr) << name;
    EXPECT_NE(d.findChild<QPlainTextEdit*>("mDesc"), nullptr);
    EXPECT_NE(d.findChild<QFrame*>("pnlCustom"), nullptr);
    ASSERT_NE(TMsgLanguage::Of(&d), nullptr);
    EXPECT_EQ(TMsgLanguage::Of(&d)->Items().mid(0, 6),
              QStringList({"Default", "FTP Server Name must be defined", "Attention", "New Host Type", "Enter",
                           "Edit Host Type"}));
    EXPECT_EQ(items(d.cbType),
              QStringList({"Default", "Text", "Microsoft FTP-v.4.0.", "Mac", "Custom", "VMS", "Microsoft FTP-v.5.0.",
                           "UNIX,BSD,WU-FTP server", "Windows 2000 Advanced Server", "WU-FTP-2 server"}));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("FTP Server Properties"));
    EXPECT_EQ(d.SpeedButton2->text(), QStringLiteral("&Save"));
    EXPECT_EQ(d.SpeedButton1->text(), QStringLiteral("&Cancel"));
}

TEST_F(SiteDialogTest, EveryFieldGoesInAndComesBackTextsTrimmedThePasswordNot)
{
    TFTPServerObj s = site();
    s.Port = "2121";
    s.User = "bob";
    s.Password = "  pass word ";
    s.Account = "acct";
    s.InitialDir = "/pub";
    s.LocalDir = dir.path();
    s.Pasv = 1;
    s.CheckVHost = 1;
    s.ShowHidden = 1;
    s.MkDir = 0;
    s.SavePassword = 0;
    s.Desc = "first line`second line";
    s.Description = "carried";
    s.ModifiedDate = "2001-02-03";
    s.TimeCmd = 1;
    TFFtpBase d;
    d.LoadSite(s, answerFile());
    EXPECT_EQ(d.NameEdt->text(), "Site");
    EXPECT_EQ(d.PortEdt->text(), "2121");
    EXPECT_EQ(d.PasswordEdt->text(), "  pass word ");
    EXPECT_TRUE(d.cbPv->isChecked());
    EXPECT_TRUE(d.cbVH->isChecked());
    EXPECT_TRUE(d.cbHidden->isChecked());
    EXPECT_FALSE(d.cbMkDir->isChecked());
    EXPECT_FALSE(d.SavePasswordCB->isChecked());
    EXPECT_TRUE(d.cbPD->isChecked());
    EXPECT_EQ(d.mDesc->toPlainText(), "first line\nsecond line");

    // Nothing touched: the same site comes back, with the index of the zone
    // shown (the offset is the site's own).
    TFTPServerObj back = d.CollectSite();
    EXPECT_EQ(back.TimeZoneV, d.cbZones->currentIndex());
    EXPECT_DOUBLE_EQ(back.TimeZone, s.TimeZone);
    s.TimeZoneV = back.TimeZoneV;
    EXPECT_EQ(back, s);

    d.NameEdt->setText("  New name  ");
    d.ServerEdt->setText(" host.example.org ");
    d.UserEdt->setText(" alice ");
    d.PasswordEdt->setText(" secret with blanks  ");
    d.EMailEdt->setText(" me@example.org ");
    d.RemoteDirEdt->setText(" /data ");
    d.mDesc->setPlainText("one\ntwo\n\nfour");
    back = d.CollectSite();
    EXPECT_EQ(back.Name, "New name");
    EXPECT_EQ(back.Server, "host.example.org");
    EXPECT_EQ(back.User, "alice");
    EXPECT_EQ(back.Password, " secret with blanks  ");
    EXPECT_EQ(back.EMail, "me@example.org");
    EXPECT_EQ(back.InitialDir, "/data");
    EXPECT_EQ(back.Desc, "one`two``four");
    EXPECT_EQ(back.Description, "carried");
    EXPECT_EQ(back.TimeCmd, 1);
    d.mDesc->clear();
    EXPECT_EQ(d.CollectSite().Desc, QString());

    // The list file keeps the untrimmed password too.
    TFTPServerObj read;
    ASSERT_TRUE(ReadSiteLine(read, SiteLine(back), TSiteDefaults{}));
    EXPECT_EQ(ScramblePassword(read.Password), " secret with blanks  ");
}

TEST_F(SiteDialogTest, LongTextsAreCutToTheirFieldSizes)
{
    TFFtpBase d;
    d.LoadSite(site(), answerFile());
    d.NameEdt->setMaxLength(32767); // a pasted text longer than the field allows
    d.NameEdt->setText(QString(80, 'n'));
    d.RemoteDirEdt->setMaxLength(32767);
    d.RemoteDirEdt->setText('/' + QString(400, 'd'));
    const TFTPServerObj back = d.CollectSite();
    EXPECT_EQ(back.Name.size(), 50);
    EXPECT_EQ(back.InitialDir.size(), 255);
}

TEST_F(SiteDialogTest, MaskingIsTheEchoModeAndNeverChangesThePassword)
{
    TFTPServerObj s = site();
    s.Password = "p*ss";
    s.CheckPSW = 1;
    TFFtpBase d;
    d.LoadSite(s, answerFile());
    EXPECT_TRUE(d.cbMPsw->isChecked());
    EXPECT_EQ(d.PasswordEdt->echoMode(), QLineEdit::Password);
    EXPECT_EQ(d.PasswordEdt->text(), "p*ss");
    d.cbMPsw->click();
    EXPECT_EQ(d.PasswordEdt->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(d.PasswordEdt->text(), "p*ss");
    EXPECT_EQ(d.CollectSite().CheckPSW, 0);
    EXPECT_EQ(d.CollectSite().Password, "p*ss");
    d.cbMPsw->click();
    EXPECT_EQ(d.PasswordEdt->echoMode(), QLineEdit::Password);
    EXPECT_EQ(d.CollectSite().CheckPSW, 1);

    s.CheckPSW = 0;
    TFFtpBase plain;
    plain.LoadSite(s, answerFile());
    EXPECT_EQ(plain.PasswordEdt->echoMode(), QLineEdit::Normal);
}

TEST_F(SiteDialogTest, AnonymousLoginSwitchesBetweenTheLoginFieldsAndTheEMail)
{
    TFFtpBase d;
    d.LoadSite(site(), answerFile());
    EXPECT_FALSE(d.AnonymousCB->isChecked());
    EXPECT_TRUE(d.UserEdt->isEnabled());
    EXPECT_TRUE(d.PasswordEdt->isEnabled());
    EXPECT_TRUE(d.AccountEdt->isEnabled());
    EXPECT_FALSE(d.EMailEdt->isEnabled());
    d.AnonymousCB->click();
    EXPECT_FALSE(d.UserEdt->isEnabled());
    EXPECT_FALSE(d.PasswordEdt->isEnabled());
    EXPECT_FALSE(d.AccountEdt->isEnabled());
    EXPECT_TRUE(d.EMailEdt->isEnabled());
    EXPECT_EQ(d.CollectSite().Anonymous, 1);
    // The passive and virtual-host boxes share the handler and change nothing.
    d.cbPv->click();
    d.cbVH->click();
    EXPECT_TRUE(d.EMailEdt->isEnabled());
    EXPECT_FALSE(d.UserEdt->isEnabled());
    d.AnonymousCB->click();
    EXPECT_TRUE(d.UserEdt->isEnabled());
    EXPECT_FALSE(d.EMailEdt->isEnabled());

    TFTPServerObj anonymous = site();
    anonymous.Anonymous = 1;
    TFFtpBase opened;
    opened.LoadSite(anonymous, answerFile());
    EXPECT_TRUE(opened.EMailEdt->isEnabled());
    EXPECT_FALSE(opened.UserEdt->isEnabled());
}

TEST_F(SiteDialogTest, TheSlashBoxAddsAndRemovesTheLeadingSlashOfTheRemoteDirectory)
{
    TFTPServerObj s = site();
    s.InitialDir = "pub/files";
    TFFtpBase d;
    d.LoadSite(s, answerFile());
    EXPECT_FALSE(d.cbPD->isChecked());
    d.cbPD->click();
    EXPECT_EQ(d.RemoteDirEdt->text(), "/pub/files");
    d.cbPD->click();
    EXPECT_EQ(d.RemoteDirEdt->text(), "pub/files");
    d.RemoteDirEdt->setText("/already");
    d.cbPD->click(); // checked: the slash is there already
    EXPECT_EQ(d.RemoteDirEdt->text(), "/already");
    d.RemoteDirEdt->setText("no slash");
    d.cbPD->click(); // unchecked: there is none to remove
    EXPECT_EQ(d.RemoteDirEdt->text(), "no slash");
}

// --- Save and Cancel ---

TEST_F(SiteDialogTest, SaveWithoutNameOrServerSaysSoAndKeepsTheDialogOpen)
{
    TFTPServerObj s = CreateSite(TSiteDefaults{});
    bool stillOpen = false;
    whenDialogShown([&](TFFtpBase* d) {
        d->NameEdt->setText("   ");
        d->ServerEdt->setText("host");
        d->SpeedButton2->click();
        ASSERT_EQ(ui.boxes.size(), 1);
        d->NameEdt->setText("Named");
        d->ServerEdt->setText(" ");
        d->SpeedButton2->click();
        ASSERT_EQ(ui.boxes.size(), 2);
        stillOpen = d->isVisible();
        d->ServerEdt->setText("host");
        d->SpeedButton2->click();
    });
    EXPECT_TRUE(EditSite(s));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(ui.boxes[0].text, "FTP Server Name must be defined");
    EXPECT_EQ(ui.boxes[0].caption, "Attention");
    EXPECT_EQ(ui.boxes[0].flags, mb::Ok | mb::IconError | mb::TaskModal);
    EXPECT_EQ(s.Name, "Named");
    EXPECT_EQ(s.Server, "host");
}

TEST_F(SiteDialogTest, CancelLeavesTheSiteExactlyAsItWas)
{
    TFTPServerObj s = site();
    const TFTPServerObj before = s;
    whenDialogShown([](TFFtpBase* d) {
        d->NameEdt->setText("changed");
        d->cbType->setCurrentIndex(4);
        d->SpeedButton1->click();
    });
    EXPECT_FALSE(EditSite(s));
    EXPECT_EQ(s, before);
    EXPECT_FALSE(QFileInfo::exists(answerFile())); // nothing to write
}

// --- server type and custom host types ---

TEST_F(SiteDialogTest, AnAnswerOfAnotherLengthOpensAsTheDefaultType)
{
    for (const QString& answer : {QString(), QStringLiteral("41234"), QStringLiteral("412345678"),
                                  QStringLiteral("0123456")}) {
        TFTPServerObj s = site();
        s.Answer = answer;
        s.AnswerName = "Something";
        TFFtpBase d;
        d.LoadSite(s, answerFile());
        SCOPED_TRACE(answer.toStdString());
        EXPECT_EQ(d.cbType->currentIndex(), 0);
        EXPECT_FALSE(d.pnlCustom->isVisibleTo(&d));
        EXPECT_EQ(positions(d), QStringList({"9", "5", "7", "6", "8", "1"}));
        const TFTPServerObj back = d.CollectSite();
        EXPECT_EQ(back.Answer, DefaultAnswer);
        EXPECT_EQ(back.AnswerName, "Default");
    }
}

TEST_F(SiteDialogTest, TheCustomPanelShowsExactlyForTypeFour)
{
    TFTPServerObj s = site();
    s.Answer = "7957681";
    TFFtpBase d;
    d.LoadSite(s, answerFile());
    EXPECT_EQ(d.cbType->currentIndex(), 7);
    EXPECT_FALSE(d.pnlCustom->isVisibleTo(&d));
    d.cbType->setCurrentIndex(4);
    EXPECT_TRUE(d.pnlCustom->isVisibleTo(&d));
    d.cbType->setCurrentIndex(9);
    EXPECT_FALSE(d.pnlCustom->isVisibleTo(&d));
    EXPECT_EQ(d.CollectSite().Answer, "9957681");
}

TEST_F(SiteDialogTest, DigitFieldsTakeOnlyTwoDigitsAndTwelveIsTheDigitC)
{
    TFTPServerObj s = site();
    s.Answer = "4123456";
    TFFtpBase d;
    d.LoadSite(s, answerFile());
    d.eFName->clear();
    typeText(d.eFName, "a-x.");
    EXPECT_EQ(d.eFName->text(), QString()) << "letters have no effect";
    typeText(d.eFName, "1b2");
    EXPECT_EQ(d.eFName->text(), "12");
    typeText(d.eFName, "3");
    EXPECT_EQ(d.eFName->text(), "12") << "at most two characters";
    EXPECT_EQ(d.BuildAnswer(), "4c23456");
    d.eFSize->clear();
    EXPECT_EQ(d.BuildAnswer(), "4c03456");
    EXPECT_EQ(d.CollectSite().Answer, "4c03456");
}

TEST_F(SiteDialogTest, TheFirstHostTypeCanBeNeitherRenamedNorDeleted)
{
    writeFile(answerFile(), "\"Default\",0957681\n\"Odd\",4123456\n");
    TFTPServerObj s = site();
    s.Answer = "4957681";
    TFFtpBase d;
    d.LoadSite(s, answerFile());
    ASSERT_EQ(items(d.cbName), QStringList({"Default", "Odd"}));
    EXPECT_EQ(d.cbName->currentIndex(), 0);
    EXPECT_FALSE(d.sbEditType->isEnabled());
    EXPECT_FALSE(d.sbDeleteType->isEnabled());
    ui.answers = {"Renamed"};
    emit d.sbEditType->clicked();
    emit d.sbDeleteType->clicked();
    EXPECT_EQ(items(d.cbName), QStringList({"Default", "Odd"}));
    EXPECT_TRUE(ui.prompted.isEmpty());
    // The others can.
    d.cbName->setCurrentIndex(1);
    EXPECT_TRUE(d.sbEditType->isEnabled());
    d.sbEditType->click();
    EXPECT_EQ(ui.prompted, QStringList({"Edit Host Type|Enter|Odd"}));
    EXPECT_EQ(items(d.cbName), QStringList({"Default", "Renamed"}));
    d.sbDeleteType->click();
    EXPECT_EQ(items(d.cbName), QStringList({"Default"}));
    EXPECT_EQ(d.cbName->currentIndex(), 0);
    EXPECT_FALSE(d.sbDeleteType->isEnabled());
}

TEST_F(SiteDialogTest, AddingACustomTypeEditingItsDigitsAndSavingKeepsTypeFourAndThePositions)
{
    TFTPServerObj s = site();
    ui.answers = {"Odd server"};
    whenDialogShown([](TFFtpBase* d) {
        d->cbType->setCurrentIndex(4);
        d->sbAddType->click();
        setPositions(*d, {"2", "3", "4", "5", "6", "1"});
        d->SpeedButton2->click();
    });
    ASSERT_TRUE(EditSite(s));
    EXPECT_EQ(ui.prompted, QStringList({"New Host Type|Enter|"}));
    EXPECT_EQ(s.Answer, "4234561");
    EXPECT_EQ(s.AnswerName, "Odd server");
    EXPECT_EQ(readFile(answerFile()), QByteArray("\"Default\",0957681\n\"Odd server\",4234561\n"));

    // Opened again: type four, the type selected, its positions.
    TFFtpBase d;
    d.LoadSite(s, answerFile());
    EXPECT_EQ(d.cbType->currentIndex(), 4);
    EXPECT_TRUE(d.pnlCustom->isVisibleTo(&d));
    EXPECT_EQ(d.cbName->currentText(), "Odd server");
    EXPECT_EQ(positions(d), QStringList({"2", "3", "4", "5", "6", "1"}));
    EXPECT_EQ(d.CollectSite().Answer, "4234561");
}

TEST_F(SiteDialogTest, ChoosingAnotherHostTypeKeepsTheEditsOfTheOneLeft)
{
    writeFile(answerFile(), "\"Default\",0957681\n\"A\",4111111\n\"B\",4222222\n");
    TFTPServerObj s = site();
    s.Answer = "4111111";
    s.AnswerName = "A";
    TFFtpBase d;
    d.LoadSite(s, answerFile());
    ASSERT_EQ(d.cbName->currentIndex(), 1);
    d.eFAttr->clear();
    typeText(d.eFAttr, "9");
    EXPECT_EQ(positions(d), QStringList({"1", "1", "1", "1", "1", "9"}));
    d.cbName->setCurrentIndex(2);
    EXPECT_EQ(positions(d), QStringList({"2", "2", "2", "2", "2", "2"}));
    d.cbName->setCurrentIndex(1);
    EXPECT_EQ(positions(d), QStringList({"1", "1", "1", "1", "1", "9"}));
    // Choosing the first shows the default positions and never changes it.
    d.cbName->setCurrentIndex(0);
    EXPECT_EQ(positions(d), QStringList({"9", "5", "7", "6", "8", "1"}));
    setPositions(d, {"1", "2", "3", "4", "5", "6"});
    const TFTPServerObj back = d.CollectSite();
    EXPECT_EQ(back.Answer, "4123456");
    EXPECT_EQ(back.AnswerName, "Default");
    EXPECT_EQ(d.HostTypes().Code(0), DefaultAnswer);
    EXPECT_EQ(d.HostTypes().Code(1), "4111119");
    EXPECT_EQ(d.HostTypes().Code(2), "4222222");
}

TEST_F(SiteDialogTest, SwitchingAwayFromCustomIsHonouredWhateverTypeIsSelected)
{
    writeFile(answerFile(), "\"Default\",0957681\n\"A\",4111111\n");
    TFTPServerObj s = site();
    s.Answer = "4111111";
    s.AnswerName = "A";
    TFFtpBase d;
    d.LoadSite(s, answerFile());
    d.cbType->setCurrentIndex(7);
    const TFTPServerObj back = d.CollectSite();
    EXPECT_EQ(back.Answer, "7111111");
    EXPECT_EQ(d.HostTypes().Code(1), "4111111") << "the host type keeps its own code";
    // Back to Custom: the selected type's positions.
    d.cbType->setCurrentIndex(4);
    EXPECT_EQ(positions(d), QStringList({"1", "1", "1", "1", "1", "1"}));
}

TEST_F(SiteDialogTest, TheFirstTypeOrAnUnknownNameKeepsTheSitesOwnPositions)
{
    // Saved with the first entry selected, or on a machine whose file names a
    // type this one lacks: the positions are what the listings were read with.
    writeFile(answerFile(), "\"Default\",0957681\n\"Known\",4111111\n");
    for (const QString& name : {QStringLiteral("Default"), QStringLiteral("Elsewhere")}) {
        TFTPServerObj s = site();
        s.Answer = "4234561";
        s.AnswerName = name;
        TFFtpBase d;
        d.LoadSite(s, answerFile());
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(d.cbName->currentIndex(), 0);
        EXPECT_EQ(positions(d), QStringList({"2", "3", "4", "5", "6", "1"}));
        EXPECT_EQ(d.CollectSite().Answer, "4234561");
    }
}

TEST_F(SiteDialogTest, CancellingStillWritesTheHostTypesAsEdited)
{
    writeFile(answerFile(), "\"Default\",0957681\r\n\"Old\",4111111\r\n");
    TFTPServerObj s = site();
    const TFTPServerObj before = s;
    ui.answers = {"say \"hi\""};
    whenDialogShown([](TFFtpBase* d) {
        d->cbType->setCurrentIndex(4);
        d->sbAddType->click();
        setPositions(*d, {"1", "2", "3", "4", "5", "6"});
        d->SpeedButton1->click();
    });
    EXPECT_FALSE(EditSite(s));
    EXPECT_EQ(s, before);
    EXPECT_EQ(readFile(answerFile()),
              QByteArray("\"Default\",0957681\n\"Old\",4111111\n\"say \"\"hi\"\"\",4123456\n"));
    // The name with quotes reads back.
    THostTypeFile back("Default", answerFile());
    EXPECT_EQ(back.Types().Name(2), "say \"hi\"");
    EXPECT_EQ(back.Types().Code(2), "4123456");
}

TEST_F(SiteDialogTest, AddingWithAnEmptyNameOrCancelAddsNothing)
{
    TFFtpBase d;
    TFTPServerObj s = site();
    s.Answer = "4957681";
    d.LoadSite(s, answerFile());
    ui.answers = {"   ", QString()};
    d.sbAddType->click();
    d.sbAddType->click();
    EXPECT_EQ(items(d.cbName), QStringList({"Default"}));
    d.SaveHostTypes();
    EXPECT_FALSE(QFileInfo::exists(answerFile()));
}

TEST_F(SiteDialogTest, AHostTypesFileThatCannotBeReadIsReportedAndLeftAlone)
{
    // Something that cannot be read as the file, whoever runs the test.
    ASSERT_TRUE(QDir().mkpath(answerFile()));
    writeFile(answerFile() + "/inside", "kept");
    TFTPServerObj s = site();
    ui.answers = {"New"};
    QStringList shown;
    whenDialogShown([&](TFFtpBase* d) {
        shown = items(d->cbName);
        d->cbType->setCurrentIndex(4);
        d->sbAddType->click();
        d->SpeedButton2->click();
    });
    ASSERT_TRUE(EditSite(s));
    EXPECT_EQ(shown, QStringList({"Default"}));
    EXPECT_EQ(s.AnswerName, "New"); // the site itself is saved
    EXPECT_TRUE(QFileInfo(answerFile()).isDir());
    EXPECT_EQ(readFile(answerFile() + "/inside"), QByteArray("kept"));
    ASSERT_EQ(ui.boxes.size(), 1);
    EXPECT_EQ(ui.boxes[0].text, answerFile() + ":The host types could not be saved");
    EXPECT_EQ(ui.boxes[0].caption, "Attention");

    // Nothing edited: nothing to report.
    ui.boxes.clear();
    whenDialogShown([](TFFtpBase* d) { d->SpeedButton1->click(); });
    EXPECT_FALSE(EditSite(s));
    EXPECT_TRUE(ui.boxes.isEmpty());
}

// --- time zones ---

TEST_F(SiteDialogTest, ASiteSavedOnAMachineWithAnotherZoneListKeepsItsOffset)
{
    QStringList zones;
    int system = -1;
    FillZoneList(zones, system);
    const int kolkata = int(zones.indexOf("(GMT+05:30) Asia/Kolkata"));
    const int utc = int(zones.indexOf("(GMT) UTC"));
    if (kolkata < 0 || utc < 0)
        GTEST_SKIP() << "this system's zone list lacks Asia/Kolkata or UTC";

    // Saved elsewhere at +05:30 with an index that names UTC here.
    TFTPServerObj s = site();
    s.TimeZone = 5.30;
    s.TimeZoneV = qint16(utc);
    TFFtpBase d;
    d.LoadSite(s, answerFile());
    ASSERT_GE(d.cbZones->currentIndex(), 0);
    EXPECT_EQ(ZoneMinutes(d.cbZones->currentText()), 330) << d.cbZones->currentText().toStdString();
    TFTPServerObj back = d.CollectSite();
    EXPECT_DOUBLE_EQ(back.TimeZone, 5.30);
    EXPECT_EQ(ZoneMinutes(zones.value(back.TimeZoneV)), 330);

    // An index beyond this machine's list, and no index at all.
    for (int index : {int(zones.size()) + 40, -1}) {
        s.TimeZoneV = qint16(index);
        TFFtpBase other;
        other.LoadSite(s, answerFile());
        EXPECT_EQ(ZoneMinutes(other.cbZones->currentText()), 330) << index;
        EXPECT_DOUBLE_EQ(other.CollectSite().TimeZone, 5.30);
    }

    // The right index stays as it is.
    s.TimeZoneV = qint16(kolkata);
    TFFtpBase same;
    same.LoadSite(s, answerFile());
    EXPECT_EQ(same.cbZones->currentIndex(), kolkata);

    // The user's choice wins.
    same.cbZones->setCurrentIndex(utc);
    back = same.CollectSite();
    EXPECT_EQ(back.TimeZoneV, utc);
    EXPECT_DOUBLE_EQ(back.TimeZone, 0);
    const int stJohns = int(zones.indexOf("(GMT-03:30) America/St_Johns"));
    if (stJohns >= 0) {
        same.cbZones->setCurrentIndex(stJohns);
        EXPECT_DOUBLE_EQ(same.CollectSite().TimeZone, -3.30);
    }
}

TEST_F(SiteDialogTest, AnOffsetNoZoneHasIsKeptUnlessAnotherZoneIsChosen)
{
    TFTPServerObj s = site();
    s.TimeZone = 9.15; // no zone of the list has it
    s.TimeZoneV = -1;
    TFFtpBase d;
    d.LoadSite(s, answerFile());
    EXPECT_DOUBLE_EQ(d.CollectSite().TimeZone, 9.15);
}

TEST_F(SiteDialogTest, ANewSiteOpensOnTheSystemZone)
{
    QStringList zones;
    int system = -1;
    FillZoneList(zones, system);
    if (system < 0)
        GTEST_SKIP() << "the system zone is not in the list";
    TFTPServerObj s = CreateSite(TSiteDefaults{false, QString(), LocalGMTOffsetHours()});
    TFFtpBase d;
    d.LoadSite(s, answerFile());
    EXPECT_EQ(d.cbZones->currentIndex(), system);
    EXPECT_EQ(d.CollectSite().TimeZoneV, system);
}

// --- translation ---

TEST_F(SiteDialogTest, GermanTextsAndTheTranslatedDefaultHostType)
{
    const InGerman german(dir);
    {
        TFFtpBase d;
        EXPECT_EQ(d.windowTitle(), QStringLiteral("FTP-Server-Eigenschaften"));
        EXPECT_EQ(d.SpeedButton2->text(), QStringLiteral("&Speichern"));
        EXPECT_EQ(d.cbType->itemText(4), QStringLiteral("Benutzerdefiniert"));
        TFTPServerObj s = site();
        s.Answer = "4957681";
        d.LoadSite(s, answerFile());
        EXPECT_EQ(items(d.cbName), QStringList({"Standard"}));
        EXPECT_EQ(d.cbType->currentIndex(), 4);
        EXPECT_EQ(d.CollectSite().AnswerName, QStringLiteral("Standard"));
        d.NameEdt->clear();
        d.SpeedButton2->click();
        ASSERT_EQ(ui.boxes.size(), 1);
        EXPECT_EQ(ui.boxes[0].caption, QStringLiteral("Achtung"));
    }
}

// --- from the main window ---

class SiteDialogWindowTest : public MainWindowTest {
protected:
    QTreeView* view() const { return find<QTreeView>("FTPView"); }
    QStringList rowNames() const
    {
        QStringList names;
        for (int r = 0; r < view()->model()->rowCount(); ++r)
            names << view()->model()->index(r, 0).data().toString();
        return names;
    }
    QStringList savedSites(const QString& folder = QString()) const
    {
        QStringList out;
        for (const TSiteListItem& item : ReadSiteList(folder, TSiteDefaults{}))
            out << (item.IsFolder() ? "dir:" : "site:") + item.Caption;
        return out;
    }
    static void fillLogin(TFFtpBase* d, const QString& name, const testftp::FtpServer& server)
    {
        d->NameEdt->setText(name);
        d->ServerEdt->setText("127.0.0.1");
        d->PortEdt->setText(QString::number(server.port()));
        if (d->AnonymousCB->isChecked())
            d->AnonymousCB->click();
        d->UserEdt->setText(server.user());
        d->PasswordEdt->setText(server.password());
        d->SavePasswordCB->setChecked(true);
    }
    bool online()
    {
        TSession* s = window->Session();
        return testenv::waitFor([s] {
            return s->CurrentPhase() == TSession::Phase::Online && !s->RequestInFlight() && !s->Busy();
        }, 15000);
    }
};

TEST_F(SiteDialogWindowTest, PropertiesNeedsASelectedSiteAndSavesTheEditedSite)
{
    TFTPServerObj s = CreateSite(TSiteDefaults{});
    s.Name = "Old name";
    s.Server = "old.example.org";
    writeFile(dir.filePath("ftplist.TXT"), SiteLine(s).toUtf8() + "\nDIR=Folder\n");
    start();
    TSiteList* sites = window->SiteList();
    auto* button = find<QToolButton>("sbProperties");
    auto* menu = find<QAction>("ServerProperties1");
    EXPECT_TRUE(find<QToolButton>("sbNewServer")->isEnabled());
    EXPECT_TRUE(find<QAction>("NewServer1")->isEnabled());

    sites->SelectRow(sites->FindCaption("Folder"));
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(menu->isEnabled());
    sites->SelectRow(-1);
    EXPECT_FALSE(button->isEnabled());
    sites->SelectRow(sites->FindCaption("Old name"));
    EXPECT_TRUE(button->isEnabled());
    EXPECT_TRUE(menu->isEnabled());

    QString shownServer;
    whenDialogShown([&](TFFtpBase* d) {
        shownServer = d->ServerEdt->text();
        d->NameEdt->setText("Renamed");
        d->PortEdt->setText("2121");
        d->SpeedButton2->click();
    });
    button->click();
    EXPECT_EQ(shownServer, "old.example.org");
    EXPECT_EQ(rowNames(), QStringList({"Folder", "Renamed"}));
    EXPECT_EQ(sites->Caption(sites->SelectedRow()), "Renamed");
    EXPECT_EQ(savedSites(), QStringList({"dir:Folder", "site:Renamed"}));
    const std::optional<TFTPServerObj> saved = FindSavedSite("Renamed", TSiteDefaults{});
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->Port, "2121");
    EXPECT_EQ(saved->Server, "old.example.org");

    // Cancel writes nothing.
    const QByteArray before = readFile(dir.filePath("ftplist.TXT"));
    whenDialogShown([](TFFtpBase* d) {
        d->NameEdt->setText("Not this");
        d->SpeedButton1->click();
    });
    menu->trigger();
    EXPECT_EQ(readFile(dir.filePath("ftplist.TXT")), before);
    EXPECT_EQ(rowNames(), QStringList({"Folder", "Renamed"}));
}

TEST_F(SiteDialogWindowTest, NewServerInASubFolderStartsPassiveAndJoinsThatFolder)
{
    writeFile(dir.filePath("ftplist.TXT"), "DIR=work\n");
    writeFile(dir.filePath("work/ftplist.TXT"), QByteArray());
    start();
    TSiteList* sites = window->SiteList();
    sites->SelectRow(sites->FindCaption("work"));
    sites->DoubleClick();
    ASSERT_EQ(sites->CurrentSiteFolder(), "work/");

    bool passive = false;
    whenDialogShown([&](TFFtpBase* d) {
        passive = d->cbPv->isChecked();
        d->NameEdt->setText("Client");
        d->ServerEdt->setText("client.example.org");
        d->SpeedButton2->click();
    });
    find<QAction>("NewServer1")->trigger();
    EXPECT_TRUE(passive);
    EXPECT_EQ(rowNames(), QStringList({"..", "Client"}));
    EXPECT_EQ(sites->Caption(sites->SelectedRow()), "Client");
    EXPECT_EQ(savedSites("work/"), QStringList({"site:Client"}));
    EXPECT_EQ(savedSites(), QStringList({"dir:work"}));
    const std::optional<TFTPServerObj> saved = FindSavedSite("work/Client", TSiteDefaults{});
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->Pasv, 1);
}

TEST_F(SiteDialogWindowTest, CancelAfterTheLocalPaneBrowsedElsewhereLeavesBothAnswerFilesAlone)
{
    const QByteArray ours = "\"Default\",0957681\r\n\"Odd\",4123456\r\n";
    const QByteArray theirs = "a file of the user's own that only shares the name\n";
    writeFile(dir.filePath("Answer.txt"), ours);
    QTemporaryDir browsed;
    writeFile(browsed.filePath("Answer.txt"), theirs);
    start();
    ASSERT_TRUE(window->SetLocalDir(browsed.path()));
    ASSERT_EQ(window->LocalDir(), QDir::cleanPath(browsed.path()));

    QStringList types;
    whenDialogShown([&](TFFtpBase* d) {
        types = items(d->cbName);
        d->cbType->setCurrentIndex(4);
        d->cbName->setCurrentIndex(1);
        d->SpeedButton1->click();
    });
    find<QToolButton>("sbNewServer")->click();
    EXPECT_EQ(types, QStringList({"Default", "Odd"})) << "the program directory's types";
    EXPECT_EQ(readFile(dir.filePath("Answer.txt")), ours);
    EXPECT_EQ(readFile(browsed.filePath("Answer.txt")), theirs);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("ftplist.TXT")));
    EXPECT_TRUE(rowNames().isEmpty());
}

TEST_F(SiteDialogWindowTest, ASiteMadeWithNewServerConnectsAndShowsTheServersFiles)
{
    testftp::FtpServer server;
    QString error;
    if (!server.startPyftpdlib(&error)) {
        if (testenv::underCi())
            FAIL() << error.toStdString();
        GTEST_SKIP() << error.toStdString();
    }
    QFile(server.dataDir() + "/from-the-server.txt").open(QIODevice::WriteOnly);
    ASSERT_TRUE(QDir(server.dataDir()).mkpath("incoming"));
    start();
    ASSERT_TRUE(window->SiteListShown());

    whenDialogShown([&](TFFtpBase* d) { fillLogin(d, "Made in the dialog", server); d->SpeedButton2->click(); });
    find<QToolButton>("sbNewServer")->click();
    TSiteList* sites = window->SiteList();
    ASSERT_EQ(rowNames(), QStringList({"Made in the dialog"}));
    EXPECT_EQ(sites->SelectedRow(), 0);
    const std::optional<TFTPServerObj> saved = FindSavedSite("Made in the dialog", TSiteDefaults{});
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->Password, server.password());
    EXPECT_EQ(saved->Pasv, 1);

    find<QToolButton>("sbConnect")->click();
    ASSERT_TRUE(online()) << find<QPlainTextEdit>("Log")->toPlainText().toStdString();
    EXPECT_FALSE(window->SiteListShown());
    EXPECT_TRUE(rowNames().contains("from-the-server.txt")) << rowNames().join(',').toStdString();
    EXPECT_TRUE(rowNames().contains("incoming"));
    // Connected: no site commands.
    EXPECT_FALSE(find<QToolButton>("sbNewServer")->isEnabled());
    EXPECT_FALSE(find<QToolButton>("sbProperties")->isEnabled());
    EXPECT_FALSE(find<QAction>("ServerProperties1")->isEnabled());
    EXPECT_FALSE(window->ServerProperties());
    EXPECT_FALSE(window->NewServer());

    find<QToolButton>("sbDisConnect")->click();
    ASSERT_TRUE(testenv::waitFor([&] { return window->SiteListShown(); }, 10000));
    EXPECT_EQ(rowNames(), QStringList({"Made in the dialog"}));
    EXPECT_TRUE(find<QToolButton>("sbProperties")->isEnabled());
}

TEST_F(SiteDialogWindowTest, ConnectWithNoSiteSelectedOpensTheNewSiteDialogAndGoesOnWithTheSavedSite)
{
    testftp::FtpServer server;
    QString error;
    if (!server.startPyftpdlib(&error)) {
        if (testenv::underCi())
            FAIL() << error.toStdString();
        GTEST_SKIP() << error.toStdString();
    }
    QFile(server.dataDir() + "/hello.txt").open(QIODevice::WriteOnly);
    start();
    ASSERT_EQ(window->SiteList()->SelectedRow(), -1);

    // Cancelled: nothing happens.
    int shown = 0;
    whenDialogShown([&](TFFtpBase* d) { ++shown; d->SpeedButton1->click(); });
    find<QAction>("Connect1")->trigger();
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(window->SiteListShown());
    EXPECT_EQ(window->Session()->CurrentPhase(), TSession::Phase::SiteList);
    EXPECT_TRUE(rowNames().isEmpty());

    whenDialogShown([&](TFFtpBase* d) { ++shown; fillLogin(d, "Straight in", server); d->SpeedButton2->click(); });
    find<QToolButton>("sbConnect")->click();
    EXPECT_EQ(shown, 2);
    ASSERT_TRUE(online()) << find<QPlainTextEdit>("Log")->toPlainText().toStdString();
    EXPECT_TRUE(rowNames().contains("hello.txt")) << rowNames().join(',').toStdString();
    EXPECT_EQ(savedSites(), QStringList({"site:Straight in"}));
}
