#pragma once
// varnoth-cli asks FEAT right after the login, as the window's session does,
// and takes from the answer what ls, get and put use.
#include <QStringList>

class TFtpClient;

struct CliServerFeatures {
    bool known = false;   // FEAT was answered; otherwise every command is tried as before
    bool size = true;     // SIZE is worth asking (offered, or nothing known)
    QStringList used;     // what was taken, for the verbose log ("UTF8", "SIZE")
};

// Sends FEAT and then OPTS UTF8 ON when the server lists UTF8 (the same rule
// as the session's). A refused FEAT or OPTS is no failure: the run goes on
// with what is known.
CliServerFeatures AskServerFeatures(TFtpClient& ftp);
