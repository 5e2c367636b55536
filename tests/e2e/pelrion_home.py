"""The real pelrion executable in a private home: every folder it reads from its environment
(XDG data, config and runtime folders, TMPDIR, HOME) lies under one scratch folder, and the
running instance is driven only through its command line."""
import json
import os
import signal
import subprocess
import time

# A command that waits for a whole mail check gets this long before the test gives up.
COMMAND_LIMIT = 120
START_LIMIT = 20.0

# Exit code of a control command when no instance runs.
NO_INSTANCE = 3


class CommandFailed(AssertionError):
    pass


class PelrionHome:
    def __init__(self, root, pelrion):
        self.root = root
        self.pelrion = pelrion
        self.process = None
        self.stderr_path = os.path.join(root, "pelrion.stderr")
        for sub in ("home", "data", "config", "runtime", "tmp"):
            os.makedirs(os.path.join(root, sub), mode=0o700, exist_ok=True)

    @property
    def env(self):
        # A private environment, except the sanitizer settings of a sanitizer build (its
        # suppressions of the system libraries' caches among them).
        passed = {name: value for name, value in os.environ.items()
                  if name in ("ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS")}
        return passed | {
            "HOME": os.path.join(self.root, "home"),
            "XDG_DATA_HOME": os.path.join(self.root, "data"),
            "XDG_CONFIG_HOME": os.path.join(self.root, "config"),
            "XDG_RUNTIME_DIR": os.path.join(self.root, "runtime"),
            "TMPDIR": os.path.join(self.root, "tmp"),
            "PATH": "/usr/bin:/bin",
            "LANG": "C.UTF-8",
        }

    @property
    def database_folder(self):
        return os.path.join(self.root, "data", "Pelrion", "Db")

    def message_file(self, message_id):
        return os.path.join(self.database_folder, f"{message_id}.eml")

    # The running instance.

    def start(self):
        """Starts `pelrion --headless` and returns once its control socket answers."""
        assert self.process is None or self.process.poll() is not None, "already running"
        with open(self.stderr_path, "ab") as err:
            self.process = subprocess.Popen([self.pelrion, "--headless"], env=self.env,
                                            stdin=subprocess.DEVNULL, stdout=err, stderr=err)
        deadline = time.monotonic() + START_LIMIT
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise CommandFailed(f"pelrion ended at start with {self.process.returncode}: "
                                    + self.stderr_tail())
            if self.command("status").returncode == 0:
                return
            time.sleep(0.05)
        raise CommandFailed("pelrion status never answered: " + self.stderr_tail())

    def stop(self):
        """`pelrion stop`, then the exit code of the instance."""
        self.run("stop")
        return self.wait_exit()

    def wait_exit(self, limit=START_LIMIT):
        try:
            return self.process.wait(limit)
        except subprocess.TimeoutExpired:
            raise CommandFailed(f"pelrion did not end within {limit:.0f} s")

    def kill(self):
        """Test clean-up only: ends the instance this test started, by its process id."""
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGKILL)
            self.process.wait()

    def stderr_tail(self):
        try:
            with open(self.stderr_path, "rb") as f:
                return f.read()[-3000:].decode("utf-8", "replace")
        except OSError:
            return ""

    # Control commands.

    def command(self, *args, stdin=None):
        """Runs `pelrion ARGS...`; the completed process, whatever its exit code."""
        return subprocess.run([self.pelrion, *args], env=self.env, input=stdin,
                              capture_output=True, timeout=COMMAND_LIMIT)

    def run(self, *args, stdin=None, expect=0):
        result = self.command(*args, stdin=stdin)
        if result.returncode != expect:
            raise CommandFailed(
                f"pelrion {' '.join(args)} exited {result.returncode}, expected {expect}\n"
                f"stdout: {result.stdout.decode('utf-8', 'replace')}\n"
                f"stderr: {result.stderr.decode('utf-8', 'replace')}\n"
                f"instance: {self.stderr_tail()}")
        return result

    def json(self, *args):
        return json.loads(self.run(*args, "--json").stdout)

    def check_wait(self):
        """`check --wait`: returns once the check and the sending after it are over. Reports
        (network errors) make it exit 1, which fails the test with their text."""
        return self.run("check", "--wait")
