#include "listing/FileMask.h"

#include <QVarLengthArray>

namespace {

using Pieces = QVarLengthArray<QStringView, 8>;

// Cuts text at "." into trimmed pieces and drops the empty ones at the end.
// A leading "." stays with the first piece.
void splitPieces(QStringView text, Pieces& out)
{
    out.clear();
    qsizetype start = 0;
    qsizetype from = text.startsWith(QLatin1Char('.')) ? 1 : 0;
    for (;;) {
        const qsizetype dot = text.indexOf(QLatin1Char('.'), from);
        if (dot < 0) {
            out.append(text.mid(start).trimmed());
            break;
        }
        out.append(text.mid(start, dot - start).trimmed());
        start = from = dot + 1;
    }
    while (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
}

// One UTF-16 unit, or two for a surrogate pair: "?" stands for one character.
qsizetype charLength(QStringView s, qsizetype at)
{
    return at + 1 < s.size() && s[at].isHighSurrogate() && s[at + 1].isLowSurrogate() ? 2 : 1;
}

// Wildcard match of one piece; the mask is already case-folded. Each "*"
// remembers where it started so a later mismatch retries it one character
// further on (linear backtracking to the last star only, which is enough:
// an earlier star can never do better than the last one).
bool matchPiece(QStringView mask, QStringView name)
{
    qsizetype m = 0, n = 0;
    qsizetype star = -1, resume = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == QLatin1Char('*')) {
            star = ++m;
            resume = n;
        } else if (m < mask.size() && mask[m] == QLatin1Char('?')) {
            ++m;
            n += charLength(name, n);
        } else if (m < mask.size() && (mask[m] == name[n] || mask[m] == name[n].toCaseFolded())) {
            ++m;
            ++n;
        } else if (star >= 0) {
            m = star;
            resume += charLength(name, resume);
            n = resume;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == QLatin1Char('*'))
        ++m;
    return m == mask.size();
}

} // namespace

FileMask::FileMask(const QString& masks)
{
    const QString all = masks.trimmed();
    all_ = all.isEmpty() || all == QLatin1String("*") || all == QLatin1String("*.*");
    if (all_)
        return;
    Pieces pieces;
    for (QStringView single : QStringView(all).split(QLatin1Char(','))) {
        splitPieces(single.trimmed(), pieces);
        QStringList folded;
        for (QStringView p : pieces)
            folded.append(p.toString().toCaseFolded());
        masks_.append(folded);
    }
}

bool FileMask::Matches(QStringView name) const
{
    if (all_)
        return true;
    Pieces pieces;
    splitPieces(name, pieces);
    for (const QStringList& mask : masks_) {
        if (mask.size() != pieces.size())
            continue;
        bool ok = true;
        for (qsizetype i = 0; ok && i < mask.size(); ++i)
            ok = matchPiece(mask[i], pieces[i]);
        if (ok)
            return true;
    }
    return false;
}

bool MatchesFilter(const QString& name, const QString& masks)
{
    return FileMask(masks).Matches(name);
}
