"""Real input for the front-end table: key presses, pointer moves and button clicks sent to an
X server with the XTEST extension, as a keyboard and a mouse would give them. Both builds get
the very same events: the native window reads them through FLTK, the Win32 one through Wine's
X11 driver."""

import ctypes
import ctypes.util
import os
import random
import subprocess
import time

_x11 = _xtst = None


def _libs():
    global _x11, _xtst
    if _x11 is None:
        x11_name, xtst_name = ctypes.util.find_library("X11"), ctypes.util.find_library("Xtst")
        if not x11_name or not xtst_name:
            raise RuntimeError("libX11 and libXtst are needed")
        _x11, _xtst = ctypes.cdll.LoadLibrary(x11_name), ctypes.cdll.LoadLibrary(xtst_name)
        _x11.XOpenDisplay.restype = ctypes.c_void_p
        _x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        _x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        _x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        _x11.XStringToKeysym.restype = ctypes.c_ulong
        _x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        _x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        _x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        _x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                        ctypes.c_ulong]
        _x11.XInternAtom.restype = ctypes.c_ulong
        _x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        _x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                    ctypes.c_void_p]
        _x11.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                         ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                         ctypes.c_char_p, ctypes.c_int]
        _xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                            ctypes.c_ulong]
        _xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                               ctypes.c_ulong]
        _xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                               ctypes.c_int, ctypes.c_ulong]
        # A window can go away between a look-up and a request (a launcher that just quit):
        # such errors are ignored rather than ending this process, as Xlib would.
        _x11.XSetErrorHandler(_IGNORE_ERRORS)
    return _x11, _xtst


class _ClientMessage(ctypes.Structure):
    """XClientMessageEvent, padded to the size of an XEvent."""
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_IGNORE_ERRORS = _ERROR_HANDLER(lambda display, event: 0)


def load():
    """Loads the X libraries (once, before threads use them)."""
    _libs()


MODIFIERS = {"shift": "Shift_L", "alt": "Alt_L", "ctrl": "Control_L"}


