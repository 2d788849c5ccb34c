#include "listing/ListingLineReaders.h"

#include "listing/ListingText.h"

#include <QPair>

namespace listing_detail {

void LineFields::joinDate(QStringView month, QStringView day, QStringView year)
{
    dateBuffer.clear();
    dateBuffer.append(month.data(), month.size());
    dateBuffer.append(QLatin1Char(' '));
    dateBuffer.append(day.data(), day.size());
    if (!year.isNull()) {
        dateBuffer.append(QLatin1Char(' '));
        dateBuffer.append(year.data(), year.size());
    }
    date = QStringView(dateBuffer.constData(), dateBuffer.size());
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
    // From token i to the end of the line.
    QStringView restFrom(qsizetype i) const
    {
        if (i >= count())
            return QStringView();
        return m_line.mid(m_spans[i].first, m_end - m_spans[i].first);
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

// Type 0: a column scan over runs of spaces; the group column is optional
// (when the token after the size position is a number, it was the size and
// the group stood before it). A year in the time position stays in Time.
void readDefault(QStringView line, LineFields& f)
{
    Scanner s(line);
    f.attributes = s.token();
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
    f.time = s.token();
    s.skipSpaces();
    f.name = s.rest();
    f.size = size;
    f.joinDate(month, day);
    f.directory = startsWithD(f.attributes);
}

// Types 7 and 9: tokens read off the front, `skipped` columns between the
// attributes and the size; the name is the rest of the line.
void readUnix(QStringView line, int skipped, LineFields& f)
{
    if (line.left(6).compare(QLatin1String("total "), Qt::CaseInsensitive) == 0) {
        f.name = u".";
        return;
    }
    Scanner s(line);
    f.attributes = s.token();
    s.skipWhitespace();
    for (int i = 0; i < skipped; ++i) {
        s.token();
        s.skipWhitespace();
    }
    f.size = s.token();
    s.skipWhitespace();
    const QStringView month = s.token();
    s.skipWhitespace();
    const QStringView day = s.token();
    s.skipWhitespace();
    const QStringView time = s.token();
    s.skipWhitespace();
    if (time.contains(QLatin1Char(':'))) {
        f.joinDate(month, day);
        f.time = time;
    } else {
        // A year where the time would be (files older than half a year).
        f.joinDate(month, day, time);
    }
    f.name = s.rest().trimmed();
    f.directory = startsWithD(f.attributes);
}

// Type 2: date (month-day-year with hyphens), time, size or <DIR>, name. The
// hyphens become spaces, as the fixed-column types give the date.
void readMsFtp4(QStringView line, LineFields& f)
{
    const Tokens t(line);
    if (t.count() > 0) {
        const QStringView date = t.at(0);
        f.dateBuffer.clear();
        for (QChar c : date)
            f.dateBuffer.append(c == QLatin1Char('-') ? kSpace : c);
        f.date = QStringView(f.dateBuffer.constData(), f.dateBuffer.size());
    }
    if (t.count() > 1)
        f.time = t.at(1);
    if (t.count() > 2) {
        if (t.at(2).compare(QLatin1String("<dir>"), Qt::CaseInsensitive) == 0)
            f.directory = true;
        else
            f.size = t.at(2);
    }
    f.name = t.restFrom(3);
}

// Type 3 (Mac): folders carry one column fewer than files.
void readMac(QStringView line, LineFields& f)
{
    f.directory = startsWithD(line);
    const int k = f.directory ? 0 : 1;
    const Tokens t(line);
    if (t.count() > k + 4)
        f.joinDate(t.at(k + 3), t.at(k + 4));
    if (t.count() > k + 5)
        f.time = t.at(k + 5);
    if (!f.directory && t.count() > 1)
        f.size = t.at(1);
    f.name = t.restFrom(k + 6);
}

// Type 4: tokens at the site's positions. When the name is the last column
// used, it runs to the end of the line.
void readCustom(QStringView line, const ListingFormat& format, LineFields& f)
{
    const Tokens t(line);
    auto present = [&](int pos) { return pos >= 1 && pos <= t.count(); };
    if (present(format.attributePos)) {
        f.attributes = t.at(format.attributePos - 1);
        f.directory = startsWithD(f.attributes);
    }
    if (present(format.sizePos))
        f.size = t.at(format.sizePos - 1);
    if (present(format.namePos)) {
        const bool nameLast = format.namePos > format.sizePos && format.namePos > format.monthPos
            && format.namePos > format.dayPos && format.namePos > format.timePos
            && format.namePos > format.attributePos;
        f.name = nameLast ? t.restFrom(format.namePos - 1) : t.at(format.namePos - 1);
    }
    if (present(format.timePos))
        f.time = t.at(format.timePos - 1);
    const QStringView month = present(format.monthPos) ? t.at(format.monthPos - 1) : QStringView();
    if (present(format.dayPos))
        f.joinDate(month, t.at(format.dayPos - 1));
    else
        f.date = month;
}

// Type 5 (VMS): NAME.EXT;VERSION  SIZE  DD-MON-YYYY  HH:MM:SS  [OWNER]  (PROTECTION)
void readVms(QStringView line, LineFields& f)
{
    if (line.startsWith(QLatin1String("DISK$ARCHIVE:[")) || line.startsWith(QLatin1String("Total of "))
        || line.startsWith(QLatin1String("Grand total of "))) {
        f.name = u".";
        return;
    }
    const qsizetype dirMark = line.indexOf(QLatin1String(".DIR;"));
    f.directory = dirMark >= 0;
    const Tokens t(line);
    if (t.count() > 0) {
        QStringView name = t.at(0);
        const qsizetype cut = f.directory ? name.indexOf(QLatin1String(".DIR;"))
                                          : name.indexOf(QLatin1Char(';'));
        f.name = cut >= 0 ? name.left(cut) : name;
    }
    if (t.count() > 2) {
        f.owned = VmsDate(t.at(2).toString());
        f.date = f.owned;
    }
    if (t.count() > 3)
        f.time = t.at(3);
    if (t.count() > 5)
        f.attributes = t.at(5);
}

// Types 6 and 8: fixed columns (1-based): date 1-8 as MM-DD-YY, time 10-19,
// <DIR> 20-29, size right-aligned ending by column 39, name from column 40.
void readFixed(QStringView line, LineFields& f)
{
    f.joinDate(line.mid(0, 2), line.mid(3, 2), line.mid(6, 2));
    f.time = line.mid(9, 10).trimmed();
    f.directory = line.mid(19, 10).trimmed() == QLatin1String("<DIR>");
    f.name = line.mid(39).trimmed();
    if (f.directory) {
        if (f.name.isEmpty())
            f.name = u"..";
    } else {
        // A size of ten or more digits starts left of column 30: take the
        // whole last number before the name column, not a cut of it.
        const QStringView middle = line.mid(9, 30).trimmed();
        const qsizetype space = middle.lastIndexOf(kSpace);
        f.size = (space < 0 ? middle.mid(0, 0) : middle.mid(space + 1)).trimmed();
    }
}

} // namespace

void readLine(QStringView line, const ListingFormat& format, LineFields& f)
{
    f.clear();
    switch (format.type) {
    case ListingFormat::Text:
        f.name = line;
        f.directory = startsWithD(line);
        break;
    case ListingFormat::MsFtp4:
        readMsFtp4(line, f);
        break;
    case ListingFormat::Mac:
        readMac(line, f);
        break;
    case ListingFormat::Custom:
        readCustom(line, format, f);
        break;
    case ListingFormat::Vms:
        readVms(line, f);
        break;
    case ListingFormat::MsFtp5:
    case ListingFormat::Win2000:
        readFixed(line, f);
        break;
    case ListingFormat::Unix:
        readUnix(line, 3, f);
        break;
    case ListingFormat::WuFtp2:
        readUnix(line, 5, f);
        break;
    default:
        readDefault(line, f);
        break;
    }
}

} // namespace listing_detail
