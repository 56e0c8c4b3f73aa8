"""How a test server's life ends: after its lifetime, or as soon as its
standard input closes (the test process that started it is gone)."""
import os
import sys
import threading


def end_with_parent(lifetime):
    def end():
        os._exit(0)

    timer = threading.Timer(lifetime, end)
    timer.daemon = True
    timer.start()

    def watch_stdin():
        while sys.stdin.buffer.read(4096):
            pass
        end()

    threading.Thread(target=watch_stdin, daemon=True).start()
