#include "CommandLine.h"

#include "settings/Globals.h"
#include "settings/ShippedData.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <cstring>

static void printHelp(QTextStream& out)
{
    out << "Usage: varnoth [OPTION] [ftp://[USER[:PASSWORD]@]HOST[:PORT][/PATH]]\n"
           "A two-pane FTP client: local files on the left, saved sites or the\n"
           "server's directory on the right, the dialogue with the server below.\n"
           "An ftp:// link opens a session to that server and directory, through\n"
           "the saved site of the same host, port and user when there is one; a\n"
           "missing password is asked for.\n"
           "\n"
           "Options:\n"
           "  --help     show this help and exit\n"
           "  --version  show the version and exit\n"
           "\n"
           "Files:\n"
           "  settings, saved sites and logs: "
        << QDir::toNativeSeparators(ProgramDir)
        << "\n"
           "  language files and help page:   "
        << QDir::toNativeSeparators(ShippedDataDir())
        << "\n"
           "\n"
           "VARNOTH_PROGRAM_DIR names another directory for the settings.\n"
           "The command-line companion is varnoth-cli.\n";
}

std::optional<int> RunInformationOption(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
        const bool version = std::strcmp(argv[i], "--version") == 0;
        if (!help && !version)
            continue;
        // No window, so no display is needed: a core application suffices.
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("varnoth"));
        QTextStream out(stdout);
        if (version) {
            out << "varnoth " << VARNOTH_VERSION << '\n';
            return 0;
        }
        InitProgramDir();
        printHelp(out);
        return 0;
    }
    return std::nullopt;
}
