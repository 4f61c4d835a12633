"""intro-capture end to end: a short capture on the X server of the test run (Xvfb with
software OpenGL), its frames, its sound and its video, a second run's bytes, and its refusals."""
import os
import re
import resource
import shutil
import signal
import struct
import subprocess
import sys
import time
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import scene_facts  # noqa: E402
from scene_facts import RED, nonblack  # noqa: E402

CAPTURE = os.environ["CAPTURE_EXE"]
MODRENDER = os.environ["MODRENDER_EXE"]
MODULE = os.environ["INTRO_MODULE"]
PROBE = os.environ.get("VIDEO_PROBE_EXE")
WORK = os.environ.get("CAPTURE_WORK", "build/artifacts/capture")
FPS = 60
SECONDS = 3
FRAMES = FPS * SECONDS
SUMMARY = re.compile(r"intro-capture: (wrote|interrupted after|failed after) (\d+) of (\d+) frames"
                     r".*?(\d+) sound frames from music offset (\d+)")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def read_png(path):
    """The RGB rows of an 8-bit RGB PNG (any row filter)."""
    data = read(path)
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    at, idat, w, h = 8, b"", 0, 0
    while at < len(data):
        n, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + n]
        if kind == b"IHDR":
            w, h, depth, colour = struct.unpack(">IIBB", body[:10])
            assert (depth, colour) == (8, 2), "not 8-bit RGB"
        elif kind == b"IDAT":
            idat += body
        at += 12 + n
    raw, stride, rows, prev = zlib.decompress(idat), w * 3, [], bytearray(w * 3)
    for y in range(h):
        f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b, c = prev[i], prev[i - 3] if i >= 3 else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return w, h, rows


class Picture:
    def __init__(self, path):
        self.w, self.h, self.rows = read_png(path)

    def at(self, x, y):
        r = self.rows[y]
        return (r[x * 3], r[x * 3 + 1], r[x * 3 + 2])

    def count(self, x0, y0, x1, y1, pred):
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if pred(self.at(x, y)))


def wav_samples(path):
    """The data chunk of a 44.1 kHz 16-bit stereo WAV, checked against its header."""
    data = read(path)
    assert data[:4] == b"RIFF" and data[8:16] == b"WAVEfmt "
    fmt, channels, rate, _, _, bits = struct.unpack("<HHIIHH", data[20:36])
    assert (fmt, channels, rate, bits) == (1, 2, 44100, 16)
    assert data[36:40] == b"data"
    size = struct.unpack("<I", data[40:44])[0]
    assert struct.unpack("<I", data[4:8])[0] == 36 + size
    return data[44:44 + size]


def probe(path):
    out = subprocess.run([PROBE, path], check=True, capture_output=True, text=True).stdout
    streams = {}
    for line in out.splitlines():
        kind, codec, *fields = line.split()
        streams[kind] = dict(f.split("=") for f in fields)
        streams[kind]["codec"] = codec
    return streams


def capture(out, *args, stale=None, **kw):
    shutil.rmtree(out, ignore_errors=True)
    if stale:  # a frame an earlier, longer capture left behind
        os.makedirs(os.path.dirname(os.path.join(out, stale)))
        open(os.path.join(out, stale), "wb").close()
    return subprocess.run([CAPTURE, "--out", out, *args], capture_output=True, text=True,
                          timeout=600, **kw)


class CaptureTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(WORK, exist_ok=True)
        cls.first = os.path.join(WORK, "first")
        cls.second = os.path.join(WORK, "second")
        args = ["--seconds", str(SECONDS), "--fps", str(FPS)]
        cls.runs = []
        for out, video, stale in ((cls.first, "v.mp4", None),
                                  (cls.second, "v.mkv", "frames/000900.png")):
            video_args = ["--video", os.path.join(out, video)] if PROBE else []
            cls.runs.append(capture(out, *args, *video_args, stale=stale))

    def summary(self, run):
        self.assertEqual(run.returncode, 0, run.stderr)
        m = SUMMARY.search(run.stdout)
        self.assertIsNotNone(m, run.stdout)
        return m

    def test_frames_fade_in_and_show_the_scene(self):
        m = self.summary(self.runs[0])
        self.assertEqual((m.group(1), int(m.group(2)), int(m.group(3))), ("wrote", FRAMES, FRAMES))
        frames = sorted(os.listdir(os.path.join(self.first, "frames")))
        self.assertEqual(frames, ["%06d.png" % i for i in range(FRAMES)])
        # The 800 ms fade-in of the black window takes frames 0-47; frame 48 is the first
        # presented picture.
        frame = lambda i: Picture(os.path.join(self.first, "frames", frames[i]))
        first = frame(0)
        self.assertEqual((first.w, first.h), (800, 600))
        self.assertEqual(first.count(0, 0, 800, 600, nonblack), 0, "frame 0 is not black")
        self.assertEqual(frame(47).count(0, 0, 800, 600, nonblack), 0, "the fade-in shows a picture")
        self.assertGreater(frame(48).count(0, 0, 800, 600, nonblack), 10000, "no scene after the fade-in")
        pic = frame(2 * FPS)
        scene_facts.assert_scene(self, pic, scroller=False)
        # The last frame is the end of the fade-out: dimmer than the scene, not yet black.
        last = frame(FRAMES - 1)
        self.assertEqual(last.count(0, 50, 800, 52, lambda p: p == RED), 0)
        self.assertGreater(last.count(0, 0, 800, 600, nonblack), 0)

    def test_sound_is_the_module_from_the_reported_offset(self):
        m = self.summary(self.runs[0])
        offset, frames = int(m.group(5)), int(m.group(4))
        self.assertEqual(frames, FRAMES * 44100 // FPS)
        sound = wav_samples(os.path.join(self.first, "audio.wav"))
        self.assertEqual(len(sound), frames * 4)
        ref = os.path.join(WORK, "reference.wav")
        subprocess.run([MODRENDER, "--seconds", str(SECONDS + 2), MODULE, ref], check=True,
                       capture_output=True)
        reference = wav_samples(ref)
        self.assertEqual(sound, reference[offset * 4:offset * 4 + len(sound)])

    def test_a_second_run_is_byte_identical(self):
        for run in self.runs:
            self.summary(run)
        self.assertEqual(sorted(os.listdir(os.path.join(self.second, "frames"))),
                         ["%06d.png" % i for i in range(FRAMES)], "an earlier capture's frame is left")
        for name in ["audio.wav"] + ["frames/%06d.png" % i for i in range(FRAMES)]:
            same = read(os.path.join(self.first, name)) == read(os.path.join(self.second, name))
            self.assertTrue(same, f"{name} differs between two runs")

    @unittest.skipUnless(PROBE, "built without FFmpeg's libraries")
    def test_videos_have_every_frame_and_as_much_sound(self):
        for out, name, codecs in ((self.first, "v.mp4", ("h264", "aac")),
                                  (self.second, "v.mkv", ("ffv1", "flac"))):
            with self.subTest(name):
                streams = probe(os.path.join(out, name))
                v, a = streams["video"], streams["audio"]
                self.assertEqual((v["codec"], a["codec"]), codecs)
                self.assertEqual(int(v["frames"]), FRAMES)
                self.assertEqual(v["rate"], f"{FPS}/1")
                self.assertEqual(v["size"], "800x600")
                self.assertAlmostEqual(float(v["seconds"]), SECONDS, delta=0.5 / FPS)
                self.assertAlmostEqual(float(a["seconds"]), float(v["seconds"]), delta=0.025)
                self.assertFalse(os.path.exists(os.path.join(out, name + ".part")))

    def test_bad_command_lines_are_refused(self):
        out = os.path.join(WORK, "refused")
        for args, code, text in (
                (["--frames", "3"], 2, "unknown option '--frames'"),
                (["--seconds"], 2, "--seconds needs a value"),
                (["--fps", "59.94"], 2, "--fps needs a whole number"),
                (["--seconds", "-1"], 2, "--seconds needs a number"),
                (["--video", os.path.join(out, "v.avi")], 1, "use .mp4 or .mkv"),
        ):
            with self.subTest(args=args):
                run = capture(out, *args)
                self.assertEqual(run.returncode, code, run.stderr)
                self.assertIn(text, run.stderr)
                self.assertFalse(os.path.exists(os.path.join(out, "frames", "000000.png")))
        blocker = os.path.join(WORK, "a-file")
        open(blocker, "w").close()
        run = capture(os.path.join(blocker, "out"), "--seconds", "1")
        self.assertEqual(run.returncode, 1)
        self.assertIn("cannot create folder", run.stderr)

    def test_a_full_disk_fails_without_a_complete_looking_video(self):
        out = os.path.join(WORK, "full")
        video = os.path.join(out, "v.mkv") if PROBE else None

        def small_files():  # every write past 200 kB fails, as on a full disk
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (200000, 200000))
        run = capture(out, "--seconds", "10", *(["--video", video] if video else []),
                      preexec_fn=small_files)
        self.assertEqual(run.returncode, 1, run.stdout)
        self.assertIn("cannot write", run.stderr)
        m = SUMMARY.search(run.stdout)
        self.assertEqual(m.group(1), "failed after")
        if video:
            self.assertFalse(os.path.exists(video))
            self.assertFalse(os.path.exists(video + ".part"))
        sound = wav_samples(os.path.join(out, "audio.wav"))  # its header matches its data
        self.assertLess(len(sound), 200000)

    def test_ctrl_c_finishes_what_was_written(self):
        out = os.path.join(WORK, "interrupted")
        shutil.rmtree(out, ignore_errors=True)
        args = [CAPTURE, "--out", out, "--seconds", "60"]
        if PROBE:
            args += ["--video", os.path.join(out, "v.mp4")]
        proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        frames = os.path.join(out, "frames")
        deadline = time.time() + 120
        while time.time() < deadline and not os.path.exists(os.path.join(frames, "000060.png")):
            time.sleep(0.1)
        proc.send_signal(signal.SIGINT)
        stdout, stderr = proc.communicate(timeout=120)
        self.assertEqual(proc.returncode, 130, stderr)
        m = SUMMARY.search(stdout)
        self.assertEqual(m.group(1), "interrupted after", stdout)
        written = int(m.group(2))
        self.assertEqual(len([f for f in os.listdir(frames) if f.endswith(".png")]), written)
        self.assertEqual(len(wav_samples(os.path.join(out, "audio.wav"))), written * 735 * 4)
        if PROBE:
            self.assertEqual(int(probe(os.path.join(out, "v.mp4"))["video"]["frames"]), written)


if __name__ == "__main__":
    unittest.main()
