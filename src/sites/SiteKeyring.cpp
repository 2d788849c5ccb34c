// libsecret's headers come first: GLib uses names Qt's headers define as
// macros ("signals").
#include <libsecret/secret.h>

#include "sites/SiteKeyring.h"

#include "settings/Options.h"

#include <QFileInfo>
#include <QUuid>
#include <condition_variable>
#include <mutex>
#include <thread>

int KeyringTimeoutMs = 30000;

namespace {

const SecretSchema* siteSchema()
{
    static const QByteArray name = KeyringSchemaName.toUtf8();
    static const QByteArray attribute = KeyringIdAttribute.toUtf8();
    static const SecretSchema schema = {
        name.constData(),
        SECRET_SCHEMA_NONE,
        {{attribute.constData(), SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &schema;
}

// Cancels the call in progress when it outlasts KeyringTimeoutMs. libsecret's
// synchronous calls run a main loop of their own, where no timer of ours
// would fire, so a second thread waits and cancels (GCancellable is made for
// being cancelled from another thread).
class Watchdog {
public:
    Watchdog() : cancellable_(g_cancellable_new())
    {
        thread_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            if (!cv_.wait_for(lock, std::chrono::milliseconds(KeyringTimeoutMs), [this] { return done_; }))
                g_cancellable_cancel(cancellable_);
        });
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
        g_object_unref(cancellable_);
    }
    GCancellable* cancellable() const { return cancellable_; }

private:
    GCancellable* cancellable_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

// Takes the error's text (and frees it); a cancelled call is named as the
// timeout it is.
void takeError(GError* e, QString* error, const char* what)
{
    if (!e)
        return;
    if (error) {
        if (g_error_matches(e, G_IO_ERROR, G_IO_ERROR_CANCELLED))
            *error = QStringLiteral("%1: the keyring did not answer within %2 seconds")
                         .arg(QLatin1String(what))
                         .arg(KeyringTimeoutMs / 1000.0);
        else
            *error = QLatin1String(what) + QStringLiteral(": ") + QString::fromUtf8(e->message);
    }
    g_error_free(e);
}

} // namespace

// Whether a session bus can be reached without starting one: named in the
// environment, or at $XDG_RUNTIME_DIR/bus where GLib also looks. Without
// either, libsecret would try to start a bus through X11.
static bool sessionBusNamed()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

bool KeyringWanted()
{
    return FTPOptions.UseKeyring && sessionBusNamed();
}

QString NewSecretId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

bool StoreKeyringSecret(const QString& id, const QString& label, const QString& secret, QString* error)
{
    Watchdog watchdog;
    GError* e = nullptr;
    const QByteArray attribute = KeyringIdAttribute.toUtf8();
    const gboolean ok = secret_password_store_sync(
        siteSchema(), SECRET_COLLECTION_DEFAULT, label.toUtf8().constData(), secret.toUtf8().constData(),
        watchdog.cancellable(), &e, attribute.constData(), id.toUtf8().constData(), nullptr);
    takeError(e, error, "storing in the keyring");
    return ok;
}

std::optional<QString> LookupKeyringSecret(const QString& id, QString* error)
{
    Watchdog watchdog;
    GError* e = nullptr;
    const QByteArray attribute = KeyringIdAttribute.toUtf8();
    gchar* found = secret_password_lookup_sync(siteSchema(), watchdog.cancellable(), &e,
                                               attribute.constData(), id.toUtf8().constData(), nullptr);
    takeError(e, error, "reading from the keyring");
    if (!found)
        return std::nullopt;
    const QString secret = QString::fromUtf8(found);
    secret_password_free(found);
    return secret;
}

bool ClearKeyringSecret(const QString& id, QString* error)
{
    Watchdog watchdog;
    GError* e = nullptr;
    const QByteArray attribute = KeyringIdAttribute.toUtf8();
    secret_password_clear_sync(siteSchema(), watchdog.cancellable(), &e, attribute.constData(),
                               id.toUtf8().constData(), nullptr);
    // An item that was not there is gone all the same.
    const bool ok = e == nullptr;
    takeError(e, error, "removing from the keyring");
    return ok;
}

QString KeyringLabel(const TFTPServerObj& site)
{
    return QStringLiteral("Varnoth: %1 (%2@%3)").arg(site.Name, site.User, site.Server);
}

bool MoveSitePasswordToKeyring(TFTPServerObj& site, QString* error)
{
    if (site.Password.isEmpty())
        return !site.SecretId.isEmpty();
    if (!site.SavePassword || site.Anonymous || !KeyringWanted())
        return false;
    const QString id = site.SecretId.isEmpty() ? NewSecretId() : site.SecretId;
    if (!StoreKeyringSecret(id, KeyringLabel(site), site.Password, error))
        return false;
    site.SecretId = id;
    site.Password.clear();
    return true;
}

bool FetchSitePassword(TFTPServerObj& site, QString* error)
{
    if (site.SecretId.isEmpty() || !site.Password.isEmpty())
        return true;
    // Read even when the options turn the keyring off now: an item stored
    // earlier is the only copy of the password.
    if (!sessionBusNamed()) {
        if (error)
            *error = QStringLiteral("no desktop keyring is running (no D-Bus session)");
        return false;
    }
    const std::optional<QString> secret = LookupKeyringSecret(site.SecretId, error);
    if (!secret) {
        if (error && error->isEmpty())
            *error = QStringLiteral("the keyring holds no password for this site");
        return false;
    }
    site.Password = *secret;
    return true;
}
