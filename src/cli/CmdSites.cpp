// varnoth-cli sites: prints the saved sites of the program directory.
#include "CliCommand.h"
#include "CliText.h"

#include "settings/Globals.h"
#include "sites/SiteListFile.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

namespace {

// A TAB or a line break inside a value would break the one-site-per-line,
// TAB-separated output.
QString field(const QString& value)
{
    QString out = value;
    for (QChar& c : out) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return out;
}

int runSites(const QStringList& args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the saved sites, one per line: folder/name, host, port and user, "
        "TAB-separated. Passwords are never printed."));
    parser.addHelpOption();
    const QCommandLineOption dirOption(QStringLiteral("program-dir"),
                                       QStringLiteral("Program directory holding the site lists."),
                                       QStringLiteral("DIR"));
    parser.addOption(dirOption);
    if (!parser.parse(args)) {
        err << "varnoth-cli sites: " << parser.errorText() << '\n';
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out << commandHelpText(parser, QStringLiteral("sites"), QString());
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "varnoth-cli sites: unexpected argument '" << parser.positionalArguments().first() << "'\n";
        return 2;
    }
    if (parser.isSet(dirOption)) {
        const QFileInfo dir(parser.value(dirOption));
        if (!dir.isDir()) {
            err << "varnoth-cli sites: no such directory: " << parser.value(dirOption) << '\n';
            return 1;
        }
        ProgramDir = WithTrailingSlash(dir.absoluteFilePath());
    } else {
        InitProgramDir();
    }

    ForEachSavedSite([&](const QString& folder, const TFTPServerObj& stored) {
        // The server field may be a URL carrying user and password: print
        // what a connection would use, never the password.
        TFTPServerObj site = stored;
        NormaliseServerUrl(site);
        out << field(folder + stored.Name) << '\t' << field(site.Server) << '\t'
            << field(site.Port) << '\t' << field(site.User) << '\n';
    });
    return 0;
}

CliCommandRegistration registration({QStringLiteral("sites"),
                                     QStringLiteral("List the saved sites: folder/name, host, port, user"),
                                     runSites});

} // namespace
