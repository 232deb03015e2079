"""First run: the two prompts over the main window, cancelling, and what gets recorded."""
import time
import unittest

import qvx

EMU_PROMPT = "^Find Zelko.exe$"
CART_PROMPT = "^Open a cartridge to locate your cartridge directory$"


class FirstRunTest(qvx.LauncherCase):
    seed_settings = False

    @unittest.skip("answering FLTK's file chooser with xdotool does not yet reach the "
                   "cartridge prompt; the prompts' rules are covered by the core tests")
    def test_prompts_record_the_emulator_and_the_cartridge_directory(self):
        wid = self.start(wait_ready=False)
        prompt = self.wait_window(EMU_PROMPT)
        # The main window is up but the form has no defaults and the list is empty yet.
        self.assertEqual(self.states(), [])
        # Cancelling shows the prompt again.
        self.key(prompt, "Escape")
        time.sleep(0.5)
        prompt = self.wait_window(EMU_PROMPT)
        self.assertIsNone(self.proc.poll())
        # Into the emulator directory, then the emulator itself.
        for entry in ("emu", "Zelko.exe"):
            prompt = self.wait_window(EMU_PROMPT)
            time.sleep(0.3)
            self.key(prompt, "End", "shift+Home", "BackSpace")
            self.type_text(prompt, entry)
            self.key(prompt, "Return")
        for entry in ("roms", "MOLEQST.BIN"):
            cart = self.wait_window(CART_PROMPT)
            time.sleep(0.3)
            self.key(cart, "End", "shift+Home", "BackSpace")
            self.type_text(cart, entry)
            self.key(cart, "Return")
        ready = self.wait_state("ready")
        self.assertEqual(ready["items"], sorted(qvx.ROM_NAMES, key=str.lower))
        self.assertEqual((ready["usa"], ready["frames"]), ("1", "2"))
        ini = self.read_ini()
        self.assertIn("EmulatorPath=%s\n" % self.emulator, ini)
        self.assertIn("CartPath=%s/\n" % self.rom_dir, ini)
        self.assertIn("QuorvalisPath=%s/\n" % self.app_dir, ini)
        self.wm_close(wid)
        self.assertEqual(self.exit_code(), 0)

    def test_recorded_paths_ask_nothing_even_if_the_emulator_is_gone(self):
        with open(self.ini, "w") as f:
            f.write("[Quorvalis Paths]\nEmulatorPath=%s/missing/Zelko.exe\nCartPath=%s/\n" %
                    (self.tmp, self.rom_dir))
        self.start()
        self.assertFalse(self.find_windows(EMU_PROMPT))
        self.assertEqual(len(self.last_state()["items"]), len(qvx.ROM_NAMES))


if __name__ == "__main__":
    qvx.main()
