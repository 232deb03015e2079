"""Ending the program: the close box and Exit end it with code 0; Escape does not."""
import time

import qvx


class CloseTest(qvx.LauncherCase):

    def test_close_box_exits_with_code_0(self):
        wid = self.start()
        self.key(wid, "Escape")
        time.sleep(0.3)
        self.assertIsNone(self.proc.poll(), "Escape ended the program")
        self.wm_close(wid)
        self.assertEqual(self.exit_code(), 0)

    def test_exit_button_exits_with_code_0(self):
        wid = self.start()
        self.click(wid, *self.control_centre(180, 134, 68, 14))
        self.assertEqual(self.exit_code(), 0)
        self.assertEqual(self.events()[-1], (100, 0))

    def test_exit_mnemonic_exits_with_code_0(self):
        wid = self.start()
        self.key(wid, "alt+x")
        self.assertEqual(self.exit_code(), 0)


if __name__ == "__main__":
    qvx.main()
