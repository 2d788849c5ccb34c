#include "listing/MlsdParser.h"

#include "listing/ListingDisplay.h"
#include "listing/ListingLinks.h"
#include "listing/ListingText.h"

#include <QDate>
#include <limits>

namespace {

QStringView withoutLineEnd(QStringView line)
{
    while (!line.isEmpty() && (line.back() == QLatin1Char('\r') || line.back() == QLatin1Char('\n')))
        line.chop(1);
    return line;
}

bool is(QStringView text, const char* word)
{
    return text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// A byte count: digits only (no sign, no spaces), at most the largest 64-bit
// value. A server that sends "-1" or twenty digits sends no size.
bool isByteCount(QStringView value)
{
    if (value.isEmpty() || value.size() > 19)
        return false;
    qint64 n = 0;
    for (QChar c : value) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        const int digit = c.unicode() - '0';
        if (n > (std::numeric_limits<qint64>::max() - digit) / 10)
            return false;
        n = n * 10 + digit;
    }
    return true;
}

// The value of count decimal digits at text[from]; -1 when one is no digit.
int digitsAt(QStringView text, qsizetype from, int count)
{
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = text[from + i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}

void putDigits(QChar*& out, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = QLatin1Char(char('0' + value % 10));
        value /= 10;
    }
    out += width;
}

// The date and time texts of a modify value, written into the two buffers
// (10 and 8 characters, the year up to 5 digits makes it 11).
bool convertTime(QStringView value, int zoneSeconds, QChar (&date)[11], qsizetype& dateLength, QChar (&time)[8])
{
    if (value.size() < 14)
        return false;
    if (value.size() > 14) {
        // Fractions of a second: a dot and at least one digit, then nothing.
        // Only whether they are digits counts: any number of them is valid,
        // so they are never added up (that would overflow).
        if (value[14] != QLatin1Char('.') || value.size() == 15)
            return false;
        for (QChar c : value.sliced(15))
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
    }
    const int year = digitsAt(value, 0, 4), month = digitsAt(value, 4, 2), day = digitsAt(value, 6, 2);
    const int hour = digitsAt(value, 8, 2), minute = digitsAt(value, 10, 2);
    int second = digitsAt(value, 12, 2);
    // Years before 1000 would read back as two-digit years; no server
    // means them.
    if (year < 1000 || month < 1 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0
        || second > 60)
        return false;
    if (second == 60)
        second = 59;  // a leap second: the last second of that minute
    QDate d(year, month, day);
    if (!d.isValid())
        return false;
    qint64 seconds = qint64(hour) * 3600 + minute * 60 + second + zoneSeconds;
    qint64 days = seconds / 86400;
    seconds %= 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    d = d.addDays(days);
    QChar* out = date;
    putDigits(out, d.day(), 2);
    *out++ = QLatin1Char('.');
    putDigits(out, d.month(), 2);
    *out++ = QLatin1Char('.');
    putDigits(out, d.year(), d.year() > 9999 ? 5 : 4);
    dateLength = out - date;
    out = time;
    putDigits(out, int(seconds / 3600), 2);
    *out++ = QLatin1Char(':');
    putDigits(out, int(seconds / 60 % 60), 2);
    *out++ = QLatin1Char(':');
    putDigits(out, int(seconds % 60), 2);
    return true;
}

// What one line says, as views into the line.
struct LineFacts {
    QStringView type, size, sizd, modify, mode, perm;
};

void readFacts(QStringView facts, LineFacts& f)
{
    f = LineFacts();
    while (!facts.isEmpty()) {
        qsizetype end = facts.indexOf(QLatin1Char(';'));
        if (end < 0)
            end = facts.size();
        const QStringView fact = facts.left(end);
        facts = facts.mid(qMin(end + 1, facts.size()));
        const qsizetype eq = fact.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;  // no fact at all ("", "x", "=y"): nothing to read
        const QStringView name = fact.left(eq), value = fact.mid(eq + 1);
        if (is(name, "type"))
            f.type = value;
        else if (is(name, "size"))
            f.size = value;
        else if (is(name, "sizd"))
            f.sizd = value;
        else if (is(name, "modify"))
            f.modify = value;
        else if (is(name, "UNIX.mode"))
            f.mode = value;
        else if (is(name, "perm"))
            f.perm = value;
        // Any other fact (unique, UNIX.owner, lang, create, ...) is not shown.
    }
}

// "OS.unix=slink" or "OS.unix=symlink", with or without ":target".
bool readLinkType(QStringView type, QStringView& target)
{
    if (!type.startsWith(QLatin1String("OS.unix="), Qt::CaseInsensitive))
        return false;
    QStringView kind = type.mid(8);
    const qsizetype colon = kind.indexOf(QLatin1Char(':'));
    target = colon < 0 ? QStringView() : kind.mid(colon + 1);
    if (colon >= 0)
        kind = kind.left(colon);
    return is(kind, "slink") || is(kind, "symlink");
}

class Problems {
public:
    explicit Problems(MlsdListing& out) : m_out(out) {}
    void skip(qsizetype line, const char* reason, QStringView text)
    {
        ++m_out.skipped;
        note(line, reason, text);
    }
    void badFact(qsizetype line, const char* reason, QStringView text)
    {
        ++m_out.badFacts;
        note(line, reason, text);
    }

private:
    void note(qsizetype line, const char* reason, QStringView text)
    {
        if (m_out.problems.size() >= MlsdListing::kMaxProblems)
            return;
        constexpr qsizetype kShown = 120;
        QString shown = EscapedName(text.left(kShown).toString());
        if (text.size() > kShown)
            shown += QStringLiteral("...");
        m_out.problems.append(QStringLiteral("line %1: %2: %3").arg(line + 1).arg(QLatin1String(reason), shown));
    }
    MlsdListing& m_out;
};

} // namespace

