#include "session/LineEndings.h"

#include "i18n/MainMessages.h"
#include "i18n/MsgLanguage.h"
#include "session/FdIo.h"
#include "session/Log.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

TLineEndingTexts TLineEndingTexts::FromMainMessages(const TMsgLanguage* msl)
{
    TLineEndingTexts t;
    if (!msl)
        return t;
    auto take = [msl](QString& into, int index) {
        const QString s = msl->Text(index);
        if (!s.isEmpty())
            into = s;
    };
    take(t.ConvertingFile, mainmsg::ConvertingFile);
    take(t.Ok, mainmsg::Ok);
    take(t.ReadFileError, mainmsg::ReadFileError);
    take(t.OpenFileError, mainmsg::OpenFileError);
    return t;
}

QByteArray LineEndOf(int mode)
{
    switch (mode) {
    case lineend::CrLf: return QByteArrayLiteral("\r\n");
    case lineend::LfCr: return QByteArrayLiteral("\n\r");
    case lineend::Lf: return QByteArrayLiteral("\n");
    case lineend::Cr: return QByteArrayLiteral("\r");
    default: return {};
    }
}

namespace {

struct TChunk {
    qsizetype consumed; // input bytes converted
    qsizetype written;  // output bytes
    bool changed;       // a line end differed from the mode's
};

// The first CR or LF in [p, end), or end.
const char* nextLineEndByte(const char* p, const char* end)
{
#if defined(__SSE2__)
    // Sixteen bytes at a time: lines are mostly longer than that.
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (hits)
            return p + __builtin_ctz(unsigned(hits));
        p += 16;
    }
#endif
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

// Converts the line ends of text[0, n) into out (room for 2n bytes). A CR
// or LF that is the chunk's last byte is left for the next chunk unless this
// is the last one, since the other byte of a pair may follow there.
TChunk ConvertChunk(const char* text, qsizetype n, bool last, QByteArrayView eol, char* out)
{
    const char* p = text;
    const char* const end = text + n;
    char* o = out;
    bool changed = false;
    const char e0 = eol[0], e1 = eol.size() == 2 ? eol[1] : 0;
    const bool two = eol.size() == 2;
    while (p < end) {
        // Ordinary bytes go over in runs.
        const char* q = nextLineEndByte(p, end);
        std::memcpy(o, p, size_t(q - p));
        o += q - p;
        p = q;
        if (p == end || (p + 1 == end && !last))
            break;
        // CR LF and LF CR are one line end: the second byte is the other of
        // the two (CR ^ LF == 7). The mode's line end replaces it, and the
        // scan goes on after it, so no line end is looked at twice.
        const bool pair = p + 1 < end && (p[0] ^ p[1]) == ('\r' ^ '\n');
        const int len = pair ? 2 : 1;
        if (len != eol.size() || p[0] != e0 || (pair && p[1] != e1))
            changed = true;
        *o++ = e0;
        if (two)
            *o++ = e1;
        p += len;
    }
    return {p - text, o - out, changed};
}

} // namespace

QByteArray ConvertLineEndingBytes(QByteArrayView text, int mode)
{
    const QByteArray eol = LineEndOf(mode);
    if (eol.isEmpty())
        return text.toByteArray();
    // Every line end is one or two bytes and becomes at most two.
    QByteArray out(eol.size() == 2 ? text.size() * 2 : text.size(), Qt::Uninitialized);
    const TChunk c = ConvertChunk(text.data(), text.size(), true, eol, out.data());
    out.truncate(c.written);
    return out;
}

namespace {

QString systemReason(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool writeFully(int fd, const char* buf, qint64 n)
{
    qint64 done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd, buf + done, size_t(n - done));
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            return false;
        if (w == 0) {
            errno = ENOSPC;
            return false;
        }
        done += w;
    }
    return true;
}

// The new file beside the one it replaces; removed again unless committed.
class TReplacement {
public:
    explicit TReplacement(const QString& target) : target_(target) {}
    ~TReplacement()
    {
        if (!name_.isEmpty())
            ::unlink(name_.constData());
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool IsOpen() const { return fd_ >= 0; }

    // Creates it with the original's owner and permissions. "" or the reason.
    QString Create(const struct stat& original)
    {
        const QFileInfo info(target_);
        QByteArray name = QFile::encodeName(info.absolutePath() + QLatin1String("/.") + info.fileName()
                                            + QLatin1String(".XXXXXX"));
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ < 0)
            return QStringLiteral("cannot create a new file in %1: %2").arg(info.absolutePath(), systemReason(errno));
        name_ = name;
        // The owner first (only root may give a file away; anyone else keeps
        // at least the group when allowed), then the mode, which a change of
        // owner could have cleared.
        if (::fchown(fd_, original.st_uid, original.st_gid) != 0)
            (void)::fchown(fd_, uid_t(-1), original.st_gid);
        if (::fchmod(fd_, original.st_mode & 07777) != 0)
            return failed("cannot set the permissions");
        return {};
    }

    QString Write(const char* data, qint64 n)
    {
        return writeFully(fd_, data, n) ? QString() : failed("cannot write");
    }

