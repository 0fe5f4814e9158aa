#!/usr/bin/env python3
"""A real SFTP server on 127.0.0.1 for the upload tests: OpenSSH's sshd.

Runs sshd as the current user with keys and a configuration made at start in
--state. A user logs in with the key in state/user_key only (no passwords)
and starts in --root. Once sshd listens, the state folder holds:

  port          the port sshd listens on (written last: it means "ready")
  user_key      the private key to log in with (user_key.pub beside it)
  known_hosts   a line that makes a client trust this server
  fingerprint   the host key's fingerprint as ssh shows it, "SHA256:..."

The server ends on SIGTERM, and by itself when the process that started it
is gone, so a crashed test leaves no server behind.
"""

import argparse
import os
import signal
import socket
import subprocess
import sys
import threading
import time

SSHD = "/usr/sbin/sshd"
# Host key types libssh2 and OpenSSH agree on; ssh-rsa host keys fail there.
KEY_TYPE = "ed25519"
ATTEMPTS = 5


def keygen(path):
    subprocess.run(["ssh-keygen", "-q", "-t", KEY_TYPE, "-N", "", "-C", "quillane-test", "-f", path],
                   check=True, stdin=subprocess.DEVNULL)


def write_file(path, text):
    # Written beside and renamed, so a reader never sees half a file.
    with open(path + ".part", "w") as f:
        f.write(text)
    os.replace(path + ".part", path)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def config(state, root, port):
    return "\n".join([
        "Port %d" % port,
        "ListenAddress 127.0.0.1",
        "HostKey " + os.path.join(state, "host_key"),
        "PidFile " + os.path.join(state, "sshd.pid"),
        "AuthorizedKeysFile " + os.path.join(state, "authorized_keys"),
        "PubkeyAuthentication yes",
        "PasswordAuthentication no",
        "KbdInteractiveAuthentication no",
        "PermitRootLogin prohibit-password",
        "UsePAM no",
        # The state folder lies in the shared temporary folder.
        "StrictModes no",
        "AllowTcpForwarding no",
        "X11Forwarding no",
        "PermitTTY no",
        "PrintMotd no",
        "Subsystem sftp internal-sftp -d " + root,
        "",
    ])


def descendants(pid):
    """The processes below pid, children first found first."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
        except OSError:
            continue
        # The name in parentheses may hold blanks; the parent follows the state.
        ppid = int(stat[stat.rindex(")") + 2:].split()[1])
        children.setdefault(ppid, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def gone(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            stat = f.read()
    except OSError:
        return True
    return stat[stat.rindex(")") + 2] == "Z"


def stop_sshd(sshd):
    # The sessions sshd forks live in sessions of their own: end them first,
    # the deepest first, so that their parents are still there to reap them.
    sessions = descendants(sshd.pid)
    for pid in reversed(sessions):
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
    deadline = time.monotonic() + 2
    while not all(gone(pid) for pid in sessions) and time.monotonic() < deadline:
        time.sleep(0.02)
    sshd.terminate()
    try:
        sshd.wait(timeout=5)
    except subprocess.TimeoutExpired:
        sshd.kill()
        sshd.wait()


def start_sshd(state, root):
    """Starts sshd on a free port; gives the process and its port, or exits
    with sshd's complaint when it does not come up."""
    conf = os.path.join(state, "sshd_config")
    complaint = ""
    for _ in range(ATTEMPTS):
        port = free_port()
        write_file(conf, config(state, root, port))
        sshd = subprocess.Popen([SSHD, "-D", "-e", "-f", conf], stdin=subprocess.DEVNULL,
                                stderr=subprocess.PIPE)
        lines = []
        for raw in sshd.stderr:
            lines.append(raw.decode("utf-8", "replace"))
            if lines[-1].startswith("Server listening on"):
                break
        if lines and lines[-1].startswith("Server listening on"):
            # Keep reading sshd's messages so it never blocks on a full pipe.
            def forward(stream=sshd.stderr):
                for raw in stream:
                    sys.stderr.write(raw.decode("utf-8", "replace"))
                    sys.stderr.flush()

            threading.Thread(target=forward, daemon=True).start()
            return sshd, port
        stop_sshd(sshd)
        complaint = "".join(lines)
        if "Address already in use" not in complaint:
            break
    sys.exit("sshd did not start:\n" + complaint)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True, help="the folder a user starts in")
    parser.add_argument("--state", required=True, help="where keys, configuration and port go")
    args = parser.parse_args()
    parent = os.getppid()

    root = os.path.realpath(args.root)
    if not os.path.isdir(root):
        sys.exit("the login folder %s is no folder" % root)
    if any(c.isspace() or c in "\"'\\%" for c in root):
        sys.exit("the folder %r holds a character sshd's configuration cannot take" % root)
    state = os.path.realpath(args.state)
    os.makedirs(state, exist_ok=True)

    host_key = os.path.join(state, "host_key")
    user_key = os.path.join(state, "user_key")
    keygen(host_key)
    keygen(user_key)
    with open(user_key + ".pub") as f:
        write_file(os.path.join(state, "authorized_keys"), f.read())

    # sshd run by root insists on its privilege separation folder.
    if os.geteuid() == 0:
        os.makedirs("/run/sshd", mode=0o755, exist_ok=True)

    stopping = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stopping.set())
    signal.signal(signal.SIGINT, lambda *_: stopping.set())

    sshd, port = start_sshd(state, root)
    try:
        with open(host_key + ".pub") as f:
            key_type, key_data = f.read().split()[:2]
        write_file(os.path.join(state, "known_hosts"), "[127.0.0.1]:%d %s %s\n" % (port, key_type, key_data))
        listing = subprocess.run(["ssh-keygen", "-l", "-E", "sha256", "-f", host_key + ".pub"], check=True,
                                 capture_output=True, text=True).stdout
        write_file(os.path.join(state, "fingerprint"), listing.split()[1] + "\n")
        write_file(os.path.join(state, "port"), str(port))

        while not stopping.wait(0.2):
            if os.getppid() != parent or sshd.poll() is not None:
                break
    finally:
        stop_sshd(sshd)
    if sshd.returncode not in (0, -signal.SIGTERM):
        sys.exit("sshd ended with %s" % sshd.returncode)


if __name__ == "__main__":
    main()
