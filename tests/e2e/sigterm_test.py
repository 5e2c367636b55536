"""SIGTERM while a mail check hangs in the middle of a download: the real `pelrion --headless`
ends in order with exit code 0, and its stores are intact afterwards (the database check passes,
the half-downloaded message left no file behind, the account is still there after a restart).

The time from the signal to the exit is printed, not judged: the limit here only keeps a hung
program from hanging the test. Run by CTest with PELRION_BIN and PELRION_DB_BIN set."""
import glob
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import peers  # noqa: E402
from pelrion_home import NO_INSTANCE, PelrionHome  # noqa: E402

EXIT_LIMIT = 20.0


class SigtermDuringCheckTest(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="pelrion-e2e-sigterm-")
        self.addCleanup(shutil.rmtree, self.root, True)
        self.server = peers.StallingPop3Server()
        self.server.start()
        self.addCleanup(self.server.stop)
        self.home = PelrionHome(self.root, os.environ["PELRION_BIN"])
        self.addCleanup(self.home.kill)
        self.home.start()

    def database_check(self):
        return subprocess.run([os.environ["PELRION_DB_BIN"], "check", self.home.database_folder],
                              capture_output=True)

    def test_sigterm_during_a_stalled_download_ends_in_order(self):
        # Mail is checked only on command, so the restart below starts no check of its own.
        self.home.run("set", "checkmail", "0")
        # Nothing listens at the SMTP port: the check never gets as far as sending.
        self.home.run("account", "add", "--name", "Stalled", "--display-name", "Stan",
                      "--email", "stan@home.example", "--pop3",
                      f"127.0.0.1:{self.server.port}", "--pop3-user", "stan",
                      "--smtp", f"127.0.0.1:{peers.free_port()}", stdin=b"stan-password\n")
        accounts = self.home.json("account", "list")
        self.home.run("check")
        self.assertTrue(self.server.stalled.wait(EXIT_LIMIT), "the check never reached RETR")
        self.assertTrue(self.home.json("status")["checking"])

        started = time.monotonic()
        self.home.process.send_signal(signal.SIGTERM)
        code = self.home.wait_exit(EXIT_LIMIT)
        print(f"pelrion ended {time.monotonic() - started:.2f} s after SIGTERM", file=sys.stderr)
        self.assertEqual(code, 0, self.home.stderr_tail())
        self.assertEqual(self.home.command("status").returncode, NO_INSTANCE)

        check = self.database_check()
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        self.assertEqual(glob.glob(os.path.join(self.home.database_folder, "*.eml")), [])

        self.home.start()
        self.assertEqual(self.home.json("account", "list"), accounts)
        self.assertEqual(self.home.json("messages"), [])
        self.assertEqual(self.home.stop(), 0, self.home.stderr_tail())


if __name__ == "__main__":
    unittest.main()
