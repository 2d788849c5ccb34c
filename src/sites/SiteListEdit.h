#pragma once
// Edits of the site lists that leave every other byte of a list file as it
// was: line ends, blank lines and lines this version does not understand.
// Tools that set up one site among the user's own (varnoth-cli demo-site)
// use them, so the user's sites and folders are never rewritten.
#include "sites/SiteRecord.h"

#include <QString>

// Makes sure the folder path ("Demo/", "work/clients/") exists: each level is
// listed by a "DIR=" line in its parent's list (appended when missing) and is
// a directory below ProgramDir (created when missing). Fails on an unsafe
// folder name or a list file that is there but cannot be read.
bool EnsureSiteFolder(const QString& folder, QString* error = nullptr);

enum class TEnsureSiteResult { Failed, Unchanged, Added, PortChanged };

// Makes sure the folder's list holds a site named site.Name. A missing site
// is appended as a whole. An existing one (the first of that name) takes only
// site.Port: its line is written anew from its own record with the new port,
// every other line stays. A site whose port is already right leaves the file
// untouched.
TEnsureSiteResult EnsureSavedSite(const QString& folder, const TFTPServerObj& site,
                                  QString* error = nullptr);
