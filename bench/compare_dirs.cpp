// Compare Directories on two large lists: a local folder of 100,000 entries
// against a remote listing of as many, compared and the differing rows
// selected in both sorted lists, as the window does. The remote side repeats
// the local names and times; one entry in three has another size, one in
// seven another time, one in fifty is missing and replaced by a remote-only
// name. The folder is made once in a temporary directory.
#include "listing/ListSortProxy.h"
#include "listing/LocalListModel.h"
#include "listing/RemoteListModel.h"
#include "session/CompareDirs.h"

#include <QDateTime>
#include <QFile>
#include <QItemSelectionModel>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kEntries = 100'000;

struct Sides {
    QTemporaryDir dir;
    std::vector<DirEntry> remote;
};

QByteArray nameOf(int i)
{
    return "file_" + QByteArray::number((qint64(i) * 104729) % 1'000'003) + '_' + QByteArray::number(i) + ".dat";
}

// Whole minutes within the last few days, so the listing shows times.
time_t modifiedOf(int i, time_t now) { return (now / 60 - 60 - (i % 5000)) * 60; }

const Sides& sides()
{
    static Sides s;
    static bool made = false;
    if (made)
        return s;
    made = true;
    const QByteArray base = QFile::encodeName(s.dir.path()) + '/';
    const time_t now = time(nullptr);
    s.remote.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        const QByteArray name = nameOf(i);
        const qint64 size = (qint64(i) * 7919) % 10'000'000;
        const time_t when = modifiedOf(i, now);
        const int fd = open((base + name).constData(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0)
            continue;
        if (ftruncate(fd, size) != 0) {
            // a zero size only makes one more differing entry
        }
        const timespec times[2] = {{when, 0}, {when, 0}};
        futimens(fd, times);
        close(fd);

        const QDateTime local = QDateTime::fromSecsSinceEpoch(when + (i % 7 == 0 ? 60 : 0));
        const QString remoteName = i % 50 == 0 ? QStringLiteral("remote_only_%1").arg(i) : QString::fromLatin1(name);
        s.remote.emplace_back(false, remoteName, QString::number(i % 3 == 0 ? size + 1 : size),
                              local.toString(QStringLiteral("MMM d")), local.toString(QStringLiteral("hh:mm")),
                              QStringLiteral("-rw-r--r--"));
    }
    return s;
}

struct Lists {
    TLocalListModel local;
    TRemoteListModel remote;
    TListSortProxy localView, remoteView;
    QItemSelectionModel localSel{&localView}, remoteSel{&remoteView};

    Lists()
    {
        const Sides& s = sides();
        localView.setSourceModel(&local);
        remoteView.setSourceModel(&remote);
        local.Fill(s.dir.path(), QStringLiteral("*.*"), 0);
        RemoteViewOptions o;
        o.mask = QStringLiteral("*.*");
        remote.Fill(s.remote, o);
        benchmark::DoNotOptimize(localView.index(0, 0));
        benchmark::DoNotOptimize(remoteView.index(0, 0));
    }
};

void BM_CompareAndSelect(benchmark::State& state)
{
    Lists l;
    // A selection of as many ranges there before, for Compare to replace.
    std::vector<bool> everyOther(static_cast<size_t>(kEntries), false);
    for (size_t i = 0; i < everyOther.size(); i += 2)
        everyOther[i] = true;
    const QItemSelection before = DifferingRows(l.localView, &l.localView, everyOther);
    for (auto _ : state) {
        state.PauseTiming();
        ReplaceSelection(l.localSel, before);
        ReplaceSelection(l.remoteSel, before);
        state.ResumeTiming();
        const DirDifferences d = CompareDirectories(l.local, l.remote, 0);
        ReplaceSelection(l.localSel, DifferingRows(l.localView, &l.localView, d.local));
        ReplaceSelection(l.remoteSel, DifferingRows(l.remoteView, &l.remoteView, d.remote));
        benchmark::DoNotOptimize(MarkedRows(d.local));
        benchmark::DoNotOptimize(MarkedRows(d.remote));
        state.counters["local"] = d.localCount;
        state.counters["remote"] = d.remoteCount;
        if (l.local.rowCount() != kEntries || l.remote.rowCount() != kEntries)
            state.SkipWithError("not every entry was listed");
    }
}

void BM_CompareOnly(benchmark::State& state)
{
    Lists l;
    for (auto _ : state)
        benchmark::DoNotOptimize(CompareDirectories(l.local, l.remote, 0));
}

} // namespace

BENCHMARK(BM_CompareAndSelect)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)->Iterations(2);
BENCHMARK(BM_CompareOnly)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)->Iterations(2);

BENCHMARK_MAIN();
