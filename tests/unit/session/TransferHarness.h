#pragma once
// Transfers against the scripted server: a session logged in at /x/ with
// the local pane in a folder of its own beside an empty sibling, and the
// listing lines and files the cases are made of.
#include "SessionHarness.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>

namespace transfertest {

using Transfer = FakeFtpServer::Transfer;
using Reply = FakeFtpServer::Reply;

// Listing lines with a full date, so the copies' times are known exactly.
inline QByteArray fileLine(const QByteArray& name, int size = 5)
{
    return "-rw-r--r-- 1 o g " + QByteArray::number(size) + " Jan 10  2020 " + name + "\r\n";
}
inline QByteArray dirLine(const QByteArray& name) { return "drwxr-xr-x 2 o g 4096 Jan 10  2020 " + name + "\r\n"; }
inline QByteArray linkLine(const QByteArray& name, const QByteArray& to)
{
    return "lrwxrwxrwx 1 o g 4 Jan 10  2020 " + name + " -> " + to + "\r\n";
}

// What a file listed as "Jan 10  2020" is stamped: a date without a time is
// local midnight, whatever the zones.
inline QDateTime listedTime() { return QDateTime(QDate(2020, 1, 10), QTime(0, 0)); }
// The time of the local files an upload sends: 2020-01-10 00:00 UTC, which
// is "20200110000000" in a site at UTC.
inline QDateTime sentTime() { return QDateTime(QDate(2020, 1, 10), QTime(0, 0), QTimeZone::utc()); }

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void writeFile(const QString& path, const QByteArray& data, const QDateTime& modified = QDateTime())
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();
    if (modified.isValid()) {
        ASSERT_TRUE(f.open(QIODevice::ReadWrite | QIODevice::Append));
        ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
    }
}

// Every path below root, relative, folders ending in "/".
inline QStringList allBelow(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        out << QDir(root).relativeFilePath(it.filePath()) + (it.fileInfo().isDir() ? "/" : "");
    }
    out.sort();
    return out;
}

// Logged in at /x/ (its listing the first of `listings`), the local pane in
// area/local; area/sibling must stay empty whatever a server lists.
struct Connected {
    FakeFtpServer srv;
    SessionHarness h;
    QTemporaryDir area;
    QString local;
    int before = 0;
    int batchesEnded = 0;
    int filesStarted = 0;
    int localRefreshes = 0;  // the local pane asked to show what came
    TFTPServerObj siteRecord;

    explicit Connected(const QList<QByteArray>& listings)
    {
        QList<Transfer> ts;
        for (const QByteArray& c : listings)
            ts << Transfer{c};
        srv.setTransfers("LIST", ts);
        srv.setTransfer("RETR", Transfer{"data!"});
        local = area.filePath("local");
        QDir().mkpath(local);
        QDir().mkpath(area.filePath("sibling"));
        h.session.SetLocalDir(local);
        QObject::connect(&h.session, &TSession::TransferBatchEnded, [this] { ++batchesEnded; });
        QObject::connect(&h.session, &TSession::TransferFileStarted, [this] { ++filesStarted; });
        QObject::connect(&h.session, &TSession::LocalRefreshWanted, [this] { ++localRefreshes; });
        siteRecord = SessionHarness::site(srv.port(), "/x");
        siteRecord.TimeZone = 0;
    }
    void setOptions(const std::function<void(TFTPOptions&)>& change)
    {
        TFTPOptions o = h.session.Options();
        change(o);
        h.session.SetOptions(o);
    }
    bool start()
    {
        h.session.ConnectTo(siteRecord);
        if (!h.idle())
            return false;
        before = int(srv.commands().size());
        return true;
    }
    QStringList sent() const { return withoutData(srv.commands().mid(before)); }
    QStringList sentStarting(const QString& verb) const { return sent().filter(QRegularExpression("^(" + verb + ")")); }
    // The batch has ended and whatever follows it (the listing) is done.
    bool done(int endedBatches = 1)
    {
        return testenv::waitFor([&] {
            return batchesEnded >= endedBatches && h.session.RunningTransfer() == TSession::TransferKind::None
                   && !h.session.Busy() && h.idle(50);
        });
    }
    void expectCleared()
    {
        EXPECT_EQ(h.session.RunningTransfer(), TSession::TransferKind::None);
        EXPECT_FALSE(h.session.Busy());
        EXPECT_EQ(h.session.SessionFlags(), 0);
    }
    std::string log() const { return h.pane.Lines().join('\n').toStdString(); }
    int logLinesWith(const QString& part) const { return int(h.pane.Lines().filter(part).size()); }
};

} // namespace transfertest
