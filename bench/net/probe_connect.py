#!/usr/bin/env python3
"""Two probes of the game's connections where the network misbehaves. Each runs in a network
and mount namespace of its own (so as root), where it gives the resolver a hosts file and a
name server of its own; nothing outside the namespace is touched.

- A silent first address: a name whose first address drops connection attempts (a listener
  whose accept queue is full stands in for a broken IPv6 route) and whose second address
  listens. Reports when the connection came through, or that it had not within 45 s.
- A good name behind silent ones: eight names the name server never answers, asked first,
  then a name from the hosts file. Reports how long the good name took. The resolver's own
  settings (5 s per try, two tries) are left as they are.

Usage:
    bench/net/probe_connect.py build/release/bench/net/net_probe
"""
import os
import socket
import subprocess
import sys
import tempfile

HOSTS = """127.0.0.1 localhost
127.0.0.2 twice.probe.test
127.0.0.3 twice.probe.test
127.0.0.1 good.probe.test
"""


def inside(probe):
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    work = tempfile.mkdtemp(prefix="zp-probe-")
    for name, text in (("hosts", HOSTS), ("resolv.conf", "nameserver 127.0.0.1\n")):
        path = os.path.join(work, name)
        with open(path, "w") as f:
            f.write(text)
        subprocess.run(["mount", "--bind", path, "/etc/" + name], check=True)

    # A name server that takes every question and never answers.
    silent_server = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    silent_server.bind(("127.0.0.1", 53))

    order = [a[4][0] for a in socket.getaddrinfo("twice.probe.test", 7, socket.AF_INET,
                                                  socket.SOCK_STREAM)]
    silent, listening = order[0], order[1]
    quiet = socket.socket()
    quiet.bind((silent, 0))
    quiet.listen(0)
    port = quiet.getsockname()[1]
    filler = socket.create_connection((silent, port))  # the accept queue is now full
    open_ = socket.socket()
    open_.bind((listening, port))
    open_.listen(8)
    print(f"silent first address: twice.probe.test is {silent} (silent), then {listening}, "
          f"port {port}", flush=True)
    subprocess.run([probe, "connect", "twice.probe.test", str(port), "45"])
    filler.close()

    print("a good name behind eight silent ones:", flush=True)
    table = socket.create_server(("127.0.0.1", 0))
    silent_names = [f"silent{k}.probe.test" for k in range(1, 9)]
    subprocess.run([probe, "names", str(table.getsockname()[1]), "good.probe.test"] +
                   silent_names)
    table.close()
    open_.close()
    quiet.close()


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    probe = os.path.abspath(sys.argv[1])
    if len(sys.argv) > 2 and sys.argv[2] == "--inside":
        inside(probe)
        return
    result = subprocess.run(["unshare", "--mount", "--net", "--", sys.executable,
                             os.path.abspath(__file__), probe, "--inside"])
    sys.exit(result.returncode)


if __name__ == "__main__":
    main()
