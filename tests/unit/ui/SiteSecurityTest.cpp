// The TLS setting in the site properties dialog: the four choices, the
// value to and from the site, the port following implicit TLS, its name for
// screen readers and in German, and the setting reaching the site list file
// through the dialog.
#include "SiteDialogFixture.h"
#include "TestEnv.h"
#include "i18n/MsgLanguage.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "settings/Options.h"
#include "sites/SiteLine.h"
#include "sites/SiteListFile.h"
#include "ui/TFFtpBase.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class SiteSecurityTest : public SiteDialogFixture {
protected:
    void SetUp() override
    {
        SiteDialogFixture::SetUp();
        setUserInterface(&ui);
    }
    static TFTPServerObj site(quint8 security, const QString& port = QStringLiteral("21"))
    {
        TFTPServerObj s = SiteDialogFixture::site(QStringLiteral("Secure"));
        s.Port = port;
        s.Security = security;
        return s;
    }
    // Chooses entry index of the box with the keyboard, as a user does.
    static void choose(QComboBox* box, int index)
    {
        while (box->currentIndex() != index) {
            const int before = box->currentIndex();
            QKeyEvent key(QEvent::KeyPress, index > before ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &key);
            ASSERT_NE(box->currentIndex(), before) << "the box does not move";
        }
    }

    struct : IUserInterface {
        int ShowMessageBox(const QString&, const QString&, int) override { return mb::IdOk; }
        bool InputLine(const QString&, const QString&, QString&, bool, int) override { return false; }
    } ui;
};

} // namespace

TEST_F(SiteSecurityTest, FourChoicesEachGoesInAndComesBack)
{
    TFFtpBase d;
    ASSERT_NE(d.findChild<QComboBox*>("cbSecurity"), nullptr);
    QStringList texts;
    for (int i = 0; i < d.cbSecurity->count(); ++i)
        texts << d.cbSecurity->itemText(i);
    EXPECT_EQ(texts, QStringList({"Plain FTP (no encryption)", "Explicit TLS if the server offers it",
                                  "Explicit TLS, required", "Implicit TLS (port 990)"}));
    for (quint8 v : {0, 1, 2, 3}) {
        // Opening a site never moves its port, whatever its setting.
        const TFTPServerObj s = site(v, v == 3 ? QStringLiteral("21") : QStringLiteral("990"));
        d.LoadSite(s, answerFile());
        EXPECT_EQ(d.cbSecurity->currentIndex(), v);
        EXPECT_EQ(d.PortEdt->text(), s.Port) << int(v);
        EXPECT_EQ(d.CollectSite().Security, v);
        EXPECT_EQ(d.CollectSite().Port, s.Port);
    }
    // A value no entry stands for (a damaged record) opens as plain.
    d.LoadSite(site(9), answerFile());
    EXPECT_EQ(d.cbSecurity->currentIndex(), 0);
    EXPECT_EQ(d.CollectSite().Security, 0);
    // A new site starts with TLS where the server offers it.
    d.LoadSite(CreateSite(TSiteDefaults{}), answerFile());
    EXPECT_EQ(d.cbSecurity->currentText(), "Explicit TLS if the server offers it");
}

TEST_F(SiteSecurityTest, ImplicitTlsMovesTheFtpPortTo990AndBack)
{
    TFFtpBase d;
    d.LoadSite(site(1), answerFile());
    choose(d.cbSecurity, 3);
    EXPECT_EQ(d.PortEdt->text(), "990");
    choose(d.cbSecurity, 2);
    EXPECT_EQ(d.PortEdt->text(), "21");
    choose(d.cbSecurity, 3);
    choose(d.cbSecurity, 0);
    EXPECT_EQ(d.PortEdt->text(), "21");
    EXPECT_EQ(d.CollectSite().Port, "21");
    if (const QString shots = qEnvironmentVariable("VARNOTH_SCREENSHOT_DIR"); !shots.isEmpty()) {
        // For the documentation, when asked for: the box open on its choices.
        choose(d.cbSecurity, 2);
        d.show();
        d.cbSecurity->showPopup();
        QCoreApplication::processEvents();
        QPixmap shot = d.grab();
        if (QWidget* popup = d.cbSecurity->view()->window(); popup && popup->isVisible()) {
            QPainter p(&shot);
            // Under the box, so that the server's fields stay in view.
            p.drawPixmap(d.cbSecurity->mapTo(&d, QPoint(0, d.cbSecurity->height())), popup->grab());
        }
        shot.save(shots + "/screenshot-site-security.png");
        d.cbSecurity->hidePopup();
        choose(d.cbSecurity, 0);
    }

    // An empty port is the FTP port too.
    d.PortEdt->clear();
    choose(d.cbSecurity, 3);
    EXPECT_EQ(d.PortEdt->text(), "990");

    // A port of the user's own choosing stays, in both directions.
    d.PortEdt->setText("2121");
    choose(d.cbSecurity, 1);
    choose(d.cbSecurity, 3);
    EXPECT_EQ(d.PortEdt->text(), "2121");
    d.PortEdt->setText("990");
    choose(d.cbSecurity, 2);  // between two explicit choices: no implicit left
    choose(d.cbSecurity, 1);
    EXPECT_EQ(d.PortEdt->text(), "21");
    d.PortEdt->setText("4990");
    choose(d.cbSecurity, 3);
    choose(d.cbSecurity, 0);
    EXPECT_EQ(d.PortEdt->text(), "4990");
}

TEST_F(SiteSecurityTest, TheBoxIsNamedForScreenReadersAndTranslated)
{
    {
        TFFtpBase d;
        EXPECT_EQ(d.cbSecurity->accessibleName(), "Security");
        auto* caption = d.findChild<QLabel*>("lbSecurity");
        ASSERT_NE(caption, nullptr);
        EXPECT_EQ(caption->buddy(), d.cbSecurity) << "its caption's shortcut leads to it";
    }
    const InGerman german(dir);
    {
        TFFtpBase d;
        EXPECT_EQ(d.cbSecurity->accessibleName(), "Sicherheit");
        EXPECT_EQ(d.cbSecurity->itemText(2), "Explizites TLS, erforderlich");
        EXPECT_EQ(d.cbSecurity->count(), 4);
    }
}

TEST_F(SiteSecurityTest, ASiteSavedInTheDialogKeepsItsSettingInTheListFile)
{
    TFTPServerObj s = site(1);
    QTimer::singleShot(0, [this] {
        auto* d = qobject_cast<TFFtpBase*>(QApplication::activeModalWidget());
        if (!d) {
            ADD_FAILURE() << "no site dialog";
            return;
        }
        choose(d->cbSecurity, 3);
        d->SpeedButton2->click();
    });
    ASSERT_TRUE(EditSite(s));
    EXPECT_EQ(s.Security, 3);
    EXPECT_EQ(s.Port, "990");

    QString error;
    ASSERT_TRUE(AppendSiteLine(ProgramDir, SiteLine(s), &error)) << error.toStdString();
    const std::optional<TFTPServerObj> back = FindSavedSite("Secure", TSiteDefaults{});
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->Security, 3);
    EXPECT_EQ(back->Port, "990");
}
