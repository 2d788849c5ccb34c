// varnoth-cli ls, get and put: one session per run, driven through the
// synchronous forms of the FTP client.
#include "CliCommand.h"
#include "ConnectionSpec.h"
#include "Progress.h"

#include "ftp/FtpClient.h"

#include <QCommandLineParser>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>

namespace {

enum { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

void printErr(const QString& s) { fprintf(stderr, "%s\n", s.toLocal8Bit().constData()); }

// One run: parse, connect, do the command's work, quit.
class TransferRun {
public:
    TransferRun(const QString& name, const QString& description) : m_name(name)
    {
        m_parser.setApplicationDescription(description);
        m_parser.addHelpOption();
        ConnectionSpec::addOptions(m_parser);
    }
    QCommandLineParser& parser() { return m_parser; }

    // Parses the arguments; returns -1 to go on, otherwise the exit status.
    int parse(const QStringList& args, int positional, const QString& syntax)
    {
        m_parser.addPositionalArgument("args", syntax);
        if (!m_parser.parse(args)) {
            printErr("varnoth-cli " + m_name + ": " + m_parser.errorText());
            return kExitUsage;
        }
        if (m_parser.isSet("help")) {
            fputs(m_parser.helpText().toLocal8Bit().constData(), stdout);
            return kExitOk;
        }
        const QStringList pos = m_parser.positionalArguments();
        // With a saved site, ls may leave out the path (the site's directory).
        const int least = positional - (m_name == "ls" && m_parser.isSet("site") ? 1 : 0);
        const int most = positional + (m_name == "get" ? 1 : 0);
        if (pos.size() < least || pos.size() > most) {
            printErr("Usage: varnoth-cli " + m_name + " [OPTIONS] " + syntax);
            return kExitUsage;
        }
        return -1;
    }

    bool resolve(const QString& url)
    {
        QString error;
        if (!m_spec.resolve(url, m_parser, &error)) {
            printErr("varnoth-cli " + m_name + ": " + error);
            return false;
        }
        m_spec.promptForPassword();
        m_spec.configure(m_ftp);
        if (m_spec.verbose) {
            m_ftp.OnDisplay = [](TCustomFtpCli*, QString& msg) {
                // The log shows the dialogue as it went, except the password.
                printErr(msg.startsWith("> PASS ") ? QStringLiteral("> PASS ****") : msg);
            };
        }
        return true;
    }

    ConnectionSpec& connection() { return m_spec; }
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
        if (!m_spec.initialDir.isEmpty()) {
            m_ftp.SetHostDirName(m_spec.initialDir);
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
    QString m_name;
    QCommandLineParser m_parser;
    ConnectionSpec m_spec;
    TFtpClient m_ftp;
};

QString leafOf(const QString& path)
{
    const int slash = path.lastIndexOf('/');
    return slash < 0 ? path : path.mid(slash + 1);
}

int runLs(const QStringList& args)
{
    TransferRun run("ls", "List a remote directory (the server's LIST output) on stdout.");
    if (int rc = run.parse(args, 1, "URL"); rc >= 0)
        return rc;
    const QStringList pos = run.parser().positionalArguments();
    if (!run.resolve(pos.value(0)))
        return kExitUsage;
    QTemporaryFile listing;
    if (!listing.open()) {
        printErr("varnoth-cli ls: cannot create a temporary file");
        return kExitFailed;
    }
    listing.close();
    if (!run.login())
        return kExitFailed;
    TFtpClient& ftp = run.ftp();
    ftp.SetHostFileName(run.connection().path);
    ftp.SetLocalFileName(listing.fileName());
    const bool ok = run.step([&] { ftp.Dir(); });
    run.quit();
    if (!ok)
        return kExitFailed;
    QFile in(listing.fileName());
    if (in.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = in.readAll();
        fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    }
    return kExitOk;
}

int runGet(const QStringList& args)
{
    TransferRun run("get", "Download a remote file (to LOCAL, or to its own name in the current directory).");
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
    if (ok && !run.connection().ascii) {
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
    qint32 resumeAt = 0;
    if (ok && run.connection().resume) {
        try {
            if (ftp.Synchronize([&] { ftp.Size(); }))
                resumeAt = qint32(qMin<qint64>(ftp.SizeResult(), INT32_MAX));
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
