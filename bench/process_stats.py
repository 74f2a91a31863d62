"""What the measuring scripts read off a process and a game connection, in one place.

A script in a folder below bench/ imports it with:
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    from process_stats import rss_kb, cpu_seconds, free_port, read_until
"""
import os
import re
import socket

END = b"\xff"  # ends every game message


def rss_kb(pid):
    """Resident memory of the process, in KB."""
    with open(f"/proc/{pid}/status") as f:
        return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))


def cpu_seconds(pid):
    """User and system time the process has used so far."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def read_until(sock, prefix, buffer=b""):
    """Reads game messages until one starts with `prefix`; returns it and what is left."""
    while True:
        while END in buffer:
            message, buffer = buffer.split(END, 1)
            if message.startswith(prefix):
                return message, buffer
        chunk = sock.recv(65536)
        if not chunk:
            raise RuntimeError("the peer closed the connection")
        buffer += chunk
