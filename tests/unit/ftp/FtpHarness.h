#pragma once
// A TFtpClient wired to record everything it reports, for transcript tests.
#include "FakeFtpServer.h"
#include "TestEnv.h"
#include "ftp/FtpClient.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

struct DoneEvent {
    TFtpRequest rq;
    int error;
};

struct FtpHarness {
    TFtpClient ftp;
    QStringList display;
    std::vector<DoneEvent> done;
    int responses = 0;
    int sessionClosed = 0;
    QTemporaryDir tmp;

    FtpHarness()
    {
        ftp.SetUserName("alice");
        ftp.SetPassWord("secret");
        ftp.SetPassive(true);
        ftp.OnDisplay = [this](TCustomFtpCli*, QString& m) { display << m; };
        ftp.OnRequestDone = [this](TCustomFtpCli*, TFtpRequest rq, quint16 e) { done.push_back({rq, e}); };
        ftp.OnResponse = [this](TCustomFtpCli*) { ++responses; };
        ftp.OnSessionClosed = [this](TCustomFtpCli*, quint16) { ++sessionClosed; };
    }
    void target(quint16 port)
    {
        ftp.SetHostName("127.0.0.1");
        ftp.SetPort(QString::number(port));
    }
    // Starts a request and waits for its one OnRequestDone.
    bool run(const std::function<void()>& op, int timeoutMs = 8000)
    {
        done.clear();
        op();
        return testenv::waitFor([this] { return !done.empty(); }, timeoutMs);
    }
    // Points the client at srv and logs in; a failed login fails the test
    // with everything the client displayed.
    void connectTo(const FakeFtpServer& srv)
    {
        target(srv.port());
        ASSERT_TRUE(run([this] { ftp.Connect(); }));
        ASSERT_EQ(lastError(), 0) << display.join('\n').toStdString();
    }
    // Points the client at srv for a download of "f" into path("down"), in
    // passive or active mode, logged in.
    void prepareDownload(const FakeFtpServer& srv, bool passive)
    {
        ftp.SetPassive(passive);
        connectTo(srv);
        ftp.SetHostFileName("f");
        ftp.SetLocalFileName(path("down"));
    }
    // The commands the client sent, in order, as displayed ("> EPSV").
    QStringList sentCommands() const
    {
        QStringList out;
        for (const QString& line : display)
            if (line.startsWith("> "))
                out << line;
        return out;
    }
    int lastError() const { return done.empty() ? -1 : done.back().error; }
    TFtpRequest lastRq() const { return done.empty() ? ftpRqNone : done.back().rq; }
    QString path(const QString& name) const { return tmp.filePath(name); }
};

QByteArray readAll(const QString& path);
void writeFile(const QString& path, const QByteArray& data);

// The commands a server received after USER and PASS.
inline QStringList afterLogin(const FakeFtpServer& srv) { return srv.commands().mid(2); }
