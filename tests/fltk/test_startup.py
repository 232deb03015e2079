"""Start-up: the window, the filled list, the form's defaults and keyboard order."""
import os
import subprocess
import time

import qvx


class StartupTest(qvx.LauncherCase):

    def test_window_comes_up_with_sorted_list_and_defaults(self):
        wid = self.start()
        states = self.states()
        ready = states[0]
        self.assertEqual(ready["tag"], "ready")
        # No control reported anything before the defaults were set.
        self.assertEqual(ready["events"], [])
        self.assertEqual(ready["items"], sorted(qvx.ROM_NAMES, key=str.lower))
        self.assertEqual(ready["selected"], "0")
        self.assertEqual(ready["frames"], "2")
        self.assertEqual((ready["usa"], ready["europe"], ready["japan"]), ("1", "0", "0"))
        self.assertEqual((ready["nosound"], ready["z80"], ready["title"]), ("0", "0", ""))

        x, y, w, h = self.geometry(wid)
        self.assertEqual((w, h), self.du(253, 154))
        self.assertLessEqual(abs(x - (self.x.width - w) // 2), 1)
        self.assertLessEqual(abs(y - (self.x.height - h) // 2), 1)
        props = subprocess.run(["xprop", "-id", str(wid), "_NET_WM_ICON", "WM_CLASS"],
                               env=self.x.env(), stdout=subprocess.PIPE, text=True).stdout
        self.assertIn("Icon (32 x 32)", props)
        # The settings file records the launcher's own directory on every start.
        self.assertIn("QuorvalisPath=%s/" % self.app_dir, self.read_ini())

    def test_nothing_loads_until_the_list_reports(self):
        # A stored setting for the first cartridge stays unseen until the list is used.
        with open(self.ini, "a") as f:
            f.write("[acorn_racer.bin]\nTitle=Racer\nFrames=7\nVersion=Japan\nNoSound=1\nZ80=1\n")
        wid = self.start()
        time.sleep(0.5)
        self.assertEqual(self.last_state()["tag"], "ready")
        self.click(wid, *self.list_row(1))
        state = self.wait_events(2)[-1]
        self.assertEqual(self.events()[:2], [(101, 4), (101, 1)])
        self.assertEqual((state["title"], state["frames"], state["japan"], state["usa"],
                          state["nosound"], state["z80"]), ("Racer", "7", "1", "0", "1", "1"))

    def test_tab_moves_through_the_controls_in_template_order(self):
        wid = self.start()
        # From no focus, Tab reaches the list, the title, the three region buttons and then
        # the frame value field.
        expected = [
            [(101, 4)],
            [(101, 5), (103, 0x100)],
            [(103, 0x200)],
            [],
            [],
            [(111, 0x100)],
        ]
        seen = 0
        for step, want in enumerate(expected, 1):
            self.key(wid, "Tab")
            if want:
                self.wait_new_events(seen, len(want))
            else:
                time.sleep(0.2)  # a Tab between the region buttons reports nothing
            ev = self.events()
            self.assertEqual(ev[seen:], want, "after Tab %d" % step)
            seen = len(ev)
        # Typing in the frame value field: one digit stays, a second one turns it into 9.
        self.key(wid, "End", "BackSpace", "5")
        self.wait_last(frames="5")
        self.key(wid, "3")
        self.wait_last(frames="9")
        # Setting the text puts the caret before it, as the Win32 build's edit control does:
        # BackSpace deletes nothing there, Delete does. An empty field stays empty; a lone 0
        # becomes 9; other text is left alone.
        self.key(wid, "BackSpace")
        time.sleep(0.3)
        self.assertEqual(self.last_state()["frames"], "9")
        self.key(wid, "Delete")
        self.wait_last(frames="")
        self.key(wid, "0")
        self.wait_last(frames="9")
        self.key(wid, "Delete", "x")
        self.wait_last(frames="x")
        # Mnemonics: Alt+J checks Japan alone, Alt+N ticks No Sound.
        self.key(wid, "alt+j", "alt+n")
        self.wait_last(usa="0", europe="0", japan="1", nosound="1")

    def test_names_with_a_tab_or_line_break_draw_on_their_own_row(self):
        # A tab or line break draws as "^I" or "^J" on the name's own row: pixel for pixel
        # the row of a name written with those two characters.
        pairs = [("col\tumn.bin", "col^Iumn.bin"), ("two\nrows.bin", "two^Jrows.bin")]
        for pair in pairs:
            for name in pair:
                open(os.path.join(self.rom_dir, name), "wb").close()
        wid = self.start()
        items = self.states()[0]["items"]
        layout = dict(line.split(" ", 1) for line in
                      self.output().split("layout\n", 1)[1].split("\nend", 1)[0].splitlines())
        x, y, w, _ = (int(v) for v in layout["items"].split())
        step = self.row_height()
        _, _, ww, wh = self.geometry(wid)
        pixels = subprocess.run(["import", "-window", str(wid), "-depth", "8", "rgb:-"],
                                env=self.x.env(), stdout=subprocess.PIPE, check=True).stdout

        def row(name):
            """The pixels of name's row, less the edges a neighbour's descenders reach into.
            The trace's item lines break where a name does."""
            top = y + items.index(name.split("\n")[0]) * step
            return [pixels[(r * ww + x) * 3:(r * ww + x + w) * 3]
                    for r in range(top + 2, top + step - 2)]
        self.assertEqual(len(pixels), ww * wh * 3)
        for odd, written in pairs:
            self.assertEqual(row(odd), row(written), repr(odd))


if __name__ == "__main__":
    qvx.main()
