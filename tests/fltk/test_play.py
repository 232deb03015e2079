"""Playing: the real launcher, the emulator bridge as Zelko.exe, the real BlastEm and the test
cartridges. What the form says reaches the emulated console: the cartridge shows the region it
reads from the version register as its backdrop colour and whether the Z-80 runs as a band
(yellow: running, magenta: stopped), read here from the emulator window's pixels; No Sound
leaves BlastEm without audio output (SDL's disk driver would write it to a file)."""
import collections
import os
import re
import shutil
import signal
import subprocess

import qvx

# The colours the cartridge draws, as BlastEm shows them, and the rest of what can be seen.
COLOURS = {
    "blue": (0, 0, 255), "green": (0, 255, 0), "red": (255, 0, 0), "grey": (146, 146, 146),
    "yellow": (255, 255, 0), "magenta": (255, 0, 255), "white": (255, 255, 255),
    "black": (0, 0, 0),
}
REGION_COLOUR = {"usa": "blue", "europe": "green", "japan": "red"}
REGION_SWITCH = {"usa": "U", "europe": "E", "japan": "J"}
BAND_COLOUR = {True: "yellow", False: "magenta"}

# Controls of the main window, in dialog units (x, y, w, h).
RADIO = {"usa": (204, 15, 32, 9), "europe": (204, 23, 40, 9), "japan": (204, 31, 36, 9)}
NO_SOUND = (192, 90, 48, 9)
Z80 = (192, 103, 68, 9)
LAUNCH = (4, 116, 68, 13)
SAVE = (92, 116, 68, 14)


def nearest_colour(rgb):
    return min(COLOURS, key=lambda name: sum((a - b) ** 2 for a, b in zip(rgb, COLOURS[name])))


