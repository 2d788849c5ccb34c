#pragma once
// What a session takes from the server's FEAT reply, as rules that run
// without a server: whether listings go through MLSD, how a file's time is
// set on the server, and which OPTS commands follow FEAT.
#include "ftp/FtpFeatures.h"

#include <QString>
#include <QStringList>

// Listings go through MLSD when the server offers it (its MLST line: RFC
// 3659 offers MLSD with MLST; a server listing MLSD itself counts too),
// unless
//  - the site reads its listings with a custom column layout (its Answer
//    names the custom type): the user has said how this server's listings
//    are to be read, and that choice is kept, or
//  - the site asks for hidden files (ListAll, "LIST -aL"): MLSD has no way
//    to ask for them, and whether it shows them is the server's choice, so
//    the listing that is sure to show them is kept.
//
// Only the window's listings use it. Recursive work (tree transfers, mirror
// runs, recursive deletes) keeps LIST: a server may report a link to a
// directory as the directory itself in MLSD (pyftpdlib does), and a tree
// walk through such a link would copy a loop without end, or delete what
// the link points to. LIST names links as links.
bool UseMachineListing(const TFtpFeatures& features, const QString& answer, bool listAll);

// How a file's time is set on this server, as TSession::TimeCommandMode
// counts: 0 MFMT, 1 MDTM, 2 neither. A FEAT that was refused (nothing
// known) gives 3: each is tried once, as before.
int TimeCommandModeFrom(const TFtpFeatures& features);

// The OPTS arguments to send after FEAT, in order: "UTF8 ON" when UTF8 is
// listed; "MLST ..." naming the facts the remote list shows (type, size,
// sizd, modify, perm, UNIX.mode) when the server offers one of them without
// sending it unasked (fact names as the server spells them).
QStringList OptsAfterFeat(const TFtpFeatures& features);

// A site's zone (hours + minutes/100, as sites store it) in seconds east of UTC.
int SiteZoneSeconds(double siteTimeZone);
