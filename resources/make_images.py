#!/usr/bin/env python3
"""Rasterise the SVG sources in this folder into the PNGs used by the program.

Usage (from the repository root):
    python3 resources/make_images.py

Needs rsvg-convert (Debian: librsvg2-bin) and, for the lettering in
title.svg, the IPAGothic font (Debian: fonts-ipafont-gothic).
Standard library only.
"""
import shutil
import struct
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent

# (source svg, output png, width, height)
TARGETS = [
    ("title.svg", "title.png", 312, 69),
    ("panel.svg", "panel.png", 64, 64),
    ("app_icon.svg", "app_icon.png", 32, 32),
    ("app_icon_small.svg", "app_icon_16.png", 16, 16),
    ("app_icon.svg", "app_icon_32.png", 32, 32),
    ("app_icon.svg", "app_icon_48.png", 48, 48),
    ("app_icon.svg", "app_icon_64.png", 64, 64),
    ("app_icon.svg", "app_icon_128.png", 128, 128),
    ("app_icon.svg", "app_icon_256.png", 256, 256),
    ("icon_reset.svg", "icon_reset.png", 32, 32),
    ("icon_help.svg", "icon_help.png", 32, 32),
    ("icon_companion.svg", "icon_companion.png", 32, 32),
    ("icon_exit.svg", "icon_exit.png", 32, 32),
]
# The pictures the windows show, again at twice the size, for screens that
# scale by more than 1 (Qt picks "name@2x.png" beside "name.png").
TARGETS += [(src, out.replace(".png", "@2x.png"), 2 * w, 2 * h) for src, out, w, h in TARGETS
            if out in ("title.png", "panel.png", "app_icon.png", "icon_reset.png",
                       "icon_help.png", "icon_companion.png", "icon_exit.png")]


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise ValueError(f"{path} is not a PNG file")
    return struct.unpack(">II", head[16:24])


def font_available(family):
    if shutil.which("fc-list") is None:
        return False
    out = subprocess.run(["fc-list", family], capture_output=True, text=True).stdout
    return bool(out.strip())


def main():
    rsvg = shutil.which("rsvg-convert")
    if rsvg is None:
        sys.exit("rsvg-convert not found (apt-get install librsvg2-bin)")
    if not font_available("IPAGothic"):
        print("warning: IPAGothic font not found; the lettering in title.png "
              "will fall back to another font (apt-get install fonts-ipafont-gothic)",
              file=sys.stderr)
    failed = False
    for src, out, w, h in TARGETS:
        subprocess.run([rsvg, "-w", str(w), "-h", str(h), "-f", "png",
                        "-o", str(HERE / out), str(HERE / src)], check=True)
        got = png_size(HERE / out)
        status = "ok" if got == (w, h) else f"WRONG SIZE {got[0]}x{got[1]}"
        failed |= got != (w, h)
        print(f"{out:22s} {w}x{h}  from {src}  {status}")
    if failed:
        sys.exit(1)


if __name__ == "__main__":
    main()
