#pragma once
// "varnoth ftp://user@host:port/path": the desktop's link handler (and a
// terminal) hands the program a link, and the window connects to it as a
// double click on a saved site would.
#include <QString>
#include <QStringList>

class T_Main;

// Opens the first ftp:// link among the program's arguments (without the
// program name); arguments that are no links are left alone. A bad link
// (another scheme, no server) gets a message box and the window stays on its
// site list. Returns whether a connection was started.
bool OpenLinkArguments(T_Main& window, const QStringList& arguments);

// The same for one link.
bool OpenFtpLink(T_Main& window, const QString& text);
