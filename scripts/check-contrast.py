#!/usr/bin/python3
"""Reads the windows' pictures taken by zaq_screenshots under the light
default and under dark desktops, and checks every text of the four windows
by its pixels: each fixed text colour is there exactly, each fixed surface
too, and each text reads on what is behind it at least as well as under the
light default, or reaches WCAG 2's 4.5:1 (3:1 for 14 pt bold and larger).

Usage: check-contrast.py LIGHT-DIR NAME=DIR...   (each DIR holds NAME.png and NAME.places)
Fails at the first text that does not read, naming it and its figures.
"""
import subprocess
import sys
from collections import Counter

BLUE, MAGENTA, PURPLE, RED, BLACK = (0, 0, 255), (255, 0, 255), (192, 0, 192), (255, 0, 0), (0, 0, 0)
GREY, FIELD = (192, 192, 192), (192, 192, 0)
LARGE = 3.0  # 14 pt bold and larger
NORMAL = 4.5
# window: control -> (text colour or None for the desktop's, surface or None for the desktop's, needed ratio)
TEXTS = {
    "setup": {"Label1": (BLUE, None, NORMAL), "Label2": (BLUE, None, NORMAL), "Label3": (MAGENTA, None, NORMAL),
              "Label4": (MAGENTA, None, LARGE), "RemIP": (MAGENTA, FIELD, NORMAL), "PortNum": (RED, FIELD, NORMAL),
              "UserName": (BLACK, FIELD, NORMAL)},
    "chat": {"Welcome": (BLUE, GREY, LARGE), "Label1": (PURPLE, GREY, NORMAL), "Status": (None, GREY, NORMAL)},
    "help": {"Label1": (BLUE, None, NORMAL)},
    "about": {"Label2": (PURPLE, None, NORMAL), "Label1": (BLUE, None, LARGE)},
}


def fail(message):
    print(f"check-contrast: FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def luminance(rgb):
    def channel(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (channel(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)))
    return (lb + 0.05) / (la + 0.05)


def load(folder, window):
    size = subprocess.run(["identify", "-format", "%w %h", f"{folder}/{window}.png"], check=True,
                          capture_output=True, text=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    raw = subprocess.run(["convert", f"{folder}/{window}.png", "-depth", "8", "rgb:-"], check=True,
                         capture_output=True).stdout
    places = {}
    for line in open(f"{folder}/{window}.places"):
        name, x, y, w, h = line.split()
        places[name] = (int(x), int(y), int(w), int(h))
    return width, raw, places


def measure(folder, window, name, text, surface):
    """(text colour, surface, ratio) of one control's picture."""
    width, raw, places = load(folder, window)
    if name not in places:
        fail(f"{folder}: no {name} in the {window} window")
    x, y, w, h = places[name]
    pixels = Counter(tuple(raw[((y + r) * width + x + c) * 3:((y + r) * width + x + c) * 3 + 3])
                     for r in range(h) for c in range(w))
    back = pixels.most_common(1)[0][0]
    if surface and back != surface:
        fail(f"{folder}: {window} {name} stands on {back}, not on its fixed {surface}")
    if text:
        if text not in pixels:
            fail(f"{folder}: {window} {name}: no pixel of its fixed colour {text}")
        ink = text
    else:
        ink = max(pixels, key=lambda p: contrast(p, back))
    return ink, back, contrast(ink, back)


def main():
    if len(sys.argv) < 3:
        fail(__doc__)
    light = sys.argv[1]
    for desktop in sys.argv[2:]:
        label, folder = desktop.split("=", 1)
        for window, controls in TEXTS.items():
            for name, (text, surface, needed) in controls.items():
                _, _, before = measure(light, window, name, text, surface)
                ink, back, ratio = measure(folder, window, name, text, surface)
                ok = ratio >= needed or ratio >= before - 0.01
                print(f"  {'ok' if ok else 'FAIL'}  {label}: {window} {name} {ink} on {back} "
                      f"{ratio:.2f}:1 (light default {before:.2f}:1, needed {needed}:1)")
                if not ok:
                    fail(f"{label}: {window} {name} reads {ratio:.2f}:1")
    print("check-contrast: every text reads")


if __name__ == "__main__":
    main()
