// A command line the user typed (or chose from the command library) goes to
// the server as it stands, as a Quote request. The dispatcher lists the
// current directory again once it completes, since a command may have
// changed what the listing shows; the reply reaches the log like any other.
#include "session/Session.h"

bool TSession::CanSendCommand() const { return ReadyForCommand(); }

bool TSession::SendCustomCommand(const QString& text)
{
    if (text.isEmpty() || !ReadyForCommand())
        return false;
    // A line break would make it two commands, and the second reply would be
    // read as the answer to whatever comes next.
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) || text.contains(QChar(0))) {
        Display(QStringLiteral("! The command was not sent: it contains a line break, which would send it as "
                               "several commands"));
        return false;
    }
    stopRequested_ = false;
    ftp_.SetLocalFileName(text);
    return Start(QStringLiteral("Quote"), [this] { ftp_.Quote(); });
}
