"""Support for the native launcher's end-to-end tests.

Each test starts its own Xvfb server on a free display, lays out a launcher directory, an
emulator directory (the recording stand-in copied as Zelko.exe) and a cartridge directory in a
fresh temporary directory, starts the real launcher binary and drives it with xdotool.

The launcher is started with QV_TEST_DUMP=1, which makes it print every control report and
the form's state after it; the tests read what the launcher did from that trace, from the
settings file and from the stand-in's zelko.log.
"""

import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest  # noqa: re-exported for the test modules

# Filled from the command line: launcher, stub, make_roms, wm_close, zelko_demo, source, bridge,
# and for the installation test cmake, cpack and build.
TOOLS = {}

ROM_NAMES = ["MOLEQST.BIN", "turbomole.md", "Starfarm.smd", "pinball.MGD", "acorn_racer.bin",
             "Zephyr.Md"]


def parse_args(argv):
    """--launcher X --stub Y ... then unittest's own arguments."""
    rest = [argv[0]]
    i = 1
    while i < len(argv):
        if argv[i].startswith("--") and argv[i][2:] in (
                "launcher", "stub", "make_roms", "wm_close", "zelko_demo", "source", "cmake",
                "cpack", "build", "bridge"):
            TOOLS[argv[i][2:]] = argv[i + 1]
            i += 2
        else:
            rest.append(argv[i])
            i += 1
    return rest


def main():
    argv = parse_args(sys.argv)
    unittest.main(argv=argv, verbosity=2)


# The screen resolution of every test's X server: QV_TEST_DPI, or 96.
DPI = int(os.environ.get("QV_TEST_DPI") or 96)


def layout_scale(dpi):
    """The launcher's dialog-unit scale on a screen of dpi: the nearest quarter step, never
    below 1 (an Xvfb started with -dpi 192 reads back as 191.7 dpi)."""
    return max(1.0, math.floor(dpi / 96.0 * 4 + 0.5) / 4)


# Time-outs are generous: the suite runs in parallel with other builds and tests, and every
# wait ends as soon as its condition holds.
TIMEOUT = 30.0


def wait_until(what, predicate, timeout=TIMEOUT, step=0.05):
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(step)


# The X server of a test, and real input into it, are the front-end table's (tests/frontend).
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "frontend"))
from xinput import XServer  # noqa: E402


def Xvfb(width=None, height=None, dpi=None):
    """The test's X server, at the resolution the run asks for (QV_TEST_DPI)."""
    return XServer(width, height, dpi or DPI)


