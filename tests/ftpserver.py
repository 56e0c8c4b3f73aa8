#!/usr/bin/python3
"""FTP server for the tests, on pyftpdlib.

Listens on 127.0.0.1 on an ephemeral port and prints "PORT <n>" once it
accepts connections. Every command line it receives is appended to the
command log (CR, LF and backslash escaped as \\r, \\n, \\\\), before the
command is handled, so a command whose reply a client has seen is always in
the log. The server ends by itself after --lifetime seconds, and as soon as
its standard input reaches end of file (its parent went away).

Fault switches (--fault NAME or NAME:COUNT, repeatable; with a count the
fault strikes that many times, then the server behaves):
  refuse_login   every login is refused with 530
  nlst_550       NLST of an empty folder answers 550 (nlst_450: 450)
  drop_data      an upload's data connection is reset after 64 KiB
  silent         connections are accepted and never answered (no greeting)
  stall_reply    an upload is received but its final reply never comes
  no_connect     PORT/EPRT are accepted but the server never connects back
  hang_quit      QUIT is never answered
"""
import argparse
import os
import socket
import struct
import sys
import threading

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer

DROP_AFTER = 64 * 1024


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--user", nargs=3, action="append", default=[],
                        metavar=("NAME", "PASSWORD", "HOME"))
    parser.add_argument("--fault", action="append", default=[])
    parser.add_argument("--log", required=True)
    parser.add_argument("--lifetime", type=float, default=120)
    args = parser.parse_args()
    faults = {}
    for fault in args.fault:
        name, _, count = fault.partition(":")
        faults[name] = int(count) if count else -1

    def strikes(name):
        """Whether the fault strikes now; uses up one of its strikes."""
        left = faults.get(name, 0)
        if left == 0:
            return False
        if left > 0:
            faults[name] = left - 1
        return True

    log = open(args.log, "a", encoding="utf-8")
    log_lock = threading.Lock()

    def record(line):
        text = line.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n")
        with log_lock:
            log.write(text + "\n")
            log.flush()

    class Authorizer(DummyAuthorizer):
        def validate_authentication(self, username, password, handler):
            if strikes("refuse_login"):
                raise AuthenticationFailed("Authentication failed.")
            DummyAuthorizer.validate_authentication(self, username, password, handler)

    authorizer = Authorizer()
    for name, password, home in args.user:
        authorizer.add_user(name, password, home, perm="elradfmwMT")

    class DataHandler(DTPHandler):
        def enable_receiving(self, type, cmd):
            self.dropping = strikes("drop_data")
            self.stalling = strikes("stall_reply")
            DTPHandler.enable_receiving(self, type, cmd)

        def handle_read(self):
            DTPHandler.handle_read(self)
            if getattr(self, "dropping", False) and self.tot_bytes_received >= DROP_AFTER and not self._closed:
                # Reset rather than close, so the client's next send fails.
                self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self._resp = ("426 Connection reset; transfer aborted.", lambda *a: None)
                self.close()

        handle_read_event = handle_read  # the base class binds its own

        def close(self):
            if getattr(self, "stalling", False):
                self._resp = ()
            DTPHandler.close(self)

    class Handler(FTPHandler):
        dtp_handler = DataHandler
        auth_failed_timeout = 0
        banner = "test server ready."

        def handle(self):
            self.silent = strikes("silent")
            if not self.silent:
                FTPHandler.handle(self)

        def found_terminator(self):
            if self.silent:
                self._in_buffer = []
                self._in_buffer_len = 0
                return
            FTPHandler.found_terminator(self)

        def pre_process_command(self, line, cmd, arg):
            record(line)
            FTPHandler.pre_process_command(self, line, cmd, arg)

        def _make_eport(self, ip, port):
            if strikes("no_connect"):
                self.respond("200 Active data connection established.")
                return
            FTPHandler._make_eport(self, ip, port)

        def ftp_NLST(self, path):
            for code in ("550", "450"):
                if self.fs.isdir(path) and not self.fs.listdir(path) and strikes("nlst_" + code):
                    self.respond(code + " No files found.")
                    return None
            return FTPHandler.ftp_NLST(self, path)

        def ftp_QUIT(self, line):
            if not strikes("hang_quit"):
                FTPHandler.ftp_QUIT(self, line)

    Handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), Handler)

    def end():
        os._exit(0)

    timer = threading.Timer(args.lifetime, end)
    timer.daemon = True
    timer.start()

    def watch_stdin():
        while sys.stdin.buffer.read(4096):
            pass
        end()

    threading.Thread(target=watch_stdin, daemon=True).start()

    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
