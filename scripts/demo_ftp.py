#!/usr/bin/env python3
"""The demo FTP server that scripts/run starts beside the window.

  demo_ftp.py --make-tree DIR
      Writes the sample tree into DIR (created when missing). Running it again
      rewrites only what is missing or of the wrong size and resets the dates;
      files uploaded into incoming/ stay.

  demo_ftp.py --serve DIR --port N [--else-any-port] [--port-file FILE]
              [--parent-pid PID]
      Serves DIR on 127.0.0.1:N with pyftpdlib: anonymous read access, and
      write access in incoming/ (for anonymous and for user "demo", password
      "demo"). --else-any-port takes a free port when N is taken; the port in
      use is written to FILE once the server listens. With --parent-pid the
      server ends when that process is gone, so it never outlives its starter.

The tree holds nested folders three levels deep, a few hundred files from
0 bytes to a few MB, names with spaces and non-ASCII letters, symbolic links
to a file and to a folder, and modification dates from years ago up to this
year. Its content is the same on every run (a fixed random seed).
"""

import argparse
import datetime
import os
import random
import sys

SEED = 20240611
KIB = 1024
MIB = 1024 * 1024

WELCOME = """Welcome to the Varnoth demo server.

This server runs on your own machine (127.0.0.1) only while Varnoth's window
is open. Browse freely: every folder can be read. Upload into incoming/.
"""


def _day(year, month, day, hour=12, minute=0):
    return datetime.datetime(year, month, day, hour, minute).timestamp()


