"""The installed launcher: bin/quorvalis runs a per-user copy of lib/quorvalis/Quorvalis, so the
settings file beside it is the user's own to write; and the .deb holds the same files, with the
emulator bridge as lib/quorvalis/Zelko.exe, which a new user's first run offers.

The installed launcher is the shipped one, without the test trace: these tests see it only
through its windows, its settings file and the stand-in emulator's record, and check that it
prints no trace even when asked to (QV_TEST_DUMP, which qvx always sets)."""
import atexit
import filecmp
import os
import pwd
import re
import shutil
import stat
import struct
import subprocess
import sys
import tempfile

import qvx

EMU_PROMPT = "^Find Zelko.exe$"
CART_PROMPT = "^Open a cartridge to locate your cartridge directory$"


_DEB = []

ICON_SIZES = (16, 32, 48, 64, 128, 256)
ICON = "usr/share/icons/hicolor/%dx%d/apps/quorvalis.png"
# The .deb's data files besides the menu entry.
PACKAGE_DATA = ["usr/share/doc/quorvalis/copyright", "usr/share/doc/quorvalis/changelog.gz",
                "usr/share/man/man6/quorvalis.6.gz",
                "usr/share/metainfo/net.example.quorvalis.metainfo.xml"] + [
                    ICON % (size, size) for size in ICON_SIZES]


def built_deb(test):
    """The .deb cpack makes of this build, made once for all the tests that need it."""
    if not _DEB:
        out = tempfile.mkdtemp(prefix="qv-deb-")
        atexit.register(shutil.rmtree, out, True)
        r = subprocess.run([qvx.TOOLS["cpack"], "-G", "DEB", "--config",
                            os.path.join(qvx.TOOLS["build"], "CPackConfig.cmake"), "-B", out],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                           timeout=180)
        test.assertEqual(r.returncode, 0, r.stdout)
        debs = [f for f in os.listdir(out) if f.endswith(".deb")]
        test.assertEqual(len(debs), 1, os.listdir(out))
        _DEB.append(os.path.join(out, debs[0]))
    return _DEB[0]


def unprivileged_user():
    """(uid, gid) of "nobody" when the tests run as root, else None (run as ourselves)."""
    if os.geteuid() != 0:
        return None
    try:
        pw = pwd.getpwnam("nobody")
    except KeyError:
        return None
    return pw.pw_uid, pw.pw_gid


