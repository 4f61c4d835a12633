#!/usr/bin/env python3
# scripts/headless_run.py EXE: runs the intro on a private virtual X server for about eight
# seconds, saves out/screenshot.png, presses Escape and prints the exit code.
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xtools  # noqa: E402


def main():
    exe = sys.argv[1]
    shot = os.path.join(os.getcwd(), "out", "screenshot.png")
    xvfb, display = xtools.start_xvfb()
    try:
        env = dict(os.environ, DISPLAY=display)
        if not os.path.exists("/dev/snd"):
            # No sound card here: run silent without the audio drivers' complaints.
            env.setdefault("SDL_AUDIODRIVER", "dummy")
        print(f"run-intro: no display; running {exe} on a virtual X server {display}")
        # The intro's stderr is kept, so that a run that ends before its window shows can say
        # why; it is passed on at the end either way.
        err = tempfile.TemporaryFile()
        intro = subprocess.Popen([exe], env=env, stderr=err)

        def pass_stderr():
            err.seek(0)
            text = err.read().decode(errors="replace")
            if text:
                sys.stderr.write(text if text.endswith("\n") else text + "\n")

        window = xtools.find_window(display, "WindowClass_0", timeout=30, proc=intro)
        if window is None:
            if intro.poll() is not None:
                print(f"run-intro: the intro exited with code {intro.returncode} before its "
                      "window showed; its stderr follows", file=sys.stderr)
            else:
                print("run-intro: the intro opened no window in 30 s", file=sys.stderr)
                intro.kill()
                intro.wait()
            pass_stderr()
            return 1
        time.sleep(8)  # the caption animation starts 4-5 s after set-up
        try:
            w, h, _ = xtools.window_png(display, window, shot)
            print(f"run-intro: saved {shot} ({w} x {h})")
        except Exception as e:  # keep going: the exit code still matters
            print(f"run-intro: no screenshot: {e}", file=sys.stderr)
        keys = xtools.XTest(display)
        keys.tap("Escape", 0.3)
        try:
            code = intro.wait(timeout=15)
        except subprocess.TimeoutExpired:
            intro.kill()
            intro.wait()
            pass_stderr()
            print("run-intro: the intro did not exit after Escape", file=sys.stderr)
            return 1
        finally:
            keys.close()
        pass_stderr()
        print(f"run-intro: exit code {code}")
        return 0 if code == 0 else 1
    finally:
        xvfb.terminate()
        xvfb.wait()


if __name__ == "__main__":
    sys.exit(main())
