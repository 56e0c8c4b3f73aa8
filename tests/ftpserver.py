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
  refuse_connect a connection is greeted with 421 and closed
  silent_after_login  after a good login nothing more is answered
  close_data_226 an upload's data connection is closed after 64 KiB, and
                 the server says 226 (the file keeps its first 64 KiB)
  refuse_rename  RNFR is refused with 550
  rename_no_replace  RNTO onto an existing file is refused with 553
  size_wrong     SIZE answers one byte more than the file holds
  no_size        SIZE is not implemented (502)
  nlst_421       NLST is answered with 421 and the connection closed
  huge_listing   NLST lists 1,000,001 names
  refuse_active  PORT and EPRT are refused with 500 (passive mode only)

--tls CERT KEY serves explicit FTPS instead: AUTH TLS is required before the
login and every data connection is protected (PROT P).
"""
import argparse
import socket
import struct
import threading

import serverlife  # beside this script

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
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
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

    if args.tls:
        from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
        BaseData, BaseHandler = TLS_DTPHandler, TLS_FTPHandler
    else:
        BaseData, BaseHandler = DTPHandler, FTPHandler

    class DataHandler(BaseData):
        def enable_receiving(self, type, cmd):
            self.dropping = strikes("drop_data")
            self.stalling = strikes("stall_reply")
            self.cutting = strikes("close_data_226")
            BaseData.enable_receiving(self, type, cmd)

        def handle_read(self):
            BaseData.handle_read(self)
            if getattr(self, "cutting", False) and self.tot_bytes_received >= DROP_AFTER and not self._closed:
                # A plain close that the server reports as a complete transfer.
                self.handle_close()
                return
            if getattr(self, "dropping", False) and self.tot_bytes_received >= DROP_AFTER and not self._closed:
                # Reset rather than close, so the client's next send fails.
                self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self._resp = ("426 Connection reset; transfer aborted.", lambda *a: None)
                self.close()

        if not args.tls:
            handle_read_event = handle_read  # the base class binds its own (TLS needs its own for the handshake)

        def close(self):
            if getattr(self, "stalling", False):
                self._resp = ()
            BaseData.close(self)

    class Handler(BaseHandler):
        dtp_handler = DataHandler
        auth_failed_timeout = 0
        banner = "test server ready."

        def handle(self):
            self.silent = strikes("silent")
            if strikes("refuse_connect"):
                self.respond("421 Service not available, closing control connection.")
                self.close_when_done()
                return
            if not self.silent:
                BaseHandler.handle(self)

        def handle_auth_success(self, home, password, msg_login):
            BaseHandler.handle_auth_success(self, home, password, msg_login)
            if strikes("silent_after_login"):
                self.silent = True

        def found_terminator(self):
            if self.silent:
                self._in_buffer = []
                self._in_buffer_len = 0
                return
            BaseHandler.found_terminator(self)

        def pre_process_command(self, line, cmd, arg):
            record(line)
            BaseHandler.pre_process_command(self, line, cmd, arg)

        def ftp_PORT(self, line):
            if strikes("refuse_active"):
                self.respond("500 Active mode not allowed.")
                return None
            return BaseHandler.ftp_PORT(self, line)

        def ftp_EPRT(self, line):
            if strikes("refuse_active"):
                self.respond("500 Active mode not allowed.")
                return None
            return BaseHandler.ftp_EPRT(self, line)

        def _make_eport(self, ip, port):
            if strikes("no_connect"):
                self.respond("200 Active data connection established.")
                return
            BaseHandler._make_eport(self, ip, port)

        def ftp_RNFR(self, path):
            if strikes("refuse_rename"):
                self.respond("550 Renaming not permitted.")
                return None
            return BaseHandler.ftp_RNFR(self, path)

        def ftp_RNTO(self, path):
            if self._rnfr and self.fs.lexists(path) and strikes("rename_no_replace"):
                self._rnfr = None
                self.respond("553 File exists.")
                return None
            return BaseHandler.ftp_RNTO(self, path)

        def ftp_SIZE(self, path):
            if strikes("no_size"):
                self.respond("502 Command not implemented.")
                return None
            if self.fs.isfile(path) and strikes("size_wrong"):
                self.respond("213 %d" % (self.fs.getsize(path) + 1))
                return None
            return BaseHandler.ftp_SIZE(self, path)

        def ftp_NLST(self, path):
            if strikes("nlst_421"):
                self.respond("421 Service not available, closing control connection.")
                self.close_when_done()
                return None
            if strikes("huge_listing"):
                self.push_dtp_data(b"".join(b"%d.jpg\r\n" % k for k in range(1000001)), cmd="NLST")
                return path
            for code in ("550", "450"):
                if self.fs.isdir(path) and not self.fs.listdir(path) and strikes("nlst_" + code):
                    self.respond(code + " No files found.")
                    return None
            return BaseHandler.ftp_NLST(self, path)

        def ftp_QUIT(self, line):
            if not strikes("hang_quit"):
                BaseHandler.ftp_QUIT(self, line)

    Handler.authorizer = authorizer
    if args.tls:
        Handler.certfile, Handler.keyfile = args.tls
        Handler.tls_control_required = True
        Handler.tls_data_required = True
    server = FTPServer(("127.0.0.1", 0), Handler)

    serverlife.end_with_parent(args.lifetime)

    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
