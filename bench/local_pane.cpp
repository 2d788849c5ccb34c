// Showing a large local folder: 100,000 files read into the local list model
// and ordered by the sort proxy, as the left pane does when the tree moves;
// and re-ordering the filled list by size and by date, as a column click
// does. The folder is made once in a temporary directory (sizes up to 10 MB
// as sparse files, modification times spread over some 5,000 minutes, one
// entry in a hundred a folder).
#include "listing/ListSortProxy.h"
#include "listing/LocalListModel.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kEntries = 100'000;

QString folder()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        made = true;
        const QByteArray base = QFile::encodeName(dir.path()) + '/';
        const time_t now = time(nullptr);
        for (int i = 0; i < kEntries; ++i) {
            const QByteArray path = base + (i % 20 == 0 ? "name with spaces " : "file_")
                                    + QByteArray::number((qint64(i) * 104729) % 1'000'003) + '_'
                                    + QByteArray::number(i) + (i % 100 == 0 ? "" : ".dat");
            if (i % 100 == 0) {
                mkdir(path.constData(), 0755);
                continue;
            }
            const int fd = open(path.constData(), O_CREAT | O_WRONLY, 0644);
            if (fd < 0)
                continue;
            if (ftruncate(fd, (qint64(i) * 7919) % 10'000'000) != 0) {
                // a zero size is as good for the benchmark
            }
            const timespec times[2] = {{now - (i % 5000) * 60, 0}, {now - (i % 5000) * 60, 0}};
            futimens(fd, times);
            close(fd);
        }
    }
    return dir.path();
}

void BM_ShowFolder(benchmark::State& state)
{
    const QString dir = folder();
    for (auto _ : state) {
        TLocalListModel model;
        TListSortProxy proxy;
        proxy.setSourceModel(&model);
        model.Fill(dir, QStringLiteral("*.*"), 0);
        benchmark::DoNotOptimize(proxy.index(0, 0));
        if (proxy.rowCount() != kEntries)
            state.SkipWithError("not every entry was listed");
    }
}

void resort(benchmark::State& state, int column)
{
    TLocalListModel model;
    TListSortProxy proxy;
    proxy.setSourceModel(&model);
    model.Fill(folder(), QStringLiteral("*.*"), 0);
    benchmark::DoNotOptimize(proxy.index(0, 0));
    for (auto _ : state) {
        proxy.ColumnClick(column);
        benchmark::DoNotOptimize(proxy.index(0, 0));
    }
}

void BM_ResortBySize(benchmark::State& state) { resort(state, 1); }
void BM_ResortByDate(benchmark::State& state) { resort(state, 2); }

} // namespace

BENCHMARK(BM_ShowFolder)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true)->Iterations(1);
BENCHMARK(BM_ResortBySize)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true)->Iterations(3);
BENCHMARK(BM_ResortByDate)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true)->Iterations(3);

BENCHMARK_MAIN();