class TreeWriter:
    """Writes files of deterministic content and remembers the dates to set."""

    def __init__(self, root):
        self.root = root
        self.rng = random.Random(SEED)
        self.times = {}  # relative path -> mtime
        today = datetime.date.today()
        self.year_start = _day(today.year, 1, 1, 0)
        self.today = datetime.datetime(today.year, today.month, today.day).timestamp()

    def recent(self):
        """A time between the start of this year and today."""
        return self.year_start + self.rng.random() * max(self.today - self.year_start, 3600)

    def folder(self, rel, mtime):
        os.makedirs(os.path.join(self.root, rel), exist_ok=True)
        self.times[rel] = mtime

    def file(self, rel, size, mtime, text=None):
        path = os.path.join(self.root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        data = text.encode("utf-8") if text is not None else None
        if data is not None:
            size = len(data)
        if not (os.path.isfile(path) and not os.path.islink(path) and os.path.getsize(path) == size):
            if data is None:
                data = self._content(rel, size)
            with open(path, "wb") as f:
                f.write(data)
        self.times[rel] = mtime

    def link(self, rel, target, mtime):
        """A relative symbolic link; pyftpdlib serves links that stay inside its root."""
        path = os.path.join(self.root, rel)
        if os.path.islink(path) and os.readlink(path) == target:
            pass
        else:
            if os.path.lexists(path):
                os.remove(path)
            os.symlink(target, path)
        self.times[rel] = mtime

    def size(self, low, high):
        # Sizes spread evenly over the orders of magnitude between low and high.
        if low == 0:
            return 0 if self.rng.random() < 0.1 else self.size(1, high)
        return int(low * (high / low) ** self.rng.random())

    @staticmethod
    def _content(rel, size):
        line = ("%s: demo content of Varnoth's sample server.\n" % rel).encode("utf-8")
        return (line * (size // len(line) + 1))[:size]

    def apply_times(self):
        # Deepest first, so setting a file's date cannot disturb its folder's.
        for rel in sorted(self.times, key=lambda r: r.count("/"), reverse=True):
            t = self.times[rel]
            os.utime(os.path.join(self.root, rel), (t, t), follow_symlinks=False)


def make_tree(root):
    os.makedirs(root, exist_ok=True)
    w = TreeWriter(root)
    old = _day(2016, 3, 14)

    w.file("README.txt", 0, w.recent(), text=WELCOME)
    # The upload folder: created, never emptied or dated.
    os.makedirs(os.path.join(root, "incoming"), exist_ok=True)

    # pub/: the everyday files, with names that need care.
    w.folder("pub", w.recent())
    w.file("pub/Grüße aus Köln.txt", 0, w.recent(),
           text="Viele Grüße aus Köln!\nÄpfel, Öl und Übermut.\n")
    w.file("pub/日本語.txt", 0, w.recent(), text="日本語のテキストファイルです。\n")
    w.file("pub/notes 2024.md", 0, _day(2024, 5, 2),
           text="# Notes 2024\n\n- a name with a space\n- a date from 2024\n")
    w.file("pub/empty file.txt", 0, w.recent(), text="")
    w.file("pub/Ελληνικά και русский.txt", 0, _day(2021, 9, 30), text="Καλημέρα. Привет.\n")

    # pub/releases/<version>/: three levels, a dated release per folder.
    w.folder("pub/releases", w.recent())
    releases = [("1.0", _day(2019, 2, 1)), ("1.1", _day(2020, 7, 15)),
                ("2.0 beta", w.recent())]
    for version, when in releases:
        base = "pub/releases/v" + version
        w.folder(base, when)
        for kind in ("linux-x86_64.tar.gz", "linux-arm64.tar.gz", "source.tar.xz"):
            w.file("%s/varnoth-%s-%s" % (base, version.replace(" ", "-"), kind),
                   w.size(200 * KIB, 3 * MIB), when)
        w.file(base + "/CHANGES.txt", w.size(1 * KIB, 40 * KIB), when)
        w.file(base + "/SHA256SUMS", 0, when, text="".join(
            "%064x  varnoth-%s\n" % (w.rng.getrandbits(256), version) for _ in range(3)))
        for n in range(1, 9):
            w.file("%s/patches/%04d-fix.patch" % (base, n), w.size(0, 60 * KIB), when)
        w.times[base + "/patches"] = when

    # pub/photos/<album>/: many mid-sized files, like a camera folder.
    w.folder("pub/photos", w.recent())
    albums = [("2019 Summer", 2019, 60), ("Été à Paris", 2022, 45), ("Winter in Zürich", None, 40)]
    for album, year, count in albums:
        base = "pub/photos/" + album
        w.folder(base, _day(year, 8, 20) if year else w.recent())
        for n in range(1, count + 1):
            when = _day(year, 6 + n % 3, 1 + n % 28, 8 + n % 12, n % 60) if year else w.recent()
            w.file("%s/IMG_%04d.jpg" % (base, 1000 + n * 7), w.size(20 * KIB, 400 * KIB), when)

    # archive/old logs/<year>/: small dated files from years ago.
    w.folder("archive", old)
    w.folder("archive/old logs", old)
    for year in range(2015, 2021):
        base = "archive/old logs/%d" % year
        w.folder(base, _day(year, 12, 31))
        for n in range(30):
            month, day = 1 + n % 12, 1 + (n * 5) % 28
            w.file("%s/server-%d-%02d-%02d.log" % (base, year, month, day),
                   w.size(0, 120 * KIB), _day(year, month, day, 23, 59))

    # docs/: a manual with one level of chapters.
    w.folder("docs", w.recent())
    for n, chapter in enumerate(["Getting started", "Connecting", "Transfers", "Sites and folders"], 1):
        base = "docs/%d %s" % (n, chapter)
        w.folder(base, w.recent())
        for page in range(1, 6):
            w.file("%s/page %02d.html" % (base, page), w.size(2 * KIB, 30 * KIB), w.recent())
    w.file("docs/manual-3.pdf", 2 * MIB + 123 * KIB, _day(2023, 1, 9))

    # big/: the few large files.
    w.folder("big", w.recent())
    for name, size in (("one megabyte.bin", MIB), ("2.5 MB.bin", 5 * MIB // 2),
                       ("four MB.iso", 4 * MIB), ("zero.bin", 0)):
        w.file("big/" + name, size, w.recent())

    # Links: to a file, to a folder, and one inside a sub-folder.
    w.link("LATEST-NOTES.md", "pub/notes 2024.md", w.recent())
    w.link("latest release", "pub/releases/v2.0 beta", w.recent())
    w.link("docs/current manual.pdf", "manual-3.pdf", w.recent())

    w.apply_times()


def serve(root, port, any_port, port_file, parent_pid):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
    import warnings

    root = os.path.realpath(root)
    incoming = os.path.join(root, "incoming")
    os.makedirs(incoming, exist_ok=True)

    auth = DummyAuthorizer()
    with warnings.catch_warnings():
        # pyftpdlib warns about write access for anonymous: here it is meant,
        # limited to incoming/ on a loopback-only server.
        warnings.simplefilter("ignore")
        auth.add_anonymous(root, perm="elr")
        auth.override_perm("anonymous", incoming, "elradfmwMT", recursive=True)
    auth.add_user("demo", "demo", root, perm="elr")
    auth.override_perm("demo", incoming, "elradfmwMT", recursive=True)

    class Handler(FTPHandler):
        authorizer = auth
        banner = "Varnoth demo server ready."

    try:
        server = FTPServer(("127.0.0.1", port), Handler)
    except OSError:
        # pyftpdlib re-raises bind errors without their errno: when the port
        # is taken, a second failure on port 0 tells the real cause.
        if not any_port:
            raise
        server = FTPServer(("127.0.0.1", 0), Handler)
    bound = server.socket.getsockname()[1]
    if port_file:
        tmp = port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % bound)
        os.replace(tmp, port_file)
    print("demo FTP server on ftp://127.0.0.1:%d/ serving %s" % (bound, root), flush=True)

    if parent_pid:
        def check_parent():
            try:
                os.kill(parent_pid, 0)
            except ProcessLookupError:
                os._exit(0)
        server.ioloop.call_every(1.0, check_parent)
    # A poll timeout, so scheduled checks run while no client is connected.
    server.serve_forever(timeout=1.0)


def main(argv):
    p = argparse.ArgumentParser(description="Varnoth's demo FTP server and its sample tree.")
    p.add_argument("--make-tree", metavar="DIR", help="write the sample tree into DIR")
    p.add_argument("--serve", metavar="DIR", help="serve DIR on 127.0.0.1")
    p.add_argument("--port", type=int, default=2121)
    p.add_argument("--else-any-port", action="store_true",
                   help="take a free port when --port is in use")
    p.add_argument("--port-file", metavar="FILE", help="write the port in use here")
    p.add_argument("--parent-pid", type=int, help="stop when this process ends")
    args = p.parse_args(argv)
    if not args.make_tree and not args.serve:
        p.error("give --make-tree DIR, --serve DIR or both")
    if args.make_tree:
        make_tree(args.make_tree)
    if args.serve:
        serve(args.serve, args.port, args.else_any_port, args.port_file, args.parent_pid)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
