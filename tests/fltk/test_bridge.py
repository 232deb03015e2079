"""The emulator bridge (Zelko.exe for Linux) against a recording stand-in for BlastEm: the
BlastEm command line each launcher command line gives, where and how BlastEm is started, and
every bad input: a message on standard error and in a window, a non-zero exit, nothing started."""
import os
import shutil
import signal
import subprocess
import tempfile
import time

import qvx

# Stands in for BlastEm: appends its start to blastem.log beside it, then says FAKE_SAY on
# standard error and exits with FAKE_STATUS, or ends by signal FAKE_SIGNAL, or becomes a sleep
# of FAKE_SLEEP seconds.
FAKE_BLASTEM = r"""#!/bin/sh
{ echo BEGIN; echo "cwd=$(pwd)"; echo "audio=${SDL_AUDIODRIVER-unset}"
  for a in "$@"; do echo "arg=$a"; done; echo END; } >> "$(dirname "$0")/blastem.log"
[ -n "$FAKE_SAY" ] && echo "$FAKE_SAY" >&2
[ -n "$FAKE_SLEEP" ] && exec sleep "$FAKE_SLEEP"
[ -n "$FAKE_SIGNAL" ] && kill -"$FAKE_SIGNAL" $$
exit "${FAKE_STATUS:-0}"
"""

USAGE_LINE = "Zelko.exe takes: -frame N [-nosound] [-z80] [-europe | -japan] CARTRIDGE"

def option_cases(cart):
    """The launcher's arguments, BlastEm's arguments after the program, its audio driver."""
    return [
        (["-frame", "2", cart], ["-r", "U", "-n", cart], "unset"),
        (["-frame", "3", "-nosound", "-z80", "-europe", cart], ["-r", "E", cart], "dummy"),
        (["-frame", "9", "-japan", cart], ["-r", "J", "-n", cart], "unset"),
        (["-frame", "1", "-z80", "-japan", cart], ["-r", "J", cart], "unset"),
        (["-frame", "1", "-nosound", "-europe", cart], ["-r", "E", "-n", cart], "dummy"),
        # A frame value the console has no use for is still a frame value, and an empty
        # one (the launcher's empty Frames field) is -frame before a switch or the cartridge.
        (["-frame", "12x", cart], ["-r", "U", "-n", cart], "unset"),
        (["-frame", cart], ["-r", "U", "-n", cart], "unset"),
        (["-frame", "-nosound", "-japan", cart], ["-r", "J", "-n", cart], "dummy"),
        # A last argument naming a file is the cartridge, dash or not (an empty CartPath
        # gives the bare name); BlastEm must not take it for a switch.
        (["-frame", "2", "-z80.bin"], ["-r", "U", "-n", "./-z80.bin"], "unset"),
        (["-frame", "-z80", "-z80.bin"], ["-r", "U", "./-z80.bin"], "unset"),
    ]


def usage_cases(cart):
    """Bad command lines, read alike everywhere: name, arguments, environment, expected status,
    parts of the message."""
    return [
        ("unknown switch", ["-frame", "2", "-pal", cart], {}, 2,
         ['Unknown switch "-pal"', USAGE_LINE]),
        ("unknown switch last", ["-frame", "2", "-fast"], {}, 2, ['Unknown switch "-fast"']),
        ("no -frame", ["-nosound", cart], {}, 2, ["frame value is missing"]),
        ("no arguments", [], {}, 2, ["No cartridge was given"]),
        ("no cartridge", ["-frame", "2", "-z80"], {}, 2, ["No cartridge was given"]),
        ("two regions", ["-frame", "2", "-europe", "-japan", cart], {}, 2,
         ["Both -europe and -japan"]),
    ]


