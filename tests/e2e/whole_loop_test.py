"""The whole loop with real peers: a Dovecot POP3 server holding two accounts' mail, a
recording SMTP server standing in for the real SMTP server and for the senders' mailboxes, and
the real `pelrion --headless` driven only by its command line.

Fixture mail of every kind is checked, filed and challenged; the challenged sender's reply, built
the way a mail program builds one, releases the held mail (for a CAPTCHA request only a reply
that carries the code, read from the stored record); the Inbox is read through the POP3
listener by poplib and by fetchmail; mail sent through the SMTP listener arrives stamped and
its bounce is recognised; a restart in the middle loses nothing. Every step waits on
`pelrion check --wait`, never on a clock.

Run by CTest with PELRION_BIN, PELRION_DB_BIN and PELRION_MSG_BIN set; E2E_KEEP=1 keeps the
scratch folder."""
import base64
import email
import email.policy
import email.utils
import glob
import json
import os
import poplib
import re
import shutil
import smtplib
import socket
import subprocess
import sys
import tempfile
import unittest
from collections import namedtuple

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mail_fixtures as mail  # noqa: E402
import peers  # noqa: E402
from pelrion_home import PelrionHome  # noqa: E402

Account = namedtuple("Account", "user password friendly_name display_name email")
ALICE = Account("alice", "alice-pop-Secret1", "Alice at home", "Alice Example",
                "alice@home.example")
BOB = Account("bob", "bob-pop-Secret2", "Bob at work", "Bob Example", "bob@work.example")

TRUSTED_NAME, TRUSTED = "Tom Trusted", "tom@friends.example"
TRUSTED_DOMAIN = "partner.example"
BLACKLISTED = "offers@junk.example"
UNKNOWN_NAME, UNKNOWN = "Uma Unknown", "uma@stranger.example"
# Challenged with the CAPTCHA method, after the preference changed.
VISITOR_NAME, VISITOR = "Vic Visitor", "vic@visitors.example"

STATUS_TEXT = {
    2: "Waiting for reply to authorization request",
    4: "Delivery of authorization request has failed",
    5: "Contact is blacklisted",
    6: "Unprovoked delivery status notification",
    7: "Sender is listed in 'Trusted Contacts'",
    8: "Sender has authorized themselves",
    9: "Delivery status notification",
    12: "",
}

# One row per kind of arriving mail: where it must end up after the first check.
Fixture = namedtuple("Fixture", "subject account data folder status")


def fixture_mail(n, account, subject, sender_headers):
    # Body lines starting with "." make the POP3 listener dot-stuff them on the way out; a
    # client takes one full stop off a line that starts with two, so a missing stuffing shows.
    return mail.plain_message(
        [("Received", f"from mx.example.net by pop.example.net; Thu, 10 Dec 2026 08:0{n}:00 +0000"),
         *sender_headers,
         ("To", f"{account.display_name} <{account.email}>"),
         ("Subject", subject),
         ("Date", f"Thu, 10 Dec 2026 08:0{n}:00 +0000"),
         ("Message-ID", f"<fixture-{n}@mail.example.net>")],
        f"Fixture message {n}.\n.a line that starts with a full stop\n..and one with two\n\n"
        "Regards\n")


def unprovoked_bounce():
    # A failure report about a message this installation never sent.
    returned = mail.plain_message([("From", f"{BOB.display_name} <{BOB.email}>"),
                                   ("To", "nobody@elsewhere.example"),
                                   ("Subject", "Meeting notes"),
                                   ("Message-ID", "<notes-77@work.example>")], "")
    return mail.delivery_status_report(mail.header_block(returned).decode(),
                                       "nobody@elsewhere.example", BOB.email)


