#pragma once
// Saved site passwords in the desktop keyring (the Secret Service of the
// D-Bus session: gnome-keyring, KWallet's bridge, KeePassXC).
//
// An item is found by one attribute, a random id the site line carries in
// place of the scrambled password (SiteLine.h: the keyring marker). The id
// stays with the site's line wherever the line goes, so moving a site to
// another folder or renaming it needs no keyring call at all; only deleting
// a site removes its item, and a site copied inside the program gets a new
// id (AddSite), so two sites never edit one secret.
//
// Every call is synchronous but bounded: a watchdog cancels it after
// KeyringTimeoutMs, so a service that hangs costs the window that long once
// per call and never freezes it. Each failure leaves the caller with the
// plain password in hand, so it is written scrambled as before: the keyring
// only ever takes over a password it has confirmed it holds.
#include "sites/SiteRecord.h"

#include <QString>
#include <optional>

// The item schema's name and the attribute that holds the site's id.
inline const QString KeyringSchemaName = QStringLiteral("org.varnoth.Site");
inline const QString KeyringIdAttribute = QStringLiteral("site-id");

// How long one keyring call may take (a prompt to unlock the keyring counts:
// the user types there). Tests shorten it.
extern int KeyringTimeoutMs;

// Whether saved passwords go to the keyring: the options allow it and a D-Bus
// session bus is named in the environment (without one libsecret would try
// to start a bus through X11, which has no use on a machine without one).
bool KeyringWanted();

// A fresh random id for a site's keyring item.
QString NewSecretId();

// The low-level calls. Each returns false (lookup: nothing) on any failure
// and puts the reason in words into error when given; lookup of an id that
// has no item is not an error (nothing, error empty).
bool StoreKeyringSecret(const QString& id, const QString& label, const QString& secret,
                        QString* error = nullptr);
std::optional<QString> LookupKeyringSecret(const QString& id, QString* error = nullptr);
bool ClearKeyringSecret(const QString& id, QString* error = nullptr);

// Before a site's line is written: a password in memory moves into the
// keyring (under the site's id, a new one when it has none). On success
// Password is emptied and SecretId names the item, so the line carries the
// marker; on any failure, or when the keyring is not wanted, the site is left
// as it was and its line carries the scrambled password. Returns whether the
// keyring holds the password now.
bool MoveSitePasswordToKeyring(TFTPServerObj& site, QString* error = nullptr);

// Before a connection: a site whose password is in the keyring gets it back
// in Password. Returns false when the site needs it but the keyring cannot
// give it (no service, locked, item gone): the password is then unknown and
// must be asked.
bool FetchSitePassword(TFTPServerObj& site, QString* error = nullptr);

// The label the keyring shows for a site's item.
QString KeyringLabel(const TFTPServerObj& site);
