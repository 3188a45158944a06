"""Checks apt_mirror.sh, which finds the Debian archive that windows_deps.sh
fetches the libraries' sources from: it takes the mirror from apt's own
configuration in each of its forms, and stops with a message when there is
none. Each case runs the script against an apt configuration of its own
(APT_CONFIG), never the machine's."""

import os
import subprocess
import tempfile
import unittest
from pathlib import Path

SCRIPT = Path(__file__).resolve().parent / "apt_mirror.sh"


class AptMirrorTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="quix-apt-")
        root = Path(self.tmp.name)
        self.etc = root / "etc"
        (self.etc / "sources.list.d").mkdir(parents=True)
        (self.etc / "apt.conf.d").mkdir()
        (root / "lists" / "partial").mkdir(parents=True)
        self.config = root / "apt.conf"
        self.config.write_text(
            f'Dir::Etc "{self.etc}";\n'
            f'Dir::State::Lists "{root / "lists"}";\n'
            f'Dir::Cache "{root / "cache"}";\n'
            'Dir::Cache::pkgcache "";\nDir::Cache::srcpkgcache "";\n')

    def tearDown(self):
        self.tmp.cleanup()

    def mirror(self, suite="bookworm"):
        env = dict(os.environ, APT_CONFIG=str(self.config))
        return subprocess.run(["bash", str(SCRIPT), suite], env=env,
                              capture_output=True, text=True, timeout=60)

    def assertMirror(self, expected, suite="bookworm"):
        run = self.mirror(suite)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stdout.strip().rstrip("/"), expected)

    def assertNoMirror(self, suite="bookworm"):
        run = self.mirror(suite)
        self.assertEqual(run.returncode, 1, run.stdout)
        self.assertEqual(run.stdout, "")
        self.assertIn(f'no source for "{suite}" main', run.stderr)
        self.assertIn("sources.list", run.stderr)

    def test_one_line_entries_with_and_without_options(self):
        # The security archive comes first but is another suite; the options
        # in brackets are not part of the URI.
        (self.etc / "sources.list").write_text(
            "# the archive\n"
            "deb http://security.mirror.example/debian-security bookworm-security main\n"
            "deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]"
            " http://one.mirror.example/debian bookworm main contrib\n")
        self.assertMirror("http://one.mirror.example/debian")
        self.assertMirror("http://security.mirror.example/debian-security", "bookworm-security")

    def test_list_files_in_the_parts_folder(self):
        (self.etc / "sources.list.d" / "local.list").write_text(
            "deb-src http://src.mirror.example/debian bookworm main\n")
        self.assertMirror("http://src.mirror.example/debian")

    def test_deb822_sources_with_a_disabled_entry_and_several_suites(self):
        (self.etc / "sources.list.d" / "debian.sources").write_text(
            "Types: deb\n"
            "URIs: http://off.mirror.example/debian\n"
            "Suites: bookworm\n"
            "Components: main\n"
            "Enabled: no\n"
            "\n"
            "Types: deb\n"
            "# a comment inside the stanza\n"
            "URIs: http://on.mirror.example/debian\n"
            "Suites: bookworm-updates bookworm\n"
            "Components: contrib main\n"
            "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg\n")
        self.assertMirror("http://on.mirror.example/debian")

    def test_an_entry_without_main_does_not_count(self):
        (self.etc / "sources.list").write_text(
            "deb http://contrib.mirror.example/debian bookworm contrib non-free\n")
        self.assertNoMirror()

    def test_no_entry_for_the_suite_stops_with_a_message(self):
        (self.etc / "sources.list").write_text(
            "deb http://old.mirror.example/debian bullseye main\n")
        self.assertNoMirror()

    def test_no_configuration_at_all_stops_with_a_message(self):
        self.assertNoMirror()


if __name__ == "__main__":
    unittest.main()