class InstalledLauncherTest(qvx.LauncherCase):
    seed_settings = False

    def setUp(self):
        super().setUp()
        self.prefix = os.path.join(self.tmp, "prefix")
        r = subprocess.run([qvx.TOOLS["cmake"], "--install", qvx.TOOLS["build"], "--prefix",
                            self.prefix], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           text=True)
        self.assertEqual(r.returncode, 0, r.stdout)
        self.installed = os.path.join(self.prefix, "lib", "quorvalis", "Quorvalis")
        self.wrapper = os.path.join(self.prefix, "bin", "quorvalis")
        self.home = os.path.join(self.tmp, "home")
        os.mkdir(self.home)
        self.user = unprivileged_user()
        if self.user:
            # A normal user: may read the installation and the test's directories, owns only
            # the home directory.
            for d in (self.tmp, self.emu_dir, self.rom_dir):
                os.chmod(d, 0o755)
            # The stand-in emulator writes its record beside itself.
            os.chmod(self.emu_dir, 0o777)
            os.chown(self.home, *self.user)
        self.use_data_dir(os.path.join(self.home, ".local", "share", "quorvalis"))

    def use_data_dir(self, data_dir):
        self.data_dir = data_dir
        self.app_dir = data_dir
        self.ini = os.path.join(data_dir, "Quorvalis.ini")
        self.copy = os.path.join(data_dir, "Quorvalis")

    def run_installed(self, wait_ready, xdg=None):
        args = {}
        if self.user:
            args = {"user": self.user[0], "group": self.user[1], "extra_groups": []}
        return self.start(wait_ready, command=[self.wrapper],
                          env={"HOME": self.home, "XDG_DATA_HOME": xdg}, **args)

    def answer(self, title_regex, text):
        prompt = self.wait_window(title_regex)
        self.type_text(prompt, text)
        self.key(prompt, "Return")

    def close(self, wid):
        self.wm_close(wid)
        self.assertEqual(self.exit_code(), 0)
        self.assert_no_trace()

    def assert_no_trace(self):
        traced = [line for line in self.output().splitlines()
                  if line.split(" ")[0] in ("state", "event", "layout", "prompt", "sync")]
        self.assertEqual(traced, [])

    def double_click_first_cartridge(self, wid, launches):
        """Start-up is over and the list filled: a double-click on the first cartridge
        starts the emulator with it."""
        self.click(wid, *self.list_row(1), repeat=2)
        rec = self.wait_zelko(launches)[launches - 1]
        first = sorted(qvx.ROM_NAMES, key=str.lower)[0]
        self.assertEqual(rec["args"][-1], "%s/%s" % (self.rom_dir, first))

    def test_first_run_saves_in_the_users_copy_and_a_second_run_keeps_them(self):
        wid = self.run_installed(wait_ready=False)
        self.assertTrue(filecmp.cmp(self.copy, self.installed, shallow=False))
        self.assertTrue(os.access(self.copy, os.X_OK))
        # The copy runs: it records its own directory, then asks for the emulator.
        qvx.wait_until("QuorvalisPath", lambda: os.path.exists(self.ini) and
                       "QuorvalisPath=%s/\n" % self.data_dir in self.read_ini())
        self.answer(EMU_PROMPT, self.emulator)
        self.answer(CART_PROMPT, os.path.join(self.rom_dir, "MOLEQST.BIN"))
        qvx.wait_until("no prompt", lambda: not self.find_windows(CART_PROMPT))
        self.double_click_first_cartridge(wid, 1)
        ini = self.read_ini()
        self.assertIn("EmulatorPath=%s\n" % self.emulator, ini)
        self.assertIn("CartPath=%s/\n" % self.rom_dir, ini)
        # Saving a cartridge's options lands in the user's settings file.
        self.click(wid, *self.list_row(1))
        self.key(wid, "alt+j")
        self.click(wid, *self.control_centre(92, 116, 68, 14))  # Save Config
        first = sorted(qvx.ROM_NAMES, key=str.lower)[0]
        qvx.wait_until("saved section", lambda: "[%s]" % first in self.read_ini())
        self.close(wid)
        if self.user:
            self.assertEqual(os.stat(self.ini).st_uid, self.user[0])
        self.assertEqual(sorted(os.listdir(os.path.dirname(self.installed))),
                         ["Quorvalis", "Zelko.exe", "zelko-message.so"])

        # A stale copy is replaced; the settings file stays as it is.
        os.remove(self.copy)
        with open(self.copy, "w") as f:
            f.write("#!/bin/sh\ntouch '%s/stale-copy-ran'\nexit 3\n" % self.tmp)
        os.chmod(self.copy, 0o755)
        with open(self.ini, "a") as f:
            f.write("[Hand Edit]\nKept=yes\n")
        before = self.read_ini()
        wid = self.run_installed(wait_ready=False)
        self.double_click_first_cartridge(wid, 2)
        self.assertEqual(self.find_windows(EMU_PROMPT), [])
        self.assertFalse(os.path.exists(os.path.join(self.tmp, "stale-copy-ran")))
        self.assertTrue(filecmp.cmp(self.copy, self.installed, shallow=False))
        self.close(wid)
        self.assertEqual(self.read_ini(), before)

    def test_xdg_data_home_holds_the_copy(self):
        xdg = os.path.join(self.home, "data")
        if self.user:
            os.mkdir(xdg)
            os.chown(xdg, *self.user)
        self.use_data_dir(os.path.join(xdg, "quorvalis"))
        os.makedirs(self.data_dir)
        if self.user:
            os.chown(self.data_dir, *self.user)
        with open(self.ini, "w") as f:
            f.write("[Quorvalis Paths]\nEmulatorPath=%s\nCartPath=%s/\n" %
                    (self.emulator, self.rom_dir))
        if self.user:
            os.chown(self.ini, *self.user)
        wid = self.run_installed(wait_ready=False, xdg=xdg)
        self.double_click_first_cartridge(wid, 1)
        self.assertEqual(self.find_windows(EMU_PROMPT), [])
        self.assertTrue(filecmp.cmp(self.copy, self.installed, shallow=False))
        self.assertFalse(os.path.exists(os.path.join(self.home, ".local")))
        self.close(wid)


class ShippedLauncherTest(qvx.unittest.TestCase):

    def test_installed_launcher_has_no_test_trace(self):
        # The shipped binary does not even name the variable that turns the trace on, while
        # the copy the tests drive does.
        with tempfile.TemporaryDirectory(prefix="qv-install-") as prefix:
            subprocess.run([qvx.TOOLS["cmake"], "--install", qvx.TOOLS["build"], "--prefix",
                            prefix], stdout=subprocess.DEVNULL, check=True)
            with open(os.path.join(prefix, "lib", "quorvalis", "Quorvalis"), "rb") as f:
                self.assertNotIn(b"QV_TEST_DUMP", f.read())
        with open(qvx.TOOLS["launcher"], "rb") as f:
            self.assertIn(b"QV_TEST_DUMP", f.read())


