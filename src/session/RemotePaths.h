#pragma once
// Path rules of a session. Remote paths use "/"; local ones the platform's
// separator. "Shared virtual host" sites address their directories without
// the leading "/" (the server maps every user below its own top).
#include <QString>
#include <QStringList>

// s with "/" appended unless it ends in "/"; with vhost one leading "/" is
// removed. An empty s gives "/" (the empty text with vhost).
QString RemoteDirPath(const QString& s, bool vhost);
// s with the local separator appended unless it ends in one.
QString LocalDirPath(const QString& s);
// Drops one trailing "/", then everything from the last "/" on; the empty
// text when no "/" remains ("/a/b/" gives "/a", "/a" gives "").
QString RemoteParentOf(const QString& p);
// Drops one trailing "/", then everything up to and including the last "/"
// ("/a/b/" gives "b").
QString RemoteLeafOf(const QString& p);
// p with "/" appended unless it already ends in "/" ("" gives "/").
QString WithSlash(const QString& p);
// The parent of a current directory: one trailing "/" dropped, cut at the
// last "/"; "/" when nothing remains.
QString RemoteParentDir(const QString& dir);
// A VMS answer "USERS:[JOE.WORK]" becomes "JOE/WORK"; any other text is only
// trimmed.
QString VmsDirToPath(const QString& s);
// True unless path lies strictly below home: home is not empty and shorter
// than path, path begins with home (ignoring case) and continues with "/".
bool IsOutsideHome(const QString& path, const QString& home);
// The directory a PWD or MKD reply names: the text between the first pair of
// double quotes ("" inside stands for one quote), or the empty text.
QString QuotedDirectory(const QString& reply);
// The path box items of a remote directory: one per "/"-separated component
// after one leading "/" is removed; two "/" in a row give an empty item, a
// trailing "/" none.
QStringList RemotePathComponents(const QString& dir);
// The directory path box item i (2 and up) stands for: items 2..i joined,
// each preceded by "/" (with vhost the first one without). Item 1 (the host)
// gives the empty text.
QString RemotePathOfItem(const QStringList& items, int i, bool vhost);
