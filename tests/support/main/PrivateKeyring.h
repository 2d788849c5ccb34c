#pragma once
// Saving a site stores its password in the desktop keyring when a session bus
// is there. Tests must never write into the keyring of whoever runs them:
// unless the run set up a keyring of its own (tests/keyring/with-keyring.sh
// sets VARNOTH_PRIVATE_KEYRING), the session bus is hidden from the program
// and from the tools it starts, so passwords go to the site files.
#include <QFileInfo>
#include <QtGlobal>

inline void hideTheUsersKeyring()
{
    if (!qEnvironmentVariableIsEmpty("VARNOTH_PRIVATE_KEYRING"))
        return;
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/bus")))
        qunsetenv("XDG_RUNTIME_DIR");
}