class DebPackageTest(qvx.unittest.TestCase):

    @qvx.unittest.skipUnless(shutil.which("dpkg-deb"), "needs dpkg-deb")
    def test_deb_holds_the_launcher_its_start_script_and_menu_entry(self):
        deb = built_deb(self)
        listing = subprocess.run(["dpkg-deb", "-c", deb], stdout=subprocess.PIPE, text=True,
                                 check=True).stdout
        modes = {}
        for line in listing.splitlines():
            fields = line.split()
            modes[fields[-1]] = fields[0]
        self.assertEqual(modes.get("./usr/bin/quorvalis"), "-rwxr-xr-x")
        self.assertEqual(modes.get("./usr/lib/quorvalis/Quorvalis"), "-rwxr-xr-x")
        self.assertEqual(modes.get("./usr/lib/quorvalis/Zelko.exe"), "-rwxr-xr-x")
        self.assertIn("./usr/lib/quorvalis/zelko-message.so", modes)
        self.assertIn("./usr/share/applications/quorvalis.desktop", modes)
        for path in PACKAGE_DATA:
            self.assertEqual(modes.get("./" + path), "-rw-r--r--", path)
        self.assertNotIn("./usr/bin/Quorvalis", modes)
        # BlastEm, which the bridge starts, fontconfig, without which BlastEm stops at once,
        # and, with a lowest version, the package that holds each library the launcher is
        # linked with on the machine that built it (libfltk1.3 on Debian 12, libfltk1.3t64 on
        # Debian 13), as dpkg-shlibdeps finds them.
        depends = [d.strip() for d in subprocess.run(
            ["dpkg-deb", "-f", deb, "Depends"], stdout=subprocess.PIPE, text=True,
            check=True).stdout.split(",")]
        self.assertIn("blastem", depends)
        self.assertIn("fontconfig", depends)
        for library in ("libc.so.6", "libstdc++.so.6", "libfltk.so.1.3"):
            package = package_holding(library, qvx.TOOLS["launcher"])
            self.assertTrue(any(re.fullmatch(re.escape(package) + r" \(>= [^)]+\)", d)
                                for d in depends), (library, package, depends))

    @qvx.unittest.skipUnless(shutil.which("dpkg-deb"), "needs dpkg-deb")
    def test_packaged_programs_are_stripped_and_hardened_and_icons_sized(self):
        hardened = hardened_build()
        with tempfile.TemporaryDirectory(prefix="qv-deb-x-") as root:
            subprocess.run(["dpkg-deb", "-x", built_deb(self), root], check=True)
            for name, executable in (("Quorvalis", True), ("Zelko.exe", True),
                                     ("zelko-message.so", False)):
                elf = readelf(os.path.join(root, "usr", "lib", "quorvalis", name))
                # No symbols or debug information; in a release build full RELRO, the stack
                # protector, and for the programs position independence and fortified calls.
                checks = [(r"\] \.(symtab|debug_info|comment) ", False)]
                if hardened:
                    checks += [(r"\(FLAGS\)\s+BIND_NOW", True), (r" GNU_RELRO ", True),
                               (r" __stack_chk_fail@", True)]
                if hardened and executable:
                    checks += [(r"Type:\s+DYN ", True), (r" __\w+_chk@", True)]
                for pattern, wanted in checks:
                    self.assertEqual(bool(re.search(pattern, elf)), wanted, (name, pattern))
            for size in ICON_SIZES:
                with open(os.path.join(root, ICON % (size, size)), "rb") as f:
                    self.assertEqual(struct.unpack(">II", f.read(24)[16:]), (size, size))
        # The build tree keeps the debug information.
        self.assertIn(".debug_info", readelf(qvx.TOOLS["launcher"]))

    def test_icons_are_what_make_icon_draws(self):
        # Above all, the Windows icon stays as it is.
        source = qvx.TOOLS["source"]
        with tempfile.TemporaryDirectory(prefix="qv-icon-") as out:
            subprocess.run([sys.executable, os.path.join(source, "tools", "make_icon.py"), out],
                           check=True)
            for name in ["quorvalis.ico", "quorvalis.png"] + [
                    "icons/quorvalis-%d.png" % size for size in ICON_SIZES if size != 32]:
                self.assertTrue(filecmp.cmp(os.path.join(out, name),
                                            os.path.join(source, "res", name), shallow=False),
                                name)


def hardened_build():
    """Whether the build under test is a release build without the sanitizers."""
    with open(os.path.join(qvx.TOOLS["build"], "CMakeCache.txt")) as f:
        cache = dict(re.findall(r"^(\w+):\w+=(.*)$", f.read(), re.M))
    return (cache.get("CMAKE_BUILD_TYPE") in ("Release", "RelWithDebInfo", "MinSizeRel") and
            cache.get("QV_SANITIZE", "OFF").upper() in ("OFF", "0", "FALSE", "NO", ""))


