// varnoth-cli ls, get and put: one session per run, driven through the
// synchronous forms of the FTP client.
#include "CliCommand.h"
#include "CliFeatures.h"
#include "CliText.h"
#include "CliTrust.h"
#include "ConnectionSpec.h"
#include "Progress.h"

#include "ftp/FtpClient.h"
#include "settings/Globals.h"
#include "settings/Options.h"
#include "sites/SiteListFile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

enum { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// Asks for a password on the terminal without echo.
std::optional<QString> askPassword(const QString& who)
{
    fprintf(stderr, "Password for %s: ", printableText(who).toLocal8Bit().constData());
    fflush(stderr);
    termios old{};
    const bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    char buf[1024];
    const char* line = fgets(buf, sizeof buf, stdin);
    if (tty)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    fprintf(stderr, "\n");
    if (!line)
        return std::nullopt;
    QString text = QString::fromLocal8Bit(line);
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    return text;
}

// Reads the netrc file: the one named on the command line (which must be
// readable), else ~/.netrc when there is one. A file others may read is
// ignored with a warning, as its passwords are no secret.
bool readNetrc(const QCommandLineParser& p, QByteArray* text, QString* error)
{
    const bool named = p.isSet("netrc-file");
    const QString path = named ? p.value("netrc-file") : QDir::homePath() + "/.netrc";
    QFile f(path);
    if (!named && !f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly)) {
        if (!named)
            return true;
        *error = "cannot read the netrc file " + path + ": " + f.errorString();
        return false;
    }
    if (f.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther)) {
        printErr("varnoth-cli: ignoring " + path + ": others may read it (chmod 600 " + path + ")");
        return true;
    }
    *text = f.readAll();
    return true;
}

const char kLoginHelp[] =
    "\nThe password, when neither the URL nor --password (nor a saved site) gives one:\n"
    "  1. the environment variable VARNOTH_PASSWORD;\n"
    "  2. the netrc file (~/.netrc or --netrc-file FILE; it must not be readable by\n"
    "     others): \"machine HOST login USER password PASS\" entries and a \"default\"\n"
    "     entry for every other host. Without a user, the entry's login is used;\n"
    "  3. a prompt without echo when standard input is a terminal.\n"
    "Without a user and without a netrc login the login is anonymous.\n"
    "\nTLS: ftps:// URLs use implicit TLS (port 990 unless given); for ftp:// URLs --tls,\n"
    "--tls-required and --implicit-tls choose it. A server certificate the system does\n"
    "not trust (self-signed, unknown authority, expired, issued for another name) is\n"
    "asked about on the terminal, or refused, with its fingerprint, when standard input\n"
    "is no terminal: --cacert FILE or --fingerprint SHA256 trust it without a question.\n"
    "Certificates accepted \"always\" are kept in certificates.txt of the program\n"
    "directory; a changed certificate of a kept server is refused.\n"
    "Server text on stderr shows control characters as ^X or \\xNN.\n";

// One run: parse, connect, do the command's work, quit.
class TransferRun {
public:
    TransferRun(const QString& name, const QString& description) : m_name(name)
    {
        m_parser.setApplicationDescription(description);
        m_parser.addHelpOption();
        ConnectionSpec::addOptions(m_parser);
    }
    ~TransferRun()
    {
        if (userInterface() == &m_trust)
            setUserInterface(nullptr);
    }
    QCommandLineParser& parser() { return m_parser; }

    // Parses the arguments; returns -1 to go on, otherwise the exit status.
    int parse(const QStringList& args, int positional, const QString& syntax)
    {
        if (!m_parser.parse(args)) {
            printErr("varnoth-cli " + m_name + ": " + m_parser.errorText());
            return kExitUsage;
        }
        if (m_parser.isSet("help")) {
            fputs(commandHelpText(m_parser, m_name, syntax).toLocal8Bit().constData(), stdout);
            fputs(kLoginHelp, stdout);
            return kExitOk;
        }
        const QStringList pos = m_parser.positionalArguments();
        // With a saved site, ls may leave out the path (the site's directory).
        const int least = positional - (m_name == "ls" && m_parser.isSet("site") ? 1 : 0);
        const int most = positional + (m_name == "get" ? 1 : 0);
        if (pos.size() < least || pos.size() > most) {
            printErr("Usage: varnoth-cli " + m_name + " [options] " + syntax);
            return kExitUsage;
        }
        return -1;
    }

