// varnoth-cli mirror: runs a mirror job file headless on the session engine
// the window uses, answering its questions by the job's own rules.
#include "CliCommand.h"
#include "CliText.h"
#include "CliTrust.h"
#include "ConnectionSpec.h"

#include "session/Log.h"
#include "session/MirrorJob.h"
#include "session/Session.h"
#include "session/SiteList.h"
#include "session/UserInterface.h"
#include "settings/Globals.h"
#include "settings/Options.h"
#include "sites/SiteListFile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

enum { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// The progress line on a terminal: what is being copied and how far. Any
// other output first wipes it, so lines never run into each other.
class ProgressLine {
public:
    ProgressLine() : enabled_(isatty(STDERR_FILENO)) {}
    void start(const QString& name, qint64 step, qint64 size)
    {
        name_ = name;
        step_ = step;
        size_ = size;
        active_ = true;
        percent_ = -1;
        draw(0);
    }
    // Only while a file is under way: a listing moves data too.
    void progress(int count)
    {
        if (active_)
            draw(qint64(count) * step_);
    }
    void clear()
    {
        active_ = false;
        if (enabled_ && width_ > 0) {
            fprintf(stderr, "\r%*s\r", width_, "");
            fflush(stderr);
            width_ = 0;
        }
    }

private:
    void draw(qint64 bytes)
    {
        if (!enabled_)
            return;
        const int percent = size_ > 0 ? int(qBound(qint64(0), bytes * 100 / size_, qint64(100))) : 0;
        if (percent == percent_)
            return;
        percent_ = percent;
        QString text = QStringLiteral("%1% %2").arg(percent, 3).arg(printableText(name_));
        if (text.size() > 78)
            text = text.left(38) + "..." + text.right(37);
        const QByteArray line = text.toLocal8Bit();
        fprintf(stderr, "\r%-*s", width_, line.constData());
        fflush(stderr);
        width_ = std::max(width_, int(line.size()));
    }

