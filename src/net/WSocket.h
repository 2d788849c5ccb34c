#pragma once
// TWSocket: the event-driven TCP/UDP socket object of Varnoth.
//
// Every operation starts something (a name lookup, a connect, a send) and its
// completion arrives later as an event on the Qt event loop of the thread that
// owns the socket. Sockets are POSIX non-blocking descriptors watched by
// QSocketNotifier; errno values are mapped onto the WinSock error numbers
// (10035, 10054, 10061, 11001, ...) so users see the numbers and texts they
// know. Misuse raises ESocketException (or fires OnError when assigned);
// network failures arrive as 16-bit error codes in the events.
//
// Class tree: TCustomWSocket (core) -> TCustomSocksWSocket (SOCKS 4/4A/5
// negotiation) -> TWSocket (the class everybody uses).
#include "net/TlsCertificate.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>
#include <netinet/in.h>
#include <sys/socket.h>

class QSocketNotifier;

// ---------------------------------------------------------------------------
// Enumerations (numeric values matter: OnChangeState reports them).
enum TSocketState : int {
    wsInvalidState = 0,
    wsOpened = 1,
    wsBound = 2,
    wsConnecting = 3,
    wsConnected = 4,
    wsAccepting = 5,
    wsListening = 6,
    wsClosed = 7,
};

// Printable name of a state ("wsConnected"), for logs and test output.
const char* SocketStateName(TSocketState s);

enum TSocketSendFlags : int { wsSendNormal = 0, wsSendUrgent = 1 };
enum TSocketLingerOnOff : int { wsLingerOff = 0, wsLingerOn = 1, wsLingerNoSet = 2 };

// Component options: a bit set of TWSocketOption.
enum TWSocketOption : unsigned { wsoNoReceiveLoop = 1u << 0 };
using TWSocketOptions = unsigned;

enum TSocksAuthentication : int { socksNoAuthentication = 0, socksAuthenticateUsercode = 1 };
enum TSocksAuthState : int {
    socksAuthStart = 0,
    socksAuthSuccess = 1,
    socksAuthFailure = 2,
    socksAuthNotRequired = 3,
};

// WinSock-numbered error codes used by this layer.
namespace wsock {
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;
// TLS failures (texts in WSocketErrorDesc; details in TlsErrorText()).
constexpr int TLS_HANDSHAKE_FAILED = 20101;
constexpr int TLS_TRUNCATED = 20102;
constexpr int TLS_IO_ERROR = 20103;
constexpr int TLS_UNTRUSTED = 20104;
constexpr int TLS_SETUP_FAILED = 20105;
} // namespace wsock

// Description of a WinSock-numbered error ("Connection refused" for 10061,
// "SOCKS authentication failed" for the SOCKS failure 20015, "Not a WinSock
// error" for unknown codes).
QString WSocketErrorDesc(int code);

// Maps a POSIX errno value onto the WinSock number (ECONNREFUSED -> 10061).
int WSocketErrnoToWinsock(int err);

// Maps a getaddrinfo() EAI_* result onto the WinSock number (11001 ...).
int WSocketGaiToWinsock(int gaiErr);

// True when the text is a dotted IPv4 address: after leading blanks exactly
// three dots, decimal parts of at most 255, a digit after every dot, and
// nothing but trailing blanks after it.
bool WSocketIsDottedIP(const QString& s);

// True when the text (brackets allowed, "[::1]") is an IPv6 address.
bool WSocketIsIPv6(const QString& s);

// The text without the brackets of an IPv6 URL host ("[::1]" -> "::1").
QString WSocketStripBrackets(const QString& s);

// Numeric text of an address, IPv6 without brackets ("::1", "127.0.0.1").
QString WSocketAddrText(const sockaddr_storage& a);

// ---------------------------------------------------------------------------
class ESocketException : public std::runtime_error {
public:
    explicit ESocketException(const QString& msg);
    QString Message() const { return m_msg; }

private:
    QString m_msg;
};

// One block of the send queue: allocated once with its size, never resized.
class TBuffer {
public:
    explicit TBuffer(int size); // size <= 0 means 1514
    ~TBuffer();
    TBuffer(const TBuffer&) = delete;
    TBuffer& operator=(const TBuffer&) = delete;