class XServer:
    """A private Xvfb on a free display, with a connection of our own for the input."""

    def __init__(self, width=None, height=None, dpi=96):
        self.dpi = dpi
        # Above 96 dpi a larger screen, 1600x1200: at 192 dpi Xvfb makes it 212 by 159 mm,
        # which reads back as 191.7 dpi, just below the nominal value.
        big = dpi > 96
        self.width = width or (1600 if big else 1024)
        self.height = height or (1200 if big else 768)
        rng = random.SystemRandom()
        for _ in range(20):
            n = rng.randrange(200, 900)
            if os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n):
                continue
            self.display = ":%d" % n
            self.proc = subprocess.Popen(
                ["Xvfb", self.display, "-screen", "0", "%dx%dx24" % (self.width, self.height),
                 "-nolisten", "tcp", "-dpi", str(dpi), "-noreset"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if self._connect():
                return
            self.stop()
        raise RuntimeError("could not start Xvfb")

    def _connect(self):
        """True once our own server answers (one started at the same moment by someone else
        on the same display makes ours end instead)."""
        x11, _ = _libs()
        self.dpy = None
        end = time.monotonic() + 30
        while time.monotonic() < end and self.proc.poll() is None:
            self.dpy = x11.XOpenDisplay(self.display.encode())
            if self.dpy:
                time.sleep(0.2)
                if self.proc.poll() is None:
                    return True
                x11.XCloseDisplay(self.dpy)
                self.dpy = None
                return False
            time.sleep(0.05)
        return False

    def env(self):
        e = dict(os.environ)
        e["DISPLAY"] = self.display
        e.pop("XAUTHORITY", None)
        return e

    def stop(self):
        if getattr(self, "dpy", None):
            _libs()[0].XCloseDisplay(self.dpy)
            self.dpy = None
        self.proc.terminate()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()

    # ---- input ----

    def sync(self):
        _libs()[0].XSync(self.dpy, 0)

    def focus(self, window):
        """Gives the X keyboard focus to a top-level window (there is no window manager)."""
        x11, _ = _libs()
        x11.XSetInputFocus(self.dpy, window, 1, 0)  # RevertToPointerRoot, CurrentTime
        self.sync()

    def move(self, x, y):
        _libs()[1].XTestFakeMotionEvent(self.dpy, -1, x, y, 0)
        self.sync()

    def button(self, number, down):
        _libs()[1].XTestFakeButtonEvent(self.dpy, number, 1 if down else 0, 0)
        self.sync()

    def click(self, x, y, number=1, count=1):
        """count clicks in one batch, so a loaded machine cannot pull a double-click apart."""
        xtst = _libs()[1]
        xtst.XTestFakeMotionEvent(self.dpy, -1, x, y, 0)
        for _ in range(count):
            xtst.XTestFakeButtonEvent(self.dpy, number, 1, 0)
            xtst.XTestFakeButtonEvent(self.dpy, number, 0, 0)
        self.sync()

    def _keycode(self, name):
        x11, _ = _libs()
        sym = x11.XStringToKeysym(name.encode())
        code = x11.XKeysymToKeycode(self.dpy, sym) if sym else 0
        if not code:
            raise ValueError("no key " + name)
        return code

    def key(self, combo):
        """One key with modifiers, written as xdotool does: "alt+e", "shift+Tab", "Next"."""
        xtst = _libs()[1]
        parts = combo.split("+")
        mods = [self._keycode(MODIFIERS[m.lower()]) for m in parts[:-1]]
        code = self._keycode(parts[-1])
        # Each event a few milliseconds after the one before: events of one key with the same
        # time stamp look like the keyboard's auto-repeat to Wine, which then drops the release.
        for m in mods:
            xtst.XTestFakeKeyEvent(self.dpy, m, 1, 0)
            self._tick()
        xtst.XTestFakeKeyEvent(self.dpy, code, 1, 0)
        self._tick()
        xtst.XTestFakeKeyEvent(self.dpy, code, 0, 0)
        self._tick()
        for m in reversed(mods):
            xtst.XTestFakeKeyEvent(self.dpy, m, 0, 0)
            self._tick()

    def key_event(self, name, down):
        """One press or one release of a key."""
        _libs()[1].XTestFakeKeyEvent(self.dpy, self._keycode(name), 1 if down else 0, 0)
        self._tick()

    def _tick(self):
        self.sync()
        time.sleep(0.004)

    def set_property(self, window, name, value):
        """Sets a string property on a window (the native launcher's test build answers a
        change of QV_SYNC once it has handled every event before it)."""
        x11, _ = _libs()
        atom = x11.XInternAtom(self.dpy, name.encode(), 0)
        string = x11.XInternAtom(self.dpy, b"STRING", 0)
        data = value.encode()
        x11.XChangeProperty(self.dpy, window, atom, string, 8, 0, data, len(data))
        self.sync()

    def close_window(self, window):
        """Asks a top-level window to close as a window manager's close box does: the
        WM_DELETE_WINDOW protocol message (there is no window manager here)."""
        x11, _ = _libs()
        ev = _ClientMessage()
        ev.type = 33  # ClientMessage
        ev.window = window
        ev.message_type = x11.XInternAtom(self.dpy, b"WM_PROTOCOLS", 0)
        ev.format = 32
        ev.data[0] = x11.XInternAtom(self.dpy, b"WM_DELETE_WINDOW", 0)
        x11.XSendEvent(self.dpy, window, 0, 0, ctypes.byref(ev))
        self.sync()

    def window_by_name(self, name):
        """The first top-level window named exactly name, or None."""
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % name],
                           env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           text=True)
        ids = r.stdout.split()
        return int(ids[0]) if ids else None

    def window_origin(self, window):
        return self._geometry(window, "Position:", ",")

    def window_size(self, window):
        return self._geometry(window, "Geometry:", "x")

    def _geometry(self, window, label, separator):
        r = subprocess.run(["xdotool", "getwindowgeometry", str(window)], env=self.env(),
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        for line in r.stdout.splitlines():
            line = line.strip()
            if line.startswith(label):
                x, y = line.split()[1].split(separator)
                return int(x), int(y)
        return None
