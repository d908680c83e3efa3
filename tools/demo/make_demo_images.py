#!/usr/bin/env python3
"""Writes the demo application's icon (app.ico) and splash image (splash.png) into a directory."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources"))
import image_files  # noqa: E402

W, H = 400, 240


def splash(x, y):
    # A blue-to-teal gradient with a bright band and rounded, transparent corners.
    r = 16
    cx = r if x < r else W - 1 - r if x > W - 1 - r else x
    cy = r if y < r else H - 1 - r if y > H - 1 - r else y
    if (x - cx) ** 2 + (y - cy) ** 2 > r * r:
        return (0, 0, 0, 0)
    if 96 <= y < 140:
        return (250, 200, 0, 255)
    return (20 + x * 40 // W, 60 + y * 100 // H, 140 + x * 60 // W, 255)


def icon(size):
    def pixel(x, y):
        edge = max(1, size // 8)
        if x < edge or y < edge or x >= size - edge or y >= size - edge:
            return (250, 200, 0, 255)
        return (30, 90, 170, 255)
    return pixel


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "splash.png"), "wb") as f:
        f.write(image_files.png(W, H, splash))
    with open(os.path.join(out, "app.ico"), "wb") as f:
        f.write(image_files.ico([(16, icon(16)), (32, icon(32)), (48, icon(48))]))


if __name__ == "__main__":
    main()