FIXTURES = [
    Fixture("Dinner on Saturday", ALICE,
            fixture_mail(1, ALICE, "Dinner on Saturday", [("From", f"{TRUSTED_NAME} <{TRUSTED}>")]),
            "inbox", 7),
    Fixture("Contract draft", BOB,
            fixture_mail(2, BOB, "Contract draft", [("From", f"Dora <dora@{TRUSTED_DOMAIN}>")]),
            "inbox", 12),
    Fixture("Hello from Uma", ALICE,
            fixture_mail(3, ALICE, "Hello from Uma", [("From", f"{UNKNOWN_NAME} <{UNKNOWN}>")]),
            "quarantine", 2),
    Fixture("Photos from Uma", ALICE,
            fixture_mail(4, ALICE, "Photos from Uma", [("From", f"{UNKNOWN_NAME} <{UNKNOWN}>")]),
            "quarantine", 2),
    Fixture("Cheap offers", BOB,
            fixture_mail(5, BOB, "Cheap offers", [("From", f"Offers <{BLACKLISTED}>")]),
            "junk", 5),
    # No Sender, From or Reply-To at all.
    Fixture("Nobody wrote this", ALICE, fixture_mail(6, ALICE, "Nobody wrote this", []),
            "junk", 4),
    Fixture("Undelivered Mail Returned to Sender", BOB, unprovoked_bounce(), "junk", 6),
]
VISITOR_MAIL = Fixture("Visiting next week", ALICE,
                       fixture_mail(8, ALICE, "Visiting next week",
                                    [("From", f"{VISITOR_NAME} <{VISITOR}>")]),
                       "quarantine", 2)


def sender_id_address(subject):
    """The address and request number of the tag "[Sender-ID=TOKEN-NUMBER]": TOKEN is the
    address with a terminating zero byte in Base64 without padding."""
    found = re.search(r"\[Sender-ID=([A-Za-z0-9+/]+)-(\d+)\]", re.sub(r"\s", "", subject))
    assert found, f"no Sender-ID tag in {subject!r}"
    token = found.group(1)
    raw = base64.b64decode(token + "=" * (-len(token) % 4))
    assert raw.endswith(b"\0"), raw
    return raw[:-1].decode(), int(found.group(2))