    bool enabled_;
    QString name_;
    qint64 step_ = 1, size_ = 0;
    int width_ = 0, percent_ = -1;
    bool active_ = false;
};

ProgressLine& progressLine()
{
    static ProgressLine line;
    return line;
}

// The questions of a run, answered by the command line: an existing file is
// skipped and a deletion refused, unless --yes overwrites and confirms.
class CommandLineAnswers final : public IUserInterface {
public:
    explicit CommandLineAnswers(bool yes) : yes_(yes) {}
    int ShowMessageBox(const QString& text, const QString&, int flags) override
    {
        if ((flags & 0xf) == mb::YesNo || (flags & 0xf) == mb::YesNoCancel)
            return yes_ ? mb::IdYes : mb::IdNo;
        progressLine().clear();
        printErr("varnoth-cli mirror: " + text);
        return mb::IdOk;
    }
    bool InputLine(const QString&, const QString&, QString&, bool, int) override { return false; }
    int AskReWrite(QString&) override { return yes_ ? overwrite::Overwrite : overwrite::Skip; }
    // An untrusted certificate is asked about on the terminal as get and put
    // do (--yes never accepts one).
    int AskCertificate(const TTlsCertificateInfo& cert) override { return terminal_.AskCertificate(cert); }

private:
    bool yes_;
    TerminalTrust terminal_;
};

// The session log on stderr: everything with -v (the password is hidden by
// the session), else only what went wrong.
class StderrPane final : public ILogPane {
public:
    explicit StderrPane(bool verbose) : verbose_(verbose) {}
    QString summary;  // the run's closing line
    QStringList problems;
    QString lastRefusal;
    int LineCount() const override { return 0; }
    void RemoveFirstLine() override {}
    void AppendLine(const QString& line) override
    {
        if (line.startsWith(QLatin1String("Mirror finished")) || line.startsWith(QLatin1String("Mirror stopped")))
            summary = line;
        // The client's notes of bytes moved are no problem; its other notes are.
        static const QRegularExpression moved(QStringLiteral("^! \\d+ bytes (sent|received) in "));
        const bool problem = (line.startsWith(QLatin1String("! ")) && !moved.match(line).hasMatch())
                             || line.startsWith(QLatin1String("Error"));
        if (problem)
            problems << line;
        // A refusal of the server or the network ("530 ...", "< 421 ...").
        static const QRegularExpression refusal(QStringLiteral("^(< )?[45]\\d\\d[ -]"));
        if (refusal.match(line).hasMatch())
            lastRefusal = line;
        if (verbose_ || problem) {
            progressLine().clear();
            printErr(line);
        }
    }
    void AppendToLastLine(const QString& text) override
    {
        if (verbose_)
            printErr(text);
    }

private:
    bool verbose_;
};

// Runs the event loop until done() holds (or, with a limit, that many
// milliseconds have passed).
void runUntil(const std::function<bool()>& done, int limitMs = 0)
{
    if (done())
        return;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(10);
    if (limitMs > 0)
        QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// "upload sub/a.txt": an operation named by its path below the job's folders.
QString describe(int op, const QString& local, const QString& remote, const TMirrorJob& job)
{
    auto below = [](const QString& path, const QString& root) {
        const QString base = root.endsWith('/') ? root : root + '/';
        return path.startsWith(base) ? path.mid(base.size()) : path;
    };
    const QString l = below(local, job.Local), r = below(remote, job.Remote);
    switch (op) {
    case omGet: return "download " + r;
    case omPut: return "upload " + l;
    case omMkdLoc: return "make local dir " + l;
    case omMkdFtp: return "make remote dir " + r;
    case omRmdLoc: return "remove local dir " + l;
    case omRmdFtp: return "remove remote dir " + r;
    case omDelLoc: return "delete local " + l;
    case omDelFtp: return "delete remote " + r;
    default: return QString();
    }
}

QString jobSummary(const TMirrorJob& job)
{
    static const char* directions[] = {"the server made like the local folder",
                                       "the local folder made like the server", "both ways"};
    static const char* rules[] = {"overwrite", "overwrite only newest", "skip", "ask"};
    QString text = QStringLiteral("%1 <-> %2: %3; existing files: %4")
                       .arg(job.Local, job.Remote, directions[qBound(0, job.Direction, 2)],
                            rules[qBound(0, job.FileExists, 3)]);
    if (job.Has(mirror::IncludeSubfolders))
        text += "; subfolders";
    if (job.Has(mirror::DeleteMissing))
        text += "; delete what the source lacks";
    return text;
}

// The netrc file named on the command line (which must be readable), else
// ~/.netrc when there is one; a file others may read is ignored, as its
// passwords are no secret.
bool readNetrc(const QCommandLineParser& p, QByteArray* text, QString* error)
{
    const bool named = p.isSet("netrc-file");
    QFile f(named ? p.value("netrc-file") : QDir::homePath() + "/.netrc");
    if (!f.open(QIODevice::ReadOnly)) {
        if (named)
            *error = "cannot read the netrc file " + f.fileName() + ": " + f.errorString();
        return !named;
    }
    if (f.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther)) {
        printErr("varnoth-cli: ignoring " + f.fileName() + ": others may read it (chmod 600 " + f.fileName() + ")");
        return true;
    }
    *text = f.readAll();
    return true;
}

// The options record: options.ftp of the program directory when one is in
// use, else the defaults. The program directory always holds the report.
bool loadSettings(const QCommandLineParser& p, TFTPOptions* options, QString* error)
{
    if (p.isSet("program-dir")) {
        const QFileInfo dir(p.value("program-dir"));
        if (!dir.isDir()) {
            *error = "no such directory: " + p.value("program-dir");
            return false;
        }
        ProgramDir = WithTrailingSlash(dir.absoluteFilePath());
    } else {
        InitProgramDir();
    }
    if (p.isSet("program-dir") || p.isSet("site") || qEnvironmentVariableIsSet("VARNOTH_PROGRAM_DIR")) {
        LoadOptions();
        *options = FTPOptions;
    } else {
        options->TimeOut = 30;
    }
    return true;
}

// The resolved connection as the site the session connects to: a saved site
// keeps its listing type, time zone and path rule.
TFTPServerObj siteFor(const ConnectionSpec& conn, const std::optional<TFTPServerObj>& saved)
{
    TFTPServerObj site = saved ? *saved : CreateSite(TSiteDefaults{});
    const TConnectionFields& t = conn.config.Target;
    if (!saved)
        site.Name = QStringLiteral("varnoth-cli");
    site.Server = t.Host;
    site.Port = t.Port;
    site.User = t.User;
    site.Password = t.Password;
    site.SavePassword = 1;
    site.Anonymous = 0;
    site.Pasv = t.Passive ? 1 : 0;
    site.Security = quint8(t.Security);  // the URL's scheme, the TLS options or the saved site's
    site.InitialDir.clear();
    site.LocalDir.clear();
    return site;
}

// The command line's connection settings written into the options record
// the session reads.
void applyConfig(const TClientConfig& c, TFTPOptions& o)
{
    o.ConnectionType = quint8(c.ConnectionType);
    o.ProxyServer = c.ProxyServer;
    o.ProxyPort = c.ProxyPort;
    o.SocksServer = c.SocksServer;
    o.SocksPort = c.SocksPort;
    o.SocksUC = c.SocksUser;
    o.SocksPsw = c.SocksPassword;
    o.TimeOut = c.TimeoutSeconds;
    o.MaxListingMB = int(qMin<qint64>(c.ListingLimit >> 20, kMaxListingMBMax));
    o.Keep = false;
    o.retry = 0;
}

int runMirror(const QStringList& args)
{
    QCommandLineParser p;
    p.setApplicationDescription(
        "Run a mirror job file (.cpf, as saved by \"Compare folders\") over one connection: its local and "
        "remote folder made alike in the job's direction. Prints each operation as it is carried out, then "
        "the summary; writes the report mirrorstate.txt in the program directory. An existing file the "
        "job's rule would ask about is skipped and a deletion the job would confirm is not made, unless "
        "--yes. Exit status 1 when the run cannot start, a folder cannot be read or any operation failed. "
        "With --site the URL is left out. The password comes from the URL, --password, the saved site, "
        "VARNOTH_PASSWORD or the netrc file; --ascii and --resume do not apply (the job decides).");
    p.addHelpOption();
    ConnectionSpec::addOptions(p);
    p.addOptions({
        {"dry-run", "Connect, list and compare, print what a run would do; change nothing on either side."},
        {{"y", "yes"}, "Answer the job's questions: overwrite existing files, confirm deletions."},
    });
    p.addPositionalArgument("JOB", "The mirror job file (.cpf).");
    p.addPositionalArgument("URL", "ftp://[user[:password]@]host[:port]/ (not with --site).", "[URL]");
    const QString syntax = QStringLiteral("JOB.cpf [URL | --site FOLDER/NAME]");
    if (!p.parse(args)) {
        printErr("varnoth-cli mirror: " + p.errorText());
        return kExitUsage;
    }
    if (p.isSet("help")) {
        fputs(commandHelpText(p, "mirror", syntax).toLocal8Bit().constData(), stdout);
        return kExitOk;
    }
    const QStringList pos = p.positionalArguments();
    if (pos.isEmpty() || pos.size() > 2 || (pos.size() == 2) == p.isSet("site")) {
        printErr("Usage: varnoth-cli mirror [options] " + syntax);
        return kExitUsage;
    }
    for (const char* option : {"ascii", "resume"}) {
        if (p.isSet(option)) {
            printErr(QStringLiteral("varnoth-cli mirror: --%1 does not apply: the job decides").arg(option));
            return kExitUsage;
        }
    }

    QString error;
    TFTPOptions options;
    std::optional<TFTPServerObj> saved;
    ConnectionSpec conn;
    if (loadSettings(p, &options, &error) && p.isSet("site")) {
        saved = FindSavedSite(p.value("site"));
        if (!saved)
            error = "no saved site " + p.value("site");
    }
    if (error.isEmpty())
        conn.resolve(pos.value(1), p, options, saved, &error);
    if (error.isEmpty() && !conn.path.isEmpty() && conn.path != "/")
        error = "the remote folder comes from the job file; give the URL without a path";
    if (!error.isEmpty()) {
        printErr("varnoth-cli mirror: " + error);
        return kExitUsage;
    }
    PasswordSources sources;
    if (qEnvironmentVariableIsSet("VARNOTH_PASSWORD"))
        sources.environment = qEnvironmentVariable("VARNOTH_PASSWORD");
    if (!readNetrc(p, &sources.netrc, &error)) {
        printErr("varnoth-cli mirror: " + error);
        return kExitUsage;
    }
    conn.completeLogin(sources);

    // The job: read into the process's job, as the window does, then copied.
    const QString jobFile = pos.at(0);
    if (!QFileInfo(jobFile).isFile() || !LoadMirrorJob(jobFile)) {
        printErr("varnoth-cli mirror: no such job file: " + jobFile);
        return kExitFailed;
    }
    TMirrorJob job = MirrorJob;
    if (job.Local.trimmed().isEmpty() || !QFileInfo(job.Local).isDir()) {
        printErr("varnoth-cli mirror: the job's local folder \"" + job.Local
                 + "\" does not exist; nothing is done (another folder is never taken instead)");
        return kExitFailed;
    }
    if (job.Remote.trimmed().isEmpty()) {
        printErr("varnoth-cli mirror: the job names no remote folder; nothing is done");
        return kExitFailed;
    }
    job.Local = QFileInfo(job.Local).absoluteFilePath();
    const bool dryRun = p.isSet("dry-run");
    printErr(QStringLiteral("varnoth-cli mirror%1: %2").arg(dryRun ? " (dry run)" : "", jobSummary(job)));

    applyConfig(conn.config, options);
    CommandLineAnswers answers(p.isSet("yes"));
    setUserInterface(&answers);
    StderrPane pane(conn.verbose);
    TSessionLog log(&pane);
    TSiteList sites;
    TSession session(&sites, &log);
    session.SetOptions(options);
    session.SetTlsTrust(conn.config.TlsCaFile, conn.config.TlsFingerprint);
    session.SetListingFile(QDir(ProgramDir).filePath(QStringLiteral("FTPDIR%1.TXT").arg(getpid())));
    session.SetLocalDir(job.Local);
    session.SetTransferType(options.TransferMode);

    auto idle = [&] {
        return session.CurrentPhase() == TSession::Phase::Online && !session.RequestInFlight()
               && session.Ftp1().State() == ftpStReady && !session.Busy();
    };
    session.ConnectTo(siteFor(conn, saved));
    runUntil([&] { return idle() || session.CurrentPhase() == TSession::Phase::SiteList; });
    if (!idle()) {
        printErr("varnoth-cli mirror: could not log in to " + conn.config.Target.Host
                 + (pane.lastRefusal.isEmpty() ? (pane.problems.isEmpty() ? QString() : ": " + pane.problems.last())
                                               : ": " + pane.lastRefusal));
        setUserInterface(nullptr);
        return kExitFailed;
    }

    int operations = 0;
    QObject::connect(&session, &TSession::MirrorOperation, [&](int op, const QString& local, const QString& remote) {
        ++operations;
        progressLine().clear();
        fprintf(stdout, "%s\n", printableText(describe(op, local, remote, job)).toLocal8Bit().constData());
        fflush(stdout);
    });
    QObject::connect(&session, &TSession::TransferFileStarted,
                     [](const QString& name, bool, qint64 step, qint64 size) { progressLine().start(name, step, size); });
    QObject::connect(&session, &TSession::TransferProgress, [](int count) { progressLine().progress(count); });
    QObject::connect(&session, &TSession::TransferFileEnded, [] { progressLine().clear(); });
    bool ended = false;
    QObject::connect(&session, &TSession::MirrorEnded, [&] { ended = true; });

    int rc = kExitOk;
    if (!session.StartMirror(job, dryRun)) {
        rc = kExitFailed;
    } else {
        runUntil([&] { return (ended && idle()) || session.CurrentPhase() == TSession::Phase::SiteList; });
        progressLine().clear();
        if (!ended) {
            printErr("varnoth-cli mirror: the connection was lost");
            rc = kExitFailed;
        } else if (session.LastMirrorFailures() > 0 || session.LastMirrorStopped()
                   || session.LastMirrorUnreadFolders() > 0) {
            rc = kExitFailed;
        }
        if (dryRun)
            fprintf(stdout, "Dry run: %d operations; nothing was changed\n", operations);
        else if (!pane.summary.isEmpty())
            // "done" counts what was skipped or declined too.
            fprintf(stdout, "%s (%d carried out)\n", pane.summary.toLocal8Bit().constData(), operations);
        fflush(stdout);
    }
    if (session.CurrentPhase() != TSession::Phase::SiteList) {
        session.Disconnect();
        runUntil([&] { return session.CurrentPhase() == TSession::Phase::SiteList; }, 5000);
    }
    setUserInterface(nullptr);
    return rc;
}

const CliCommandRegistration mirrorCommand({"mirror", "run a mirror job file (.cpf)", runMirror});

} // namespace
