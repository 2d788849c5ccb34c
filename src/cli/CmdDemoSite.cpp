// varnoth-cli demo-site: makes sure the saved sites hold the site of the demo
// FTP server that scripts/run starts, pointing at the port it got.
#include "CliCommand.h"
#include "CliText.h"

#include "settings/Globals.h"
#include "sites/SiteListEdit.h"
#include "sites/SiteListFile.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

namespace {

int runDemoSite(const QStringList& args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes sure the site of the local demo FTP server is saved: adds the folder and the "
        "site (anonymous, passive) when missing, or sets the port of the site that is there. "
        "No other site or folder changes."));
    parser.addHelpOption();
    const QCommandLineOption dirOption(QStringLiteral("program-dir"),
                                       QStringLiteral("Program directory holding the site lists."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("The server's port."),
                                        QStringLiteral("N"));
    const QCommandLineOption hostOption(QStringLiteral("host"), QStringLiteral("The server's address."),
                                        QStringLiteral("HOST"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption folderOption(QStringLiteral("folder"), QStringLiteral("The site folder."),
                                          QStringLiteral("FOLDER"), QStringLiteral("Demo"));
    const QCommandLineOption nameOption(QStringLiteral("name"), QStringLiteral("The site's name."),
                                        QStringLiteral("NAME"), QStringLiteral("Local demo server"));
    parser.addOptions({dirOption, portOption, hostOption, folderOption, nameOption});
    if (!parser.parse(args)) {
        err << "varnoth-cli demo-site: " << parser.errorText() << '\n';
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out << commandHelpText(parser, QStringLiteral("demo-site"), QString());
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "varnoth-cli demo-site: unexpected argument '" << parser.positionalArguments().first() << "'\n";
        return 2;
    }
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port == 0 || port > 65535) {
        err << "varnoth-cli demo-site: --port needs a port number (1-65535)\n";
        return 2;
    }
    const QString name = parser.value(nameOption).trimmed();
    QString folder = parser.value(folderOption);
    const QStringList levels = folder.split('/', Qt::SkipEmptyParts);
    if (name.isEmpty() || levels.isEmpty()) {
        err << "varnoth-cli demo-site: --name and --folder must not be empty\n";
        return 2;
    }
    folder = levels.join('/') + '/';

    if (parser.isSet(dirOption)) {
        const QFileInfo dir(parser.value(dirOption));
        if (!dir.isDir()) {
            err << "varnoth-cli demo-site: no such directory: " << parser.value(dirOption) << '\n';
            return 1;
        }
        ProgramDir = WithTrailingSlash(dir.absoluteFilePath());
    } else {
        InitProgramDir();
    }

    TFTPServerObj site = CreateSite();
    site.Name = name;
    site.Server = parser.value(hostOption);
    site.Port = QString::number(port);
    site.Anonymous = 1;
    site.User = QStringLiteral("anonymous");
    site.Pasv = 1;
    if (site.EMail.isEmpty())
        site.EMail = QStringLiteral("guest@localhost");  // the anonymous login's password
    site.Description = QStringLiteral("The demo FTP server that scripts/run starts on this machine");

    QString error;
    if (!EnsureSiteFolder(folder, &error)) {
        err << "varnoth-cli demo-site: " << error << '\n';
        return 1;
    }
    const QString where = folder + site.Name;
    switch (EnsureSavedSite(folder, site, &error)) {
    case TEnsureSiteResult::Added:
        out << "added " << where << " (" << site.Server << ':' << site.Port << ")\n";
        return 0;
    case TEnsureSiteResult::PortChanged:
        out << "port of " << where << " set to " << site.Port << '\n';
        return 0;
    case TEnsureSiteResult::Unchanged:
        out << where << " already uses port " << site.Port << '\n';
        return 0;
    case TEnsureSiteResult::Failed:
        break;
    }
    err << "varnoth-cli demo-site: " << error << '\n';
    return 1;
}

CliCommandRegistration registration({QStringLiteral("demo-site"),
                                     QStringLiteral("Save the site of the local demo server (scripts/run)"),
                                     runDemoSite});

} // namespace
