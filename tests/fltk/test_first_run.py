"""First run: the two prompts over the main window, cancelling, and what gets recorded."""
import os
import subprocess

import qvx

EMU_TITLE = "Find Zelko.exe"
CART_TITLE = "Open a cartridge to locate your cartridge directory"
EMU_PROMPT = "^%s$" % EMU_TITLE
CART_PROMPT = "^%s$" % CART_TITLE


class FirstRunTest(qvx.LauncherCase):
    seed_settings = False

    def answer(self, prompt, text):
        """Replaces the file-name field's text (selected when the dialog comes up) and opens."""
        self.type_text(prompt, text)
        self.key(prompt, "Return")

    def assert_over_main_window(self, prompt, wid):
        px, py, pw, ph = self.geometry(prompt)
        mx, my, mw, mh = self.geometry(wid)
        self.assertLessEqual(abs((px + pw // 2) - (mx + mw // 2)), 1)
        self.assertLessEqual(abs((py + ph // 2) - (my + mh // 2)), 1)
        # Owned by the main window: the window manager keeps it above and with the main window.
        owner = subprocess.run(["xprop", "-id", str(prompt), "WM_TRANSIENT_FOR"],
                               env=self.x.env(), stdout=subprocess.PIPE, text=True).stdout
        self.assertIn("window id # %s" % hex(wid), owner)

    def test_prompts_record_the_emulator_and_the_cartridge_directory(self):
        wid = self.start(wait_ready=False)
        prompt = self.wait_window(EMU_PROMPT)
        shown = self.wait_prompt("shown")
        self.assertEqual((shown["title"], shown["filter"], shown["name"]),
                         (EMU_TITLE, "Zelko.exe", "Zelko.exe"))
        self.assertEqual(shown["dir"], self.tmp)  # the launcher's current directory
        self.assert_over_main_window(prompt, wid)
        # The main window is up but the form has no defaults and the list is empty yet.
        self.assertEqual(self.states(), [])

        # Escape, the close box and Cancel each cancel it, and it comes back every time.
        self.key(prompt, "Escape")
        self.wait_prompt("cancelled", 1)
        prompt = self.wait_window(EMU_PROMPT)
        self.assertEqual(self.wait_prompt("shown", 2)["name"], "Zelko.exe")
        self.wm_close(prompt)
        self.wait_prompt("cancelled", 2)
        prompt = self.wait_window(EMU_PROMPT)
        self.wait_prompt("shown", 3)
        self.click(prompt, *self.control_centre(209, 141, 48, 14))  # Cancel
        self.wait_prompt("cancelled", 3)
        prompt = self.wait_window(EMU_PROMPT)
        self.wait_prompt("shown", 4)
        self.assertIsNone(self.proc.poll())

        # A name in a missing directory is refused and the dialog stays up; a relative
        # directory is entered; then the emulator's full path is opened.
        self.answer(prompt, "nowhere/Zelko.exe")
        self.assertEqual(self.wait_prompt("refused")["name"], "nowhere/Zelko.exe")
        self.answer(prompt, "emu")
        moved = self.wait_prompt("navigated")
        self.assertEqual((moved["dir"], moved["name"]), (self.emu_dir, ""))
        self.answer(prompt, self.emulator)
        self.assertEqual(self.wait_prompt("chosen")["name"], self.emulator)

        # The cartridge prompt: its own filter, an empty file-name field.
        cart = self.wait_window(CART_PROMPT)
        shown = self.wait_prompt("shown", 5)
        self.assertEqual((shown["title"], shown["filter"], shown["name"]),
                         (CART_TITLE, "Genesis ROMs (*.bin;*.md;*.mgd;*.smd)", ""))
        self.assertFalse(self.find_windows(EMU_PROMPT))
        self.key(cart, "Escape")
        self.wait_prompt("cancelled", 4)
        cart = self.wait_window(CART_PROMPT)
        self.wait_prompt("shown", 6)
        self.answer(cart, os.path.join(self.rom_dir, "MOLEQST.BIN"))

        ready = self.wait_state("ready")
        self.assertFalse(self.find_windows(CART_PROMPT))
        self.assertEqual(ready["items"], sorted(qvx.ROM_NAMES, key=str.lower))
        self.assertEqual((ready["usa"], ready["frames"]), ("1", "2"))
        ini = self.read_ini()
        self.assertIn("EmulatorPath=%s\n" % self.emulator, ini)
        self.assertIn("CartPath=%s/\n" % self.rom_dir, ini)
        self.assertIn("QuorvalisPath=%s/\n" % self.app_dir, ini)
        self.wm_close(wid)
        self.assertEqual(self.exit_code(), 0)

        # A second start asks nothing and lists the cartridges at once.
        self.start()
        self.assertEqual(self.prompts(), [])
        self.assertEqual(self.last_state()["items"], ready["items"])
        self.assertEqual(self.read_ini().count("EmulatorPath="), 1)

    def test_list_offers_subdirectories_and_matching_files_in_any_case(self):
        # An emulator named in another case still matches the pattern; other files do not.
        os.rename(self.emulator, os.path.join(self.emu_dir, "ZELKO.EXE"))
        open(os.path.join(self.emu_dir, "readme.txt"), "w").close()
        os.mkdir(os.path.join(self.emu_dir, "saves"))
        self.start(wait_ready=False)
        prompt = self.wait_window(EMU_PROMPT)
        self.assertNotIn("emu/", self.wait_prompt("shown")["items"][:1])
        self.answer(prompt, self.emu_dir)
        self.assertEqual(self.wait_prompt("navigated")["items"], ["../", "saves/", "ZELKO.EXE"])
        # Double-clicking the file's row chooses it.
        self.click(prompt, *self.dialog_list_row(3), repeat=2)
        chosen = self.wait_prompt("chosen")
        self.assertEqual(chosen["name"], os.path.join(self.emu_dir, "ZELKO.EXE"))

    def test_recorded_paths_ask_nothing_even_if_the_emulator_is_gone(self):
        with open(self.ini, "w") as f:
            f.write("[Quorvalis Paths]\nEmulatorPath=%s/missing/Zelko.exe\nCartPath=%s/\n" %
                    (self.tmp, self.rom_dir))
        self.start()
        self.assertFalse(self.find_windows(EMU_PROMPT))
        self.assertEqual(self.prompts(), [])
        self.assertEqual(len(self.last_state()["items"]), len(qvx.ROM_NAMES))

    # ---- the dialog's layout (dialog units at 96 dpi) ----

    def dialog_list_row(self, row):
        x, y = self.du(6, 22)
        return x + 30, y + 3 + (row - 1) * self.row_height() + self.row_height() // 2


if __name__ == "__main__":
    qvx.main()
