// Listing parser throughput: lines per second for the column-scan type (0),
// the UNIX token type (7) and the fixed-column type (6), at 10k, 100k and 1M
// lines, so the growth from one size to the next can be checked for linearity;
// and link classification, half the entries links, against the same listing
// without links.
#include "listing/ListingParser.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

QStringList makeListing(int type, int lines)
{
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    QStringList out;
    out.reserve(lines);
    for (int i = 0; i < lines; ++i) {
        const int size = (i * 7919) % 10'000'000;
        const QString month = QLatin1String(months[i % 12]);
        const int day = 1 + i % 28;
        const bool dir = i % 10 == 0;
        const bool link = i % 10 == 5;
        QString line;
        if (type == 6) {
            line = QStringLiteral("%1-%2-%3  %4:%5PM ")
                       .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                       .arg(day, 2, 10, QLatin1Char('0'))
                       .arg(i % 100, 2, 10, QLatin1Char('0'))
                       .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                       .arg(i % 60, 2, 10, QLatin1Char('0'));
            line += dir ? QStringLiteral("      <DIR>          ") : QStringLiteral("%1 ").arg(size, 20);
            line += QStringLiteral("file number %1.dat").arg(i);
        } else {
            const QString attrs = dir ? QStringLiteral("drwxr-xr-x") : link ? QStringLiteral("lrwxrwxrwx")
                                                                           : QStringLiteral("-rw-r--r--");
            const QString when = i % 3 == 0 ? QStringLiteral(" 2019") : QStringLiteral("%1:%2")
                                                                            .arg(i % 24, 2, 10, QLatin1Char('0'))
                                                                            .arg(i % 60, 2, 10, QLatin1Char('0'));
            line = QStringLiteral("%1   1 owner    group %2 %3 %4 %5 file_%6.dat")
                       .arg(attrs)
                       .arg(size, 10)
                       .arg(month)
                       .arg(day, 2)
                       .arg(when)
                       .arg(i);
            if (link)
                line += QStringLiteral(" -> file_%1.dat").arg(i + 1);
        }
        out.append(line);
    }
    return out;
}

void parseListing(benchmark::State& state, int type)
{
    const int lines = int(state.range(0));
    const QStringList listing = makeListing(type, lines);
    const ListingFormat format = ListingFormat::ofType(type);
    for (auto _ : state) {
        ParsedListing parsed = parseListingEntries(listing, format);
        benchmark::DoNotOptimize(parsed.entries.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * lines);
}

// The first parse of a listing, as the session meets it: the listing has just
// arrived and is not in the processor's caches, which a loop over the same
// 10k lines would keep there. Each round evicts the caches (not timed) and
// then parses once; the result is freed outside the timing.
void firstParse(benchmark::State& state, int type)
{
    const int lines = int(state.range(0));
    const QStringList listing = makeListing(type, lines);
    const ListingFormat format = ListingFormat::ofType(type);
    std::vector<char> evict(size_t(256) << 20);  // well above the last-level cache
    for (auto _ : state) {
        state.PauseTiming();
        for (size_t i = 0; i < evict.size(); i += 64)
            evict[i] = char(evict[i] + 1);
        benchmark::ClobberMemory();
        state.ResumeTiming();
        auto parsed = std::make_unique<ParsedListing>(parseListingEntries(listing, format));
        benchmark::DoNotOptimize(parsed->entries.data());
        benchmark::ClobberMemory();
        state.PauseTiming();
        parsed.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * lines);
}

void BM_FirstParse_Type0(benchmark::State& state) { firstParse(state, 0); }
void BM_FirstParse_Type7(benchmark::State& state) { firstParse(state, 7); }

void BM_ParseListing_Type0(benchmark::State& state) { parseListing(state, 0); }
void BM_ParseListing_Type7(benchmark::State& state) { parseListing(state, 7); }
void BM_ParseListing_Type6(benchmark::State& state) { parseListing(state, 6); }

// The in-place form, as the session calls it: entries come back as text.
void BM_ParseListingText_Type0(benchmark::State& state)
{
    const int lines = int(state.range(0));
    const QStringList listing = makeListing(0, lines);
    for (auto _ : state) {
        QStringList work = listing;
        QString directory;
        ParseListing(work, directory, ListingFormat::ofType(0));
        benchmark::DoNotOptimize(work.constData());
    }
    state.SetItemsProcessed(state.iterations() * lines);
}

// Half the entries are links whose targets are listed after them, against
// the same listing with plain files in their place: classifying the links
// should cost about as much as reading the lines, and grow linearly.
QStringList makeLinkListing(int entries, bool links)
{
    QStringList out;
    out.reserve(entries);
    const int files = entries / 2;
    for (int i = 0; i < files; ++i)
        out.append(links ? QStringLiteral("lrwxrwxrwx 1 o g 12 Jan 1 10:00 link%1 -> file%2.dat").arg(i).arg(files - 1 - i)
                         : QStringLiteral("-rw-r--r-- 1 o g 12 Jan 1 10:00 other%1 -> x%2.dat").arg(i).arg(i));
    for (int i = 0; i < files; ++i)
        out.append(QStringLiteral("-rw-r--r-- 1 o g 12 Jan 1 10:00 file%1.dat").arg(i));
    return out;
}

void parseLinkListing(benchmark::State& state, bool links)
{
    const int lines = int(state.range(0));
    const QStringList listing = makeLinkListing(lines, links);
    const ListingFormat format = ListingFormat::ofType(7);
    for (auto _ : state) {
        ParsedListing parsed = parseListingEntries(listing, format);
        benchmark::DoNotOptimize(parsed.entries.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * lines);
}

void BM_ParseListing_HalfLinks(benchmark::State& state) { parseLinkListing(state, true); }
void BM_ParseListing_HalfLinksAsFiles(benchmark::State& state) { parseLinkListing(state, false); }

} // namespace

BENCHMARK(BM_ParseListing_Type0)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseListing_Type7)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseListing_Type6)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstParse_Type0)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_FirstParse_Type7)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ParseListingText_Type0)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseListing_HalfLinks)->Arg(20'000)->Arg(200'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseListing_HalfLinksAsFiles)->Arg(20'000)->Arg(200'000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
