#!/usr/bin/env python3
# tests/e2e/intro_test.py: end-to-end tests of the built intro. Each test starts the real
# executable on its own virtual X server (1280 x 1024), finds its window and checks what a
# person would see, hear and do. Screenshots are kept in $INTRO_ARTIFACTS.
#
# With INTRO_WINE set (the path of wine), INTRO_EXE is the Windows program and runs under Wine
# on the X server named by DISPLAY, which every test shares: Wine's desktop belongs to one
# display. Wine passes keys to its programs only while one of its windows has the X focus, so
# the window is focused before keys are sent.
import ctypes
import os
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
import xtools  # noqa: E402
sys.path.insert(0, os.path.join(HERE, ".."))
import scene_facts  # noqa: E402
from scene_facts import RED, nonblack  # noqa: E402

EXE = os.environ.get("INTRO_EXE", "build/intro")
WINE = os.environ.get("INTRO_WINE")
WINDOW_CLASS = os.environ.get("INTRO_WINDOW_CLASS", "WindowClass_0")
ARTIFACTS = os.environ.get("INTRO_ARTIFACTS", "build/artifacts")


def geometry(display, window):
    """(x, y, width, height) of a window in screen coordinates, from xwininfo."""
    out = subprocess.run(["xwininfo", "-id", str(window)], env=dict(os.environ, DISPLAY=display),
                         capture_output=True, text=True).stdout
    values = {}
    for line in out.splitlines():
        line = line.strip()
        for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height",
                    "Map State"):
            if line.startswith(key + ":"):
                values[key] = line.split(":", 1)[1].strip()
    return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
            int(values["Width"]), int(values["Height"]), values.get("Map State", ""))


def opacity(display, window):
    """The window's _NET_WM_WINDOW_OPACITY as 0..1, or None when not set."""
    out = subprocess.run(["xprop", "-id", str(window), "_NET_WM_WINDOW_OPACITY"],
                         env=dict(os.environ, DISPLAY=display), capture_output=True,
                         text=True).stdout
    if "=" not in out:
        return None
    return int(out.split("=")[1].strip()) / 0xFFFFFFFF


def focused_window(display):
    """The window that has the X keyboard focus, or None."""
    out = subprocess.run(["xdotool", "getwindowfocus"], env=dict(os.environ, DISPLAY=display),
                         capture_output=True, text=True).stdout.strip()
    return int(out) if out.isdigit() else None


def window_exists(display, window):
    return subprocess.run(["xwininfo", "-id", str(window)], env=dict(os.environ, DISPLAY=display),
                          capture_output=True).returncode == 0


def processes_of_session(pid):
    """The live processes started by `pid`, a process group leader: its children, and orphans
    that kept its process group, from /proc."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == pid:
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        ppid, pgrp = int(fields[1]), int(fields[2])
        if ppid == pid or pgrp == pid:
            found.append(int(entry))
    return found


def send_close_request(display, window):
    """Sends WM_DELETE_WINDOW to the window, as a window manager's close button would."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                    ("pad", ctypes.c_long * 12)]

    dpy = x11.XOpenDisplay(display.encode())
    ev = ClientMessage()
    ev.type = 33  # ClientMessage
    ev.window = window
    ev.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    ev.format = 32
    ev.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(dpy, window, 0, 0, ctypes.byref(ev))
    x11.XFlush(dpy)
    x11.XCloseDisplay(dpy)


