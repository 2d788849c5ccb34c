// varnoth-cli: scripted listings and transfers on the same engine as the GUI.
#include "CliCommand.h"

#include <QCoreApplication>
#include <QTextStream>
#include <algorithm>

std::vector<CliCommand>& cliCommands()
{
    static std::vector<CliCommand> commands;
    return commands;
}

static void printOverview(QTextStream& out)
{
    out << "Usage: varnoth-cli COMMAND [OPTIONS] ARGS...\n\nCommands:\n";
    auto commands = cliCommands();
    std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    qsizetype width = 0;
    for (const auto& c : commands)
        width = std::max(width, c.name.size());
    for (const auto& c : commands)
        out << "  " << c.name.leftJustified(std::max<qsizetype>(width + 2, 8)) << c.summary << '\n';
    out << "\nRun 'varnoth-cli COMMAND --help' for the options of a command.\n";
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("varnoth-cli");
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNOTH_VERSION));

    QStringList args = app.arguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() < 2 || args[1] == "--help" || args[1] == "-h" || args[1] == "help") {
        printOverview(args.size() < 2 ? err : out);
        return args.size() < 2 ? 2 : 0;
    }
    if (args[1] == "--version") {
        out << "varnoth-cli " << QCoreApplication::applicationVersion() << '\n';
        return 0;
    }
    for (const auto& c : cliCommands()) {
        if (c.name == args[1]) {
            args.removeFirst();
            return c.run(args);
        }
    }
    err << "varnoth-cli: unknown command '" << args[1] << "'\n";
    printOverview(err);
    return 2;
}
