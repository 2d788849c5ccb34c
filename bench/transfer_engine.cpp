// Drives the session engine headless through one batch, as the window's
// Download and Upload buttons do, and reports what the batch cost:
//
//   bench_transfer_engine HOST PORT USER PASSWORD REMOTE-DIR LOCAL-DIR download|upload NAME...
//   bench_transfer_engine HOST PORT USER PASSWORD REMOTE-DIR LOCAL-DIR mirror-local|mirror-remote
//
// Logs in (an empty USER means anonymous), lists REMOTE-DIR, then copies the
// named entries (files or whole folders) of REMOTE-DIR into LOCAL-DIR
// (download) or of LOCAL-DIR into REMOTE-DIR (upload). Existing targets are
// overwritten. The mirror modes run a mirror job of LOCAL-DIR and REMOTE-DIR
// instead, as Synchronize Directories does: mirror-local makes the remote
// folder like the local one, mirror-remote the local like the remote one;
// subfolders included, links ignored, all binary, a file on both sides
// replaced only when the source is newer, nothing deleted. Prints one line:
//
//   seconds=1.234 files=2000 PASV=2000 RETR=2000 TYPE=1 CWD=51 ...
//
// (a mirror adds ops=N, the operations done, after files). seconds runs
// from the start of the batch to the listing after it (for a mirror, to its
// end); files
// counts the files the engine started; the rest counts the commands sent on
// the control connection, by verb, so that per-file round trips show. The
// exit status is 1 when the log tells of a failure (an error, or a note that
// something was not copied or not set),
// 2 on a bad command line, 3 when the session never got ready or the batch
// did not end within an hour.
#include "EngineBenchSupport.h"
#include "session/Log.h"
#include "session/MirrorJob.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

// A line that tells of a failure: an error, or a note ("! ") that something
// was not copied, not set or may be incomplete. The notes of received bytes
// and rates are not failures.
bool IsFailure(const QString& line)
{
    static const QRegularExpression failure(
        QStringLiteral("Error|Can not|\\bnot\\b|incomplete|skipped"), QRegularExpression::CaseInsensitiveOption);
    return !line.startsWith(QLatin1String("> ")) && !line.startsWith(QLatin1String("< ")) && failure.match(line).hasMatch();
}

// Keeps no lines: counts the commands by verb and remembers the failures.
// The mirror's summary: "Mirror finished|stopped: N done, N not done, N failed".
const QRegularExpression& MirrorSummary()
{
    static const QRegularExpression summary(
        QStringLiteral("^Mirror (finished|stopped): (\\d+) done, (\\d+) not done, (\\d+) failed"));
    return summary;
}

