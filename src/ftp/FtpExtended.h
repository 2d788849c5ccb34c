#pragma once
// Extended passive and active mode (RFC 2428): the port of an EPSV reply and
// the text of an EPRT command. Both carry IPv6, which PASV and PORT cannot.
#include <QString>

// The port of a "229 Entering Extended Passive Mode (|||port|)" reply: the
// text between the parentheses holds four equal delimiters (any printable
// character but a digit) around two fields, which are ignored, and the port.
// Returns 0 and says why in *why when the reply is malformed or the port is
// not 1..65535.
int ParseEpsvPort(const QString& reply, QString* why);

// "EPRT |2|::1|2121|" for an IPv6 address, "EPRT |1|127.0.0.1|2121|" for IPv4.
QString EprtCommand(const QString& address, quint16 port);
