#!/usr/bin/env python3
"""Regenerates Korvel's artwork: the start button's two faces and the application icon.

The PNG files it writes are committed; the build only embeds them, so this script (and the
ImageMagick `convert` it drives) is needed only to change the artwork. Every picture is drawn at
eight times its size and scaled down, which gives anti-aliased edges.
"""
import math
import pathlib
import subprocess

HERE = pathlib.Path(__file__).resolve().parent
SCALE = 8
BLADES = ["#e53935", "#fdd835", "#43a047", "#1e88e5"]  # red, yellow, green, blue
HUB = "#37474f"
TEXT = "#263238"
ICON_SIZES = [16, 24, 32, 48, 64, 96, 128, 256]


def pinwheel(cx, cy, r):
    """ImageMagick draw primitives for a four-blade pinwheel centred on (cx, cy)."""
    prims = []
    for k, colour in enumerate(BLADES):
        a = math.radians(90 * k)

        def at(x, y):
            return (cx + x * math.cos(a) - y * math.sin(a), cy + x * math.sin(a) + y * math.cos(a))

        blade = [at(0, 0), at(0, -r), at(r * 0.78, -r * 0.42)]
        fold = [at(0, 0), at(r * 0.78, -r * 0.42), at(r * 0.28, -r * 0.5)]
        prims.append(f"fill '{colour}' polygon " + " ".join(f"{x:.1f},{y:.1f}" for x, y in blade))
        prims.append("fill 'rgba(0,0,0,0.22)' polygon " + " ".join(f"{x:.1f},{y:.1f}" for x, y in fold))
    prims.append(f"fill '{HUB}' circle {cx:.1f},{cy:.1f} {cx + r * 0.13:.1f},{cy:.1f}")
    return " ".join(prims)


def render(width, height, draw, out, text=None):
    w, h = width * SCALE, height * SCALE
    cmd = ["convert", "-size", f"{w}x{h}", "xc:none", "-draw", draw]
    if text:
        cmd += ["-font", "DejaVu-Sans-Bold", "-pointsize", str(15 * SCALE), "-fill", TEXT,
                "-annotate", f"+{38 * SCALE}+{24 * SCALE}", text]
    cmd += ["-resize", f"{width}x{height}", "-depth", "8", "-define", "png:color-type=6",
            "-strip", str(out)]
    subprocess.run(cmd, check=True)


def main():
    face = pinwheel(19 * SCALE, 18.5 * SCALE, 15 * SCALE)
    render(97, 37, face, HERE / "button_render.png", "Render")
    render(97, 37, face, HERE / "button_quit.png", "Quit")
    for size in ICON_SIZES:
        c = size * SCALE / 2
        render(size, size, pinwheel(c, c, c * 0.96), HERE / "icons" / f"korvel_{size}.png")


if __name__ == "__main__":
    main()
