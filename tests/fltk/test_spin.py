"""The spin control beside the frame value field."""
import qvx


class SpinTest(qvx.LauncherCase):

    def spin(self, wid, up, times):
        x0, y0 = self.du(220, 60)
        x1, y1 = self.du(231, 73)
        x = (x0 + x1) // 2
        y = y0 + (y1 - y0) // 4 if up else y1 - (y1 - y0) // 4
        for _ in range(times):
            self.click(wid, x, y)

    def launch(self, wid, n):
        self.click(wid, *self.control_centre(4, 116, 68, 13))
        return self.wait_zelko(n)[n - 1]["args"][1]

    def test_arrows_step_from_the_shown_value_and_stop_at_1_and_9(self):
        wid = self.start()
        self.click(wid, *self.list_row(1))
        # The arrows take the focus to the field before they step, so the list's reload on
        # losing the focus comes first and the launch gets the stepped value.
        self.spin(wid, True, 1)
        self.wait_last(frames="3")
        self.spin(wid, True, 9)
        self.wait_last(frames="9")
        self.assertEqual(self.launch(wid, 1), "9")
        self.spin(wid, False, 1)
        self.wait_last(frames="8")
        self.spin(wid, False, 10)
        self.wait_last(frames="1")
        self.assertEqual(self.launch(wid, 2), "1")
        # A value typed into the field is where the next press starts.
        fx, fy = self.control_centre(208, 60, 12, 13)
        self.click(wid, fx, fy)
        self.key(wid, "End", "BackSpace", "6")
        self.wait_last(frames="6")
        self.spin(wid, True, 1)
        self.wait_last(frames="7")
        # Each change of the field through the arrows is reported as a text change.
        self.assertIn((111, 0x300), self.events())


if __name__ == "__main__":
    qvx.main()
