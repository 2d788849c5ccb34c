// How well the main window keeps up while a large download runs through it:
//
//   bench_window_stall HOST PORT REMOTE-DIR NAME LOCAL-DIR
//
// Builds the main window as the program does (offscreen unless a platform is
// given), logs in anonymously, lists REMOTE-DIR and downloads the file NAME
// into LOCAL-DIR through the session engine, with the progress window the
// window opens for it. Meanwhile a 10 ms timer measures how late the event
// loop serves it, and every change of the progress bar is counted. Prints
//
//   seconds=… max_stall_ms=… p99_stall_ms=… ticks=… updates_per_s_min=… updates_per_s_avg=…
//
// where a stall is how much later than 10 ms after the previous tick a tick
// came, and the update rates are over the whole seconds of the transfer
// (min; a transfer shorter than a second gives the updates it had) and over
// all of it (avg). On stderr: where the largest stall fell against the
// engine's steps. Exit status 1 when the download failed.
#include "EngineBenchSupport.h"
#include "session/Session.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "ui/T_Main.h"
#include "ui/TProgress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6) {
        std::fprintf(stderr, "usage: %s HOST PORT REMOTE-DIR NAME LOCAL-DIR\n", argv[0]);
        return 2;
    }
    QTemporaryDir programDir;
    qputenv("VARNOTH_PROGRAM_DIR", programDir.path().toUtf8());
    InitProgramDir();
    benchsupport::Unattended ui(mb::IdNo);
    setUserInterface(&ui);

    int rc = 0;
    {
        T_Main window;
        if (!benchsupport::runUntil([&] { return window.isVisible(); }, 10000)) {
            std::fprintf(stderr, "the main window did not show\n");
            return 3;
        }
        window.SetLocalDir(args[5]);
        TSession* session = window.Session();
        session->SetTransferType(2);

        TFTPServerObj site = CreateSite(TSiteDefaults{});
        site.Name = QStringLiteral("bench");
        site.Server = args[1];
        site.Port = args[2];
        site.User = QStringLiteral("anonymous");
        site.Password = QStringLiteral("bench@");
        site.SavePassword = 1;
        site.Pasv = 1;
        site.InitialDir = args[3];
        auto idle = [&] {
            return session->CurrentPhase() == TSession::Phase::Online && !session->RequestInFlight()
                   && session->Ftp1().State() == ftpStReady;
        };
        session->ConnectTo(site);
        if (!benchsupport::runUntil(idle, 30000)) {
            std::fprintf(stderr, "the session did not get ready\n");
            return 3;
        }
        int row = -1;
        for (int r = 0; r < session->RemoteModel()->rowCount() && row < 0; ++r)
            if (session->RemoteModel()->Entry(r).name() == args[4])
                row = r;
        if (row < 0) {
            std::fprintf(stderr, "not in %s: %s\n", qPrintable(args[3]), qPrintable(args[4]));
            return 2;
        }

        QElapsedTimer clock;
        std::vector<qint64> ticks, updates;  // nanoseconds since the start
        ticks.reserve(1 << 16);
        updates.reserve(1 << 14);
        QTimer beat;
        beat.setTimerType(Qt::PreciseTimer);
        beat.setInterval(10);
        QObject::connect(&beat, &QTimer::timeout, [&] { ticks.push_back(clock.nsecsElapsed()); });
        // The window opens the progress window on the same signal, before
        // this connection runs: its bar is there to watch.
        // When the engine's steps came, to tell where the largest stall falls.
        qint64 fileStarted = -1, fileEnded = -1, batchEndedAt = -1;
        QObject::connect(session, &TSession::TransferFileStarted, [&] {
            fileStarted = clock.nsecsElapsed();
            if (TProgress* w = ProgressWindow())
                QObject::connect(w->ProgressBar, &QProgressBar::valueChanged,
                                 [&] { updates.push_back(clock.nsecsElapsed()); });
        });
        bool batchEnded = false;
        QObject::connect(session, &TSession::TransferFileEnded, [&] { fileEnded = clock.nsecsElapsed(); });
        QObject::connect(session, &TSession::TransferBatchEnded, [&] {
            batchEndedAt = clock.nsecsElapsed();
            batchEnded = true;
        });

        clock.start();
        ticks.push_back(0);
        beat.start();
        session->StartDownload({row});
        const bool ended = benchsupport::runUntil([&] { return batchEnded; }, 3600 * 1000);
        const qint64 total = clock.nsecsElapsed();
        beat.stop();
        if (!ended) {
            std::fprintf(stderr, "the download did not end\n");
            rc = 1;
        }

        std::vector<double> late;
        size_t worst = 0;
        for (size_t i = 1; i < ticks.size(); ++i) {
            late.push_back(std::max(0.0, (ticks[i] - ticks[i - 1]) / 1e6 - 10.0));
            if (worst == 0 || ticks[i] - ticks[i - 1] > ticks[worst] - ticks[worst - 1])
                worst = i;
        }
        auto ms = [](qint64 ns) { return ns / 1e6; };
        if (worst > 0)
            std::fprintf(stderr,
                         "largest stall: %.1f to %.1f ms; file started %.1f, first progress %.1f, last progress %.1f, "
                         "file ended %.1f, batch ended %.1f ms\n",
                         ms(ticks[worst - 1]), ms(ticks[worst]), ms(fileStarted), updates.empty() ? -1 : ms(updates.front()),
                         updates.empty() ? -1 : ms(updates.back()), ms(fileEnded), ms(batchEndedAt));
        std::sort(late.begin(), late.end());
        const double maxLate = late.empty() ? 0 : late.back();
        const double p99 = late.empty() ? 0 : late[std::min(late.size() - 1, size_t(late.size() * 0.99))];
        const int wholeSeconds = int(total / 1000000000);
        std::vector<int> perSecond(std::max(wholeSeconds, 1), 0);
        for (qint64 t : updates)
            if (int s = int(t / 1000000000); s < wholeSeconds)
                ++perSecond[s];
        const int minRate = wholeSeconds > 0 ? *std::min_element(perSecond.begin(), perSecond.end()) : int(updates.size());
        std::printf("seconds=%.3f max_stall_ms=%.1f p99_stall_ms=%.1f ticks=%zu updates_per_s_min=%d "
                    "updates_per_s_avg=%.1f\n",
                    total / 1e9, maxLate, p99, ticks.size(), minRate, updates.size() / (total / 1e9));
        std::fflush(stdout);

        // Let the listing after the batch land, then close without a question.
        benchsupport::runUntil(idle, 30000);
        FTPOptions.AskForExit = false;
        window.close();
    }
    setUserInterface(nullptr);
    return rc;
}
