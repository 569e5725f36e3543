#!/usr/bin/env python3
"""Shows the LCD stand-in's latest frame live in the terminal.

Two pixel rows per character cell (upper and lower half blocks), refreshed
four times a second from latest.pgm in the stand-in's output folder. Keys 1
to 4 press the soft buttons (written to buttons.txt), 0 presses buttons 3
and 4 together, q quits. Without a terminal on standard input it runs for
--seconds and prints a frame once a second. It ends by itself when the
process --pid ends. The latest frame is kept as a PNG (1:1 and enlarged 4x),
except the blank one the applet sends when it ends.
"""
import argparse
import os
import select
import struct
import sys
import time
import zlib

WIDTH, HEIGHT = 160, 43
BUTTONS = {"1": 1, "2": 2, "3": 4, "4": 8, "0": 12}


def read_pgm(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return None
    header = data.split(maxsplit=4)
    if len(header) < 5 or header[0] != b"P5" or int(header[1]) != WIDTH or int(header[2]) != HEIGHT:
        return None
    pixels = header[4]
    return pixels[:WIDTH * HEIGHT] if len(pixels) >= WIDTH * HEIGHT else None


def to_text(pixels):
    """Ink (black pixels) as block characters, with a frame around the LCD."""
    lines = ["+" + "-" * WIDTH + "+"]
    for y in range(0, HEIGHT, 2):
        row = []
        for x in range(WIDTH):
            top = pixels[y * WIDTH + x] < 128
            bottom = y + 1 < HEIGHT and pixels[(y + 1) * WIDTH + x] < 128
            row.append("\u2588" if top and bottom else "\u2580" if top else "\u2584" if bottom else " ")
        lines.append("|" + "".join(row) + "|")
    lines.append("+" + "-" * WIDTH + "+")
    return lines


def write_png(path, pixels, scale):
    rows = b"".join(
        b"\0" + bytes(pixels[y * WIDTH + x] for x in range(WIDTH) for _ in range(scale))
        for y in range(HEIGHT) for _ in range(scale))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH * scale, HEIGHT * scale, 8, 0, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(png)
    os.replace(tmp, path)


def press(out, mask):
    tmp = os.path.join(out, "buttons.view.tmp")
    with open(tmp, "w") as f:
        f.write(f"{mask}\n")
    os.replace(tmp, os.path.join(out, "buttons.txt"))


def alive(pid):
    if not pid:
        return True
    try:
        os.kill(pid, 0)
        return True
    except ProcessLookupError:
        return False
    except PermissionError:
        return True


def save(args, pixels):
    # The all-black picture that blanks the LCD when the applet ends is not
    # worth keeping over the last real one.
    if pixels is not None and args.png and any(pixels):
        write_png(args.png, pixels, 1)
        root, ext = os.path.splitext(args.png)
        write_png(root + "-x4" + ext, pixels, 4)


def run_terminal(args):
    import termios
    import tty
    fd = sys.stdin.fileno()
    saved = termios.tcgetattr(fd)
    tty.setcbreak(fd)
    pixels, status = None, "waiting for the first frame"
    sys.stdout.write("\x1b[?25l\x1b[2J")
    try:
        while alive(args.pid):
            frame = read_pgm(os.path.join(args.out, "latest.pgm"))
            if frame is not None and frame != pixels:
                pixels = frame
                save(args, pixels)
                status = "live"
            lines = to_text(pixels) if pixels is not None else []
            sys.stdout.write("\x1b[H" + "\n".join(lines) + "\n\x1b[K"
                             + f"keys: 1-4 soft buttons, 0 buttons 3+4, q quit   [{status}]\n")
            sys.stdout.flush()
            ready, _, _ = select.select([sys.stdin], [], [], 0.25)
            if ready:
                key = os.read(fd, 1).decode(errors="replace")
                if key in ("q", "Q"):
                    break
                if key in BUTTONS:
                    press(args.out, BUTTONS[key])
                    status = f"pressed {key}"
    except KeyboardInterrupt:
        pass
    finally:
        termios.tcsetattr(fd, termios.TCSADRAIN, saved)
        sys.stdout.write("\x1b[?25h\n")
    return pixels


def run_plain(args):
    pixels, last_print = None, 0.0
    end = time.monotonic() + args.seconds
    try:
        while time.monotonic() < end and alive(args.pid):
            frame = read_pgm(os.path.join(args.out, "latest.pgm"))
            if frame is not None and frame != pixels:
                pixels = frame
                save(args, pixels)
            if pixels is not None and time.monotonic() - last_print >= 1.0:
                print("\n".join(to_text(pixels)), flush=True)
                last_print = time.monotonic()
            time.sleep(0.25)
    except KeyboardInterrupt:
        pass
    return pixels


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--out", required=True, help="the LCD stand-in's output folder")
    parser.add_argument("--png", help="keep the latest frame here (PNG)")
    parser.add_argument("--pid", type=int, default=0, help="end when this process ends")
    parser.add_argument("--seconds", type=float, default=10, help="running time without a terminal")
    args = parser.parse_args()
    pixels = run_terminal(args) if sys.stdin.isatty() else run_plain(args)
    if pixels is None:
        print("no frame was received", file=sys.stderr)
        return 1
    save(args, pixels)
    return 0


if __name__ == "__main__":
    sys.exit(main())