def main_thread_usage(pid, seconds):
    """(CPU seconds, voluntary context switches, wall seconds) of a process's main thread over
    `seconds`: a thread that waits gives up the processor often and uses little of it."""
    def sample():
        with open(f"/proc/{pid}/task/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        with open(f"/proc/{pid}/task/{pid}/status") as f:
            switches = next(int(line.split()[1]) for line in f
                            if line.startswith("voluntary_ctxt_switches"))
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK"), switches
    t0 = time.time()
    cpu0, sw0 = sample()
    time.sleep(seconds)
    cpu1, sw1 = sample()
    return cpu1 - cpu0, sw1 - sw0, time.time() - t0


class Intro:
    """One run of the intro on a private X server."""

    def __init__(self, env=None, before_start=None, stderr=None):
        """env: variables to set over the defaults (None removes one); stderr: as Popen's."""
        if WINE:
            self.xvfb, self.display = None, os.environ["DISPLAY"]
        else:
            self.xvfb, self.display = xtools.start_xvfb()
        self.keys = xtools.XTest(self.display)
        if before_start:
            before_start(self)
        full_env = dict(os.environ, DISPLAY=self.display)
        full_env.setdefault("SDL_AUDIODRIVER", "dummy")
        for name, value in (env or {}).items():
            if value is None:
                full_env.pop(name, None)
            else:
                full_env[name] = value
        self.started = time.time()
        # Without a caller's stderr, it is kept to explain a run that ends before its window.
        self.err = None if stderr is not None else tempfile.TemporaryFile()
        # Its own process group, so that whatever it starts can be found after it has ended.
        self.proc = subprocess.Popen([WINE, EXE] if WINE else [EXE], env=full_env,
                                     stderr=stderr if stderr is not None else self.err,
                                     start_new_session=True)
        self.window = xtools.find_window(self.display, WINDOW_CLASS, timeout=20,
                                         only_visible=bool(WINE), proc=self.proc)
        if self.window:
            self.focus()  # under Wine a key held since the start counts from here on

    def why_no_window(self):
        """What to say when no window showed: the exit code and stderr of an early end."""
        if self.proc.poll() is None:
            return "the intro opened no window in 20 s"
        text = ""
        if self.err is not None:
            self.err.seek(0)
            text = self.err.read().decode(errors="replace").strip()
        return (f"the intro exited with code {self.proc.returncode} before its window showed"
                + (f"; its stderr: {text}" if text else "; its stderr was empty"))

    def screenshot(self, name):
        path = os.path.join(ARTIFACTS, name)
        w, h, rows = xtools.window_png(self.display, self.window, path)
        return Picture(w, h, rows)

    def focus(self):
        if WINE:
            subprocess.run(["xdotool", "windowfocus", str(self.window)],
                           env=dict(os.environ, DISPLAY=self.display), capture_output=True)

    def escape(self):
        """Holds Escape until the fade-out begins (the intro saw the key) or 2 s have passed:
        on a busy machine a frame can take longer than a short tap."""
        self.focus()
        self.keys.key("Escape", True)
        deadline = time.time() + 2.0
        try:
            while time.time() < deadline and self.proc.poll() is None:
                o = opacity(self.display, self.window)
                if o is not None and o < 0.99:
                    break
                time.sleep(0.05)
        finally:
            self.keys.key("Escape", False)

    def wait(self, timeout):
        return self.proc.wait(timeout=timeout)

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.keys.close()
        if self.err is not None:
            self.err.close()
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()


class Picture:
    def __init__(self, w, h, rows):
        self.w, self.h, self.rows = w, h, rows

    def at(self, x, y):
        r = self.rows[y]
        return (r[x * 3], r[x * 3 + 1], r[x * 3 + 2])

    def count(self, x0, y0, x1, y1, pred):
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if pred(self.at(x, y)))