    // Reads the settings and the login at the edge (program directory,
    // options file, saved site, environment, netrc, terminal), then resolves
    // the connection from them.
    bool resolve(const QString& url)
    {
        QString error;
        std::optional<TFTPServerObj> site;
        const bool ok = loadSettings(&error) && findSite(&site, &error)
                        && m_spec.resolve(url, m_parser, m_options, site, &error) && readNetrc(m_parser, &m_netrc, &error);
        if (!ok) {
            printErr("varnoth-cli " + m_name + ": " + error);
            return false;
        }
        PasswordSources sources;
        if (qEnvironmentVariableIsSet("VARNOTH_PASSWORD"))
            sources.environment = qEnvironmentVariable("VARNOTH_PASSWORD");
        sources.netrc = m_netrc;
        if (isatty(STDIN_FILENO))
            sources.ask = askPassword;
        m_spec.completeLogin(sources);
        m_spec.configure(m_ftp);
        setUserInterface(&m_trust);
        if (m_spec.verbose) {
            m_ftp.OnDisplay = [](TCustomFtpCli*, QString& msg) {
                // The log shows the dialogue as it went, except the password.
                printErr(msg.startsWith("> PASS ") ? QStringLiteral("> PASS ****") : msg);
            };
        }
        return true;
    }

    ConnectionSpec& connection() { return m_spec; }
    const CliServerFeatures& features() const { return m_features; }
    TFtpClient& ftp() { return m_ftp; }

    // Runs one request to its end; on failure prints the failing line.
    bool step(const std::function<void()>& op)
    {
        bool ok;
        try {
            ok = m_ftp.Synchronize(op);
        } catch (const std::exception& e) {
            printErr("varnoth-cli " + m_name + ": " + QString::fromUtf8(e.what()));
            return false;
        }
        if (!ok) {
            const QString line = m_ftp.ErrorMessage().isEmpty() ? m_ftp.LastResponse() : m_ftp.ErrorMessage();
            printErr("varnoth-cli " + m_name + ": " + (line.isEmpty() ? QStringLiteral("request failed") : line));
        }
        return ok;
    }

    bool login()
    {
        if (!step([this] { m_ftp.Connect(); }))
            return false;
        m_features = AskServerFeatures(m_ftp);
        if (m_spec.verbose && m_features.known)
            printErr("! Server features used: "
                     + (m_features.used.isEmpty() ? QStringLiteral("none") : m_features.used.join(QStringLiteral(", "))));
        if (!m_spec.config.Target.InitialDir.isEmpty()) {
            m_ftp.SetHostDirName(m_spec.config.Target.InitialDir);
            if (!step([this] { m_ftp.Cwd(); }))
                return false;
        }
        return true;
    }

    void quit()
    {
        if (!m_ftp.Connected())
            return;
        try {
            m_ftp.Synchronize([this] { m_ftp.Quit(); });
        } catch (const std::exception&) {
        }
    }

    // Shows a progress bar for a transfer of `total` bytes (0: unknown).
    void attachProgress(ProgressBar& bar, qint64 total)
    {
        if (!bar.enabled())
            return;
        m_ftp.SetStepProgress(1 << 16);
        m_ftp.OnProgress = [this, &bar](TCustomFtpCli*, int, bool&) {
            bar.update(qint64(m_ftp.ResumeAt()) + m_ftp.ByteCount());
        };
        Q_UNUSED(total);
    }

private:
    // The options record: options.ftp of the program directory when one is
    // named (--program-dir, VARNOTH_PROGRAM_DIR) or a saved site is used,
    // else the defaults with the command line's own time-out.
    bool loadSettings(QString* error)
    {
        const bool dirGiven = m_parser.isSet("program-dir");
        if (!dirGiven && !m_parser.isSet("site") && !qEnvironmentVariableIsSet("VARNOTH_PROGRAM_DIR")) {
            m_options.TimeOut = 30;
            return true;
        }
        if (dirGiven) {
            const QFileInfo dir(m_parser.value("program-dir"));
            if (!dir.isDir()) {
                *error = "no such directory: " + m_parser.value("program-dir");
                return false;
            }
            ProgramDir = WithTrailingSlash(dir.absoluteFilePath());
        } else {
            InitProgramDir();
        }
        LoadOptions();
        m_options = FTPOptions;
        return true;
    }

    bool findSite(std::optional<TFTPServerObj>* site, QString* error)
    {
        if (!m_parser.isSet("site"))
            return true;
        *site = FindSavedSite(m_parser.value("site"));
        if (!*site)
            *error = "no saved site " + m_parser.value("site");
        return bool(*site);
    }

    QString m_name;
    QCommandLineParser m_parser;
    TFTPOptions m_options;
    QByteArray m_netrc;
    ConnectionSpec m_spec;
    TerminalTrust m_trust;
    TFtpClient m_ftp;
    CliServerFeatures m_features;
};



QString leafOf(const QString& path)
{
    const int slash = path.lastIndexOf('/');
    return slash < 0 ? path : path.mid(slash + 1);
}

