// Line-ending conversion of a large text file: ConvertLineEndings against
// perl doing the same work in the same run.
//
// Writes a text file (default 100 MB) of LF lines of varied length into a
// temporary directory under the given directory (default: the system's),
// then, in each round, converts it to CR LF and back to LF in place with
// ConvertLineEndings and times perl -pe 's/\n/\r\n/' and 's/\r\n/\n/' on the
// same bytes (file to file). Every output is checked: perl's against ours,
// ours against the original. Prints the medians of the rounds (MB/s, 1 MB =
// 10^6 bytes) and of the paired ratios. Our figure includes the fsync that
// puts the new file on disk before it replaces the old; perl's does not.
//
//   bench_line_endings [megabytes] [rounds] [directory]
#include "session/LineEndings.h"
#include "session/Log.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result();
}

// Lines of 0 to 119 printable bytes, like source code or a log.
bool writeText(const QString& path, qint64 bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk;
    quint32 seed = 12345;
    while (chunk.size() < (1 << 20)) {
        seed = seed * 1103515245u + 12345u;
        const int len = int((seed >> 16) % 120);
        for (int i = 0; i < len; ++i)
            chunk += char(' ' + (i * 7 + len) % 95);
        chunk += '\n';
    }
    qint64 left = bytes;
    while (left > 0) {
        const qint64 n = qMin<qint64>(left, chunk.size());
        if (f.write(chunk.constData(), n) != n)
            return false;
        left -= n;
    }
    // The file ends with a line end, so both conversions are exact inverses.
    f.seek(bytes - 1);
    return f.write("\n", 1) == 1;
}

// Runs perl with script from in to out; the wall time in seconds, or -1.
double perl(const char* script, const QString& in, const QString& out)
{
    QProcess p;
    p.setStandardInputFile(in);
    p.setStandardOutputFile(out, QIODevice::Truncate);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("perl"), {QStringLiteral("-pe"), QLatin1String(script)});
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return -1;
    return t.nsecsElapsed() / 1e9;
}

double convert(const QString& path, int mode, TSessionLog& log)
{
    QElapsedTimer t;
    t.start();
    const TLineEndingResult r = ConvertLineEndings(path, mode, &log);
    const double s = t.nsecsElapsed() / 1e9;
    return r == TLineEndingResult::Converted ? s : -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? std::atoll(argv[1]) : 100;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const QString base = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QDir::tempPath();
    QTemporaryDir dir(base + QStringLiteral("/bench_line_endings-XXXXXX"));
    if (!dir.isValid() || megabytes <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_line_endings [megabytes] [rounds] [directory]\n");
        return 2;
    }
    const qint64 bytes = megabytes * 1000 * 1000;
    const QString text = dir.filePath(QStringLiteral("text.txt"));
    const QString peerIn = dir.filePath(QStringLiteral("peer-in.txt"));
    const QString peerDos = dir.filePath(QStringLiteral("peer-dos.txt"));
    const QString peerUnix = dir.filePath(QStringLiteral("peer-unix.txt"));
    if (!writeText(text, bytes) || !QFile::copy(text, peerIn)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(text));
        return 1;
    }
    const QByteArray original = digest(text);

    TStringListLogPane pane;
    TSessionLog log(&pane);
    std::vector<double> oursToDos, oursToUnix, peerToDos, peerToUnix, ratioDos, ratioUnix;
    qint64 dosBytes = 0;
    for (int round = 0; round < rounds; ++round) {
        // Alternate who goes first, so neither always finds a warm cache.
        const bool peerFirst = round % 2 == 1;
        double a = 0, b = 0, c = 0, d = 0;
        auto ours = [&] {
            a = convert(text, lineend::CrLf, log);
            dosBytes = QFileInfo(text).size();
            const QByteArray dos = digest(text);
            b = convert(text, lineend::Lf, log);
            return dos;
        };
        auto peer = [&] {
            c = perl("s/\\n/\\r\\n/", peerIn, peerDos);
            d = perl("s/\\r\\n/\\n/", peerDos, peerUnix);
        };
        QByteArray oursDos;
        if (peerFirst) {
            peer();
            oursDos = ours();
        } else {
            oursDos = ours();
            peer();
        }
        if (a < 0 || b < 0 || c < 0 || d < 0) {
            std::fprintf(stderr, "a conversion failed: %s\n", qPrintable(pane.Lines().join('\n')));
            return 1;
        }
        if (digest(text) != original || digest(peerUnix) != original || digest(peerDos) != oursDos
            || QFileInfo(peerDos).size() != dosBytes) {
            std::fprintf(stderr, "outputs differ in round %d\n", round + 1);
            return 1;
        }
        oursToDos.push_back(bytes / a / 1e6);
        oursToUnix.push_back(dosBytes / b / 1e6);
        peerToDos.push_back(bytes / c / 1e6);
        peerToUnix.push_back(dosBytes / d / 1e6);
        ratioDos.push_back(c / a);
        ratioUnix.push_back(d / b);
    }
    std::printf("file %lld MB (LF), %lld bytes with CR LF, %d rounds, medians\n", megabytes, dosBytes, rounds);
    std::printf("LF -> CR LF   ConvertLineEndings %7.1f MB/s   perl %7.1f MB/s   perl time / ours %.2f\n",
                median(oursToDos), median(peerToDos), median(ratioDos));
    std::printf("CR LF -> LF   ConvertLineEndings %7.1f MB/s   perl %7.1f MB/s   perl time / ours %.2f\n",
                median(oursToUnix), median(peerToUnix), median(ratioUnix));
    return 0;
}
