#include "listing/ListingLineReaders.h"

#include "listing/ListingText.h"

#include <QHashFunctions>
#include <QVarLengthArray>

namespace listing_detail {

QString FieldCache::get(QStringView text)
{
    if (text.isEmpty())
        return QString();
    const size_t hash = qHash(text);
    for (size_t probe = 0; probe < 4; ++probe) {
        QString& slot = m_slots[(hash + probe) & (kSlots - 1)];
        if (slot.isNull()) {
            slot = text.toString();
            return slot;
        }
        if (QStringView(slot) == text)
            return slot;
    }
    return text.toString();
}

namespace {

const QLatin1Char kSpace(' ');

bool startsWithD(QStringView s)
{
    return !s.isEmpty() && s[0] == QLatin1Char('d');
}

// Tokens of a line as Split cuts them, with their positions in the line, so a
// last column (a name) can be taken as the whole rest of the line, inner
// spaces kept.
class Tokens {
public:
    explicit Tokens(QStringView line)
        : m_line(line)
    {
        const QStringView trimmed = line.trimmed();
        qsizetype pos = trimmed.isEmpty() ? line.size() : trimmed.data() - line.data();
        m_end = pos + trimmed.size();
        if (!line.isEmpty() && line[0] == kSpace)
            m_spans.append({0, 0});  // a leading separator gives an empty first piece
        while (pos < m_end) {
            qsizetype at = line.indexOf(kSpace, pos);
            if (at < 0 || at >= m_end)
                at = m_end;
            const QStringView piece = line.mid(pos, at - pos).trimmed();
            m_spans.append({pos, piece.size()});
            pos = at;
            while (pos < m_end && line[pos].isSpace())
                ++pos;
        }
    }

