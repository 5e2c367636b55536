"""Real peers for the end-to-end tests, all on 127.0.0.1 at ports the kernel picks:

- Pop3Server: a private Dovecot POP3 server with plain passwords and one maildir per user;
- RecordingSmtpServer: aiosmtpd writing every message it accepts to a folder, with its envelope;
- StallingPop3Server: a POP3 server that starts sending a message and then goes silent.

Each peer is started by the test and stopped by its own process id or thread, never by name.
"""
import json
import os
import pwd
import socket
import subprocess
import threading
import time

LOOPBACK = "127.0.0.1"
# Dovecot refuses to run its login and mail processes as root: Debian's own users, and an
# unprivileged owner of the maildirs.
MAIL_USER = "vmail"


def free_port():
    """A port on 127.0.0.1 nobody listens on right now."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind((LOOPBACK, 0))
        return s.getsockname()[1]


def wait_until(predicate, what, limit=20.0):
    """Polls predicate until it holds; a peer that never becomes ready fails the test."""
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.02)
    raise RuntimeError(f"{what} within {limit:.0f} s")


def pop3_greets(port):
    try:
        with socket.create_connection((LOOPBACK, port), timeout=1) as s:
            return s.recv(512).startswith(b"+OK")
    except OSError:
        return False


def _mail_owner():
    if os.geteuid() != 0:
        return os.geteuid(), os.getegid(), None
    for needed in ("dovecot", "dovenull"):
        pwd.getpwnam(needed)  # KeyError: reinstall dovecot-core
    try:
        entry = pwd.getpwnam(MAIL_USER)
    except KeyError:
        # Another test may make it at the same moment: only the result counts.
        subprocess.run(["useradd", "-r", "-M", "-s", "/usr/sbin/nologin", MAIL_USER],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        entry = pwd.getpwnam(MAIL_USER)
    return entry.pw_uid, entry.pw_gid, entry.pw_name


class Pop3Server:
    """A private Dovecot POP3 server under folder; messages are placed as maildir files.
    Dovecot's unprivileged users must be able to pass through every folder above it."""

    def __init__(self, folder):
        self.folder = folder
        self.uid, self.gid, _ = _mail_owner()
        self.added = 0
        self.port = 0
        self.process = None
        os.makedirs(folder, exist_ok=True)
        os.chmod(folder, 0o755)
        for sub in ("mail", "home"):
            self._owned_folder(os.path.join(folder, sub), 0o755)
        with open(os.path.join(folder, "users"), "w"):
            pass

    def _owned_folder(self, path, mode=0o700):
        os.makedirs(path, exist_ok=True)
        os.chmod(path, mode)
        if os.geteuid() == 0:
            os.chown(path, self.uid, self.gid)

    def _config(self):
        d = self.folder
        rootless = os.geteuid() != 0
        if rootless:
            me = pwd.getpwuid(os.geteuid()).pw_name
            internal, login, group = me, me, me
        else:
            internal, login, group = "dovecot", "dovenull", "dovecot"
        chroot = "  chroot =\n" if rootless else ""
        return (f"base_dir = {d}/run\nstate_dir = {d}/state\nlog_path = {d}/dovecot.log\n"
                "protocols = pop3\nlisten = 127.0.0.1\nssl = no\n"
                "disable_plaintext_auth = no\nauth_mechanisms = plain login\n"
                f"mail_location = maildir:{d}/mail/%u\n"
                f"default_internal_user = {internal}\ndefault_internal_group = {group}\n"
                f"default_login_user = {login}\nfirst_valid_uid = {self.uid}\n"
                "passdb {\n  driver = passwd-file\n"
                f"  args = scheme=PLAIN username_format=%u {d}/users\n}}\n"
                "userdb {\n  driver = static\n"
                f"  args = uid={self.uid} gid={self.gid} home={d}/home/%u\n}}\n"
                + ("service anvil {\n  chroot =\n}\n" if rootless else "")
                + "service pop3-login {\n" + chroot
                + f"  inet_listener pop3 {{\n    address = 127.0.0.1\n    port = {self.port}\n  }}\n"
                "  inet_listener pop3s {\n    port = 0\n  }\n}\n")

    def start(self):
        self.port = free_port()
        config = os.path.join(self.folder, "dovecot.conf")
        with open(config, "w") as f:
            f.write(self._config())
        out = open(os.path.join(self.folder, "dovecot.out"), "ab")
        # -F keeps the master in the foreground, so it is this test's own child.
        self.process = subprocess.Popen(["dovecot", "-F", "-c", config], stdin=subprocess.DEVNULL,
                                        stdout=out, stderr=out)
        out.close()
        wait_until(lambda: self.process.poll() is not None or pop3_greets(self.port),
                   "Dovecot greets")
        if self.process.poll() is not None:
            raise RuntimeError("Dovecot ended at start: " + self.log_tail())

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def log_tail(self):
        text = b""
        for name in ("dovecot.out", "dovecot.log"):
            try:
                with open(os.path.join(self.folder, name), "rb") as f:
                    text += f.read()
            except OSError:
                pass
        return text[-3000:].decode("latin-1")

    def maildir(self, user):
        return os.path.join(self.folder, "mail", user)

    def add_user(self, user, password):
        for sub in ("", "/new", "/cur", "/tmp"):
            self._owned_folder(self.maildir(user) + sub)
        self._owned_folder(os.path.join(self.folder, "home", user))
        # The passwd-file is read again when it changes, so users may come after the start.
        with open(os.path.join(self.folder, "users"), "a") as f:
            f.write(f"{user}:{password}\n")

    def add_message(self, user, data):
        """Places one message (CR LF or LF line ends) in the user's new/; listed in this order."""
        stored = data.replace(b"\r\n", b"\n")
        self.added += 1
        # Dovecot orders new mail by the leading number of the name.
        line_ends = stored.count(b"\n")
        name = (f"{1000000000 + self.added}.P{os.getpid()}.e2e,S={len(stored)},"
                f"W={len(stored) + line_ends}")
        temporary = os.path.join(self.maildir(user), "tmp", name)
        with open(temporary, "wb") as f:
            f.write(stored)
        if os.geteuid() == 0:
            os.chown(temporary, self.uid, self.gid)
        # Renamed into new/ so the server never sees half a message.
        os.rename(temporary, os.path.join(self.maildir(user), "new", name))

    def message_count(self, user):
        return sum(len([n for n in os.listdir(os.path.join(self.maildir(user), sub))
                        if not n.startswith(".")]) for sub in ("new", "cur"))