    // The first n bytes of the original, unchanged (read at their offsets,
    // so the reader's position stays).
    QString CopyPrefix(int from, qint64 n)
    {
        QByteArray buf(qMin<qint64>(n, kLineEndingChunk), Qt::Uninitialized);
        for (qint64 at = 0; at < n;) {
            const qint64 want = qMin<qint64>(buf.size(), n - at);
            if (ReadFully(from, buf.data(), want, at) != want)
                return QStringLiteral("cannot read the file again: %1")
                    .arg(errno ? systemReason(errno) : QStringLiteral("it became shorter"));
            const QString r = Write(buf.constData(), want);
            if (!r.isEmpty())
                return r;
            at += want;
        }
        return {};
    }

    // On disk first, so that after a crash either file is whole, then in
    // the original's place.
    QString Commit()
    {
        if (::fsync(fd_) != 0)
            return failed("cannot write");
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            return failed("cannot write");
        if (::rename(name_.constData(), QFile::encodeName(target_).constData()) != 0)
            return failed("cannot replace the file");
        name_.clear();
        return {};
    }

private:
    QString failed(const char* what) const { return QStringLiteral("%1: %2").arg(QLatin1String(what), systemReason(errno)); }

    QString target_;
    QByteArray name_;
    int fd_ = -1;
};

} // namespace

TLineEndingResult ConvertLineEndings(const QString& path, int mode, TSessionLog* log, const TLineEndingTexts& texts)
{
    const QByteArray eol = LineEndOf(mode);
    if (eol.isEmpty())
        return TLineEndingResult::NotDone;
    const QFileInfo info(path);
    if (!info.exists()) // follows links: a dangling link is missing too
        return TLineEndingResult::Missing;

    if (log)
        log->Display(texts.ConvertingFile + QLatin1String(": ") + path + QLatin1String(" ..."));
    auto outcome = [log](TLineEndingResult r, const QString& message, const QString& reason = {}) {
        if (log)
            log->AppendToLastLine(QLatin1Char(' ') + message
                                  + (reason.isEmpty() ? QString() : QLatin1String(" (") + reason + QLatin1Char(')'))
                                  + QLatin1Char('!'));
        return r;
    };

    // A link stays a link: the file it points to is the one replaced.
    const QString target = info.canonicalFilePath();
    Fd in;
    // Read and write access, as if it were rewritten in place: a file the
    // user may not change is refused, not silently replaced. O_NONBLOCK keeps
    // a FIFO from blocking the open.
    in.fd = ::open(QFile::encodeName(target).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (in.fd < 0)
        return outcome(TLineEndingResult::OpenFailed, texts.OpenFileError, systemReason(errno));
    struct stat st {};
    if (::fstat(in.fd, &st) != 0)
        return outcome(TLineEndingResult::OpenFailed, texts.OpenFileError, systemReason(errno));
    if (!S_ISREG(st.st_mode))
        return outcome(TLineEndingResult::OpenFailed, texts.OpenFileError, QStringLiteral("not a regular file"));
    if (st.st_size == 0)
        return TLineEndingResult::Empty;

    // One pass over the file in chunks. The new file is made at the first
    // line end that changes (with the unchanged bytes before it copied over),
    // so a file already in the mode's convention is never rewritten.
    const qint64 size = st.st_size;
    QByteArray inBuf(kLineEndingChunk + 1, Qt::Uninitialized); // + a byte carried over
    QByteArray outBuf(2 * inBuf.size(), Qt::Uninitialized);
    TReplacement out(target);
    qint64 read = 0, converted = 0;
    qsizetype carried = 0;
    while (true) {
        const qint64 want = qMin<qint64>(kLineEndingChunk, size - read);
        const qint64 got = ReadFully(in.fd, inBuf.data() + carried, want);
        if (got != want)
            return outcome(TLineEndingResult::ReadFailed, texts.ReadFileError,
                           errno ? systemReason(errno) : QStringLiteral("the file became shorter while it was read"));
        // Binary files and UTF-16 text hold zero bytes; changing their CR
        // and LF bytes would damage them.
        if (std::memchr(inBuf.constData() + carried, 0, size_t(got)))
            return outcome(TLineEndingResult::NotText, texts.NotText);
        read += got;
        const bool last = read == size;
        const qsizetype avail = carried + qsizetype(got);
        const TChunk c = ConvertChunk(inBuf.constData(), avail, last, eol, outBuf.data());
        if (c.changed && !out.IsOpen()) {
            QString reason = out.Create(st);
            if (reason.isEmpty())
                reason = out.CopyPrefix(in.fd, converted);
            if (!reason.isEmpty())
                return outcome(TLineEndingResult::WriteFailed, texts.WriteFileError, reason);
        }
        if (out.IsOpen()) {
            const QString reason = out.Write(outBuf.constData(), c.written);
            if (!reason.isEmpty())
                return outcome(TLineEndingResult::WriteFailed, texts.WriteFileError, reason);
        }
        converted += c.consumed;
        carried = avail - c.consumed;
        std::memmove(inBuf.data(), inBuf.constData() + c.consumed, size_t(carried));
        if (last)
            break;
    }
    if (out.IsOpen()) {
        // Bytes written to the file meanwhile would be lost by the rename.
        char more = 0;
        if (::read(in.fd, &more, 1) > 0)
            return outcome(TLineEndingResult::ReadFailed, texts.ReadFileError,
                           QStringLiteral("the file grew while it was read"));
        const QString reason = out.Commit();
        if (!reason.isEmpty())
            return outcome(TLineEndingResult::WriteFailed, texts.WriteFileError, reason);
    }
    return outcome(TLineEndingResult::Converted, texts.Ok);
}