    int BufSize() const { return m_size; }
    // Appends up to len bytes; returns how many fitted.
    int Write(const void* data, int len);
    // Appends up to len bytes read from the file descriptor fd, straight
    // into the block; returns the count, 0 at end of file, -1 on error (errno).
    int ReadFrom(int fd, int len);
    // Unread bytes start here; DataLen() of them are waiting.
    const char* Peek() const { return m_data + m_rd; }
    int DataLen() const { return m_wr - m_rd; }
    // Marks len bytes read; an emptied block is reset for reuse.
    void Remove(int len);
    bool IsFull() const { return m_wr >= m_size; }
    bool IsEmpty() const { return m_wr == m_rd; }

private:
    char* m_data;
    int m_size;
    int m_wr = 0;
    int m_rd = 0;
};

class TCustomWSocket;
class TWSocket;
class TTlsLayer;
struct ssl_session_st;
// A TLS session a later connection may resume (see TlsSession()).
using TTlsResumable = std::shared_ptr<ssl_session_st>;

// Event handler types: a std::function member per event; "is a handler
// assigned" is `if (OnX)`.
using TSessionAvailable = std::function<void(TCustomWSocket* Sender, quint16 Error)>;
using TSessionConnected = std::function<void(TCustomWSocket* Sender, quint16 Error)>;
using TSessionClosed = std::function<void(TCustomWSocket* Sender, quint16 Error)>;
using TDataAvailable = std::function<void(TCustomWSocket* Sender, quint16 Error)>;
using TDataSent = std::function<void(TCustomWSocket* Sender, quint16 Error)>;
using TDnsLookupDone = std::function<void(TCustomWSocket* Sender, quint16 Error)>;
using TSendData = std::function<void(TCustomWSocket* Sender, int BytesSent)>;
using TChangeState = std::function<void(TCustomWSocket* Sender, TSocketState OldState, TSocketState NewState)>;
using TNotifyEvent = std::function<void(TCustomWSocket* Sender)>;
using TBgExceptionEvent = std::function<void(TCustomWSocket* Sender, const std::exception& E, bool& CanClose)>;
using TSocksErrorEvent = std::function<void(TCustomWSocket* Sender, int Error, const QString& Msg)>;
using TSocksAuthStateEvent = std::function<void(TCustomWSocket* Sender, TSocksAuthState AuthState)>;
using TSocksConnected = std::function<void(TCustomWSocket* Sender, quint16 Error)>;
using TTlsHandshakeDone = std::function<void(TCustomWSocket* Sender, quint16 Error)>;

// ---------------------------------------------------------------------------
class TCustomWSocket : public QObject {
    Q_OBJECT
public:
    explicit TCustomWSocket(QObject* parent = nullptr);
    ~TCustomWSocket() override;

    // --- properties -------------------------------------------------------
    QString Addr() const { return m_addrStr; }
    void SetAddr(const QString& v);
    // The addresses a name resolved to (a DnsLookup result list): Connect
    // tries them in this order until one connects. Addr becomes the first.
    void SetAddrList(const QStringList& addrs);
    QString Port() const { return m_portStr; }
    virtual void SetPort(const QString& v);
    QString Proto() const { return m_protoStr; }
    virtual void SetProto(const QString& v);
    QString LocalAddr() const { return m_localAddr; }
    void SetLocalAddr(const QString& v);
    QString LocalPort() const { return m_localPortStr; }
    void SetLocalPort(const QString& v);

    QString PeerAddr();
    QString PeerPort();
    QString DnsResult() const { return m_dnsResult; }
    QStringList DnsResultList() const { return m_dnsResultList; }

    TSocketState State() const { return m_state; }
    int LastError() const { return m_lastError; }
    qint64 ReadCount() const { return m_readCount; }
    // Bytes waiting to be read right now (FIONREAD), -1 on error.
    virtual int RcvdCount();
    bool AllSent() const { return m_allSent; }
    int HSocket() const { return m_fd; }

    int BufSize() const { return m_bufSize; }
    void SetBufSize(int v);
    TSocketSendFlags SendFlags() const;
    void SetSendFlags(int v); // raises "Invalid SendFlags" for other values
    TSocketLingerOnOff LingerOnOff() const { return m_lingerOnOff; }
    void SetLingerOnOff(TSocketLingerOnOff v) { m_lingerOnOff = v; }
    int LingerTimeout() const { return m_lingerTimeout; }
    void SetLingerTimeout(int v) { m_lingerTimeout = v; }
    TWSocketOptions ComponentOptions() const { return m_options; }
    void SetComponentOptions(TWSocketOptions v) { m_options = v; }
    bool MultiThreaded() const { return m_multiThreaded; }
    void SetMultiThreaded(bool v) { m_multiThreaded = v; }