class RecordingSmtpServer:
    """aiosmtpd on 127.0.0.1 writing each accepted message to folder as N.eml (the bytes as
    received, CR LF, dot-stuffing undone) and N.json (envelope sender and recipients)."""

    def __init__(self, folder):
        from aiosmtpd.controller import Controller  # Debian's python3-aiosmtpd

        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.lock = threading.Lock()
        self.count = 0
        self.port = free_port()
        # A fixed greeting name: looking up this machine's own name could ask a name server.
        self.controller = Controller(self, hostname=LOOPBACK, port=self.port,
                                     server_hostname="smtp.e2e.localhost")

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.count += 1
            base = os.path.join(self.folder, str(self.count))
        with open(base + ".json", "w") as f:
            json.dump({"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos}, f)
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        return "250 Message accepted for delivery"

    def start(self):
        self.controller.start()

    def stop(self):
        self.controller.stop()

    def messages(self):
        """[(envelope dict, raw bytes)] in the order received."""
        found = []
        with self.lock:
            count = self.count
        for n in range(1, count + 1):
            base = os.path.join(self.folder, str(n))
            with open(base + ".json") as f, open(base + ".eml", "rb") as g:
                found.append((json.load(f), g.read()))
        return found


class StallingPop3Server:
    """Greets, logs anyone in, announces one large message, sends its first lines on RETR and
    then says nothing more: a real server that hangs in the middle of a transfer. `stalled` is
    set once the first lines are out."""

    def __init__(self):
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.bind((LOOPBACK, 0))
        self.listener.listen(4)
        self.port = self.listener.getsockname()[1]
        self.stalled = threading.Event()
        self.closing = threading.Event()
        self.thread = threading.Thread(target=self._serve, daemon=True)

    def start(self):
        self.thread.start()

    def stop(self):
        self.closing.set()
        try:
            # Wakes an accept() that still waits; close() alone would not.
            self.listener.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.listener.close()
        self.thread.join(5)

    def _serve(self):
        try:
            client, _ = self.listener.accept()
        except OSError:
            return
        with client:
            reader = client.makefile("rb")
            client.sendall(b"+OK stalling test server ready\r\n")
            for line in reader:
                word = line.split(b" ", 1)[0].strip().upper()
                if word == b"STAT":
                    client.sendall(b"+OK 1 1000000\r\n")
                elif word in (b"UIDL", b"LIST"):
                    value = b"1 u1" if word == b"UIDL" else b"1 1000000"
                    if len(line.split()) > 1:
                        client.sendall(b"+OK " + value + b"\r\n")
                    else:
                        client.sendall(b"+OK\r\n" + value + b"\r\n.\r\n")
                elif word == b"RETR":
                    client.sendall(b"+OK 1000000 octets\r\nFrom: someone@example.com\r\n"
                                   b"Subject: never ends\r\n\r\nfirst line of a long body\r\n")
                    self.stalled.set()
                    # Silence until the client goes away or the test ends.
                    while not self.closing.is_set():
                        client.settimeout(0.2)
                        try:
                            if client.recv(512) == b"":
                                return
                        except socket.timeout:
                            continue
                        except OSError:
                            return
                    return
                elif word == b"QUIT":
                    client.sendall(b"+OK bye\r\n")
                    return
                elif word in (b"USER", b"PASS", b"NOOP"):
                    client.sendall(b"+OK\r\n")
                else:
                    # STLS and CAPA among them: plain text, no extensions.
                    client.sendall(b"-ERR unknown command\r\n")