def readelf(path):
    """readelf's headers, dynamic section and dynamic symbols of an ELF file."""
    return subprocess.run(["readelf", "-W", "-h", "-l", "-S", "-d", "--dyn-syms", path],
                          stdout=subprocess.PIPE, text=True, check=True).stdout


def package_holding(library, program):
    """The Debian package holding the file a program loads for the library (as ldd finds it)."""
    ldd = subprocess.run(["ldd", program], stdout=subprocess.PIPE, text=True, check=True).stdout
    path = next(line.split("=>")[1].split()[0] for line in ldd.splitlines()
                if line.strip().startswith(library + " "))
    real = os.path.realpath(path)
    for candidate in (path, real, "/usr" + real if not real.startswith("/usr/") else None):
        if not candidate:
            continue
        found = subprocess.run(["dpkg", "-S", candidate], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
        if found.returncode == 0:
            return found.stdout.split(":")[0]
    raise AssertionError("no package holds " + path)


# Stands in for BlastEm: logs its arguments and working directory beside itself.
FAKE_BLASTEM = """#!/bin/sh
{ echo "cwd=$(pwd)"; for a in "$@"; do echo "arg=$a"; done; } >> "$(dirname "$0")/blastem.log"
"""


class PackageFirstRunTest(qvx.LauncherCase):
    """The .deb's files, unpacked as dpkg would install them: on a new user's first run the
    emulator prompt opens where the bridge is, with its name filled in; Enter takes it, and
    the bridge then starts BlastEm."""
    seed_settings = False

    @qvx.unittest.skipUnless(shutil.which("dpkg-deb"), "needs dpkg-deb")
    def test_enter_takes_the_bridge_and_a_double_click_plays(self):
        root = os.path.join(self.tmp, "root")
        subprocess.run(["dpkg-deb", "-x", built_deb(self), root], check=True)
        lib = os.path.realpath(os.path.join(root, "usr", "lib", "quorvalis"))
        fake_dir = os.path.join(self.tmp, "fake")
        os.mkdir(fake_dir)
        fake = os.path.join(fake_dir, "blastem")
        with open(fake, "w") as f:
            f.write(FAKE_BLASTEM)
        os.chmod(fake, 0o755)
        home = os.path.join(self.tmp, "home")
        os.mkdir(home)
        args = {}
        user = unprivileged_user()
        if user:
            for d in (self.tmp, self.rom_dir):
                os.chmod(d, 0o755)
            os.chmod(fake_dir, 0o777)
            os.chown(home, *user)
            args = {"user": user[0], "group": user[1], "extra_groups": []}
        self.ini = os.path.join(home, ".local", "share", "quorvalis", "Quorvalis.ini")
        wid = self.start(False, command=[os.path.join(root, "usr", "bin", "quorvalis")],
                         env={"HOME": home, "XDG_DATA_HOME": None, "ZELKO_BLASTEM": fake},
                         **args)
        prompt = self.wait_window(EMU_PROMPT)
        self.key(prompt, "Return")
        prompt = self.wait_window(CART_PROMPT)
        self.type_text(prompt, os.path.join(self.rom_dir, "MOLEQST.BIN"))
        self.key(prompt, "Return")
        qvx.wait_until("the cartridge directory", lambda: "CartPath=" in self.read_ini())
        self.assertIn("EmulatorPath=%s/Zelko.exe\n" % lib, self.read_ini())
        self.wait_no_window(CART_PROMPT)
        self.click(wid, *self.list_row(1), repeat=2)
        log = os.path.join(fake_dir, "blastem.log")
        qvx.wait_until("BlastEm's start", lambda: os.path.exists(log))
        first = sorted(qvx.ROM_NAMES, key=str.lower)[0]
        with open(log) as f:
            self.assertEqual(f.read().splitlines(),
                             ["cwd=%s" % lib, "arg=-m", "arg=gen", "arg=-r", "arg=U", "arg=-n",
                              "arg=%s/%s" % (self.rom_dir, first)])
        # Docks match the window to its menu entry by the window's class.
        with open(os.path.join(root, "usr", "share", "applications", "quorvalis.desktop")) as f:
            wm_class = re.search(r"^StartupWMClass=(.+)$", f.read(), re.M).group(1)
        xprop = subprocess.run(["xprop", "-id", str(wid), "WM_CLASS"], env=self.x.env(),
                               stdout=subprocess.PIPE, text=True, check=True).stdout
        self.assertTrue(xprop.rstrip().endswith(', "%s"' % wm_class), xprop)
        self.wm_close(wid)
        self.assertEqual(self.exit_code(), 0)


if __name__ == "__main__":
    qvx.main()
