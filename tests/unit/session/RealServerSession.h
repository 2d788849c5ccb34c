#pragma once
// What the session tests against real servers share: a session logged in to
// pyftpdlib or vsftpd (passive or active), files written with a given time,
// and a whole tree read back for comparison.
#include "FtpServers.h"
#include "SessionHarness.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <sys/stat.h>

namespace realserver {

enum class Kind { Pyftpdlib, Vsftpd };
struct Setup {
    Kind kind;
    bool passive;
};

// Starts the server and logs the harness's session in at the server's
// writable folder, the local pane in localDir; root receives the local path
// of that folder. False (with a test failure) when the server did not start
// or the first listing did not come.
inline bool connect(testftp::FtpServer& server, SessionHarness& h, const Setup& setup, const QString& localDir,
                    QString& root)
{
    QString error;
    const bool ok = setup.kind == Kind::Pyftpdlib ? server.startPyftpdlib(&error) : server.startVsftpd(&error);
    if (!ok) {
        ADD_FAILURE() << error.toStdString();
        return false;
    }
    root = server.dataDir();
    TFTPServerObj s = SessionHarness::site(server.port(), QStringLiteral("/") + server.remotePrefix());
    server.applyLogin(s);
    s.Pasv = setup.passive ? 1 : 0;
    h.session.SetLocalDir(localDir);
    h.session.ConnectTo(s);
    return h.idle(15000);
}

// A moment of the recent past in whole minutes: listings show times to the
// minute for files younger than half a year.
inline QDateTime minutesAgo(int minutes)
{
    QDateTime t = QDateTime::currentDateTime().addSecs(-3600 - 60 * minutes);
    t.setTime(QTime(t.time().hour(), t.time().minute()));
    return t;
}

inline void writeFile(const QString& path, const QByteArray& data, const QDateTime& modified)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();  // written out before the time is set
    ASSERT_TRUE(f.open(QIODevice::ReadWrite | QIODevice::Append));
    ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
}

inline bool isRegular(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// Relative path -> contents for every regular file below root; folders as
// "path/", links as "path@", anything else as "path?" (never opened: a FIFO
// would block).
inline QMap<QString, QByteArray> treeContents(const QString& root)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo fi = it.fileInfo();
        const QString rel = QDir(root).relativeFilePath(fi.filePath());
        if (fi.isSymLink()) {
            out[rel + "@"] = {};
        } else if (fi.isDir()) {
            out[rel + "/"] = {};
        } else if (!isRegular(fi.filePath())) {
            out[rel + "?"] = {};
        } else {
            QFile f(fi.filePath());
            out[rel] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
        }
    }
    return out;
}

} // namespace realserver
