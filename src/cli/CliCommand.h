#pragma once
// The sub-commands of varnoth-cli. Each lives in its own file and registers
// itself here; main() picks one by its name (the first argument).
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

struct CliCommand {
    QString name;      // "ls", "get", "parse", ...
    QString summary;   // one line for the overview
    // Runs the command; args[0] is the command name, as QCommandLineParser
    // expects. Returns the process exit status.
    std::function<int(const QStringList& args)> run;
};

std::vector<CliCommand>& cliCommands();

struct CliCommandRegistration {
    explicit CliCommandRegistration(CliCommand cmd) { cliCommands().push_back(std::move(cmd)); }
};
