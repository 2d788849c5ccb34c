# A small FTP-over-TLS server that misbehaves on purpose, for failures no
# real server produces on demand:
#   garbage     234 to AUTH TLS, then plain text instead of a handshake
#   close       234 to AUTH TLS, then the connection closes
#   plain-data  TLS on the control connection, a RETR's data in the clear
#   truncate    a RETR's data over TLS, ended without close_notify
#   serve       well-behaved login (for certificate checks)
#   other-cert  data connections (RETR, STOR) secured with DATA_CERT and
#               DATA_KEY instead of the control connection's certificate
#   quit-silent QUIT ends the connection with neither 221 nor close_notify
#   stall-control  234 to AUTH TLS, then the client's hello is read and never
#               answered; the connection stays open until the client ends it
#   stall-implicit  the client's hello on connecting (implicit TLS) is read
#               and never answered, as in stall-control
#   stall-data  TLS on the control connection; a transfer's data connection
#               (RETR, LIST, STOR) is accepted and its hello never answered,
#               until the client ends it (then 426)
# In every mode the control connection ends after 221 without close_notify,
# as many servers end it.
#   tls_fault_ftp.py MODE PORT CERT KEY [DATA_CERT DATA_KEY]
import socket
import ssl
import sys

mode, port, cert, key = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
ctx.load_cert_chain(cert, key)
data_ctx = ctx
if len(sys.argv) > 6:
    data_ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    data_ctx.load_cert_chain(sys.argv[5], sys.argv[6])
PAYLOAD = bytes(range(256)) * 800


def serve(conn):
    state = {"c": conn, "buf": b"", "pasv": None}

    def send(line):
        state["c"].sendall((line + "\r\n").encode())

    def readline():
        while b"\n" not in state["buf"]:
            data = state["c"].recv(4096)
            if not data:
                return None
            state["buf"] += data
        line, state["buf"] = state["buf"].split(b"\n", 1)
        return line.decode("latin-1").strip()

    if mode == "stall-implicit":
        while conn.recv(4096):
            pass
        return
    send("220 fault server (%s)" % mode)
    while True:
        line = readline()
        if line is None:
            return
        verb = line.split(" ")[0].upper()
        if verb == "AUTH":
            send("234 go ahead")
            if mode == "garbage":
                state["c"].sendall(b"this is no TLS record, only plain text\r\n" * 8)
                state["c"].close()
                return
            if mode == "close":
                state["c"].close()
                return
            if mode == "stall-control":
                while state["c"].recv(4096):
                    pass
                return
            state["c"] = ctx.wrap_socket(state["c"], server_side=True)
        elif verb in ("PBSZ", "PROT", "TYPE"):
            send("200 ok")
        elif verb == "USER":
            send("230 welcome")
        elif verb == "PASV":
            pasv = socket.socket()
            pasv.bind(("127.0.0.1", 0))
            pasv.listen(1)
            state["pasv"] = pasv
            p = pasv.getsockname()[1]
            send("227 Entering Passive Mode (127,0,0,1,%d,%d)" % (p >> 8, p & 255))
        elif mode == "stall-data" and verb in ("RETR", "LIST", "STOR"):
            send("150 opening the data connection")
            data, _ = state["pasv"].accept()
            try:
                while data.recv(4096):
                    pass
            except OSError:
                pass
            data.close()
            send("426 data connection closed")
        elif verb == "RETR":
            send("150 here it comes")
            data, _ = state["pasv"].accept()
            if mode == "plain-data":
                data.sendall(PAYLOAD)
                data.close()
            else:
                try:
                    data = data_ctx.wrap_socket(data, server_side=True)
                    data.sendall(PAYLOAD)
                    if mode == "truncate":
                        # The TCP connection ends without close_notify.
                        data.close()
                    else:
                        data.unwrap().close()
                except (OSError, ssl.SSLError):
                    # The client refused this data connection.
                    data.close()
                    send("426 data connection closed")
                    continue
            send("226 done")
        elif verb == "STOR":
            send("150 send it")
            data, _ = state["pasv"].accept()
            try:
                data = data_ctx.wrap_socket(data, server_side=True)
                while data.recv(65536):
                    pass
                data.close()
                send("226 stored")
            except (OSError, ssl.SSLError):
                data.close()
                send("426 data connection closed")
        elif verb == "QUIT":
            if mode != "quit-silent":
                send("221 bye")
            # The TCP connection ends without close_notify.
            return
        else:
            send("502 not here")


srv = socket.socket()
srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
srv.bind(("127.0.0.1", port))
srv.listen(5)
while True:
    c, _ = srv.accept()
    try:
        serve(c)
    except (OSError, ssl.SSLError) as e:
        print("connection ended:", e, flush=True)
    finally:
        try:
            c.close()
        except OSError:
            pass