class CountingPane final : public ILogPane {
public:
    QMap<QString, int> verbs;
    QStringList errors;
    QString mirrorSummary;
    int LineCount() const override { return 0; }
    void RemoveFirstLine() override {}
    void AppendLine(const QString& line) override
    {
        if (MirrorSummary().match(line).hasMatch())
            mirrorSummary = line;
        else if (line.startsWith(QLatin1String("> ")))
            ++verbs[line.mid(2).section(QLatin1Char(' '), 0, 0).toUpper()];
        else if (IsFailure(line))
            errors << line;
    }
    void AppendToLastLine(const QString& text) override
    {
        if (IsFailure(text))
            errors << text;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(7);
    const bool mirrorRun = mode == QLatin1String("mirror-local") || mode == QLatin1String("mirror-remote");
    if (mirrorRun ? args.size() != 8
                  : args.size() < 9 || (mode != QLatin1String("download") && mode != QLatin1String("upload"))) {
        std::fprintf(stderr,
                     "usage: %s HOST PORT USER PASSWORD REMOTE-DIR LOCAL-DIR download|upload NAME...\n"
                     "       %s HOST PORT USER PASSWORD REMOTE-DIR LOCAL-DIR mirror-local|mirror-remote\n",
                     argv[0], argv[0]);
        return 2;
    }
    const bool download = mode == QLatin1String("download");
    const QStringList names = args.mid(8);

    // A program directory of its own: no options, sites or logs of a user.
    QTemporaryDir programDir;
    ProgramDir = WithTrailingSlash(programDir.path());
    benchsupport::Unattended ui(mb::IdOk);
    setUserInterface(&ui);

    CountingPane pane;
    TSessionLog log(&pane);
    TSiteList sites;
    TSession session(&sites, &log);
    session.SetOptions(TFTPOptions{});
    session.SetListingFile(programDir.filePath(QStringLiteral("FTPDIR1.TXT")));
    session.SetLocalDir(args[6]);
    session.SetTransferType(2);  // binary: the bytes as they are

    TFTPServerObj site = CreateSite(TSiteDefaults{});
    site.Name = QStringLiteral("bench");
    site.Server = args[1];
    site.Port = args[2];
    site.User = args[3].isEmpty() ? QStringLiteral("anonymous") : args[3];
    site.Password = args[4].isEmpty() ? QStringLiteral("bench@") : args[4];
    site.SavePassword = 1;
    site.Pasv = 1;
    site.InitialDir = args[5];
    // Plain FTP, as the peers use it (a new site would ask for TLS first and
    // note its absence); the TLS benchmark sets 2 (explicit TLS required) or
    // 3 (implicit TLS).
    site.Security = quint8(ftpSecPlain);
    if (qEnvironmentVariableIsSet("VARNOTH_BENCH_SECURITY"))
        site.Security = quint8(qEnvironmentVariableIntValue("VARNOTH_BENCH_SECURITY"));

    auto idle = [&] {
        return session.CurrentPhase() == TSession::Phase::Online && !session.RequestInFlight()
               && session.Ftp1().State() == ftpStReady;
    };
    session.ConnectTo(site);
    if (!benchsupport::runUntil(idle, 30000)) {
        std::fprintf(stderr, "the session did not get ready: %s\n", qPrintable(pane.errors.join(QLatin1String("; "))));
        setUserInterface(nullptr);
        return 3;
    }

    int files = 0;
    QObject::connect(&session, &TSession::TransferFileStarted, [&files] { ++files; });
    const QMap<QString, int> before = pane.verbs;  // the login and first listing are not the batch's

    QElapsedTimer clock;
    clock.start();
    bool mirrorEnded = false;
    double mirrorSeconds = 0;
    if (mirrorRun) {
        QObject::connect(&session, &TSession::MirrorEnded, [&] {
            mirrorEnded = true;
            mirrorSeconds = clock.nsecsElapsed() / 1e9;
        });
        TMirrorJob job;
        job.Local = args[6];
        job.Remote = args[5];
        job.Direction = mode == QLatin1String("mirror-local") ? mirror::MirrorLocal : mirror::MirrorRemote;
        job.FileExists = mirror::OverwriteNewest;
        job.Params = mirror::IncludeSubfolders | mirror::IgnoreLinks | mirror::AllBinary;
        if (!session.StartMirror(job)) {
            std::fprintf(stderr, "the mirror did not start: %s\n", qPrintable(pane.errors.join(QLatin1String("; "))));
            setUserInterface(nullptr);
            return 3;
        }
    } else if (download) {
        QList<int> rows;
        for (const QString& name : names) {
            int found = -1;
            for (int r = 0; r < session.RemoteModel()->rowCount() && found < 0; ++r)
                if (session.RemoteModel()->Entry(r).name() == name)
                    found = r;
            if (found < 0) {
                std::fprintf(stderr, "not in %s: %s\n", qPrintable(args[5]), qPrintable(name));
                setUserInterface(nullptr);
                return 2;
            }
            rows << found;
        }
        session.StartDownload(rows);
    } else {
        session.StartUpload(names);
    }
    // A mirror ends at MirrorEnded; the session then goes back to the job's
    // remote folder, which is waited for but not timed. A lost connection
    // ends the run too (the site list shows again), as a failure below.
    const bool ended = benchsupport::runUntil([&] {
        return ((!mirrorRun || mirrorEnded) && session.RunningTransfer() == TSession::TransferKind::None
                && !session.Busy() && idle())
               || session.CurrentPhase() == TSession::Phase::SiteList;
    }, 3600 * 1000);
    const double seconds = mirrorRun && mirrorEnded ? mirrorSeconds : clock.nsecsElapsed() / 1e9;
    int opsDone = 0;
    bool mirrorClean = true;
    if (mirrorRun) {
        const QRegularExpressionMatch m = MirrorSummary().match(pane.mirrorSummary);
        opsDone = m.captured(2).toInt();
        mirrorClean = m.hasMatch() && m.captured(1) == QLatin1String("finished") && m.captured(3).toInt() == 0
                      && m.captured(4).toInt() == 0;
        if (!mirrorClean)
            pane.errors << (pane.mirrorSummary.isEmpty() ? QStringLiteral("the mirror gave no summary") : pane.mirrorSummary);
    }

    QString counts;
    for (auto it = pane.verbs.cbegin(); it != pane.verbs.cend(); ++it)
        if (const int n = it.value() - before.value(it.key()); n > 0)
            counts += QStringLiteral(" %1=%2").arg(it.key()).arg(n);
    if (mirrorRun)
        std::printf("seconds=%.3f files=%d ops=%d%s\n", seconds, files, opsDone, qPrintable(counts));
    else
        std::printf("seconds=%.3f files=%d%s\n", seconds, files, qPrintable(counts));
    std::fflush(stdout);
    if (session.CurrentPhase() == TSession::Phase::SiteList)
        pane.errors << QStringLiteral("the connection was lost before the batch ended");
    for (const QString& e : pane.errors)
        std::fprintf(stderr, "%s\n", qPrintable(e));
    setUserInterface(nullptr);
    if (!ended) {
        std::fprintf(stderr, "the batch did not end\n");
        return 3;
    }
    return pane.errors.isEmpty() ? 0 : 1;
}
