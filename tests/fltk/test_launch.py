"""Launching: a real double-click, the default button, and the exact command line."""
import os
import shutil
import time

import qvx


class LaunchTest(qvx.LauncherCase):
    extra_settings = ("[Starfarm.smd]\nTitle=Star Farm\nNoSound=1\nZ80=0\nVersion=Japan\n"
                      "Frames=5\n")

    def expected_rom_order(self):
        return sorted(qvx.ROM_NAMES, key=str.lower)

    def test_double_click_starts_the_emulator_then_reloads(self):
        wid = self.start()
        order = self.expected_rom_order()
        row = order.index("MOLEQST.BIN") + 1
        self.click(wid, *self.list_row(row), repeat=2)
        rec = self.wait_zelko(1)[0]
        self.assertEqual(rec["cmdline"], "-frame 2 %s/MOLEQST.BIN" % self.rom_dir)
        self.assertEqual(rec["args"], ["-frame", "2", "%s/MOLEQST.BIN" % self.rom_dir])
        self.assertEqual(rec["cwd"], self.emu_dir)
        # focus, selection, double-click; the title comes from the ROM header.
        self.wait_events(3)
        self.assertEqual(self.events(), [(101, 4), (101, 1), (101, 2)])
        self.assertEqual(self.last_state()["title"], "Mole Quest ")
        self.assertEqual(len(self.zelko_records()), 1)

    def test_double_click_uses_the_saved_options(self):
        wid = self.start()
        row = self.expected_rom_order().index("Starfarm.smd") + 1
        self.click(wid, *self.list_row(row), repeat=2)
        rec = self.wait_zelko(1)[0]
        self.assertEqual(rec["cmdline"],
                         "-frame 5 -nosound -japan %s/Starfarm.smd" % self.rom_dir)
        self.assertEqual(rec["cwd"], self.emu_dir)

    def test_enter_launches_only_from_the_launch_button(self):
        wid = self.start()
        self.click(wid, *self.list_row(1))
        self.key(wid, "Down")  # second cartridge, selected with the keyboard
        self.wait_events(3)
        self.assertEqual(self.events()[-1], (101, 1))
        # Enter on the list or on a check box does nothing: the dialog has no default command.
        self.key(wid, "Return", "alt+z", "Return")
        self.wait_last(z80="1")
        time.sleep(0.5)
        self.assertEqual(self.zelko_records(), [])
        # The mnemonic moves the focus to Launch Emulator and presses it; there Enter presses it
        # again; so does a click.
        self.key(wid, "alt+l")
        rec = self.wait_zelko(1)[0]
        second = self.expected_rom_order()[1]
        self.assertEqual(rec["cmdline"], "-frame 2 -z80 %s/%s" % (self.rom_dir, second))
        self.key(wid, "Return")
        self.wait_zelko(2)
        self.click(wid, *self.control_centre(4, 116, 68, 13))  # Launch Emulator
        recs = self.wait_zelko(3)
        self.assertEqual([r["cmdline"] for r in recs], [rec["cmdline"]] * 3)
        self.assertIn((102, 0), self.events())

    def test_save_and_delete_config(self):
        wid = self.start()
        self.click(wid, *self.list_row(1))
        first = self.expected_rom_order()[0]
        self.key(wid, "alt+e")
        self.click(wid, *self.control_centre(92, 116, 68, 14))  # Save Config
        ini = qvx.wait_until("saved section", lambda: "[%s]" % first in self.read_ini() and
                             self.read_ini())
        section = ini.split("[%s]" % first)[1]
        self.assertIn("Version=Europe", section)
        self.click(wid, *self.control_centre(180, 116, 68, 14))  # Delete Config
        qvx.wait_until("deleted section", lambda: "[%s]" % first not in self.read_ini())
        # The reload after the delete shows the defaults of a missing section.
        self.wait_last(europe="0", usa="1")
        self.assertTrue(os.path.exists(self.ini))

    def test_a_bare_emulator_name_starts_the_one_beside_the_launcher(self):
        # Where the Windows start looks first: the launcher's directory, before the current
        # directory and PATH.
        shutil.copy2(qvx.TOOLS["stub"], os.path.join(self.app_dir, "Zelko.exe"))
        with open(self.ini, "w") as f:
            f.write("[Quorvalis Paths]\nEmulatorPath=Zelko.exe\nCartPath=%s/\n" % self.rom_dir)
        wid = self.start()
        self.click(wid, *self.list_row(1), repeat=2)
        beside = os.path.join(self.app_dir, "zelko.log")
        qvx.wait_until("a start beside the launcher", lambda: os.path.exists(beside))
        self.assertEqual(self.zelko_records(), [])


if __name__ == "__main__":
    qvx.main()
