#include "listing/ListingParser.h"

#include "listing/ListingLineReaders.h"
#include "listing/ListingLinks.h"


namespace {

QStringView withoutLineEnd(QStringView line)
{
    while (!line.isEmpty() && (line.back() == QLatin1Char('\r') || line.back() == QLatin1Char('\n')))
        line.chop(1);
    return line;
}

// "[USERS.SMITH]" style path inside brackets to "USERS/SMITH".
QString bracketPath(QStringView text)
{
    const qsizetype close = text.indexOf(QLatin1Char(']'));
    QString path = (close < 0 ? text : text.left(close)).toString();
    path.replace(QLatin1Char('.'), QLatin1Char('/'));
    return path;
}

// VMS directory headers. Returns true (and sets directory) for a header line.
bool readVmsHeader(QStringView line, QString& directory)
{
    if (line.left(14).compare(QLatin1String("DISK$ARCHIVE:["), Qt::CaseInsensitive) == 0) {
        directory = bracketPath(line.mid(14));
        return true;
    }
    // "Directory DEVICE:[A.B]": the path inside the brackets.
    if (line.left(10).compare(QLatin1String("Directory "), Qt::CaseInsensitive) == 0) {
        const QStringView rest = line.mid(10).trimmed();
        const qsizetype open = rest.indexOf(QLatin1String(":["));
        if (open >= 0) {
            directory = bracketPath(rest.mid(open + 2));
            return true;
        }
    }
    return false;
}

// A VMS line that holds only a name: the server pushed the rest of the entry
// onto the next line because the name was long.
bool isVmsNameOnly(QStringView line)
{
    const QStringView t = line.trimmed();
    return line.size() < 40 && !t.isEmpty() && !t.contains(QLatin1Char(' '));
}

// "name -> target": the name and the target apart, as views into the line.
void splitLink(listing_detail::LineFields& f)
{
    f.directory = true;  // unless its target turns out to be a file
    qsizetype arrow = f.name.indexOf(QLatin1String(" -> "));
    qsizetype arrowLen = 4;
    if (arrow < 0) {
        arrow = f.name.indexOf(QLatin1String("->"));
        arrowLen = 2;
    }
    if (arrow < 0) {
        f.size = QStringView();  // a link without a target stays a directory
        return;
    }
    f.linkTarget = f.name.mid(arrow + arrowLen).trimmed();
    f.name = f.name.left(arrow).trimmed();
}

} // namespace

ParsedListing parseListingEntries(const QStringList& lines, const ListingFormat& format)
{
    ParsedListing out;
    out.entries.reserve(size_t(lines.size()));
    AdviseHugePages(out.entries.data(), out.entries.capacity() * sizeof(DirEntry));
    const bool vms = format.type == ListingFormat::Vms;
    QString joined;
    listing_detail::LineFields f;
    listing_detail::LinkNotes links(size_t(lines.size()));
    DirEntryPool pool;

    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringView line = withoutLineEnd(lines[i]);
        if (line.size() < 3)
            continue;
        if (vms) {
            if (readVmsHeader(line, out.directory))
                continue;
            if (line.startsWith(QLatin1Char('%')))
                continue;  // a server message
            if (i + 1 < lines.size() && isVmsNameOnly(line)) {
                joined = line.toString();
                joined.append(withoutLineEnd(lines[++i]));
                line = joined;
            }
        } else if (format.type == ListingFormat::Default
                   && line.left(6).compare(QLatin1String("total "), Qt::CaseInsensitive) == 0) {
            continue;
        }

        listing_detail::readLine(line, format, f);
        if (f.attributes.startsWith(QLatin1Char('l')))
            splitLink(f);
        if (f.name == QLatin1String(".") || f.name == QLatin1String(".."))
            continue;
        links.note(out.entries.size(), f.name, f.linkTarget);
        out.entries.push_back(pool.make(f.directory, f.name, f.size, f.date, f.time, f.attributes, f.linkTarget));
    }
    listing_detail::classifyLinks(out.entries, links, out.linkSteps);
    return out;
}

void ParseListing(QStringList& lines, QString& directory, const ListingFormat& format)
{
    ParsedListing parsed = parseListingEntries(lines, format);
    directory = parsed.directory;
    QStringList texts;
    texts.reserve(qsizetype(parsed.entries.size()));
    for (const DirEntry& e : parsed.entries)
        texts.append(e.toText());
    lines = std::move(texts);
}
