"""`cmake --install` of a build tree into a scratch prefix: the program and its tools, the
desktop entry and the systemd user unit, each where a Linux system looks for it and pointing
at the installed program.

Run by CTest with PELRION_BUILD_DIR set (the tree that holds the built programs)."""
import configparser
import os
import shutil
import subprocess
import tempfile
import unittest

PROGRAMS = ("pelrion", "pelrion-db", "pelrion-msg")


def read_ini(path):
    """A desktop entry or a unit file as sections of keys; names keep their case."""
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str
    with open(path) as f:
        parser.read_file(f)
    return parser


class InstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = tempfile.mkdtemp(prefix="pelrion-install-")
        result = subprocess.run(["cmake", "--install", os.environ["PELRION_BUILD_DIR"],
                                 "--prefix", cls.prefix], capture_output=True, text=True)
        cls.install_output = result.stdout + result.stderr
        cls.install_code = result.returncode

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.prefix, True)

    def setUp(self):
        self.assertEqual(self.install_code, 0, self.install_output)

    def path(self, *parts):
        return os.path.join(self.prefix, *parts)

    def test_programs_are_installed_and_run_from_the_prefix(self):
        for program in PROGRAMS:
            with self.subTest(program):
                installed = self.path("bin", program)
                self.assertTrue(os.path.isfile(installed) and os.access(installed, os.X_OK))
        # The installed program answers --version without starting (nothing else runs here).
        version = subprocess.run([self.path("bin", "pelrion"), "--version"], capture_output=True,
                                 text=True, env={"PATH": "/usr/bin:/bin"}, timeout=20)
        self.assertEqual(version.returncode, 0, version.stderr)
        self.assertRegex(version.stdout, r"^Pelrion \d+\.\d+")
        # The installed tools are whole programs, not links into the build tree: run without
        # arguments they print their usage and exit 2.
        for tool in ("pelrion-db", "pelrion-msg"):
            with self.subTest(tool):
                result = subprocess.run([self.path("bin", tool)], capture_output=True,
                                        text=True, env={"PATH": "/usr/bin:/bin"})
                self.assertEqual(result.returncode, 2)
                self.assertIn("usage: " + tool, result.stderr)

    def test_desktop_entry_starts_the_program(self):
        path = self.path("share", "applications", "pelrion.desktop")
        entry = read_ini(path)["Desktop Entry"]
        self.assertEqual(entry["Type"], "Application")
        self.assertEqual(entry["Name"], "Pelrion")
        self.assertEqual(entry["Exec"].split()[0], "pelrion")
        self.assertEqual(entry["Terminal"], "false")
        self.assertIn("Email", entry["Categories"].split(";"))
        validate = shutil.which("desktop-file-validate")
        if validate:
            result = subprocess.run([validate, path], capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_user_unit_runs_the_installed_program_headless(self):
        path = self.path("lib", "systemd", "user", "pelrion.service")
        unit = read_ini(path)
        self.assertEqual(unit["Service"]["ExecStart"],
                         self.path("bin", "pelrion") + " --headless")
        self.assertEqual(unit["Service"]["Restart"], "on-failure")
        self.assertEqual(unit["Service"]["Type"], "simple")
        # A user unit is wanted by the user's default target, not by a system one.
        self.assertEqual(unit["Install"]["WantedBy"], "default.target")
        self.assertTrue(unit["Unit"]["Description"])
        analyze = shutil.which("systemd-analyze")
        if analyze:
            result = subprocess.run([analyze, "verify", "--man=no", path],
                                    capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


if __name__ == "__main__":
    unittest.main()