    qsizetype count() const { return m_spans.size(); }
    QStringView at(qsizetype i) const { return m_line.mid(m_spans[i].first, m_spans[i].second); }
    QString text(qsizetype i) const { return i < count() ? at(i).toString() : QString(); }
    // From token i to the end of the line.
    QString restFrom(qsizetype i) const
    {
        if (i >= count())
            return QString();
        return m_line.mid(m_spans[i].first, m_end - m_spans[i].first).toString();
    }

private:
    QStringView m_line;
    qsizetype m_end = 0;
    QVarLengthArray<QPair<qsizetype, qsizetype>, 16> m_spans;
};

// Sequential scanning over a line, for the UNIX-like types.
class Scanner {
public:
    explicit Scanner(QStringView line)
        : m_s(line)
    {
    }
    void skipSpaces()
    {
        while (m_p < m_s.size() && m_s[m_p] == kSpace)
            ++m_p;
    }
    void skipWhitespace()
    {
        while (m_p < m_s.size() && m_s[m_p].isSpace())
            ++m_p;
    }
    // The text up to the next space (or the end of the line).
    QStringView token()
    {
        const qsizetype start = m_p;
        while (m_p < m_s.size() && m_s[m_p] != kSpace)
            ++m_p;
        return m_s.mid(start, m_p - start);
    }
    QStringView rest() const { return m_s.mid(m_p); }

private:
    QStringView m_s;
    qsizetype m_p = 0;
};

// A token made only of decimal digits (with an optional sign), of any length:
// a size of 2 GB and more is still a number, so the group column is found.
bool isDecimalNumber(QStringView t)
{
    if (!t.isEmpty() && (t[0] == QLatin1Char('-') || t[0] == QLatin1Char('+')))
        t = t.mid(1);
    if (t.isEmpty())
        return false;
    for (QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

QString joinDate(QStringView month, QStringView day)
{
    QString d;
    d.reserve(month.size() + 1 + day.size());
    d.append(month);
    d.append(kSpace);
    d.append(day);
    return d;
}

// "month day" (and " year"), shared through the cache when short.
QString cachedDate(FieldCache& cache, QStringView month, QStringView day, QStringView year = {})
{
    QVarLengthArray<QChar, 32> buffer;
    auto add = [&](QStringView part) {
        if (!part.isEmpty())
            buffer.append(part.data(), part.size());
    };
    add(month);
    buffer.append(kSpace);
    add(day);
    if (!year.isNull()) {
        buffer.append(kSpace);
        add(year);
    }
    return cache.get(QStringView(buffer.constData(), buffer.size()));
}

// Type 0: a column scan over runs of spaces; the group column is optional
// (when the token after the size position is a number, it was the size and
// the group stood before it). A year in the time position stays in Time.
void readDefault(QStringView line, FieldCache& cache, DirEntry& e)
{
    Scanner s(line);
    e.attributes = cache.get(s.token());
    s.skipSpaces();
    s.token();  // link count
    s.skipSpaces();
    s.token();  // owner
    s.skipSpaces();
    QStringView size = s.token();
    s.skipSpaces();
    QStringView month = s.token();
    if (isDecimalNumber(month)) {
        size = month;
        s.skipSpaces();
        month = s.token();
    }
    s.skipSpaces();
    const QStringView day = s.token();
    s.skipSpaces();
    e.time = cache.get(s.token());
    s.skipSpaces();
    e.name = s.rest().toString();
    e.size = size.toString();
    e.date = cachedDate(cache, month, day);
    e.directory = startsWithD(e.attributes);
}

// Types 7 and 9: tokens read off the front, `skipped` columns between the
// attributes and the size; the name is the rest of the line.
void readUnix(QStringView line, int skipped, FieldCache& cache, DirEntry& e)
{
    if (line.left(6).compare(QLatin1String("total "), Qt::CaseInsensitive) == 0) {
        e.name = QStringLiteral(".");
        return;
    }
    Scanner s(line);
    e.attributes = cache.get(s.token());
    s.skipWhitespace();
    for (int i = 0; i < skipped; ++i) {
        s.token();
        s.skipWhitespace();
    }
    e.size = s.token().toString();
    s.skipWhitespace();
    const QStringView month = s.token();
    s.skipWhitespace();
    const QStringView day = s.token();
    s.skipWhitespace();
    const QStringView time = s.token();
    s.skipWhitespace();
    if (time.contains(QLatin1Char(':'))) {
        e.date = cachedDate(cache, month, day);
        e.time = cache.get(time);
    } else {
        // A year where the time would be (files older than half a year).
        e.date = cachedDate(cache, month, day, time);
    }
    e.name = s.rest().trimmed().toString();
    e.directory = startsWithD(e.attributes);
}

// Type 2: date (month-day-year with hyphens), time, size or <DIR>, name. The
// hyphens become spaces, as the fixed-column types give the date.
void readMsFtp4(QStringView line, DirEntry& e)
{
    const Tokens t(line);
    if (t.count() > 0) {
        e.date = t.text(0);
        e.date.replace(QLatin1Char('-'), kSpace);
    }
    if (t.count() > 1)
        e.time = t.text(1);
    if (t.count() > 2) {
        if (t.at(2).compare(QLatin1String("<dir>"), Qt::CaseInsensitive) == 0)
            e.directory = true;
        else
            e.size = t.text(2);
    }
    e.name = t.restFrom(3);
}

// Type 3 (Mac): folders carry one column fewer than files.
void readMac(QStringView line, DirEntry& e)
{
    e.directory = startsWithD(line);
    const int k = e.directory ? 0 : 1;
    const Tokens t(line);
    if (t.count() > k + 4)
        e.date = joinDate(t.at(k + 3), t.at(k + 4));
    if (t.count() > k + 5)
        e.time = t.text(k + 5);
    if (!e.directory && t.count() > 1)
        e.size = t.text(1);
    e.name = t.restFrom(k + 6);
}

// Type 4: tokens at the site's positions. When the name is the last column
// used, it runs to the end of the line.
void readCustom(QStringView line, const ListingFormat& f, DirEntry& e)
{
    const Tokens t(line);
    auto present = [&](int pos) { return pos >= 1 && pos <= t.count(); };
    if (present(f.attributePos)) {
        e.attributes = t.text(f.attributePos - 1);
        e.directory = startsWithD(e.attributes);
    }
    if (present(f.sizePos))
        e.size = t.text(f.sizePos - 1);
    if (present(f.namePos)) {
        const bool nameLast = f.namePos > f.sizePos && f.namePos > f.monthPos
            && f.namePos > f.dayPos && f.namePos > f.timePos && f.namePos > f.attributePos;
        e.name = nameLast ? t.restFrom(f.namePos - 1) : t.text(f.namePos - 1);
    }
    if (present(f.timePos))
        e.time = t.text(f.timePos - 1);
    if (present(f.monthPos))
        e.date = t.text(f.monthPos - 1);
    if (present(f.dayPos))
        e.date = joinDate(e.date, t.at(f.dayPos - 1));
}

// Type 5 (VMS): NAME.EXT;VERSION  SIZE  DD-MON-YYYY  HH:MM:SS  [OWNER]  (PROTECTION)
void readVms(QStringView line, DirEntry& e)
{
    if (line.startsWith(QLatin1String("DISK$ARCHIVE:[")) || line.startsWith(QLatin1String("Total of "))
        || line.startsWith(QLatin1String("Grand total of "))) {
        e.name = QStringLiteral(".");
        return;
    }
    const qsizetype dirMark = line.indexOf(QLatin1String(".DIR;"));
    e.directory = dirMark >= 0;
    const Tokens t(line);
    if (t.count() > 0) {
        QStringView name = t.at(0);
        const qsizetype cut = e.directory ? name.indexOf(QLatin1String(".DIR;"))
                                          : name.indexOf(QLatin1Char(';'));
        e.name = (cut >= 0 ? name.left(cut) : name).toString();
    }
    if (t.count() > 2)
        e.date = VmsDate(t.text(2));
    if (t.count() > 3)
        e.time = t.text(3);
    if (t.count() > 5)
        e.attributes = t.text(5);
}

// Types 6 and 8: fixed columns (1-based): date 1-8 as MM-DD-YY, time 10-19,
// <DIR> 20-29, size right-aligned ending by column 39, name from column 40.
void readFixed(QStringView line, FieldCache& cache, DirEntry& e)
{
    e.date = cachedDate(cache, line.mid(0, 2), line.mid(3, 2), line.mid(6, 2));
    e.time = cache.get(line.mid(9, 10).trimmed());
    e.directory = line.mid(19, 10).trimmed() == QLatin1String("<DIR>");
    e.name = line.mid(39).trimmed().toString();
    if (e.directory) {
        if (e.name.isEmpty())
            e.name = QStringLiteral("..");
    } else {
        // A size of ten or more digits starts left of column 30: take the
        // whole last number before the name column, not a cut of it.
        const QStringView middle = line.mid(9, 30).trimmed();
        const qsizetype space = middle.lastIndexOf(kSpace);
        e.size = (space < 0 ? middle.mid(0, 0) : middle.mid(space + 1)).trimmed().toString();
    }
}

} // namespace

void readLine(QStringView line, const ListingFormat& format, FieldCache& cache, DirEntry& e)
{
    switch (format.type) {
    case ListingFormat::Text:
        e.name = line.toString();
        e.directory = startsWithD(line);
        break;
    case ListingFormat::MsFtp4:
        readMsFtp4(line, e);
        break;
    case ListingFormat::Mac:
        readMac(line, e);
        break;
    case ListingFormat::Custom:
        readCustom(line, format, e);
        break;
    case ListingFormat::Vms:
        readVms(line, e);
        break;
    case ListingFormat::MsFtp5:
    case ListingFormat::Win2000:
        readFixed(line, cache, e);
        break;
    case ListingFormat::Unix:
        readUnix(line, 3, cache, e);
        break;
    case ListingFormat::WuFtp2:
        readUnix(line, 5, cache, e);
        break;
    default:
        readDefault(line, cache, e);
        break;
    }
}

} // namespace listing_detail
