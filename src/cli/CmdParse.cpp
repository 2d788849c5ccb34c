// varnoth-cli parse: reads raw LIST output and prints the parsed entries, one
// per line, so listings can be checked and scripted without a session.
#include "CliCommand.h"
#include "CliText.h"

#include "listing/ListingDate.h"
#include "listing/ListingParser.h"
#include "listing/ListingText.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <cmath>

namespace {

const char kDescription[] =
    "Parses raw directory listing lines (LIST output) as the given server type\n"
    "reads them and prints one line per entry with TAB-separated fields:\n"
    "  Kind (0 directory, 1 file), Name, Size, Date, Time, Attributes,\n"
    "  LinkTarget, the date as YYYY-MM-DD, the time as HH:MM (empty when the\n"
    "  entry has no time).\n"
    "When a VMS header names the directory, the first line is\n"
    "  directory<TAB>PATH\n"
    "Input bytes are decoded line by line as UTF-8 when valid, else Latin-1.\n"
    "\n"
    "Server types: 0 Default (UNIX-like, group column optional), 1 Text,\n"
    "  2 Microsoft FTP-v.4.0., 3 Mac, 4 Custom, 5 VMS, 6 Microsoft FTP-v.5.0.,\n"
    "  7 UNIX/BSD/WU-FTP, 8 Windows 2000 Advanced Server, 9 WU-FTP-2.\n"
    "\n"
    "Custom columns (type 4): --columns takes six characters giving the 1-based\n"
    "  token positions of Name, Size, Month, Day, Time and Attribute, in that\n"
    "  order (characters 2 to 7 of a site's Answer text). Each is read as a hex\n"
    "  digit; 0 or A-F means the column is absent. Default: 957681.\n"
    "  Example: lines like 'drwxr-xr-x 2 owner group 4096 Jan 12 10:00 name' read\n"
    "  with --type 4 --columns 956781 (Name 9, Size 5, Month 6, Day 7, Time 8,\n"
    "  Attribute 1); when Name is the last position used, the name runs to the\n"
    "  end of the line.";

struct Options {
    ListingFormat format;
    double shiftDays = 0.0;
    QDate today;
    QString file;
};

bool parseZoneDiff(const QString& text, double& shiftDays)
{
    static const QRegularExpression shape(QStringLiteral("^[+-]?\\d{1,2}(\\.\\d{1,2})?$"));
    if (!shape.match(text).hasMatch())
        return false;
    const double value = text.toDouble();
    const double magnitude = std::abs(value);
    const int minutes = qRound((magnitude - std::floor(magnitude)) * 100.0);
    if (magnitude > 24.0 || minutes >= 60)
        return false;
    shiftDays = HoursToDayFraction(value);
    return true;
}

// Returns an error message, or an empty string when the options are sound.
QString readOptions(const QStringList& args, Options& o, bool& helpShown)
{
    QCommandLineParser p;
    p.setApplicationDescription(QString::fromLatin1(kDescription));
    p.addHelpOption();
    p.addOption({QStringLiteral("type"), QStringLiteral("Server type digit 0-9 (default 0)."),
                 QStringLiteral("N"), QStringLiteral("0")});
    p.addOption({QStringLiteral("zone-diff"),
                 QStringLiteral("Site time zone minus local time zone, hours and minutes as "
                                "H.MM (5.30 is five hours thirty); entry times are shifted back by it."),
                 QStringLiteral("H.MM")});
    p.addOption({QStringLiteral("today"),
                 QStringLiteral("The date that stands for today (year inference, unreadable "
                                "dates). Default: the system date."),
                 QStringLiteral("YYYY-MM-DD")});
    p.addOption({QStringLiteral("columns"),
                 QStringLiteral("Custom column positions for type 4: six characters for Name, "
                                "Size, Month, Day, Time, Attribute."),
                 QStringLiteral("NSMDTA")});
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Listing file, or - for standard input."));
    if (!p.parse(args))
        return p.errorText();
    if (p.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << commandHelpText(p, QStringLiteral("parse"), QStringLiteral("FILE"));
        helpShown = true;
        return QString();
    }

    const QString type = p.value(QStringLiteral("type"));
    if (type.size() != 1 || !type[0].isDigit() || type[0].unicode() > '9')
        return QStringLiteral("--type must be one digit 0 to 9, not '%1'").arg(type);
    o.format = ListingFormat::fromAnswer(type + QStringLiteral("957681"));

    if (p.isSet(QStringLiteral("columns"))) {
        static const QRegularExpression shape(QStringLiteral("^[0-9A-Fa-f]{6}$"));
        const QString columns = p.value(QStringLiteral("columns"));
        if (!shape.match(columns).hasMatch())
            return QStringLiteral("--columns needs six hex digits (Name, Size, Month, Day, Time, Attribute), not '%1'")
                .arg(columns);
        if (o.format.type != ListingFormat::Custom)
            return QStringLiteral("--columns applies to --type 4 only");
        o.format.setPositions(columns);
    }

    if (p.isSet(QStringLiteral("zone-diff"))
        && !parseZoneDiff(p.value(QStringLiteral("zone-diff")), o.shiftDays))
        return QStringLiteral("--zone-diff must be hours and minutes as H.MM (for example 5.30 or -2), not '%1'")
            .arg(p.value(QStringLiteral("zone-diff")));

    o.today = QDate::currentDate();
    if (p.isSet(QStringLiteral("today"))) {
        o.today = QDate::fromString(p.value(QStringLiteral("today")), QStringLiteral("yyyy-MM-dd"));
        if (!o.today.isValid())
            return QStringLiteral("--today must be a date as YYYY-MM-DD, not '%1'")
                .arg(p.value(QStringLiteral("today")));
    }

    const QStringList files = p.positionalArguments();
    if (files.size() != 1)
        return QStringLiteral("expected exactly one FILE (or - for standard input)");
    o.file = files[0];
    return QString();
}

int runParse(const QStringList& args)
{
    QTextStream err(stderr);
    Options o;
    bool helpShown = false;
    const QString problem = readOptions(args, o, helpShown);
    if (helpShown)
        return 0;
    if (!problem.isEmpty()) {
        err << "varnoth-cli parse: " << problem << "\nRun 'varnoth-cli parse --help' for the options.\n";
        return 2;
    }

    QFile file;
    bool opened = false;
    if (o.file == QLatin1String("-"))
        opened = file.open(stdin, QIODevice::ReadOnly);
    else {
        file.setFileName(o.file);
        opened = file.open(QIODevice::ReadOnly);
    }
    QByteArray data;
    if (opened)
        data = file.readAll();
    if (!opened || file.error() != QFileDevice::NoError) {
        err << "varnoth-cli parse: cannot read " << o.file << ": " << file.errorString() << '\n';
        return 1;
    }

    const ParsedListing parsed = parseListingEntries(DecodeListingLines(data), o.format);
    QTextStream out(stdout);
    const QLatin1Char tab('\t');
    if (!parsed.directory.isEmpty())
        out << "directory" << tab << parsed.directory << '\n';
    for (const DirEntry& e : parsed.entries) {
        const ListingDateTime when =
            ParseListingDate(e.date() + QLatin1Char(' ') + e.time(), o.shiftDays, o.today);
        out << (e.directory ? '0' : '1') << tab << e.nameView() << tab << e.sizeView() << tab
            << e.dateView() << tab << e.timeView() << tab << e.attributesView() << tab
            << e.linkTargetView() << tab
            << when.date.toString(QStringLiteral("yyyy-MM-dd")) << tab
            << (when.hasTime ? when.time.toString(QStringLiteral("HH:mm")) : QString()) << '\n';
    }
    out.flush();
    return 0;
}

const CliCommandRegistration registration(
    {QStringLiteral("parse"), QStringLiteral("Parse raw listing lines as a server type reads them"), runParse});

} // namespace