    // --- operations -------------------------------------------------------
    virtual void Connect();
    virtual void Listen();
    // Accepts a pending connection of a listening socket; returns the new
    // handle (to be handed to another socket's Dup) or -1.
    virtual int Accept();
    virtual void Dup(int newHandle);
    virtual void Close();
    void CloseDelayed();
    void Release();
    virtual void Abort();
    void Flush();
    void WaitForClose();
    virtual int Send(const void* data, int len);
    int SendStr(const QByteArray& s);
    // Sends up to len bytes of the open file fileFd from its current offset
    // as Send sends a buffer (OnSendData per piece, one OnDataSent when all
    // is gone), reading them straight into the send queue. Returns the bytes
    // taken from the file (fewer than len at its end, 0 past it), or -1 when
    // it cannot be read (LastError holds the code).
    int SendFile(int fileFd, int len);
    // Bytes read, 0 at end of stream, -1 on error (LastError holds the code).
    virtual int Receive(void* buffer, int len);
    QByteArray ReceiveStr();
    void DnsLookup(const QString& hostName);
    void CancelDnsLookup();
    void ShutDown(int how);
    void MessagePump();
    // Remote / local endpoint of the handle; 0 or -1 (platform error in LastError).
    int GetPeerName(sockaddr_in& name);
    int GetSockName(sockaddr_in& name);
    int GetPeerName(sockaddr_storage& name);
    int GetSockName(sockaddr_storage& name);
    // AF_INET or AF_INET6 of the handle, 0 without one.
    int AddressFamily();
    // Local address / port of the handle as text ("error" on failure).
    QString GetXAddr();
    QString GetXPort();

    // --- TLS (WSocketTls.cpp) ---------------------------------------------
    // Starts a TLS client handshake on the connected socket, driven by the
    // socket's own readiness events; OnTlsHandshakeDone(error) reports the
    // end (0, or wsock::TLS_HANDSHAKE_FAILED with TlsErrorText()). From then
    // on every receive and send goes through TLS; a graceful Close sends
    // close_notify, and a peer that closes without one reports
    // wsock::TLS_TRUNCATED as the close error. hostName is the name the
    // certificate must carry (and the SNI name when it is no address);
    // resume is a session of another connection to the same server (a data
    // connection resumes the control connection's); caFile, when not empty,
    // is a PEM file of extra trusted certificates.
    void StartTls(const QString& hostName, const TTlsResumable& resume = {}, const QString& caFile = {});
    bool TlsActive() const;           // a handshake runs or has finished
    bool TlsEstablished() const;
    bool TlsSessionReused() const;    // the handshake resumed the given session
    // The newest session the server handed out on this connection (with
    // TLS 1.3 it arrives after the handshake, with the first data read).
    TTlsResumable TlsSession() const;
    // Every session the server handed out on this socket since the last
    // call (kept across a close). TLS 1.3 servers may take each one once:
    // a client with many data connections keeps a supply of fresh ones.
    std::vector<TTlsResumable> TakeTlsSessions();
    // The peer's certificate and its problems (empty Problems: trusted by
    // the system's store or caFile and issued for the host name).
    TTlsCertificateInfo TlsCertificate() const;
    // The last TLS failure in words, with OpenSSL's reason.
    QString TlsErrorText() const { return m_tlsError; }
    TTlsHandshakeDone OnTlsHandshakeDone;

    // --- events -----------------------------------------------------------
    TSessionAvailable OnSessionAvailable;
    TSessionConnected OnSessionConnected;
    TSessionClosed OnSessionClosed;
    TChangeState OnChangeState;
    TDataAvailable OnDataAvailable;
    TDataSent OnDataSent;
    TSendData OnSendData;
    TDnsLookupDone OnDnsLookupDone;
    TNotifyEvent OnError;
    TBgExceptionEvent OnBgException;

protected:
    // Hooks the SOCKS layer overrides.
    virtual void AssignDefaultValue();
    virtual void TriggerSessionConnected(quint16 error);
    virtual void TriggerSessionClosed(quint16 error);
    // Returns false when no data handler exists.
    virtual bool TriggerDataAvailable(quint16 error);
    virtual void TriggerDataSent(quint16 error);
    virtual void TriggerSessionAvailable(quint16 error);
    virtual void TriggerDnsLookupDone(quint16 error);
    virtual void TriggerChangeState(TSocketState oldState, TSocketState newState);
    virtual void TriggerError();
    void HandleBackGroundException(const std::exception& e);