class IntroTest(unittest.TestCase):
    def setUp(self):
        os.makedirs(ARTIFACTS, exist_ok=True)
        self.intro = None

    def tearDown(self):
        if self.intro:
            self.intro.close()

    def start(self, **kw):
        if self.intro:  # the run of an earlier sub-test
            self.intro.close()
        self.intro = Intro(**kw)
        if self.intro.window is None:
            self.fail(self.intro.why_no_window())
        return self.intro

    def assert_ends_through_the_fade_out(self, ending):
        """Ends the running intro with "Escape" or a signal; it must leave through the 800 ms
        fade-out and the end chain with code 0."""
        t = time.time()
        if ending == "Escape":
            self.intro.escape()
        else:
            self.intro.proc.send_signal(ending)
        self.assertEqual(self.intro.wait(timeout=15), 0)
        self.assertGreater(time.time() - t, 0.75, "ended without the fade-out")

    def test_window_fades_in_centred_and_shows_the_scene(self):
        intro = self.start()
        # The fade-in: the opacity rises over 800 ms (sampled while it runs). The window exists
        # hidden for a while before the fade starts.
        seen = []
        deadline = time.time() + 15
        while time.time() < deadline and not (seen and seen[-1] > 0.99):
            o = opacity(intro.display, intro.window)
            if o is None and seen:
                o = 1.0  # a fully opaque window carries no opacity property
            if o is not None:
                seen.append(o)
            time.sleep(0.04)
        if seen:
            self.assertLess(min(seen), 0.5, f"opacity never low during the fade: {seen}")
            self.assertGreater(max(seen), 0.99, f"the fade never ended: {seen}")
            self.assertEqual(seen, sorted(seen), "the opacity went down during the fade-in")
        x, y, w, h, state = geometry(intro.display, intro.window)
        self.assertEqual((w, h), (800, 600))
        self.assertEqual((x, y), (240, 212), "not centred on a 1280 x 1024 screen")
        self.assertEqual(state, "IsViewable")

        time.sleep(max(0.0, 6.5 - (time.time() - intro.started)))
        pic = intro.screenshot("intro_6s.png")
        # The scroller moves one pixel per frame from beyond the right edge; where the
        # renderer is slow (software GL on a busy machine) it needs longer to come in.
        deadline = time.time() + 30
        while pic.count(0, 368, 800, 548, nonblack) < 500 and time.time() < deadline:
            time.sleep(2)
            pic = intro.screenshot("intro_6s.png")
        scene_facts.assert_scene(self, pic)

        intro.escape()
        self.assertEqual(intro.wait(timeout=4), 0)

    def test_left_drag_moves_the_window_and_the_scene_goes_on(self):
        intro = self.start()
        time.sleep(2.5)
        x0, y0, _, _, _ = geometry(intro.display, intro.window)
        k = intro.keys
        k.move(x0 + 400, y0 + 300)
        time.sleep(0.2)
        # Hold the button still until the frame loop has polled the press and the move loop
        # runs (one event is handled per frame), then drag, then let go.
        k.button(1, True)
        time.sleep(1.0)
        for i in range(1, 11):
            k.move(x0 + 400 + 10 * i, y0 + 300 + 5 * i)
            time.sleep(0.05)
        time.sleep(0.5)
        k.button(1, False)
        time.sleep(0.5)
        x1, y1, _, _, _ = geometry(intro.display, intro.window)
        self.assertEqual((x1 - x0, y1 - y0), (100, 50))
        a = intro.screenshot("after_drag_a.png")
        time.sleep(1.0)
        b = intro.screenshot("after_drag_b.png")
        self.assertNotEqual(a.rows, b.rows, "the scene stopped after the drag")
        intro.escape()
        self.assertEqual(intro.wait(timeout=4), 0)

    def test_close_request_changes_nothing_and_escape_ends_with_zero(self):
        intro = self.start()
        time.sleep(2.5)
        send_close_request(intro.display, intro.window)
        time.sleep(1.0)
        self.assertIsNone(intro.proc.poll(), "a close request ended the intro")
        self.assertEqual(geometry(intro.display, intro.window)[4], "IsViewable")
        t = time.time()
        intro.escape()
        self.assertEqual(intro.wait(timeout=4), 0)
        self.assertLess(time.time() - t, 2.0 + 0.3, "the exit took longer than two seconds")

    @unittest.skipIf(WINE, "Windows programs get no POSIX signals: Wine ends them at once")
    def test_termination_signals_fade_out_and_end_with_zero(self):
        # kill and Ctrl+C ask the process to end: unlike a window's close request they leave
        # the frame loop the way Escape does, through the 800 ms fade-out and the end chain.
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=sig.name):
                self.start()
                time.sleep(2.5)
                self.assert_ends_through_the_fade_out(sig)

    TOO_OLD_GL = {"MESA_GL_VERSION_OVERRIDE": "2.1", "MESA_GLSL_VERSION_OVERRIDE": "120"}

    def find_error_box(self, intro):
        """The "Error CreateEffect!" box of a run on a display whose OpenGL is too old, or None
        where the platform shows no box (under Wine it may not)."""
        return xtools.find_window_by_name(intro.display, "Error CreateEffect!", 10)

    def test_without_opengl_33_the_loop_waits_and_escape_or_sigterm_ends_it(self):
        # Mesa's version override makes a display whose OpenGL is too old for the device: the
        # effect cannot be made, its error box takes the keyboard focus as it opens and goes
        # with Return, the window stays black, and the frame loop must wait instead of
        # spinning a core.
        # (Windows programs get no POSIX signals.)
        for ending in ("Escape",) if WINE else ("Escape", signal.SIGTERM):
            with self.subTest(ending=str(ending)):
                intro = self.start(env=self.TOO_OLD_GL)
                box = self.find_error_box(intro)
                if not WINE:
                    self.assertIsNotNone(box, "no error box")
                if box is not None:
                    deadline = time.time() + 5
                    while time.time() < deadline and focused_window(intro.display) != box:
                        time.sleep(0.05)
                    self.assertEqual(focused_window(intro.display), box,
                                     "the error box did not take the keyboard focus")
                    intro.keys.tap("Return", 0.2)
                    deadline = time.time() + 5
                    while time.time() < deadline and window_exists(intro.display, box):
                        time.sleep(0.05)
                    self.assertFalse(window_exists(intro.display, box), "Return left the box up")
                cpu, waits, wall = main_thread_usage(intro.proc.pid, 2.0)
                self.assertLess(cpu, 0.5 * wall, "the main thread spins without a device")
                self.assertGreaterEqual(waits, 5, "the main thread never waits")
                self.assert_ends_through_the_fade_out(ending)

    @unittest.skipIf(WINE, "Windows programs get no POSIX signals: Wine ends them at once")
    def test_a_termination_request_during_the_error_box_closes_it_and_ends_with_zero(self):
        intro = self.start(env=self.TOO_OLD_GL)
        box = self.find_error_box(intro)
        self.assertIsNotNone(box, "no error box")
        intro.proc.send_signal(signal.SIGTERM)
        self.assertEqual(intro.wait(timeout=15), 0)
        self.assertFalse(window_exists(intro.display, box), "the box outlived the program")
        self.assertEqual(processes_of_session(intro.proc.pid), [],
                         "the program left processes behind")

    def test_escape_held_from_the_start_ends_after_the_fade_in(self):
        intro = self.start(before_start=lambda i: i.keys.key("Escape", True))
        code = intro.wait(timeout=15)
        intro.keys.key("Escape", False)
        self.assertEqual(code, 0)
        self.assertGreater(time.time() - intro.started, 1.6, "exited before fading in and out")

    def test_a_run_without_a_sound_card_writes_nothing_to_stderr(self):
        # The default audio driver choice probes every driver; where no sound card exists the
        # probes fail, quietly, and the intro runs silent.
        with tempfile.TemporaryFile() as err:
            intro = self.start(env={"SDL_AUDIODRIVER": None}, stderr=err)
            time.sleep(2.5)
            intro.escape()
            self.assertEqual(intro.wait(timeout=10), 0)
            err.seek(0)
            self.assertEqual(err.read().decode(errors="replace"), "")

    def test_disk_audio_captures_the_module(self):
        raw = tempfile.NamedTemporaryFile(suffix=".raw", delete=False).name
        intro = self.start(env={"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": raw})
        time.sleep(4)
        intro.escape()
        self.assertEqual(intro.wait(timeout=4), 0)
        captured = open(raw, "rb").read()
        os.unlink(raw)
        wav = tempfile.NamedTemporaryFile(suffix=".wav", delete=False).name
        render = [os.environ["MODRENDER_EXE"], os.environ["INTRO_MODULE"], wav]
        subprocess.run([WINE] + render if WINE else render, check=True, capture_output=True)
        reference = open(wav, "rb").read()[44:]
        os.unlink(wav)
        # The device plays silence until the music starts; from the first sound on, the
        # capture is the module as the library renders it.
        first = next((i for i in range(0, len(captured) - 3, 4)
                      if captured[i:i + 4] != b"\0\0\0\0"), None)
        self.assertIsNotNone(first, "the captured sound is silent")
        ref_first = next(i for i in range(0, len(reference) - 3, 4)
                         if reference[i:i + 4] != b"\0\0\0\0")
        n = min(len(captured) - first, 44100 * 4 * 2)
        self.assertGreater(n, 44100 * 4, "less than a second of music captured")
        self.assertEqual(captured[first:first + n], reference[ref_first:ref_first + n])


if __name__ == "__main__":
    unittest.main()
