#include "ftp/FtpFeatures.h"

namespace {

// "211-" or "211 " at the start of a line.
bool startsWithCode(QStringView line, QChar mark)
{
    return line.size() >= 4 && line.left(3) == QLatin1String("211") && line[3] == mark;
}

} // namespace

TFtpFeatures TFtpFeatures::FromReply(const QStringList& lines)
{
    TFtpFeatures f;
    if (lines.isEmpty())
        return f;
    const QString& last = lines.last();
    if (!startsWithCode(last, QLatin1Char(' ')) && last != QLatin1String("211"))
        return f;  // no 211 reply: no features known
    f.m_known = true;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        QStringView line(lines[i]);
        if (startsWithCode(line, QLatin1Char('-')))
            line = line.mid(4);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        const QString name = (space < 0 ? line : line.left(space)).toString().toUpper();
        if (f.m_parameters.contains(name))
            continue;  // the first mention counts
        f.m_names << name;
        f.m_parameters.insert(name, space < 0 ? QString() : line.mid(space + 1).trimmed().toString());
    }
    return f;
}

bool TFtpFeatures::Has(QStringView name) const
{
    return m_parameters.contains(name.toString().toUpper());
}

QString TFtpFeatures::Parameters(QStringView name) const
{
    return m_parameters.value(name.toString().toUpper());
}

QStringList TFtpFeatures::MlstFacts() const
{
    QStringList facts;
    for (const QString& fact : Parameters(u"MLST").split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        QString name = fact.trimmed();
        if (name.endsWith(QLatin1Char('*')))
            name.chop(1);
        if (!name.isEmpty())
            facts << name;
    }
    return facts;
}

QStringList TFtpFeatures::MlstFactsEnabled() const
{
    QStringList facts;
    for (const QString& fact : Parameters(u"MLST").split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = fact.trimmed();
        if (name.size() > 1 && name.endsWith(QLatin1Char('*')))
            facts << name.chopped(1);
    }
    return facts;
}