bool MlsdTimeToEntryTexts(QStringView value, int zoneSeconds, QString& date, QString& time)
{
    QChar d[11], t[8];
    qsizetype dateLength = 0;
    if (!convertTime(value, zoneSeconds, d, dateLength, t))
        return false;
    date = QString(d, dateLength);
    time = QString(t, 8);
    return true;
}

QString MlsdModeToAttributes(QStringView mode, QChar kind)
{
    // Python's octal form ("0o755"), as pyftpdlib sends it.
    if (mode.startsWith(QLatin1String("0o"), Qt::CaseInsensitive))
        mode = mode.mid(2);
    if (mode.isEmpty() || mode.size() > 7)
        return QString();
    int bits = 0;
    for (QChar c : mode) {
        if (c < QLatin1Char('0') || c > QLatin1Char('7'))
            return QString();
        bits = bits * 8 + (c.unicode() - '0');
    }
    QString out(10, QLatin1Char('-'));
    out[0] = kind;
    static const char letters[] = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        if (bits & (0400 >> i))
            out[i + 1] = QLatin1Char(letters[i]);
    // setuid, setgid and sticky share the execute positions: lower case when
    // execute is set as well.
    const auto special = [&](int bit, int at, char letter) {
        if (bits & bit)
            out[at] = QLatin1Char(out[at] == QLatin1Char('x') ? letter : char(letter - 'a' + 'A'));
    };
    special(04000, 3, 's');
    special(02000, 6, 's');
    special(01000, 9, 't');
    return out;
}

MlsdListing ParseMlsdLines(const QStringList& lines, int zoneSeconds)
{
    MlsdListing out;
    out.entries.reserve(size_t(lines.size()));
    Problems problems(out);
    listing_detail::LinkNotes links(size_t(lines.size()));
    DirEntryPool pool;
    LineFacts f;
    QString attributes;
    QChar date[11], time[8];

    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringView line = withoutLineEnd(lines[i]);
        if (line.trimmed().isEmpty())
            continue;
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        if (space < 0) {
            problems.skip(i, "no space before the name", line);
            continue;
        }
        const QStringView name = line.mid(space + 1);
        if (name.isEmpty()) {
            problems.skip(i, "no name", line);
            continue;
        }
        readFacts(line.left(space), f);
        if (f.type.isEmpty()) {
            problems.skip(i, "no type fact", line);
            continue;
        }
        bool directory = false, link = false;
        QStringView target;
        if (is(f.type, "cdir") || is(f.type, "pdir")) {
            continue;  // the directory itself and its parent, like "." and ".."
        } else if (is(f.type, "dir")) {
            directory = true;
        } else if (readLinkType(f.type, target)) {
            directory = link = true;  // unless its target is a file listed here
        } else if (!is(f.type, "file")) {
            problems.skip(i, "neither a file, a directory nor a link", line);
            continue;
        }
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;

        QStringView size = directory && !link && !f.sizd.isEmpty() ? f.sizd : f.size;
        if (!size.isEmpty() && !isByteCount(size)) {
            problems.badFact(i, "the size is no byte count", line);
            size = QStringView();
        }
        if (link && target.isEmpty())
            size = QStringView();  // a link to nowhere known counts as a directory

        QStringView dateText, timeText;
        qsizetype dateLength = 0;
        if (!f.modify.isEmpty()) {
            if (convertTime(f.modify, zoneSeconds, date, dateLength, time)) {
                dateText = QStringView(date, dateLength);
                timeText = QStringView(time, 8);
            } else {
                problems.badFact(i, "the modification time is no date", line);
            }
        }

        const QChar kind = QLatin1Char(link ? 'l' : directory ? 'd' : '-');
        attributes.clear();
        if (!f.mode.isEmpty()) {
            attributes = MlsdModeToAttributes(f.mode, kind);
            if (attributes.isEmpty())
                problems.badFact(i, "the mode is no octal number", line);
        }
        if (attributes.isEmpty()) {
            // Never a text that starts with "l" for anything but a link: that
            // is what marks a link. The perm letters go in parentheses.
            if (link)
                attributes = QStringLiteral("l");
            else if (!f.perm.isEmpty())
                attributes = QLatin1Char('(') + f.perm.toString() + QLatin1Char(')');
        }

        links.note(out.entries.size(), name, target);
        out.entries.push_back(pool.make(directory, name, size, dateText, timeText, attributes, target));
    }
    listing_detail::classifyLinks(out.entries, links, out.linkSteps);
    return out;
}

MlsdListing ParseMlsd(const QByteArray& data, int zoneSeconds)
{
    return ParseMlsdLines(DecodeListingLines(data), zoneSeconds);
}

QString MlsdListing::Summary() const
{
    if (skipped == 0 && badFacts == 0)
        return QString();
    QString text = QStringLiteral("MLSD listing: %1 line(s) left out, %2 fact(s) dropped").arg(skipped).arg(badFacts);
    constexpr int kShown = 5;
    text += QStringLiteral(" (") + problems.mid(0, kShown).join(QStringLiteral("; "));
    if (problems.size() > kShown || std::size_t(problems.size()) < skipped + badFacts)
        text += QStringLiteral("; ...");
    return text + QLatin1Char(')');
}
