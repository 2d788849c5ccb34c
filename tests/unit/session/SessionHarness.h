#pragma once
// A session engine with a site list, a log and a scripted user, in a
// temporary program directory: what the window has, without the window.
#include "FakeFtpServer.h"
#include "TestEnv.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

// The commands of a dialogue that a case is about: the data-connection
// commands (PASV, PORT) left out.
inline QStringList withoutData(const QStringList& commands)
{
    QStringList out;
    for (const QString& c : commands)
        if (c != QLatin1String("PASV") && !c.startsWith(QLatin1String("PORT")))
            out << c;
    return out;
}

class ScriptedUi : public IUserInterface {
public:
    QStringList answers;  // InputLine answers in order; none left: cancel
    QStringList prompts;
    QStringList boxes;           // message box texts in order
    int boxAnswer = mb::IdOk;    // the button every message box returns
    QList<int> rewrite;          // AskReWrite answers in order; none left: Cancel
    QStringList rewriteAsked;    // the names AskReWrite was asked about
    QStringList saveAs;          // the names a SaveAs answer hands back, in order
    std::function<void()> whileAsking;  // runs inside AskReWrite (a Stop, a close)
    int ShowMessageBox(const QString& text, const QString&, int) override
    {
        boxes << text;
        return boxAnswer;
    }
    int AskReWrite(QString& name) override
    {
        rewriteAsked << name;
        if (whileAsking)
            whileAsking();
        const int answer = rewrite.isEmpty() ? int(overwrite::Cancel) : rewrite.takeFirst();
        if (answer == overwrite::SaveAs)
            name = saveAs.isEmpty() ? QString() : saveAs.takeFirst();
        return answer;
    }
    bool InputLine(const QString& caption, const QString&, QString& value, bool, int) override
    {
        prompts << caption;
        if (answers.isEmpty())
            return false;
        value = answers.takeFirst();
        return true;
    }
};

struct SessionHarness {
    QTemporaryDir dir;
    QString savedProgramDir = ProgramDir;
    ScriptedUi ui;
    TSiteList sites;
    TStringListLogPane pane;
    TSessionLog log{&pane};
    TSession session{&sites, &log};

    explicit SessionHarness(int retry = 0)
    {
        ProgramDir = WithTrailingSlash(dir.path());
        setUserInterface(&ui);
        TFTPOptions o;
        o.retry = retry;
        session.SetOptions(o);
        session.SetListingFile(dir.filePath(QStringLiteral("FTPDIR1.TXT")));
    }
    ~SessionHarness()
    {
        setUserInterface(nullptr);
        ProgramDir = savedProgramDir;
    }

    static TFTPServerObj site(quint16 port, const QString& initialDir = QString())
    {
        TFTPServerObj s = CreateSite(TSiteDefaults{});
        s.Security = 0;  // plain FTP: the dialogue these tests read has no AUTH TLS
        s.Name = QStringLiteral("test");
        s.Server = QStringLiteral("127.0.0.1");
        s.Port = QString::number(port);
        s.User = QStringLiteral("alice");
        s.Password = QStringLiteral("secret");
        s.SavePassword = 1;
        s.Pasv = 1;
        s.InitialDir = initialDir;
        return s;
    }

    // Logged in, the first listing shown, nothing under way.
    bool idle(int timeoutMs = 8000)
    {
        return testenv::waitFor([this] {
            return session.CurrentPhase() == TSession::Phase::Online && !session.RequestInFlight()
                   && session.Ftp1().State() == ftpStReady;
        }, timeoutMs);
    }
    bool backAtSiteList(int timeoutMs = 8000)
    {
        return testenv::waitFor([this] { return session.CurrentPhase() == TSession::Phase::SiteList; }, timeoutMs);
    }
    int logCount(const QString& start) const
    {
        int n = 0;
        for (const QString& l : pane.Lines())
            n += l.startsWith(start) ? 1 : 0;
        return n;
    }
    int rowOf(const QString& name) const
    {
        for (int r = 0; r < session.RemoteModel()->rowCount(); ++r)
            if (session.RemoteModel()->Entry(r).name() == name)
                return r;
        return -1;
    }
};
