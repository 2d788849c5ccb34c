#include "session/Log.h"

#include "session/FdIo.h"

#include "settings/Globals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

void TSessionLog::Apply(const TLogSettings& s)
{
    settings_ = s;
    if (!s.Log || s.LogFile.isEmpty()) {
        filePath_.clear();
        return;
    }
    // A bare file name lives in the program's directory.
    filePath_ = s.LogFile.contains('/') ? s.LogFile : ProgramDir + s.LogFile;
}

int TSessionLog::Display(const QString& text)
{
    lastLine_ = text;
    int index = -1;
    if (pane_) {
        const int max = settings_.LogLines > 0 ? settings_.LogLines : kDefaultMaxLines;
        int excess = pane_->LineCount() + 1 - max;
        while (excess > 0 && pane_->LineCount() > 0) {
            pane_->RemoveFirstLine();
            --excess;
        }
        pane_->AppendLine(text);
        index = pane_->LineCount() - 1;
    }
    if (settings_.Log && !filePath_.isEmpty()) {
        appendToFile(text);
        TrimLogFile();
    }
    return index;
}

void TSessionLog::appendToFile(const QString& text)
{
    // Opened and closed per line, so other programs can read it in between.
    // Append mode creates a missing file; a file that refuses both (read
    // only, a directory, a full disk) leaves the line in the pane only.
    QFile f(filePath_);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (QFileInfo(filePath_).isDir() || !f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
    }
    QByteArray line = text.toUtf8();
    line += "\r\n";
    f.write(line);
    f.close();
}

static bool pwriteAll(int fd, const char* buf, qint64 n, qint64 offset)
{
    qint64 done = 0;
    while (done < n) {
        const ssize_t w = ::pwrite(fd, buf + done, size_t(n - done), off_t(offset + done));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        done += w;
    }
    return true;
}

bool TSessionLog::TrimLogFile()
{
    if (!settings_.Log || settings_.LogSize <= 0 || filePath_.isEmpty())
        return false;

    // 1. The directory must exist or be made.
    const QString dir = QFileInfo(filePath_).path();
    if (dir.isEmpty() || (!QFileInfo(dir).isDir() && !QDir().mkpath(dir)) || !QFileInfo(dir).isDir())
        return false;

    // 2.-3. Open (creating it empty when missing); other writers must wait
    // for the end of the trim, so take the lock or leave it for the next line.
    const QByteArray path = QFile::encodeName(filePath_);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }

    bool ok = true;
    const qint64 limit = qint64(settings_.LogSize) * kSizeUnit;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size > limit) {
        // 4. Copy the last `limit` bytes to the front, block by block from
        // the front. The destination always lies below the source and every
        // block is read before anything at or above it is written, so the
        // bytes still to be moved are never overwritten. Until the final cut
        // the file keeps its length and all its newest bytes: a trim that
        // stops half-way loses nothing, and the next one completes it.
        QByteArray block(int(kBlock), Qt::Uninitialized);
        qint64 src = qint64(size) - limit;
        qint64 dst = 0;
        int blocks = 0;
        while (src < size) {
            if (OnTrimBlock && !OnTrimBlock(blocks)) {
                ok = false;
                break;
            }
            const qint64 n = ReadFully(fd, block.data(), qMin<qint64>(kBlock, size - src), src);
            if (n <= 0 || !pwriteAll(fd, block.constData(), n, dst)) {
                ok = false;
                break;
            }
            src += n;
            dst += n;
            ++blocks;
        }
        if (ok)
            ok = ::ftruncate(fd, off_t(dst)) == 0;
    }
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return ok;
}

void TSessionLog::AppendToLastLine(const QString& text)
{
    if (pane_)
        pane_->AppendToLastLine(text);
    const QString before = lastLine_;
    lastLine_ += text;
    if (!settings_.Log || filePath_.isEmpty())
        return;
    if (!replaceLastFileLine(before, lastLine_))
        appendToFile(lastLine_);
    TrimLogFile();
}

bool TSessionLog::replaceLastFileLine(const QString& before, const QString& after)
{
    // Only a file whose last line is still the one Display wrote is changed
    // in place; anything else (another program's lines, a trim that cut into
    // the line) gets the completed line at its end instead.
    const QByteArray old = before.toUtf8() + "\r\n";
    const QByteArray now = after.toUtf8() + "\r\n";
    const QByteArray path = QFile::encodeName(filePath_);
    const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = false;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size >= old.size()) {
        const qint64 at = qint64(size) - old.size();
        QByteArray tail(old.size(), Qt::Uninitialized);
        // The completed line is never shorter, so writing it over the old
        // one leaves nothing of the old behind.
        ok = ReadFully(fd, tail.data(), tail.size(), at) == tail.size() && tail == old
            && pwriteAll(fd, now.constData(), now.size(), at);
    }
    ::close(fd);
    return ok;
}
