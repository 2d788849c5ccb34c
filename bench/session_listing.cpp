// A 100,000-entry directory through the whole session path: LIST over a
// loopback data connection into the listing file, read, parsed, filled into
// the remote model and ordered by the sort proxy, as the window shows it.
// Reports, as medians of several refreshes:
//   - listing shown: from Refresh to the model being filled and sorted;
//   - the longest stall of the event loop meanwhile (a 2 ms timer's largest
//     gap between two ticks), which is what a user feels as a frozen window;
//   - a re-sort of the shown list by size and by date.
// Usage: bench_session_listing [entries] [rounds]
#include "FakeFtpServer.h"
#include "listing/ListSortProxy.h"
#include "listing/RemoteListModel.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "settings/Globals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray makeListing(int entries)
{
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    QByteArray out;
    out.reserve(qsizetype(entries) * 64);
    for (int i = 0; i < entries; ++i) {
        const bool dir = i % 10 == 0;
        out += dir ? "drwxr-xr-x" : "-rw-r--r--";
        out += " 1 owner group ";
        out += QByteArray::number((qint64(i) * 7919) % 50000000);
        out += ' ';
        out += months[i % 12];
        out += ' ';
        out += QByteArray::number(1 + i % 28);
        out += i % 3 ? " 2021 " : " 10:42 ";
        out += dir ? "folder_" : "file_";
        out += QByteArray::number(i);
        out += dir ? "" : ".dat";
        out += "\r\n";
    }
    return out;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

bool waitFor(const std::function<bool()>& pred, int ms = 60000)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int entries = argc > 1 ? atoi(argv[1]) : 100000;
    const int rounds = argc > 2 ? atoi(argv[2]) : 5;
    QTemporaryDir dir;
    ProgramDir = WithTrailingSlash(dir.path());

    FakeFtpServer server;
    server.setTransfer("LIST", {makeListing(entries)});

    TSiteList sites;
    TStringListLogPane pane;
    TSessionLog log(&pane);
    TSession session(&sites, &log);
    TFTPOptions options;
    session.SetOptions(options);
    session.SetListingFile(dir.filePath("FTPDIR.TXT"));
    TListSortProxy proxy;
    proxy.setSourceModel(session.RemoteModel());

    bool shown = false;
    QObject::connect(&session, &TSession::ListingShown, [&] { shown = true; });
    TFTPServerObj site = CreateSite(TSiteDefaults{});
    site.Server = "127.0.0.1";
    site.Port = QString::number(server.port());
    site.User = "bench";
    site.Password = "bench";
    site.Pasv = 1;
    session.ConnectTo(site);
    auto idle = [&] {
        return session.CurrentPhase() == TSession::Phase::Online && !session.RequestInFlight()
               && session.Ftp1().State() == ftpStReady;
    };
    if (!waitFor([&] { return shown && idle(); })) {
        fprintf(stderr, "the first listing did not arrive\n");
        return 1;
    }

    // The event loop's heartbeat: the largest gap between two ticks.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0, maxGap = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        maxGap = std::max(maxGap, now - lastTick);
        lastTick = now;
    });

    std::vector<double> showMs, stallMs, sizeSortMs, dateSortMs;
    for (int r = 0; r < rounds; ++r) {
        shown = false;
        lastTick = clock.elapsed();
        maxGap = 0;
        heartbeat.start(2);
        QElapsedTimer t;
        t.start();
        session.Refresh();
        if (!waitFor([&] { return shown && idle(); })) {
            fprintf(stderr, "a refresh did not finish\n");
            return 1;
        }
        showMs.push_back(double(t.nsecsElapsed()) / 1e6);
        QCoreApplication::processEvents();
        heartbeat.stop();
        stallMs.push_back(double(maxGap));
        if (proxy.rowCount() != session.RemoteModel()->rowCount() || proxy.rowCount() != entries) {
            fprintf(stderr, "expected %d rows, the list shows %d\n", entries, proxy.rowCount());
            return 1;
        }
        // The proxy sorts when the view next asks for a row.
        t.restart();
        proxy.SetSortKey(-2);
        proxy.index(0, 0).data();
        sizeSortMs.push_back(double(t.nsecsElapsed()) / 1e6);
        t.restart();
        proxy.SetSortKey(-3);
        proxy.index(0, 0).data();
        dateSortMs.push_back(double(t.nsecsElapsed()) / 1e6);
        proxy.SetSortKey(0);
    }
    printf("entries %d, rounds %d (medians)\n", entries, rounds);
    printf("listing shown (LIST, read, parse, fill, sort): %.1f ms\n", median(showMs));
    printf("longest event-loop stall meanwhile:            %.1f ms\n", median(stallMs));
    printf("re-sort by size:                               %.1f ms\n", median(sizeSortMs));
    printf("re-sort by date:                               %.1f ms\n", median(dateSortMs));
    return 0;
}