int runLs(const QStringList& args)
{
    TransferRun run("ls", "List a remote directory: the server's LIST output, as received, on stdout.");
    run.parser().addPositionalArgument("URL", "ftp://[user[:password]@]host[:port]/path (with --site: the "
                                              "remote path, or nothing for the site's directory).");
    if (int rc = run.parse(args, 1, "URL"); rc >= 0)
        return rc;
    const QStringList pos = run.parser().positionalArguments();
    if (!run.resolve(pos.value(0)))
        return kExitUsage;
    if (!run.login())
        return kExitFailed;
    TFtpClient& ftp = run.ftp();
    ftp.SetHostFileName(run.connection().path);
    // The listing goes straight to stdout as it arrives: nothing is held in
    // memory or left on disk, whatever way the run ends.
    ftp.SetLocalFileName(QString());
    ftp.OnDownloadData = [](TCustomFtpCli*, const char* data, int len) {
        // Flushed per block, so a reader of the pipe sees the listing grow.
        return fwrite(data, 1, size_t(len), stdout) == size_t(len) && fflush(stdout) == 0;
    };
    const bool ok = run.step([&] { ftp.Dir(); });
    fflush(stdout);
    run.quit();
    return ok ? kExitOk : kExitFailed;
}

int runGet(const QStringList& args)
{
    TransferRun run("get", "Download a remote file (to LOCAL, or to its own name in the current directory).");
    run.parser().addPositionalArgument("URL", "ftp://[user[:password]@]host[:port]/path (with --site: the remote path).");
    run.parser().addPositionalArgument("LOCAL", "Local file or directory (default: the remote file's name).", "[LOCAL]");
    if (int rc = run.parse(args, 1, "URL [LOCAL]"); rc >= 0)
        return rc;
    const QStringList pos = run.parser().positionalArguments();
    if (!run.resolve(pos.at(0)))
        return kExitUsage;
    const QString remote = run.connection().path;
    if (remote.isEmpty() || remote.endsWith('/')) {
        printErr("varnoth-cli get: the URL names no file");
        return kExitUsage;
    }
    QString local = pos.size() > 1 ? pos.at(1) : leafOf(remote);
    if (QFileInfo(local).isDir())
        local = QDir(local).filePath(leafOf(remote));
    if (!run.login())
        return kExitFailed;
    TFtpClient& ftp = run.ftp();
    bool ok = run.step([&] { ftp.TypeSet(); });
    ftp.SetHostFileName(remote);
    qint64 size = -1;
    if (ok && !run.connection().ascii && run.features().size) {
        // The size lets the client tell a complete file from a cut one.
        try {
            if (ftp.Synchronize([&] { ftp.Size(); }))
                size = ftp.SizeResult();
        } catch (const std::exception&) {
        }
    }
    if (ok) {
        ftp.SetLocalFileName(local);
        ProgressBar bar(size);
        run.attachProgress(bar, size);
        ok = run.step([&] { run.connection().resume ? ftp.RestartGet() : ftp.Get(); });
        bar.finish();
    }
    run.quit();
    return ok ? kExitOk : kExitFailed;
}

int runPut(const QStringList& args)
{
    TransferRun run("put", "Upload a local file to the remote path of the URL (a path ending in '/' keeps the local name).");
    run.parser().addPositionalArgument("LOCAL", "The local file to upload.");
    run.parser().addPositionalArgument("URL", "ftp://[user[:password]@]host[:port]/path (with --site: the remote path).");
    if (int rc = run.parse(args, 2, "LOCAL URL"); rc >= 0)
        return rc;
    const QStringList pos = run.parser().positionalArguments();
    const QString local = pos.at(0);
    if (!run.resolve(pos.at(1)))
        return kExitUsage;
    QString remote = run.connection().path;
    if (remote.isEmpty() || remote.endsWith('/'))
        remote += QFileInfo(local).fileName();
    const QFileInfo info(local);
    if (!info.isFile()) {
        printErr("varnoth-cli put: 426 Unable to open local file " + local);
        return kExitFailed;
    }
    if (!run.login())
        return kExitFailed;
    TFtpClient& ftp = run.ftp();
    bool ok = run.step([&] { ftp.TypeSet(); });
    ftp.SetHostFileName(remote);
    ftp.SetLocalFileName(local);
    qint64 resumeAt = 0;
    if (ok && run.connection().resume && !run.features().size)
        printErr("varnoth-cli put: the server does not offer SIZE, so the upload cannot resume: the whole file is sent");
    if (ok && run.connection().resume && run.features().size) {
        try {
            if (ftp.Synchronize([&] { ftp.Size(); }))
                resumeAt = ftp.SizeResult();
        } catch (const std::exception&) {
        }
    }
    if (ok) {
        ProgressBar bar(info.size());
        run.attachProgress(bar, info.size());
        if (resumeAt > 0) {
            ftp.SetResumeAt(resumeAt);
            ok = run.step([&] { ftp.RestartPut(); });
        } else {
            ok = run.step([&] { ftp.Put(); });
        }
        bar.finish();
    }
    run.quit();
    return ok ? kExitOk : kExitFailed;
}

const CliCommandRegistration lsCommand({"ls", "list a remote directory", runLs});
const CliCommandRegistration getCommand({"get", "download a file", runGet});
const CliCommandRegistration putCommand({"put", "upload a file", runPut});

} // namespace
