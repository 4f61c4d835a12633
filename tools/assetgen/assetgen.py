#!/usr/bin/env python3
# tools/assetgen/assetgen.py: draws, composes and writes every asset the intro embeds.
#
#   python3 tools/assetgen/assetgen.py            write the assets into assets/
#   python3 tools/assetgen/assetgen.py --out DIR  write them into DIR instead
#   python3 tools/assetgen/assetgen.py --check    compare with the committed files; exit 1 on
#                                                 any difference
#
# Output is deterministic: the same generator always writes the same bytes.
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import effect       # noqa: E402
import images       # noqa: E402
import music        # noqa: E402
import scrolltext   # noqa: E402

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))


def build_all():
    """Returns {path under assets/: bytes} for every generated file."""
    files = images.build_all()
    files["music/intro.xm"] = music.module()
    files["effect/crystals.fx"] = effect.file_text().encode("ascii")
    files["scrolltext.txt"] = scrolltext.text().encode("ascii")
    return files


def main():
    parser = argparse.ArgumentParser(description="Writes or checks the intro's assets.")
    parser.add_argument("--out", default=os.path.join(ROOT, "assets"))
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    files = build_all()
    if args.check:
        bad = 0
        for name, data in sorted(files.items()):
            path = os.path.join(args.out, name)
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                print("assetgen: %s differs from what the generator writes" % path)
                bad += 1
        print("assetgen: %d of %d files match" % (len(files) - bad, len(files)))
        return 1 if bad else 0
    for name, data in sorted(files.items()):
        path = os.path.join(args.out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        print("%-26s %6d bytes" % (name, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
