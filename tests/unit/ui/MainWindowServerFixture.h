#pragma once
// The main window against a real FTP server: the server's site in the
// program's site list, the session's state and the two lists as the user
// sees them, and the files a transfer left behind.
#include "MainWindowFixture.h"

#include "FtpServers.h"
#include "TestFiles.h"
#include "session/Session.h"
#include "sites/SiteLine.h"
#include "sites/SiteRecord.h"

#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTreeView>

class MainWindowServerTest : public MainWindowTest {
protected:
    testftp::FtpServer server;
    QTemporaryDir local;  // the local pane's folder

    static QByteArray contents(const QString& path) { return testfiles::bytes(path); }
    static void writeFile(const QString& path, const QByteArray& data) { testfiles::write(path, data); }

    // Makes the program's site list one site for the started server: its
    // login and start folder, the given name, security (TFtpSecurity) and
    // passive mode.
    void writeSite(const QString& name, quint8 security, bool passive)
    {
        TFTPServerObj s = CreateSite(TSiteDefaults{});
        s.Name = name;
        s.Server = QStringLiteral("127.0.0.1");
        s.Port = QString::number(server.port());
        s.Security = security;
        server.applyLogin(s);
        s.Pasv = passive ? 1 : 0;
        s.InitialDir = server.remotePrefix().isEmpty() ? QString() : QStringLiteral("/") + server.remotePrefix();
        writeFile(dir.filePath(QStringLiteral("ftplist.TXT")), SiteLine(s).toUtf8() + '\n');
    }

    TSession* session() const { return window->Session(); }
    QTreeView* remoteView() const { return find<QTreeView>("FTPView"); }
    QTreeView* localView() const { return find<QTreeView>("lvLoc"); }
    QString logText() const { return find<QPlainTextEdit>("Log")->toPlainText(); }
    std::string log() const { return logText().toStdString(); }

    // Waits until the session is logged in with nothing in flight.
    bool idle()
    {
        return testenv::waitFor([this] {
            return session()->CurrentPhase() == TSession::Phase::Online && !session()->RequestInFlight()
                   && session()->Ftp1().State() == ftpStReady && !session()->Busy();
        }, 20000);
    }

    static QStringList names(QTreeView* view)
    {
        QStringList out;
        for (int r = 0; r < view->model()->rowCount(); ++r)
            out << view->model()->index(r, 0).data().toString();
        return out;
    }
    // Selects the named rows of a list, and only them.
    static void select(QTreeView* view, const QStringList& wanted)
    {
        const QStringList all = names(view);
        QItemSelection selection;
        for (const QString& name : wanted) {
            const int row = int(all.indexOf(name));
            ASSERT_GE(row, 0) << name.toStdString();
            selection.select(view->model()->index(row, 0), view->model()->index(row, 0));
        }
        view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
};