class WholeLoopTest(unittest.TestCase):
    def setUp(self):
        self.pelrion_bin = os.environ["PELRION_BIN"]
        self.db_bin = os.environ["PELRION_DB_BIN"]
        self.msg_bin = os.environ["PELRION_MSG_BIN"]
        self.root = tempfile.mkdtemp(prefix="pelrion-e2e-")
        # Dovecot's unprivileged processes must reach their folders below it.
        os.chmod(self.root, 0o755)
        if os.environ.get("E2E_KEEP") != "1":
            self.addCleanup(shutil.rmtree, self.root, True)
        else:
            print("scratch folder kept:", self.root)

        self.pop3 = peers.Pop3Server(os.path.join(self.root, "dovecot"))
        self.pop3.start()
        self.addCleanup(self.pop3.stop)
        for account in (ALICE, BOB):
            self.pop3.add_user(account.user, account.password)
        self.smtp = peers.RecordingSmtpServer(os.path.join(self.root, "smtp"))
        self.smtp.start()
        self.addCleanup(self.smtp.stop)

        self.home = PelrionHome(os.path.join(self.root, "pelrion"), self.pelrion_bin)
        self.addCleanup(self.home.kill)
        self.home.start()

    # Helpers.

    def messages(self):
        return self.home.json("messages")

    def account_of(self, message):
        """The account a listed message came through; the listing names it by id or by its
        friendly name."""
        found = [a for a in (ALICE, BOB)
                 if message["account"] in (self.account_id[a], a.friendly_name)]
        self.assertEqual(len(found), 1, message)
        return found[0]

    def message(self, subject, account=None):
        found = [m for m in self.messages() if m["subject"] == subject
                 and (account is None or self.account_of(m) == account)]
        self.assertEqual(len(found), 1, f"messages with subject {subject!r}: {found}")
        return found[0]

    def contacts(self, which):
        return self.home.json("contact", "list", "--list", which)

    def addresses_on(self, which):
        return {a for c in self.contacts(which) for a in c["addresses"]}

    def stored(self, message):
        with open(self.home.message_file(message["id"]), "rb") as f:
            return f.read()

    def dump(self):
        """The stored tables, read with the read-only database tool."""
        return json.loads(subprocess.run([self.db_bin, "dump", self.home.database_folder],
                                         capture_output=True, check=True).stdout)

    def analyse(self, path, installation_id=None):
        args = [self.msg_bin, "analyse", path]
        if installation_id:
            args += ["--installation-id", installation_id]
        return json.loads(subprocess.run(args, capture_output=True, check=True).stdout)

    def assert_database_intact(self):
        check = subprocess.run([self.db_bin, "check", self.home.database_folder],
                               capture_output=True)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)

    def no_password_in(self, output):
        for account in (ALICE, BOB):
            self.assertNotIn(account.password.encode(), output)

    # The loop, in order.

    def test_whole_loop(self):
        self.configure_lists_and_method()
        self.add_accounts()
        self.move_listeners_to_free_ports()
        self.first_check_files_every_kind()
        request = self.one_request_to_the_unknown_sender()
        captcha_request = self.reply_releases_the_held_mail(request)
        self.captcha_reply_needs_the_code(captcha_request)
        self.restart_loses_nothing()
        self.poplib_reads_the_inbox_byte_for_byte(ALICE, delete=False)
        self.fetchmail_reads_and_deletes_the_inbox(ALICE)
        self.poplib_reads_the_inbox_byte_for_byte(BOB, delete=True)
        sent = self.mail_through_the_smtp_listener_is_stamped()
        self.bounce_of_sent_mail_is_recognised(sent)
        self.assertEqual(self.home.stop(), 0, self.home.stderr_tail())
        self.assert_database_intact()

    def configure_lists_and_method(self):
        # The Reply method for the first unknown sender; a later one gets a CAPTCHA request.
        self.home.run("set", "method", "0")
        self.assertEqual(self.home.run("get", "method").stdout.split()[-1], b"0")
        self.home.run("contact", "add", "--name", TRUSTED_NAME, TRUSTED)
        self.home.run("contact", "add", "--list", "blacklist", BLACKLISTED)
        self.home.run("domain", "add", TRUSTED_DOMAIN)
        self.assertEqual(self.addresses_on("trusted"), {TRUSTED})
        self.assertEqual(self.addresses_on("blacklist"), {BLACKLISTED})
        self.assertEqual([c["name"] for c in self.contacts("trusted")], [TRUSTED_NAME])
        self.assertEqual(self.home.json("domain", "list"), [TRUSTED_DOMAIN])

    def add_accounts(self):
        for account in (ALICE, BOB):
            result = self.home.run(
                "account", "add", "--name", account.friendly_name, "--display-name",
                account.display_name, "--email", account.email,
                "--pop3", f"127.0.0.1:{self.pop3.port}", "--pop3-user", account.user,
                "--smtp", f"127.0.0.1:{self.smtp.port}",
                stdin=(account.password + "\n").encode())
            self.assertIn(b"The account has been successfully created.", result.stdout)
            self.no_password_in(result.stdout + result.stderr)
            self.created_text = result.stdout.decode()
        # Ids count up, so the first account added has the smaller one.
        listed = sorted(self.home.json("account", "list"), key=lambda a: a["id"])
        self.no_password_in(json.dumps(listed).encode())
        self.assertEqual([(a["friendly_name"], a["email"], a["pop3_user"], a["included"])
                          for a in listed],
                         [(a.friendly_name, a.email, a.user, True) for a in (ALICE, BOB)])
        self.account_id = {ALICE: listed[0]["id"], BOB: listed[1]["id"]}
        # Both accounts use the same real servers, so they share one listener of each kind.
        self.assertEqual(listed[0]["pop3_listener"], listed[1]["pop3_listener"])
        self.assertEqual(listed[0]["smtp_listener"], listed[1]["smtp_listener"])
        self.pop3_listener = listed[0]["pop3_listener"]
        self.smtp_listener = listed[0]["smtp_listener"]

    def listener(self, listener_id):
        found = [l for l in self.home.json("listener", "list") if l["id"] == listener_id]
        self.assertEqual(len(found), 1)
        return found[0]

    def move_listeners_to_free_ports(self):
        listeners = self.home.json("listener", "list")
        self.assertEqual(sorted((l["protocol"], l["host"], l["port"]) for l in listeners),
                         [("pop3", "127.0.0.1", self.pop3.port),
                          ("smtp", "127.0.0.1", self.smtp.port)])
        # What account add told the user to set in the mail program.
        for listener in listeners:
            self.assertRegex(self.created_text,
                             rf"\({listener['protocol'].upper()}\):\n\s+Name: [^\n]+\n\s+"
                             rf"Port: {listener['local_port']}\n")
        self.local_port = {}
        for listener_id in (self.pop3_listener, self.smtp_listener):
            port = peers.free_port()
            self.home.run("listener", "set", str(listener_id), "--address", "127.0.0.1",
                          "--port", str(port))
            peers.wait_until(lambda: self._accepts(port), f"listener {listener_id} accepts")
            listener = self.listener(listener_id)
            self.assertEqual((listener["local_address"], listener["local_port"],
                              listener["running"]), ("127.0.0.1", port, True))
            self.local_port[listener_id] = port

    @staticmethod
    def _accepts(port):
        try:
            socket.create_connection((peers.LOOPBACK, port), timeout=1).close()
            return True
        except OSError:
            return False

    def first_check_files_every_kind(self):
        for fixture in FIXTURES:
            self.pop3.add_message(fixture.account.user, fixture.data)
        self.home.check_wait()
        # Pelrion leaves nothing on the real server.
        for account in (ALICE, BOB):
            self.assertEqual(self.pop3.message_count(account.user), 0, account.user)
        messages = self.messages()
        self.assertEqual(len(messages), len(FIXTURES), messages)
        for fixture in FIXTURES:
            with self.subTest(fixture.subject):
                m = self.message(fixture.subject)
                self.assertEqual((m["folder"], m["status"], m["status_text"]),
                                 (fixture.folder, fixture.status, STATUS_TEXT[fixture.status]))
                self.assertEqual(self.account_of(m), fixture.account)
                self.assertEqual(m["size"], len(fixture.data))
                # Stored as it came from the server: CR LF line ends, nothing added.
                self.assertEqual(self.stored(m), fixture.data)

    def one_request_to_the_unknown_sender(self):
        recorded = self.smtp.messages()
        self.assertEqual(len(recorded), 1, [e for e, _ in recorded])
        envelope, data = recorded[0]
        self.assertEqual(envelope["rcpt_tos"], [UNKNOWN])
        self.assertEqual(envelope["mail_from"], ALICE.email)
        request = email.message_from_bytes(data, policy=email.policy.default)
        self.assertEqual(email.utils.parseaddr(str(request["To"]))[1], UNKNOWN)
        self.assertEqual(email.utils.parseaddr(str(request["From"]))[1], ALICE.email)
        self.assertEqual(str(request["X-KVX-AuthReq"]).strip(), "1")
        self.assertIsNotNone(request["X-KVX-Signature"])
        self.assertIsNotNone(request.get_body(preferencelist=("plain",)))
        address, number = sender_id_address(str(request["Subject"]))
        self.assertEqual(address, UNKNOWN)
        self.assertTrue(10000 <= number <= 99999, number)
        # Another installation would recognise it as an authorization request.
        path = os.path.join(self.root, "request.eml")
        with open(path, "wb") as f:
            f.write(data)
        self.assertTrue(self.analyse(path)["is_auth_request"])
        # Both held messages share the one request and know when it went out.
        held = [self.message(s) for s in ("Hello from Uma", "Photos from Uma")]
        self.assertEqual(len({m["request_sent"] for m in held}), 1)
        self.assertGreater(held[0]["request_sent"], 0)
        return data

    def reply_releases_the_held_mail(self, request):
        """Also brings a new unknown sender while the method is CAPTCHA; returns the request
        that sender got."""
        reply = mail.reply_to(request, UNKNOWN_NAME, UNKNOWN, "Yes, I wrote to Alice.")
        self.pop3.add_message(ALICE.user, reply)
        self.home.run("set", "method", "1")
        self.pop3.add_message(ALICE.user, VISITOR_MAIL.data)
        self.home.check_wait()
        self.assertEqual(self.pop3.message_count(ALICE.user), 0)
        trusted = {a: c["name"] for c in self.contacts("trusted") for a in c["addresses"]}
        self.assertEqual(trusted, {TRUSTED: TRUSTED_NAME, UNKNOWN: UNKNOWN_NAME})
        for subject in ("Hello from Uma", "Photos from Uma"):
            m = self.message(subject)
            self.assertEqual((m["folder"], m["status"], m["status_text"]),
                             ("inbox", 8, STATUS_TEXT[8]))
        # The reply is consumed, not filed; the next request went to the new sender only.
        messages = self.messages()
        self.assertEqual(len(messages), len(FIXTURES) + 1)
        self.assertFalse([m for m in messages if "Sender-ID" in m["subject"]])
        recorded = self.smtp.messages()
        self.assertEqual([e["rcpt_tos"] for e, _ in recorded], [[UNKNOWN], [VISITOR]])
        return recorded[1][1]

    def stored_record(self, message_id):
        found = [m for m in self.dump()["messages"] if m["id"] == message_id]
        self.assertEqual(len(found), 1)
        return found[0]

    def captcha_reply_needs_the_code(self, request_data):
        held = self.message(VISITOR_MAIL.subject)
        self.assertEqual((held["folder"], held["status"]), ("quarantine", 2))
        request = email.message_from_bytes(request_data, policy=email.policy.default)
        self.assertEqual(sender_id_address(str(request["Subject"]))[0], VISITOR)
        images = [p for p in request.walk() if p.get_content_type() == "image/gif"]
        self.assertTrue(images, "a CAPTCHA request without its image")
        self.assertIn("Authorization Code.gif", [p.get_filename() for p in images])
        self.assertTrue(all(p.get_content().startswith(b"GIF8") for p in images))
        # The code is shown only in the image, which a test cannot read; the stored record
        # holds it (read-only dump of the database).
        code = self.stored_record(held["id"])["authorization_code"]
        self.assertTrue(100000 <= code <= 999999, code)
        plain = request.get_body(preferencelist=("plain",)).get_content()
        self.assertNotIn(str(code), plain)

        # A reply without the code releases nothing, and is not filed either.
        self.pop3.add_message(ALICE.user, mail.reply_to(request_data, VISITOR_NAME, VISITOR,
                                                        "Here I am, please let me through."))
        self.home.check_wait()
        self.assertEqual(self.pop3.message_count(ALICE.user), 0)
        held = self.message(VISITOR_MAIL.subject)
        self.assertEqual((held["folder"], held["status"]), ("quarantine", 2))
        self.assertNotIn(VISITOR, self.addresses_on("trusted"))
        self.assertEqual(len(self.messages()), len(FIXTURES) + 1)

        # The code typed into the reply, as the request asks.
        self.pop3.add_message(ALICE.user, mail.reply_to(request_data, VISITOR_NAME, VISITOR,
                                                        f"The code is {code}."))
        self.home.check_wait()
        released = self.message(VISITOR_MAIL.subject)
        self.assertEqual((released["folder"], released["status"]), ("inbox", 8))
        self.assertIn(VISITOR, self.addresses_on("trusted"))
        self.assertEqual(len(self.smtp.messages()), 2)

    def snapshot(self):
        return {
            "messages": sorted(self.messages(), key=lambda m: m["id"]),
            "trusted": sorted(self.contacts("trusted"), key=lambda c: c["id"]),
            "blacklist": sorted(self.contacts("blacklist"), key=lambda c: c["id"]),
            "domains": self.home.json("domain", "list"),
            "accounts": self.home.json("account", "list"),
            "listeners": [{k: l[k] for k in ("id", "host", "port", "protocol", "local_address",
                                             "local_port")}
                          for l in self.home.json("listener", "list")],
        }

    def restart_loses_nothing(self):
        before = self.snapshot()
        self.assertEqual(self.home.stop(), 0, self.home.stderr_tail())
        self.assertEqual(self.home.command("status").returncode, 3)
        self.assert_database_intact()
        self.home.start()
        self.assertEqual(self.snapshot(), before)
        for listener_id, port in self.local_port.items():
            peers.wait_until(lambda: self._accepts(port), f"listener {listener_id} accepts again")

    def inbox_of(self, account):
        return [m for m in self.messages()
                if m["folder"] == "inbox" and self.account_of(m) == account]

    def expected_inbox(self, account):
        inbox = self.inbox_of(account)
        self.assertTrue(inbox, f"nothing in the Inbox of {account.user}")
        by_subject = {f.subject: f.data for f in FIXTURES + [VISITOR_MAIL]}
        expected = sorted(by_subject[m["subject"]] for m in inbox)
        # What is served is what is stored, and that is what the server sent.
        self.assertEqual(sorted(self.stored(m) for m in inbox), expected)
        return inbox, expected

    def assert_inbox_gone(self, account, inbox):
        self.assertEqual(self.inbox_of(account), [])
        for m in inbox:
            self.assertFalse(os.path.exists(self.home.message_file(m["id"])), m)

    def poplib_reads_the_inbox_byte_for_byte(self, account, delete):
        inbox, expected = self.expected_inbox(account)
        client = poplib.POP3(peers.LOOPBACK, self.local_port[self.pop3_listener], timeout=30)
        client.user(account.user)
        client.pass_(account.password)
        count, total = client.stat()
        self.assertEqual((count, total), (len(expected), sum(len(d) for d in expected)))
        got = []
        for n in range(1, count + 1):
            _, lines, _ = client.retr(n)
            got.append(b"\r\n".join(lines) + b"\r\n")
            if delete:
                client.dele(n)
        client.quit()
        self.assertEqual(sorted(got), expected)
        if delete:
            self.assert_inbox_gone(account, inbox)
        else:
            self.assertEqual(sorted(m["id"] for m in self.inbox_of(account)),
                             sorted(m["id"] for m in inbox))

    def fetchmail_reads_and_deletes_the_inbox(self, account):
        inbox, expected = self.expected_inbox(account)
        work = os.path.join(self.root, "fetchmail")
        os.makedirs(os.path.join(work, "home"), mode=0o700)
        os.makedirs(os.path.join(work, "mail"))
        rc = os.path.join(work, "fetchmailrc")
        with open(rc, "w") as f:
            f.write(f"set no syslog\npoll {peers.LOOPBACK} protocol POP3 "
                    f"port {self.local_port[self.pop3_listener]}\n"
                    f'  user "{account.user}" password "{account.password}"\n'
                    "  fetchall sslproto ''\n")
        os.chmod(rc, 0o600)
        # --invisible and --norewrite: delivered as fetched, without a Received line of its own.
        result = subprocess.run(
            ["fetchmail", "--nodetach", "-f", rc, "--invisible", "--norewrite",
             "--mda", f"cat > {work}/mail/$$"],
            env={"HOME": os.path.join(work, "home"), "PATH": "/usr/bin:/bin"},
            capture_output=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        got = []
        for path in glob.glob(os.path.join(work, "mail", "*")):
            with open(path, "rb") as f:
                got.append(f.read())
        # An MDA is handed LF line ends; otherwise byte for byte.
        self.assertEqual(sorted(got), sorted(d.replace(b"\r\n", b"\n") for d in expected))
        self.assert_inbox_gone(account, inbox)

    def mail_through_the_smtp_listener_is_stamped(self):
        carl, dana = "carl@friends2.example", "dana@friends3.example"
        headers = [("Message-ID", "<outgoing-1@home.example>"),
                   ("From", f"{ALICE.display_name} <{ALICE.email}>"),
                   ("To", f"Carl <{carl}>, {BLACKLISTED}"),
                   ("Cc", f"Dana <{dana}>"),
                   ("Subject", "Plans for the weekend"),
                   ("Date", "Thu, 10 Dec 2026 11:00:00 +0100")]
        body = "Shall we meet?\n.see you\n"
        message = mail.plain_message(headers, body)
        recipients = [carl, BLACKLISTED, dana]
        # A fixed EHLO name: smtplib would otherwise look up this machine's own name.
        with smtplib.SMTP(peers.LOOPBACK, self.local_port[self.smtp_listener], timeout=30,
                          local_hostname="client.e2e.localhost") as s:
            refused = s.sendmail(ALICE.email, recipients, message)
        self.assertEqual(refused, {})

        recorded = self.smtp.messages()
        self.assertEqual(len(recorded), 3)
        envelope, data = recorded[2]
        self.assertEqual((envelope["mail_from"], envelope["rcpt_tos"]), (ALICE.email, recipients))
        block = mail.header_block(data)
        lines = block.split(b"\r\n")[:-1]
        installation = self.dump()["installation_id"]
        self.assertRegex(installation, r"^USR[0-9A-F]{8}$")
        # The new Message-id first, the old one gone, the two marks last in the block.
        self.assertRegex(lines[0].decode(),
                         rf"^Message-id: <KVX\.U-{installation}\.S-[A-Za-z0-9+/]+\."
                         r"[0-9A-F]{16}@[^>]+>$")
        self.assertNotIn(b"outgoing-1@home.example", block)
        self.assertTrue(lines[-2].startswith(b"X-KVX-Signature: "), lines)
        self.assertEqual(lines[-1], f"X-KVX-UUID: {installation}".encode())
        self.assertEqual(lines[1:-2], [f"{n}: {v}".encode() for n, v in headers[1:]])
        self.assertEqual(data[len(block):], mail.crlf("\n" + body))
        # Its signature verifies and names this installation.
        path = os.path.join(self.root, "sent.eml")
        with open(path, "wb") as f:
            f.write(data)
        found = self.analyse(path, installation)
        self.assertEqual((found["signed"], found["own_installation"]), (True, True))

        # The recipients are trusted now, except the black-listed one.
        self.assertEqual(self.addresses_on("trusted"), {TRUSTED, UNKNOWN, VISITOR, carl, dana})
        self.assertEqual(self.addresses_on("blacklist"), {BLACKLISTED})
        return data

    def bounce_of_sent_mail_is_recognised(self, sent):
        subject = "Undelivered Mail Returned to Sender"
        report = mail.delivery_status_report(mail.header_block(sent).decode(),
                                             "carl@friends2.example", ALICE.email,
                                             mta="mx.friends2.example")
        self.pop3.add_message(ALICE.user, report)
        self.home.check_wait()
        m = self.message(subject, ALICE)
        self.assertEqual((m["folder"], m["status"], m["status_text"]),
                         ("inbox", 9, STATUS_TEXT[9]))
        # The earlier report about mail never sent by this installation stays unprovoked.
        self.assertEqual(self.message(subject, BOB)["status"], 6)


if __name__ == "__main__":
    unittest.main()