    // Error routines: platform errors (code + context) and plain messages.
    void SocketError(const QString& context, int code = -1);
    void RaiseException(const QString& msg);
    // Internal close: optional shut-down of sending, error for OnSessionClosed.
    void InternalClose(bool shut, quint16 error);
    void ChangeState(TSocketState newState);
    int DoRecv(void* buffer, int len, int flags);
    void TryToSend();
    void DeleteBufferedData();
    void ApplyLinger();

    // Resolving helpers (raise ESocketException on failure).
    bool CheckConnectTarget();
    void ResolveProtoAndPort();
    static int ResolveProto(const QString& proto, int* sockType);
    static quint16 ResolvePort(const QString& port, const QString& proto);
    static quint32 ResolveHost(const QString& host); // network order
    // Every address of a host, IPv4 ones first (a literal gives one).
    static std::vector<sockaddr_storage> ResolveHostAll(const QString& host);

    // Fields used by the SOCKS layer.
    QString m_addrStr;
    QString m_portStr;
    QString m_protoStr = QStringLiteral("tcp");
    bool m_addrAssigned = false;
    bool m_portAssigned = false;
    bool m_protoAssigned = true;
    bool m_addrResolved = false;
    bool m_portResolved = false;
    bool m_protoResolved = false;
    std::vector<sockaddr_storage> m_targets; // resolved Addr (or the SOCKS server)
    size_t m_targetAt = 0;                   // the one being connected
    QStringList m_addrList;                  // SetAddrList's candidates
    quint16 m_sinPort = 0; // network order
    int m_protoNum = 6;
    int m_sockType = 1; // 1 stream, 2 datagram
    int m_fd = -1;
    TSocketState m_state = wsClosed;
    int m_lastError = 0;
    bool m_closeInvoked = false;
    bool m_destroying = false;
    qint64 m_rxTotal = 0; // every byte taken off the socket, for drain progress
    quint64 m_gen = 0;    // bumped for every new handle, to spot a reconnect
    qint64 m_readCount = 0;
    std::shared_ptr<bool> m_alive; // false once destroyed; handlers may delete us

private:
    // TLS hooks of the readiness dispatch, receiving, sending and closing.
    bool TlsHandshaking() const;
    void TlsHandshakeStep();
    bool TlsPending() const;
    void TlsPostRead();
    int TlsRead(void* buffer, int len);
    int TlsWrite(const char* data, int len, int& err);
    void TlsCloseNotify();
    void TlsFail(int code, const QString& text);
    std::unique_ptr<TTlsLayer> m_tls;
    QString m_tlsError;
    std::vector<TTlsResumable> m_tlsFresh;
    bool m_tlsReadPosted = false;

    void CreateNotifiers();
    void DestroyNotifiers();
    void DrainRead();
    void BindSocket();
    // Opens a handle for m_targets[m_targetAt] and starts connecting it: 0
    // when under way (or done), a WinSock error when the connect failed at
    // once (handle released), -1 when a setup failure has been reported.
    int StartConnectAttempt();
    void PostWriteNotification();
    int QueueFromFile(int fileFd, int len, bool& failed);
    void DnsWorkerDone(quint64 id, int error, const QStringList& addrs);
    void SetReadEnabled(bool on);
    void SetWriteEnabled(bool on);
    void Dispatch();
    void DispatchEvents();
    // The steps of Dispatch, one per event; false once the socket has gone
    // or moved to another handle.
    short PollReadiness() const;
    bool DispatchConnect(short& rev);
    void DispatchAccept(short rev);
    bool DispatchRead(short rev, bool& closeSeen, int& closeError);
    bool DispatchWrite(short rev);
    void DispatchClose(int error);
    // Static, so that asking about a socket a handler has deleted does not
    // call a member function on a dead object.
    static bool StillOn(const TCustomWSocket* s, const std::shared_ptr<bool>& alive, quint64 gen)
    {
        return *alive && s->m_gen == gen && s->m_fd != -1;
    }

