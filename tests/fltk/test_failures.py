"""Failures the user must see: a save or delete that does not reach the settings file and a
launch that starts nothing each show a message box over the main window; the file stays as it
was and nothing is started."""
import os

import qvx


class FailureMessageTest(qvx.LauncherCase):

    def message_boxes(self):
        """The windows with the launcher's caption other than its main window."""
        return [w for w in self.find_windows("^Quorvalis '95$") if w != self.wid]

    def close_message_box(self):
        """Waits for one message box, closes it with Enter and waits until it has gone."""
        box = qvx.wait_until("message box", lambda: (self.message_boxes() or [None])[0])
        self.key(box, "Return")
        qvx.wait_until("message box closed", lambda: not self.message_boxes())

    def test_save_and_delete_into_a_directory_show_a_message(self):
        wid = self.start()
        self.click(wid, *self.list_row(1))
        self.wait_events(2)
        before = self.read_ini()
        os.rename(self.ini, self.ini + ".saved")
        os.mkdir(self.ini)
        for x in (92, 180):  # Save Config, Delete Config
            self.click(wid, *self.control_centre(x, 116, 68, 14))
            self.close_message_box()
        os.rmdir(self.ini)
        os.rename(self.ini + ".saved", self.ini)
        self.assertEqual(self.read_ini(), before)
        self.assertIsNone(self.proc.poll(), "the launcher ended")

    def test_launch_of_a_missing_emulator_shows_a_message(self):
        wid = self.start()
        self.click(wid, *self.list_row(1))
        self.wait_events(2)
        with open(self.ini, "w") as f:
            f.write("[Quorvalis Paths]\nEmulatorPath=%s/Missing.exe\nCartPath=%s/\n" %
                    (self.emu_dir, self.rom_dir))
        self.click(wid, *self.control_centre(4, 116, 68, 13))  # Launch Emulator
        self.close_message_box()
        self.assertEqual(self.zelko_records(), [])
        self.assertIsNone(self.proc.poll(), "the launcher ended")

    def test_names_in_messages_show_tabs_and_line_breaks_as_the_list_does(self):
        open(os.path.join(self.rom_dir, "Tab\tand\nbreak.bin"), "wb").close()
        wid = self.start()
        self.click(wid, *self.list_row(5))  # after Starfarm.smd
        self.wait_last(selected="5")
        self.click(wid, *self.control_centre(92, 116, 68, 14))  # Save Config
        self.close_message_box()
        self.assertIn("message The settings of Tab^Iand^Jbreak.bin were not saved.\\n",
                      self.output())


if __name__ == "__main__":
    qvx.main()
