// Recursive remote delete of a tree of FILES files in DIRS folders on vsftpd
// (loopback, passive), the session engine against lftp's "rm -r", in paired
// runs (alternating who goes first). Each run connects, logs in, deletes and
// is checked: the tree must be gone from the disk. Prints the medians, the
// ratio and the commands each client sent (its round trips).
//
//   bench_remote_delete [pairs=5] [files=2000] [dirs=50]
#include "FtpServers.h"
#include "session/Log.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

// The session's log with the time of every line: with BENCH_SHOW_TIMES set
// the run prints where its time went, by the command that was waited for.
class TimedPane final : public ILogPane {
public:
    QElapsedTimer clock;
    QList<QPair<qint64, QString>> lines;
    TimedPane() { clock.start(); }
    int LineCount() const override { return int(lines.size()); }
    void RemoveFirstLine() override { lines.removeFirst(); }
    void AppendLine(const QString& line) override { lines.append({clock.nsecsElapsed(), line}); }
    void AppendToLastLine(const QString& text) override
    {
        if (!lines.isEmpty())
            lines.last().second += text;
    }
    void PrintTimes() const
    {
        QMap<QString, QPair<double, int>> spent;  // verb -> (ms until the next command, count)
        qint64 since = -1;
        QString verb;
        for (const auto& [at, line] : lines) {
            if (!line.startsWith(QLatin1String("> ")))
                continue;
            if (since >= 0) {
                spent[verb].first += double(at - since) / 1e6;
                spent[verb].second += 1;
            }
            since = at;
            verb = line.mid(2).section(QLatin1Char(' '), 0, 0);
        }
        for (auto it = spent.cbegin(); it != spent.cend(); ++it)
            std::fprintf(stderr, "  %-6s %5d x %7.3f ms = %8.1f ms\n", qPrintable(it.key()), it->second,
                         it->first / it->second, it->first);
    }
};

class YesUi : public IUserInterface {
public:
    int ShowMessageBox(const QString&, const QString&, int) override { return mb::IdYes; }
    bool InputLine(const QString&, const QString&, QString&, bool, int) override { return false; }
};

bool waitFor(const std::function<bool()>& done, int ms = 120000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

void makeTree(const QString& root, int files, int dirs)
{
    for (int d = 0; d < dirs; ++d) {
        const QString dir = QStringLiteral("%1/tree/d%2").arg(root).arg(d % 10) + (d < 10 ? QString() : QStringLiteral("/s%1").arg(d));
        QDir().mkpath(dir);
        for (int f = d; f < files; f += dirs) {
            QFile file(QStringLiteral("%1/f%2.txt").arg(dir).arg(f));
            file.open(QIODevice::WriteOnly);
            file.write("x");
        }
    }
    QProcess::execute(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("a+rwX"), root + "/tree"});
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Run {
    double ms = -1;
    int commands = 0;
};

Run runVarnoth(const testftp::FtpServer& server)
{
    TSiteList sites;
    TimedPane pane;
    TSessionLog log(&pane);
    TSession session(&sites, &log);
    session.SetListingFile(QDir::temp().filePath(QStringLiteral("bench-delete-listing.txt")));
    TFTPServerObj s = CreateSite(TSiteDefaults{});
    s.Name = s.Server = QStringLiteral("127.0.0.1");
    s.Port = QString::number(server.port());
    s.Anonymous = 1;
    s.EMail = QStringLiteral("guest@example.org");
    s.Pasv = 1;
    s.InitialDir = QStringLiteral("/") + server.remotePrefix();
    QElapsedTimer t;
    t.start();
    session.ConnectTo(s);
    auto idle = [&] {
        return session.CurrentPhase() == TSession::Phase::Online && !session.RequestInFlight() && !session.Busy()
               && session.Ftp1().State() == ftpStReady && !session.DeleteRunning();
    };
    if (!waitFor(idle))
        return {};
    int row = -1;
    for (int r = 0; r < session.RemoteModel()->rowCount(); ++r)
        if (session.RemoteModel()->Entry(r).name() == QLatin1String("tree"))
            row = r;
    const int before = int(pane.lines.size());
    session.DeleteItems({row});
    if (row < 0 || !waitFor(idle))
        return {};
    Run run;
    run.ms = double(t.nsecsElapsed()) / 1e6;
    for (const auto& line : pane.lines.mid(before))
        run.commands += line.second.startsWith(QLatin1String("> ")) ? 1 : 0;
    if (qEnvironmentVariableIsSet("BENCH_SHOW_TIMES"))
        pane.PrintTimes();
    return run;
}

Run runLftp(const testftp::FtpServer& server)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("lftp"),
            {QStringLiteral("-d"), QStringLiteral("-e"),
             QStringLiteral("%2set ftp:passive-mode on; rm -r %1tree; quit").arg(server.remotePrefix(), qEnvironmentVariableIsSet("BENCH_SHOW_PEER") ? QStringLiteral("debug -t 9; ") : QString()),
             QStringLiteral("-u"), QStringLiteral("anonymous,guest@example.org"),
             QStringLiteral("ftp://127.0.0.1:%1").arg(server.port())});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return {};
    Run run;
    run.ms = double(t.nsecsElapsed()) / 1e6;
    const QByteArray dialogue = p.readAllStandardError();
    if (qEnvironmentVariableIsSet("BENCH_SHOW_PEER"))
        std::fprintf(stderr, "%s\n", dialogue.constData());
    for (const QByteArray& l : dialogue.split('\n'))
        run.commands += l.contains("---> ") ? 1 : 0;
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int pairs = argc > 1 ? atoi(argv[1]) : 5;
    const int files = argc > 2 ? atoi(argv[2]) : 2000;
    const int dirs = argc > 3 ? atoi(argv[3]) : 50;
    QTemporaryDir programDir;
    ProgramDir = programDir.path() + '/';
    YesUi ui;
    setUserInterface(&ui);
    testftp::FtpServer server;
    QString error;
    if (!server.startVsftpd(&error)) {
        std::fprintf(stderr, "vsftpd: %s\n", qPrintable(error));
        return 1;
    }
    const QString root = server.dataDir();
    std::vector<double> ours, theirs;
    int ourCommands = 0, theirCommands = 0;
    for (int i = 0; i < pairs; ++i) {
        for (int k = 0; k < 2; ++k) {
            const bool varnothTurn = (i + k) % 2 == 0;
            makeTree(root, files, dirs);
            const Run r = varnothTurn ? runVarnoth(server) : runLftp(server);
            if (r.ms < 0 || QFileInfo::exists(root + "/tree")) {
                std::fprintf(stderr, "%s did not delete the tree\n", varnothTurn ? "varnoth" : "lftp");
                return 1;
            }
            (varnothTurn ? ours : theirs).push_back(r.ms);
            (varnothTurn ? ourCommands : theirCommands) = r.commands;
        }
    }
    const double a = median(ours), b = median(theirs);
    std::printf("remote delete, %d files in %d folders, vsftpd passive, %d pairs\n", files, dirs, pairs);
    std::printf("  varnoth  %8.1f ms  %5d commands\n", a, ourCommands);
    std::printf("  lftp     %8.1f ms  %5d commands\n", b, theirCommands);
    std::printf("  ratio    %8.2fx\n", a / b);
    return 0;
}
