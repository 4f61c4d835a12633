# scripts/frame_meter.py: counts a window's presented frames from another X client, through the
# DAMAGE extension. On Xvfb each buffer swap of a GL window damages it once; the meter takes
# each report and clears it (so the next swap reports again) and keeps the arrival times.
# Needs nothing from the program being measured. Used by scripts/frame-meter and scripts/soak.
import ctypes
import ctypes.util
import select
import time

DAMAGE_REPORT_NON_EMPTY = 3


class _XEvent(ctypes.Structure):
    # XDamageNotifyEvent fits in the 192-byte XEvent union; only its type is read.
    _fields_ = [("type", ctypes.c_int), ("pad", ctypes.c_long * 24)]


class FrameMeter:
    """Counts damage reports of one window; poll() takes what has arrived so far."""

    def __init__(self, display, window):
        self.x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.xdamage = ctypes.CDLL(ctypes.util.find_library("Xdamage") or "libXdamage.so.1")
        x, d = self.x11, self.xdamage
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        x.XPending.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        d.XDamageQueryExtension.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                            ctypes.POINTER(ctypes.c_int)]
        d.XDamageCreate.restype = ctypes.c_ulong
        d.XDamageCreate.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]
        d.XDamageSubtract.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                      ctypes.c_ulong]
        d.XDamageDestroy.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.dpy = x.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError(f"cannot open display {display}")
        event_base, error_base = ctypes.c_int(), ctypes.c_int()
        if not d.XDamageQueryExtension(self.dpy, ctypes.byref(event_base), ctypes.byref(error_base)):
            x.XCloseDisplay(self.dpy)
            raise RuntimeError("the X server has no DAMAGE extension")
        self.notify = event_base.value  # XDamageNotify is the extension's first event
        self.damage = d.XDamageCreate(self.dpy, window, DAMAGE_REPORT_NON_EMPTY)
        x.XSync(self.dpy, 0)
        self.fd = x.XConnectionNumber(self.dpy)
        self.times = []  # arrival time of every report, time.monotonic() seconds

    def poll(self, timeout_s):
        """Waits up to timeout_s for reports and records every report that has arrived."""
        end = time.monotonic() + timeout_s
        while True:
            while self.x11.XPending(self.dpy):
                ev = _XEvent()
                self.x11.XNextEvent(self.dpy, ctypes.byref(ev))
                if ev.type == self.notify:
                    self.times.append(time.monotonic())
                    self.xdamage.XDamageSubtract(self.dpy, self.damage, 0, 0)
                    self.x11.XFlush(self.dpy)
            left = end - time.monotonic()
            if left <= 0:
                return
            select.select([self.fd], [], [], left)

    def close(self):
        if self.dpy:
            self.xdamage.XDamageDestroy(self.dpy, self.damage)
            self.x11.XCloseDisplay(self.dpy)
            self.dpy = None


def summary(times, seconds):
    """(frames, frames per second, 99th-percentile interval in ms) of the arrival times of
    the frames counted over `seconds`."""
    gaps = sorted(b - a for a, b in zip(times, times[1:]))
    p99 = gaps[min(len(gaps) - 1, int(len(gaps) * 0.99))] if gaps else 0.0
    return len(times), len(times) / seconds, p99 * 1000.0


def intervals(times):
    """(median, 99th-percentile, longest) interval between the frames at `times`, in ms."""
    gaps = sorted(b - a for a, b in zip(times, times[1:]))
    if not gaps:
        return 0.0, 0.0, 0.0
    at = lambda q: gaps[min(len(gaps) - 1, int(len(gaps) * q))] * 1000.0  # noqa: E731
    return at(0.5), at(0.99), gaps[-1] * 1000.0


def measure(display, window, seconds):
    """Counts the window's frames for `seconds`; returns summary() of them."""
    meter = FrameMeter(display, window)
    try:
        meter.poll(seconds)
    finally:
        meter.close()
    return summary(meter.times, seconds)
