"""The Win32 emulator bridge (Zelko.exe for Windows) under Wine, against the Windows stand-in
for BlastEm (tools/blastem_stub.cpp): the Linux bridge's tables run as they are, with a crash
in place of a signal and Windows' own missing-file rows; then where the bridge looks for
BlastEm, and a cartridge whose path the system's code page cannot hold."""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "fltk"))
import qvx  # noqa: E402
import test_bridge  # noqa: E402

WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                        "wine-run")


def win(path):
    """A Unix path as Wine names it."""
    return "Z:" + path.replace("/", "\\")


def unix(path):
    return path[2:].replace("\\", "/") if path[:2].upper() == "Z:" else path


class Win32BridgeTest(test_bridge.BridgeTest):
    # Unix signals have no Windows counterpart, and the message box needs no display variable.
    test_ending_the_bridge_ends_blastem = None
    test_no_display_means_no_window = None

    def setUp(self):
        self.make_tree("qv-winbridge-")
        self.blastem = win(os.path.join(self.tmp, "blastem.exe"))
        shutil.copy2(TOOLS["blastem"], unix(self.blastem))
        self.cart = win(os.path.join(self.rom_dir, "Mole Quest.bin"))
        with open(unix(self.cart), "wb") as f:
            f.write(b"\0" * 512)

    def env(self, **extra):
        env = super().env()
        env.setdefault("WINEDEBUG", "-all")
        env.pop("WINEPATH", None)
        env.update(extra)
        return {k: v for k, v in env.items() if v is not None}

    def run_bridge(self, args, env, **popen):
        return subprocess.Popen([WINE_RUN, self.bridge] + args, cwd=self.emu_dir, env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                errors="replace", **popen)

    def starts(self, folder=None):
        records = []
        path = os.path.join(folder or self.tmp, "blastem.log")
        if os.path.exists(path):
            saved, self.tmp = self.tmp, os.path.dirname(path)
            try:
                records = super().starts()
            finally:
                self.tmp = saved
        for record in records:
            record["cwd"] = unix(record["cwd"])
        return records

    def crash_case(self):
        # The bridge ends with BlastEm's status, of which Wine gives Unix the low byte.
        return ({"FAKE_CRASH": "1"}, 0xC0000005 & 0xFF,
                r"\(crashed: access violation, status 0xC0000005\).\n$", "", "-z80")

    def bad_input_cases(self):
        cart = self.cart
        not_a_program = os.path.join(self.tmp, "text", "blastem.exe")
        os.mkdir(os.path.dirname(not_a_program))
        with open(not_a_program, "w") as f:
            f.write("not a program\n")
        unzip = "unzip it into the folder of Zelko.exe (%s)" % win(self.emu_dir)
        return test_bridge.usage_cases(cart) + [
            ("unquoted blank", ["-frame", "2", win(self.rom_dir) + "\\Mole", "Quest.bin"], {}, 2,
             ['Unexpected argument "%s\\Mole"' % win(self.rom_dir)]),
            ("missing cartridge", ["-frame", "2", cart + ".gone"], {}, 3,
             ["The cartridge %s.gone cannot be opened: " % cart]),
            ("directory", ["-frame", "2", win(self.rom_dir)], {}, 3,
             ["%s is not a cartridge file" % win(self.rom_dir)]),
            ("BlastEm missing", ["-frame", "2", cart],
             {"ZELKO_BLASTEM": win(self.tmp) + "\\no-blastem.exe"}, 4,
             ["BlastEm was not found at %s\\no-blastem.exe (named by ZELKO_BLASTEM)" %
              win(self.tmp), unzip]),
            ("BlastEm nowhere", ["-frame", "2", cart], {"ZELKO_BLASTEM": None}, 4,
             ["BlastEm, the emulator this program starts, was not found", unzip]),
            ("BlastEm not a program", ["-frame", "2", cart],
             {"ZELKO_BLASTEM": win(not_a_program)}, 4,
             ["BlastEm (%s) could not be started: " % win(not_a_program), unzip]),
        ], {}

    def test_blastem_is_found_without_set_up(self):
        cart = self.cart

        def put(folder):
            os.makedirs(os.path.join(self.emu_dir, folder), exist_ok=True)
            shutil.copy2(TOOLS["blastem"], os.path.join(self.emu_dir, folder, "blastem.exe"))

        on_path = os.path.join(self.tmp, "on path")
        cases = [
            # name, BlastEms beside Zelko.exe, ZELKO_BLASTEM, on PATH, the one that runs
            ("named first", ["."], self.blastem, True, self.tmp),
            ("beside before folders", [".", "blastem-win64-0.6.3"], None, True, "."),
            ("newest version", ["blastem-win64-0.6.9", "blastem-win64-0.6.10",
                                "blastem-win32-0.6.2"], None, True, "blastem-win64-0.6.10"),
            ("64-bit of one version", ["blastem-win32-0.6.2", "blastem-win64-0.6.2"], None,
             False, "blastem-win64-0.6.2"),
            ("unzipped with Extract All", ["blastem-win32-0.6.2/blastem-win32-0.6.2"], None,
             True, "blastem-win32-0.6.2/blastem-win32-0.6.2"),
            ("PATH last", ["blastem-win64-empty/nothing"], None, True, on_path),
        ]
        for name, beside, named, path, runs in cases:
            with self.subTest(name):
                for entry in os.listdir(self.emu_dir):
                    entry = os.path.join(self.emu_dir, entry)
                    if os.path.isdir(entry):
                        shutil.rmtree(entry)
                    elif not entry.endswith("Zelko.exe"):
                        os.remove(entry)
                shutil.rmtree(on_path, True)
                if os.path.exists(os.path.join(self.tmp, "blastem.log")):
                    os.remove(os.path.join(self.tmp, "blastem.log"))
                for folder in beside:
                    if folder.endswith("nothing"):
                        os.makedirs(os.path.join(self.emu_dir, folder))
                    else:
                        put(folder)
                if path:
                    os.mkdir(on_path)
                    shutil.copy2(TOOLS["blastem"], os.path.join(on_path, "blastem.exe"))
                proc = self.run_bridge(["-frame", "2", cart], self.env(
                    ZELKO_BLASTEM=named, WINEPATH=win(on_path) if path else None))
                out, err = proc.communicate(timeout=qvx.TIMEOUT)
                self.assertEqual(proc.returncode, 0, err)
                where = runs if os.path.isabs(runs) else os.path.join(self.emu_dir, runs)
                self.assertEqual(len(self.starts(os.path.normpath(where))), 1, err)
                others = [f for f in beside + [on_path] if os.path.normpath(
                    os.path.join(self.emu_dir, f)) != os.path.normpath(where)]
                for other in others:
                    self.assertEqual(self.starts(os.path.join(self.emu_dir, other)), [], other)

    def test_cartridge_outside_the_code_page_goes_in_short_form(self):
        # Greek letters are outside the Western code page Wine gives this locale; an accented
        # Latin letter is inside it and goes as it is.
        cases = [("\u0396\u03b5\u03bb\u03ba\u03bf Quest.bin", False), ("Caf\u00e9.bin", True)]
        for n, (name, whole) in enumerate(cases, 1):
            with self.subTest(name):
                path = os.path.join(self.rom_dir, name)
                with open(path, "wb") as f:
                    f.write(b"\0" * 512)
                proc = self.run_bridge(["-frame", "2", win(path)], self.env())
                out, err = proc.communicate(timeout=qvx.TIMEOUT)
                self.assertEqual(proc.returncode, 0, err)
                start = self.starts()[n - 1]
                given = start["args"][-1]
                if whole:
                    self.assertEqual(given, win(path))
                else:
                    self.assertTrue(given.isascii() and "~" in given, given)
                self.assertEqual(start["open"], "1", "BlastEm's C library opens %s" % given)


TOOLS = {}

if __name__ == "__main__":
    # --blastem is this test's own; the rest are qvx's.
    argv = sys.argv[:]
    if "--blastem" in argv:
        i = argv.index("--blastem")
        TOOLS["blastem"] = argv[i + 1]
        del argv[i:i + 2]
    sys.argv = argv
    qvx.main()