class LauncherCase(unittest.TestCase):
    """A fresh X server, directory layout and launcher for every test."""

    seed_settings = True     # write EmulatorPath and CartPath before the start
    extra_settings = ""      # further sections of the seeded settings file

    def setUp(self):
        self.x = Xvfb()
        self.addCleanup(self.x.stop)
        self.tmp = tempfile.mkdtemp(prefix="qv-fltk-")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.app_dir = os.path.join(self.tmp, "app")
        self.emu_dir = os.path.join(self.tmp, "emu")
        self.rom_dir = os.path.join(self.tmp, "roms")
        for d in (self.app_dir, self.emu_dir, self.rom_dir):
            os.mkdir(d)
        self.launcher = os.path.join(self.app_dir, "Quorvalis")
        shutil.copy2(TOOLS["launcher"], self.launcher)
        self.emulator = os.path.join(self.emu_dir, "Zelko.exe")
        shutil.copy2(TOOLS["stub"], self.emulator)
        subprocess.run([TOOLS["make_roms"], self.rom_dir], check=True)
        self.ini = os.path.join(self.app_dir, "Quorvalis.ini")
        if self.seed_settings:
            with open(self.ini, "w") as f:
                f.write("[Quorvalis Paths]\nEmulatorPath=%s\nCartPath=%s/\n%s" %
                        (self.emulator, self.rom_dir, self.extra_settings))
        self.proc = None
        self.wid = None

    def tearDown(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    # ---- the launcher process ----

    def start(self, wait_ready=True, command=None, env=None, **popen_args):
        """Starts the launcher (or command, with env added to the environment; a value None
        removes a variable) and waits for its main window and, with wait_ready, for the form's
        defaults."""
        self.out_path = os.path.join(self.tmp, "launcher.out")
        self.out = open(self.out_path, "w")
        self.addCleanup(self.out.close)
        full_env = self.x.env()
        full_env["QV_TEST_DUMP"] = "1"
        for key, value in (env or {}).items():
            if value is None:
                full_env.pop(key, None)
            else:
                full_env[key] = value
        # Started from a directory of its own: the launcher must not depend on the caller's.
        self.proc = subprocess.Popen(command or [self.launcher], cwd=self.tmp, env=full_env,
                                     stdout=self.out, stderr=subprocess.STDOUT, **popen_args)
        try:
            self.wid = self.wait_window("^Quorvalis '95$")
        except AssertionError:
            raise AssertionError("no main window; launcher said:\n" + self.output())
        if wait_ready:
            self.wait_state("ready")
        return self.wid

    def exit_code(self, timeout=TIMEOUT):
        return self.proc.wait(timeout)

    def output(self):
        with open(self.out_path) as f:
            return f.read()

    def _blocks(self, opener):
        """Every block of the trace that starts with a line "<opener> <tag>" and ends with
        "end", in order: dicts with tag, the block's "key value" lines, its "item" lines as a
        list, and the "event <id> <code>" lines seen since the block before."""
        result = []
        current = None
        events = []
        for line in self.output().splitlines():
            if line.startswith("event "):
                _, ident, code = line.split(" ")
                events.append((int(ident), int(code)))
            elif line.startswith(opener + " "):
                current = {"tag": line[len(opener) + 1:], "items": [], "events": events}
                events = []
            elif current is not None and line == "end":
                result.append(current)
                current = None
            elif current is not None:
                key, _, value = line.partition(" ")
                if key == "item":
                    current["items"].append(value)
                else:
                    current[key] = value
        return result

    def states(self):
        """Every state block of the trace, in order: dicts with tag, the form's fields, the
        list's items and the events before it."""
        return self._blocks("state")

    def prompts(self):
        """Every block the first-run dialog printed, in order: dicts with tag, title, dir,
        filter, name and the list's items."""
        return self._blocks("prompt")

    def wait_prompt(self, tag, count=1):
        """The count-th prompt block with tag, once it has been printed."""
        def found():
            blocks = [p for p in self.prompts() if p["tag"] == tag]
            return blocks[count - 1] if len(blocks) >= count else None
        return wait_until("prompt %s #%d" % (tag, count), found)

    def events(self):
        ev = []
        for s in self.states():
            ev.extend(s["events"])
        return ev

    def last_state(self):
        s = self.states()
        return s[-1] if s else None

    def wait_state(self, tag, count=1):
        return wait_until("state " + tag, lambda: len(
            [s for s in self.states() if s["tag"] == tag]) >= count and self.last_state())

    def wait_last(self, **fields):
        """The last state once it shows every field=value given (e.g. frames="3")."""
        def matches():
            s = self.last_state()
            return s if s and all(s.get(k) == v for k, v in fields.items()) else None
        try:
            return wait_until("state with %s" % fields, matches)
        except AssertionError:
            raise AssertionError("last state %s, wanted %s" % (self.last_state(), fields))

    def wait_new_events(self, seen, n):
        """The events after the first seen ones, once n of them have been reported."""
        return wait_until("%d events after %d" % (n, seen),
                          lambda: len(self.events()) >= seen + n and self.events()[seen:])

    def wait_events(self, n):
        return wait_until("%d events" % n, lambda: len(self.events()) >= n and self.states())

    # ---- X ----

    def xdo(self, *args, check=True):
        r = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.x.env(),
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if check and r.returncode != 0:
            raise AssertionError("xdotool %s failed: %s" % (args, r.stderr))
        return r.stdout

    def find_windows(self, name_regex):
        out = self.xdo("search", "--onlyvisible", "--name", name_regex, check=False)
        return [int(w) for w in out.split()]

    def wait_window(self, name_regex, timeout=TIMEOUT):
        return wait_until("window " + name_regex,
                          lambda: (self.find_windows(name_regex) or [None])[0], timeout)

    def wait_no_window(self, name_regex, timeout=TIMEOUT):
        wait_until("no window " + name_regex, lambda: not self.find_windows(name_regex),
                   timeout)

    def geometry(self, wid):
        out = subprocess.run(["xwininfo", "-id", str(wid)], env=self.x.env(),
                             stdout=subprocess.PIPE, text=True, check=True).stdout
        def field(label):
            return int(re.search(label + r":\s+(-?\d+)", out).group(1))
        return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
                field("Width"), field("Height"))

    def click(self, wid, x, y, repeat=1):
        """Left clicks at window coordinates. The presses and releases go to the server in one
        batch, so a loaded machine cannot stretch a click into a held button (which would make
        the spin arrows repeat) or pull a double-click apart."""
        ox, oy, _, _ = self.geometry(wid)
        self.x.click(ox + x, oy + y, 1, repeat)

    def focus(self, wid):
        """Gives wid the keyboard, as a window manager does when a window is clicked."""
        if self.xdo("getwindowfocus", check=False).strip() != str(wid):
            self.xdo("windowfocus", "--sync", wid, check=False)
            time.sleep(0.1)

    def key(self, wid, *keys):
        """Keys typed into wid."""
        self.focus(wid)
        for k in keys:
            self.xdo("key", "--delay", 30, k)
            time.sleep(0.1)

    def type_text(self, wid, text):
        self.focus(wid)
        self.xdo("type", "--delay", 20, text)
        time.sleep(0.1)

    def wm_close(self, wid):
        subprocess.run([TOOLS["wm_close"], str(wid)], env=self.x.env(), check=True)
        time.sleep(0.2)

    # ---- layout of the main window (dialog units, 1.5 by 1.625 pixels at 96 dpi) ----

    def du(self, x, y):
        s = layout_scale(self.x.dpi)
        return int(math.floor(x * 1.5 * s + 0.5)), int(math.floor(y * 1.625 * s + 0.5))

    def list_row(self, row):
        """Window coordinates inside row (1-based) of the cartridge list."""
        x, y = self.du(4, 4)
        return x + 30, y + 3 + (row - 1) * self.row_height() + self.row_height() // 2

    def row_height(self):
        """The list font's line height: 14 pixels at 96 dpi, 27 at 192."""
        s = layout_scale(self.x.dpi)
        return 14 if s == 1 else int(13.5 * s + 0.5)

    def control_centre(self, x, y, w, h):
        x0, y0 = self.du(x, y)
        x1, y1 = self.du(x + w, y + h)
        return (x0 + x1) // 2, (y0 + y1) // 2

    # ---- the stand-in's record ----

    def zelko_records(self):
        path = os.path.join(self.emu_dir, "zelko.log")
        if not os.path.exists(path):
            return []
        records, cur = [], None
        with open(path) as f:
            for line in f.read().splitlines():
                if line == "BEGIN":
                    cur = {"args": []}
                elif line == "END" and cur is not None:
                    records.append(cur)
                    cur = None
                elif cur is not None:
                    k, _, v = line.partition("=")
                    if k == "arg":
                        cur["args"].append(v)
                    else:
                        cur[k] = v
        return records

    def wait_zelko(self, n):
        return wait_until("%d emulator starts" % n, lambda: len(self.zelko_records()) >= n and
                          self.zelko_records())

    def read_ini(self):
        with open(self.ini) as f:
            return f.read()