class BridgeTest(qvx.unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.x = qvx.Xvfb()

    @classmethod
    def tearDownClass(cls):
        cls.x.stop()

    def make_tree(self, prefix):
        """A temporary directory with the emulator's and the cartridges' directories, and the
        bridge copied into the first."""
        self.tmp = tempfile.mkdtemp(prefix=prefix)
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.emu_dir = os.path.join(self.tmp, "emu")
        self.rom_dir = os.path.join(self.tmp, "my roms")
        os.mkdir(self.emu_dir)
        os.mkdir(self.rom_dir)
        self.bridge = os.path.join(self.emu_dir, "Zelko.exe")
        shutil.copy2(qvx.TOOLS["bridge"], self.bridge)

    def setUp(self):
        self.make_tree("qv-bridge-")
        # The unreadable-cartridge case runs as a normal user, whose BlastEm must log too.
        os.chmod(self.tmp, 0o777)
        shutil.copy2(os.path.join(os.path.dirname(qvx.TOOLS["bridge"]), "zelko-message.so"),
                     self.emu_dir)
        self.blastem = os.path.join(self.tmp, "blastem")
        with open(self.blastem, "w") as f:
            f.write(FAKE_BLASTEM)
        os.chmod(self.blastem, 0o755)
        self.cart = os.path.join(self.rom_dir, "Mole Quest.bin")
        with open(self.cart, "wb") as f:
            f.write(b"\0" * 512)

    def env(self, **extra):
        env = self.x.env()
        env.pop("SDL_AUDIODRIVER", None)
        env["ZELKO_BLASTEM"] = self.blastem
        env.update(extra)
        return env

    def starts(self):
        """BlastEm's starts as the stand-in logged them: dicts with cwd, audio and args."""
        path = os.path.join(self.tmp, "blastem.log")
        if not os.path.exists(path):
            return []
        records = []
        with open(path) as f:
            for line in f.read().splitlines():
                if line == "BEGIN":
                    records.append({"args": []})
                elif line != "END":
                    key, _, value = line.partition("=")
                    if key == "arg":
                        records[-1]["args"].append(value)
                    else:
                        records[-1][key] = value
        return records

    def run_bridge(self, args, env, **popen):
        return subprocess.Popen([self.bridge] + args, cwd=self.emu_dir, env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                **popen)

    def dismiss_window(self, proc):
        """Waits for the bridge's message window and closes it with its Close button (the
        default button, so Return); returns the window's title."""
        def window():
            r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Zelko.exe$"],
                               env=self.x.env(), stdout=subprocess.PIPE, text=True)
            return r.stdout.split()[0] if r.stdout.split() else None
        try:
            wid = qvx.wait_until("the message window", window)
        except AssertionError:
            proc.kill()
            raise AssertionError("no message window; the bridge said: %s" %
                                 (proc.communicate()[1],))
        subprocess.run(["xdotool", "windowfocus", "--sync", wid], env=self.x.env())
        subprocess.run(["xdotool", "key", "Return"], env=self.x.env())
        return wid

    def test_options_reach_blastem(self):
        cases = option_cases(self.cart)
        open(os.path.join(self.emu_dir, "-z80.bin"), "wb").close()
        for n, (args, expected, audio) in enumerate(cases, 1):
            with self.subTest(args=args):
                proc = self.run_bridge(args, self.env())
                out, err = proc.communicate(timeout=qvx.TIMEOUT)
                self.assertEqual(proc.returncode, 0, err)
                starts = self.starts()
                self.assertEqual(len(starts), n)
                # Everything the launcher lists is a Genesis cartridge, whatever its header.
                self.assertEqual(starts[-1]["args"], ["-m", "gen"] + expected)
                self.assertEqual(starts[-1]["audio"], audio)
                self.assertEqual(starts[-1]["cwd"], self.emu_dir)

    def test_ending_the_bridge_ends_blastem(self):
        # The signals that end programs end BlastEm too, and the bridge ends with it.
        proc = self.run_bridge(["-frame", "2", self.cart], self.env(FAKE_SLEEP="60"))
        qvx.wait_until("BlastEm started", lambda: len(self.starts()) == 1)
        time.sleep(0.2)
        proc.send_signal(signal.SIGTERM)
        out, err = proc.communicate(timeout=qvx.TIMEOUT)
        self.assertEqual(proc.returncode, 128 + signal.SIGTERM)
        self.assertEqual(err, "")

    def bad_input_cases(self):
        """Name, arguments, environment, expected status, parts of the message; and the user
        to run the bridge as."""
        cart = self.cart
        unreadable = os.path.join(self.rom_dir, "locked.bin")
        with open(unreadable, "wb") as f:
            f.write(b"\0" * 512)
        os.chmod(unreadable, 0)
        not_runnable = os.path.join(self.tmp, "blastem-not-runnable")
        shutil.copy(self.blastem, not_runnable)
        os.chmod(not_runnable, 0o644)
        cases = usage_cases(cart) + [
            ("unquoted blank", ["-frame", "2", os.path.join(self.rom_dir, "Mole"), "Quest.bin"],
             {}, 2, ['Unexpected argument "%s/Mole"' % self.rom_dir]),
            ("missing cartridge", ["-frame", "2", cart + ".gone"], {}, 3,
             ["The cartridge %s.gone cannot be opened: No such file or directory" % cart]),
            ("directory", ["-frame", "2", self.rom_dir], {}, 3,
             ["%s is not a cartridge file" % self.rom_dir]),
            ("unreadable cartridge", ["-frame", "2", unreadable], {}, 3,
             ["The cartridge %s cannot be read: Permission denied" % unreadable]),
            ("BlastEm missing", ["-frame", "2", cart],
             {"ZELKO_BLASTEM": os.path.join(self.tmp, "no-blastem")}, 4,
             ["BlastEm was not found at %s/no-blastem" % self.tmp, "sudo apt install blastem"]),
            ("BlastEm not runnable", ["-frame", "2", cart], {"ZELKO_BLASTEM": not_runnable}, 4,
             ["cannot be run: Permission denied", "sudo apt install blastem"]),
        ]
        user = {}
        if os.geteuid() == 0:
            # Root reads every file: the unreadable case needs a normal user.
            import pwd
            pw = pwd.getpwnam("nobody")
            user = {"user": pw.pw_uid, "group": pw.pw_gid, "extra_groups": []}
        return cases, user

    def test_bad_input_is_shown_and_starts_nothing(self):
        cases, user = self.bad_input_cases()
        for name, args, extra, status, parts in cases:
            with self.subTest(name):
                proc = self.run_bridge(args, self.env(**extra), **user)
                self.dismiss_window(proc)
                out, err = proc.communicate(timeout=qvx.TIMEOUT)
                self.assertEqual(proc.returncode, status, err)
                for part in parts:
                    self.assertIn(part, err)
                self.assertTrue(err.startswith("Zelko.exe: "), err)
                self.assertEqual(self.starts(), [])

    # BlastEm's own error output before it ended, as the bridge's window shows it.
    NO_AUDIO = "ALSA lib pcm.c: Unknown PCM default\nUnable to open SDL audio: No such device"

    def crash_case(self):
        return ({"FAKE_SIGNAL": "KILL"}, 128 + signal.SIGKILL,
                r"\(ended by signal %d\).\n$" % signal.SIGKILL, "", "-z80")

    def early_end_cases(self):
        """The stand-in's environment, the bridge's status, how the message tells the end, what
        it says first, the launcher's switches."""
        no_audio = self.NO_AUDIO
        return [
            ({"FAKE_STATUS": "1", "FAKE_SAY": "Failed to open the ROM"}, 1,
             r"\(exit status 1\). It said:\n\nFailed to open the ROM\n$", "", "-z80"),
            self.crash_case(),
            ({"FAKE_STATUS": "1", "FAKE_SAY": no_audio}, 1,
             r"\(exit status 1\). It said:\n\n%s\n$" % no_audio,
             r"BlastEm could not open the sound output. Tick No Sound in the launcher to play "
             r"without sound, or check this computer's sound settings.\n\n", "-z80"),
            # No Sound was ticked: the hint to tick it would not help.
            ({"FAKE_STATUS": "1", "FAKE_SAY": no_audio}, 1,
             r"\(exit status 1\). It said:\n\n%s\n$" % no_audio, "", "-nosound"),
        ]

    def test_blastem_failing_at_once_is_shown_with_what_it_said(self):
        cases = self.early_end_cases()
        for n, (extra, status, ending, first, switch) in enumerate(cases, 1):
            with self.subTest(extra):
                proc = self.run_bridge(["-frame", "2", switch, self.cart], self.env(**extra))
                self.dismiss_window(proc)
                out, err = proc.communicate(timeout=qvx.TIMEOUT)
                self.assertEqual(proc.returncode, status)
                if "FAKE_SAY" in extra:  # passed on as BlastEm said it
                    self.assertTrue(err.startswith(extra["FAKE_SAY"] + "\n"), err)
                self.assertRegex(err, r"Zelko.exe: " + first +
                                 r"BlastEm stopped [0-9.]+ s after its start " + ending)
                self.assertEqual(len(self.starts()), n)

    def test_no_display_means_no_window(self):
        env = self.env()
        env.pop("DISPLAY")
        proc = self.run_bridge(["-frame", "2", self.cart + ".gone"], env)
        out, err = proc.communicate(timeout=qvx.TIMEOUT)
        self.assertEqual(proc.returncode, 3)
        self.assertIn("cannot be opened", err)


if __name__ == "__main__":
    qvx.main()
