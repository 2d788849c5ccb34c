#pragma once
// What protects an established TLS connection, in the words the log shows.
#include <QString>

class TCustomWSocket;

// The protocol and cipher of the socket's established TLS connection as
// people read them ("TLS 1.3, TLS_AES_256_GCM_SHA384"); empty without TLS.
QString TlsDescription(const TCustomWSocket& socket);