def process_state(pid):
    """The process's state letter, or None when it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0]
    except (FileNotFoundError, ProcessLookupError):
        return None


def parent_of(pid):
    with open("/proc/%d/stat" % pid) as f:
        return int(f.read().rsplit(")", 1)[1].split()[1])


def command_line(pid):
    with open("/proc/%d/cmdline" % pid, "rb") as f:
        return f.read().decode().split("\0")[:-1]


class PlayTest(qvx.LauncherCase):

    def setUp(self):
        super().setUp()
        # The bridge takes the stand-in's place, and the cartridges move to a directory whose
        # name holds a blank: the launcher quotes the path and BlastEm gets it whole.
        bridge_dir = os.path.dirname(qvx.TOOLS["bridge"])
        shutil.copy2(qvx.TOOLS["bridge"], self.emulator)
        shutil.copy2(os.path.join(bridge_dir, "zelko-message.so"), self.emu_dir)
        rom_dir = os.path.join(self.tmp, "my roms")
        os.rename(self.rom_dir, rom_dir)
        self.rom_dir = rom_dir
        with open(self.ini, "w") as f:
            f.write("[Quorvalis Paths]\nEmulatorPath=%s\nCartPath=%s/\n" %
                    (self.emulator, self.rom_dir))
        # BlastEm's own files in a home of the test's. Its OpenGL output would report, in a
        # window of its own, that Xvfb cannot set vsync: it draws through SDL instead.
        self.home = os.path.join(self.tmp, "home")
        config_dir = os.path.join(self.home, ".config", "blastem")
        os.makedirs(config_dir)
        with open("/etc/blastem/default.cfg") as f:
            config = f.read()
        config, n = re.subn(r"(?m)^(\s*)gl on\b", r"\1gl off", config)
        self.assertEqual(n, 1, "BlastEm's default.cfg has no \"gl on\" to change")
        with open(os.path.join(config_dir, "blastem.cfg"), "w") as f:
            f.write(config)
        self.audio = os.path.join(self.tmp, "audio.raw")
        self.env = {"HOME": self.home, "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
                    "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
                    "SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": self.audio,
                    "ZELKO_BLASTEM": None}
        # MOLEQST.BIN without "SEGA" at byte 256 and with the Master System's "TMR SEGA" where
        # an 8 KiB image has it: left to guess, BlastEm would start it as a Master System game.
        with open(os.path.join(self.rom_dir, "MOLEQST.BIN"), "rb") as f:
            image = bytearray(f.read())
        self.assertEqual(image[0x100:0x104] + image[0x1FF0:0x1FF8], b"SEGA" + b"\xff" * 8)
        image[0x100:0x104], image[0x1FF0:0x1FF8] = b"    ", b"TMR SEGA"
        with open(os.path.join(self.rom_dir, "NOSEGA.BIN"), "wb") as f:
            f.write(image)
        self.order = sorted(qvx.ROM_NAMES + ["NOSEGA.BIN"], key=str.lower)

    # ---- the form ----

    def select(self, wid, rom):
        self.click(wid, *self.list_row(self.order.index(rom) + 1))
        self.wait_last(selected=str(self.order.index(rom) + 1))  # counted from 1

    def set_form(self, wid, region, z80, no_sound):
        self.click(wid, *self.control_centre(*RADIO[region]))
        self.wait_last(**{region: "1"})
        for box, field, want in ((Z80, "z80", z80), (NO_SOUND, "nosound", no_sound)):
            if (self.last_state()[field] == "1") != want:
                self.click(wid, *self.control_centre(*box))
                self.wait_last(**{field: "1" if want else "0"})

    # ---- the emulator ----

    def read_screen(self, wid):
        """(region colour, band colour) from a column of the emulator window's pixels near
        its right edge, where no text is; None until the cartridge has drawn both."""
        _, _, w, h = self.geometry(wid)
        raw = subprocess.run(["import", "-window", str(wid), "-depth", "8", "rgb:-"],
                             env=self.x.env(), stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL).stdout
        if len(raw) != w * h * 3:
            return None
        x = w * 19 // 20
        seen = collections.Counter(
            nearest_colour(tuple(raw[(y * w + x) * 3:(y * w + x) * 3 + 3])) for y in range(h))
        regions = [c for c in ("blue", "green", "red", "grey") if seen[c] > h // 4]
        bands = [c for c in ("yellow", "magenta") if seen[c] > h // 20]
        return (regions[0], bands[0]) if len(regions) == 1 and len(bands) == 1 else None

    def play(self, wid, launch_button=LAUNCH):
        """Launches, waits for BlastEm's window and the cartridge's picture, then ends BlastEm.
        Returns the picture's colours, BlastEm's arguments, its window title and whether it
        opened an audio output."""
        if os.path.exists(self.audio):
            os.remove(self.audio)
        self.click(wid, *self.control_centre(*launch_button))
        emu = self.wait_window("BlastEm")
        pid = int(self.xdo("getwindowpid", emu).strip())
        self.addCleanup(self.end, pid)
        bridge = parent_of(pid)
        try:
            colours = qvx.wait_until("the cartridge's picture", lambda: self.read_screen(emu))
            # BlastEm names the cartridge in its title once it shows its first frame rate.
            title = qvx.wait_until("the cartridge's name", lambda: re.match(
                r"^(.*) - BlastEm", self.xdo("getwindowname", emu).strip()))
            result = {"colours": colours, "args": command_line(pid),
                      "bridge": command_line(bridge), "title": title.group(1),
                      "audio": os.path.exists(self.audio)}
        finally:
            self.end(pid)
        self.wait_no_window("BlastEm")
        # The bridge ends with BlastEm (its zombie may wait for a parent that reaps it).
        qvx.wait_until("the bridge's end", lambda: process_state(bridge) in (None, "Z"))
        return result

    def end(self, pid):
        if process_state(pid) not in (None, "Z"):
            os.kill(pid, signal.SIGTERM)
            qvx.wait_until("BlastEm's end", lambda: process_state(pid) in (None, "Z"))

    def assert_played(self, result, rom, region, z80, no_sound, frames="2"):
        cart = os.path.join(self.rom_dir, rom)
        self.assertEqual(result["colours"], (REGION_COLOUR[region], BAND_COLOUR[z80]))
        expected = ["/usr/games/blastem", "-m", "gen", "-r", REGION_SWITCH[region]]
        self.assertEqual(result["args"], expected + ([] if z80 else ["-n"]) + [cart])
        switches = (["-nosound"] if no_sound else []) + (["-z80"] if z80 else []) + (
            ["-" + region] if region != "usa" else [])
        self.assertEqual(result["bridge"], [self.emulator, "-frame", frames] + switches + [cart])
        self.assertEqual(result["audio"], not no_sound)

    def test_every_region_and_z80_state_chosen_in_the_form_reach_the_console(self):
        wid = self.start(env=self.env)
        # Starfarm.smd is in the interleaved copier layout: BlastEm puts it back in order, and
        # the launcher's title comes from the same header name. NOSEGA.BIN plays as a Genesis
        # cartridge too.
        for rom, region, z80 in (("MOLEQST.BIN", "usa", False), ("MOLEQST.BIN", "europe", True),
                                 ("MOLEQST.BIN", "japan", False), ("MOLEQST.BIN", "usa", True),
                                 ("MOLEQST.BIN", "europe", False), ("MOLEQST.BIN", "japan", True),
                                 ("Starfarm.smd", "europe", True), ("NOSEGA.BIN", "japan", True)):
            with self.subTest(rom=rom, region=region, z80=z80):
                if (self.last_state() or {}).get("selected") != str(self.order.index(rom) + 1):
                    self.select(wid, rom)
                self.set_form(wid, region, z80, no_sound=False)
                result = self.play(wid)
                self.assert_played(result, rom, region, z80, no_sound=False)
                header = {"Starfarm.smd": "STAR HARVESTER"}.get(rom, "MOLE QUEST")
                self.assertEqual(result["title"], header)
                self.assertEqual(self.last_state()["title"], header.title() + " ")

    def test_saved_options_with_no_sound_play_after_a_reload(self):
        wid = self.start(env=self.env)
        self.select(wid, "turbomole.md")
        self.set_form(wid, "europe", z80=False, no_sound=True)
        self.click(wid, *self.control_centre(*SAVE))
        qvx.wait_until("saved", lambda: "[turbomole.md]" in self.read_ini())
        # Another cartridge, then back: the form comes from the settings file.
        self.select(wid, "MOLEQST.BIN")
        self.wait_last(europe="0", nosound="0")
        self.select(wid, "turbomole.md")
        self.wait_last(europe="1", z80="0", nosound="1")
        result = self.play(wid)
        self.assert_played(result, "turbomole.md", "europe", z80=False, no_sound=True)
        self.assertEqual(result["title"], "TURBO MOLE QUEST 2")


if __name__ == "__main__":
    qvx.main()
