// Showing a large directory: the listing file's text of 100,000 UNIX lines
// decoded, split, parsed, put into the remote list model and ordered by the
// sort proxy; and re-ordering the filled list by size and by date, as a
// column click does.
#include "listing/ListSortProxy.h"
#include "listing/ListingParser.h"
#include "listing/RemoteListModel.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kEntries = 100'000;

// A UNIX listing: one directory in ten, dates with a time this year or with a
// year, sizes up to 10 GB, one name in twenty with spaces.
QByteArray makeListingText(int lines)
{
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    QByteArray out;
    out.reserve(qsizetype(lines) * 72);
    for (int i = 0; i < lines; ++i) {
        const bool dir = i % 10 == 0;
        const qint64 size = (qint64(i) * 7919 * 104729) % 10'000'000'000LL;
        const QByteArray when = i % 3 == 0 ? QByteArray(" ") + QByteArray::number(2000 + i % 25)
                                           : QByteArray::number(10 + i % 14) + ':' + QByteArray::number(10 + i % 50);
        out += dir ? "drwxr-xr-x" : "-rw-r--r--";
        out += "   1 owner    group ";
        out += QByteArray::number(size).rightJustified(11, ' ');
        out += ' ';
        out += months[(i * 7) % 12];
        out += ' ';
        out += QByteArray::number(1 + i % 28).rightJustified(2, ' ');
        out += ' ';
        out += when.rightJustified(5, ' ');
        out += i % 20 == 0 ? " name with spaces " : " file_";
        out += QByteArray::number((qint64(i) * 104729) % 1'000'003);
        out += dir ? "" : ".dat";
        out += "\r\n";
    }
    return out;
}

RemoteViewOptions viewOptions()
{
    RemoteViewOptions o;
    o.answer = QStringLiteral("7957681");
    o.siteTimeZone = 2.00;
    o.localTimeZone = 1.00;
    o.today = QDate(2026, 3, 15);
    return o;
}

// Makes the proxy build its order now (it does so lazily, on first use).
void touch(const TListSortProxy& proxy)
{
    benchmark::DoNotOptimize(proxy.mapToSource(proxy.index(proxy.rowCount() - 1, 0)).row());
}

void BM_ShowListing(benchmark::State& state)
{
    const QByteArray text = makeListingText(kEntries);
    const ListingFormat format = ListingFormat::ofType(ListingFormat::Unix);
    TRemoteListModel model;
    TListSortProxy proxy;
    proxy.setSourceModel(&model);
    proxy.SetSortKey(int(state.range(0)));
    for (auto _ : state) {
        QStringList lines = QString::fromUtf8(text).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        const ParsedListing parsed = parseListingEntries(lines, format);
        model.Fill(parsed.entries, viewOptions());
        touch(proxy);
    }
    state.counters["rows"] = double(proxy.rowCount());
}

// The model's share: the parsed entries into rows, ordered by name.
void BM_FillAndSort(benchmark::State& state)
{
    const ParsedListing parsed = parseListingEntries(
        QString::fromUtf8(makeListingText(kEntries)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts),
        ListingFormat::ofType(ListingFormat::Unix));
    TRemoteListModel model;
    TListSortProxy proxy;
    proxy.setSourceModel(&model);
    for (auto _ : state) {
        model.Fill(parsed.entries, viewOptions());
        touch(proxy);
    }
}

void resort(benchmark::State& state, int tag)
{
    const QByteArray text = makeListingText(kEntries);
    const ParsedListing parsed = parseListingEntries(QString::fromUtf8(text).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts),
                                                     ListingFormat::ofType(ListingFormat::Unix));
    TRemoteListModel model;
    model.Fill(parsed.entries, viewOptions());
    TListSortProxy proxy;
    proxy.setSourceModel(&model);
    touch(proxy);
    for (auto _ : state) {
        proxy.ColumnClick(tag - 1);  // each click flips the direction
        touch(proxy);
    }
}

void BM_ResortBySize(benchmark::State& state) { resort(state, 2); }
void BM_ResortByDate(benchmark::State& state) { resort(state, 3); }

} // namespace

// The argument is the sort key in force: 0 by name, -2 by size.
BENCHMARK(BM_ShowListing)->Arg(0)->Arg(-2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillAndSort)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResortBySize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResortByDate)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