    QString m_localAddr = QStringLiteral("0.0.0.0");
    QString m_localPortStr = QStringLiteral("0");
    bool m_localPortResolved = false;
    quint16 m_localPortNum = 0;
    TSocketLingerOnOff m_lingerOnOff = wsLingerOn;
    int m_lingerTimeout = 0;
    int m_sendFlags = wsSendNormal;
    TWSocketOptions m_options = 0;
    bool m_multiThreaded = false;
    bool m_allSent = true;
    int m_bufSize = 1514;
    std::vector<std::unique_ptr<TBuffer>> m_queue;
    QString m_dnsResult;
    QStringList m_dnsResultList;
    quint64 m_dnsId = 0; // 0 = no lookup in progress
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    bool m_writePosted = false;
    bool m_readSuspended = false; // reader declined to read; resumes on Receive/Accept
    bool m_sawEof = false;        // a receive saw the end of the stream
    int m_eofError = 0;           // error of that end (0 = orderly close)
    int m_qtDnsId = -1;
};

// ---------------------------------------------------------------------------
class TCustomSocksWSocket : public TCustomWSocket {
    Q_OBJECT
public:
    explicit TCustomSocksWSocket(QObject* parent = nullptr);

    QString SocksServer() const { return m_socksServer; }
    void SetSocksServer(const QString& v);
    QString SocksPort() const { return m_socksPort; }
    void SetSocksPort(const QString& v);
    QString SocksLevel() const { return m_socksLevel; }
    void SetSocksLevel(const QString& v);
    TSocksAuthentication SocksAuthentication() const { return m_socksAuth; }
    void SetSocksAuthentication(TSocksAuthentication v) { m_socksAuth = v; }
    QString SocksUsercode() const { return m_socksUsercode; }
    void SetSocksUsercode(const QString& v) { m_socksUsercode = v; }
    QString SocksPassword() const { return m_socksPassword; }
    void SetSocksPassword(const QString& v) { m_socksPassword = v; }
    // Address and port the SOCKS 5 server reported for the connection.
    QString BoundAddr() const { return m_boundAddr; }
    QString BoundPort() const { return m_boundPort; }

    void Connect() override;
    void Listen() override;
    void Close() override;
    void Abort() override;
    int Receive(void* buffer, int len) override;
    int RcvdCount() override;

    TSocksErrorEvent OnSocksError;
    TSocksAuthStateEvent OnSocksAuthState;
    TSocksConnected OnSocksConnected;

protected:
    void AssignDefaultValue() override;
    void TriggerSessionConnected(quint16 error) override;
    void TriggerSessionClosed(quint16 error) override;
    bool TriggerDataAvailable(quint16 error) override;
    void TriggerDataSent(quint16 error) override;

private:
    void SocksDoConnect();
    void SocksConnected();
    void ConsumeReply(int len);
    void SocksDoAuthenticate();
    void SocksFail(int code, const QString& msg);
    void SendNegotiation(const QByteArray& bytes);
    void ProcessReply();
    void ProcessMethodReply();
    void ProcessAuthReply();
    void ProcessConnectReply4();
    void ProcessConnectReply5();

    enum { socksData = 0, socksNegociateMethods = 1, socksAuthenticate = 2, socksConnecting = 3 };
    int m_socksState = socksData;
    QString m_socksServer;
    QString m_socksPort;
    QString m_socksLevel = QStringLiteral("5");
    bool m_socksServerAssigned = false;
    bool m_socksPortAssigned = false;
    QString m_socksUsercode;
    QString m_socksPassword;
    TSocksAuthentication m_socksAuth = socksNoAuthentication;
    int m_socksAuthNumber = 0;
    QString m_boundAddr;
    QString m_boundPort;
    quint16 m_targetPort = 0; // host order
    quint32 m_targetAddr4 = 0; // network order, level 4 only
    QByteArray m_targetAddr6;  // 16 bytes when the target is an IPv6 address
    bool m_methodsSent = false;
    bool m_negotiationSendPending = false;
    unsigned char m_rcvBuf[128] = {};
    int m_rcvCnt = 0;
    int m_rcvdCnt = 0; // application bytes behind the final reply
    int m_rcvdPtr = 0;
};

// ---------------------------------------------------------------------------
class TWSocket : public TCustomSocksWSocket {
    Q_OBJECT
public:
    explicit TWSocket(QObject* parent = nullptr);
};
