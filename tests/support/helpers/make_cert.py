# Makes a test certificate and key with python3-openssl, which (unlike the
# openssl command of this system) sets any validity, also one in the past.
#   make_cert.py DIR NAME CN SAN NOT_BEFORE_DAYS NOT_AFTER_DAYS self|ca
# writes DIR/NAME.pem and DIR/NAME.key. NAME "ca" makes a CA; "ca" as the
# issuer signs with DIR/ca.pem and DIR/ca.key. SAN may be empty
# ("IP:127.0.0.1,DNS:other.example"). Days are relative to now.
import random
import sys

from OpenSSL import crypto

out, name, cn, san, not_before, not_after, issuer = sys.argv[1:8]
key = crypto.PKey()
key.generate_key(crypto.TYPE_RSA, 2048)
cert = crypto.X509()
cert.set_version(2)
cert.set_serial_number(random.randint(1, 2**62))
cert.get_subject().CN = cn
cert.gmtime_adj_notBefore(int(not_before) * 86400)
cert.gmtime_adj_notAfter(int(not_after) * 86400)
cert.set_pubkey(key)
if name == "ca":
    exts = [crypto.X509Extension(b"basicConstraints", True, b"CA:TRUE"),
            crypto.X509Extension(b"keyUsage", True, b"keyCertSign, cRLSign")]
else:
    exts = [crypto.X509Extension(b"basicConstraints", True, b"CA:FALSE")]
if san:
    exts.append(crypto.X509Extension(b"subjectAltName", False, san.encode()))
cert.add_extensions(exts)
if issuer == "ca":
    with open(out + "/ca.pem", "rb") as f:
        ca = crypto.load_certificate(crypto.FILETYPE_PEM, f.read())
    with open(out + "/ca.key", "rb") as f:
        ca_key = crypto.load_privatekey(crypto.FILETYPE_PEM, f.read())
    cert.set_issuer(ca.get_subject())
    cert.sign(ca_key, "sha256")
else:
    cert.set_issuer(cert.get_subject())
    cert.sign(key, "sha256")
with open("%s/%s.pem" % (out, name), "wb") as f:
    f.write(crypto.dump_certificate(crypto.FILETYPE_PEM, cert))
with open("%s/%s.key" % (out, name), "wb") as f:
    f.write(crypto.dump_privatekey(crypto.FILETYPE_PEM, key))
