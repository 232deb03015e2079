"""The About box: modal, closed only by OK or Enter."""
import time

import qvx

ABOUT = "^About Quorvalis '95$"


class AboutTest(qvx.LauncherCase):

    def open_about(self, wid):
        self.click(wid, *self.control_centre(4, 134, 68, 14))
        return self.wait_window(ABOUT)

    def test_escape_and_close_box_leave_it_open_enter_closes_it(self):
        wid = self.start()
        about = self.open_about(wid)
        x, y, w, h = self.geometry(about)
        self.assertEqual((w, h), self.du(167, 97))
        self.key(about, "Escape")
        time.sleep(0.3)
        self.assertTrue(self.find_windows(ABOUT), "Escape closed the About box")
        self.wm_close(about)
        time.sleep(0.3)
        self.assertTrue(self.find_windows(ABOUT), "the close box closed the About box")
        # The main window does not react while the box is open.
        self.click(wid, *self.control_centre(180, 134, 68, 14))  # Exit
        time.sleep(0.3)
        self.assertIsNone(self.proc.poll())
        self.assertTrue(self.find_windows(ABOUT))
        self.key(about, "Return")
        self.wait_no_window(ABOUT)
        self.assertIsNone(self.proc.poll())
        # The About report is complete once the box has returned.
        qvx.wait_until("About reported", lambda: (105, 0) in self.events())
        self.assertNotIn((100, 0), self.events())

    def test_ok_button_closes_it(self):
        wid = self.start()
        about = self.open_about(wid)
        self.click(about, *self.control_centre(67, 78, 32, 14))
        self.wait_no_window(ABOUT)
        # The main window works again afterwards.
        self.click(wid, *self.control_centre(180, 134, 68, 14))
        self.assertEqual(self.exit_code(), 0)


if __name__ == "__main__":
    qvx.main()
