# scripts/xtools.py: small X11 helpers for running the intro headless and for end-to-end tests:
# a private Xvfb, finding a window, dumping a window to PNG, and holding keys/buttons through
# XTest on one open connection (the X server releases them when the connection closes).
import ctypes
import ctypes.util
import os
import re
import select
import struct
import subprocess
import time
import zlib


def can_connect(display):
    """True when the X server of `display` accepts a client connection now."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        return False
    x11.XCloseDisplay(dpy)
    return True


def start_xvfb(width=1280, height=1024, timeout=20.0):
    """Starts Xvfb on a free display number from :90 up (away from the numbers desktops and
    xvfb-run use); returns (process, ':N') once it accepts connections. Xvfb says it is ready
    by writing the number to a pipe (-displayfd); a client connection then confirms it. A
    number that another server holds (its lock file, or a socket of another file system
    root) makes Xvfb exit, and the next number is tried."""
    deadline = time.time() + timeout
    for n in range(90, 190):
        if os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
            continue
        read_end, write_end = os.pipe()
        proc = subprocess.Popen(
            ["Xvfb", f":{n}", "-displayfd", str(write_end), "-screen", "0",
             f"{width}x{height}x24", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
        os.close(write_end)
        said = b""
        try:
            while not said.endswith(b"\n") and time.time() < deadline:
                ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.time()))
                if not ready:
                    break
                part = os.read(read_end, 16)
                if not part:  # Xvfb ended before it was ready
                    break
                said += part
        finally:
            os.close(read_end)
        if said.strip():
            display = f":{int(said)}"
            while time.time() < deadline and proc.poll() is None:
                if can_connect(display):
                    return proc, display
                time.sleep(0.05)
        if proc.poll() is None:
            proc.kill()
        proc.wait()
        if time.time() >= deadline:
            break
    raise RuntimeError(f"Xvfb did not start: no display accepted a connection within {timeout:.0f} s")


def find_window(display, wm_class, timeout=10.0, only_visible=False, proc=None):
    """Returns the id of the first window whose class is wm_class (only mapped ones when
    only_visible: a program's helper windows share its class under Wine), or None. With
    `proc`, gives up as soon as that process has ended."""
    env = dict(os.environ, DISPLAY=display)
    deadline = time.time() + timeout
    visible = ["--onlyvisible"] if only_visible else []
    while time.time() < deadline:
        out = subprocess.run(["xdotool", "search"] + visible + ["--class", wm_class],
                             env=env, capture_output=True, text=True).stdout.split()
        if out:
            return int(out[0])
        if proc is not None and proc.poll() is not None:
            return None
        time.sleep(0.1)
    return None


def find_window_by_name(display, name, timeout=10.0):
    """Returns the id of the first window whose title is exactly `name`, or None."""
    env = dict(os.environ, DISPLAY=display)
    deadline = time.time() + timeout
    while True:
        out = subprocess.run(["xdotool", "search", "--name", f"^{re.escape(name)}$"],
                             env=env, capture_output=True, text=True).stdout.split()
        if out:
            return int(out[0])
        if time.time() >= deadline:
            return None
        time.sleep(0.1)


def window_png(display, window, path):
    """Dumps one window with xwd and writes it as an RGB PNG; returns (width, height, rows)."""
    env = dict(os.environ, DISPLAY=display)
    data = subprocess.run(["xwd", "-silent", "-id", str(window)], env=env,
                          capture_output=True, check=True).stdout
    fields = struct.unpack(">25I", data[:100])
    header_size, depth = fields[0], fields[3]
    width, height = fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    ncolors = fields[19]
    pixels = data[header_size + ncolors * 12:]
    if bits_per_pixel != 32 or depth not in (24, 32):
        raise RuntimeError(f"unsupported xwd format: {bits_per_pixel} bpp, depth {depth}")
    rows = []
    for y in range(height):
        line = pixels[y * bytes_per_line: y * bytes_per_line + width * 4]
        row = bytearray(width * 3)
        for x in range(width):
            px = line[x * 4: x * 4 + 4]
            if byte_order == 0:  # LSBFirst: B G R X
                row[x * 3: x * 3 + 3] = bytes((px[2], px[1], px[0]))
            else:                # MSBFirst: X R G B
                row[x * 3: x * 3 + 3] = bytes((px[1], px[2], px[3]))
        rows.append(bytes(row))
    write_png(path, width, height, rows)
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + struct.pack(">I", zlib.crc32(tag + body))
    raw = b"".join(b"\x00" + r for r in rows)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png)


class XTest:
    """One X connection through which keys and buttons stay down until released."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
        self.dpy = self.x11.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError(f"cannot open display {display}")

    def key(self, name, down):
        code = self.x11.XKeysymToKeycode(self.dpy, self.x11.XStringToKeysym(name.encode()))
        self.xtst.XTestFakeKeyEvent(self.dpy, code, 1 if down else 0, 0)
        self.x11.XFlush(self.dpy)

    def tap(self, name, hold_seconds=0.3):
        self.key(name, True)
        time.sleep(hold_seconds)
        self.key(name, False)

    def move(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.dpy, -1, x, y, 0)
        self.x11.XFlush(self.dpy)

    def button(self, number, down):
        self.xtst.XTestFakeButtonEvent(self.dpy, number, 1 if down else 0, 0)
        self.x11.XFlush(self.dpy)

    def close(self):
        if self.dpy:
            self.x11.XCloseDisplay(self.dpy)
            self.dpy = None
