#!/usr/bin/env python3
"""Times whole processes on the same 2000 x 2000 24-bit BMP, side by side in one run: zelta-logo-tool
making a 576-dot, diffused, two-colour NV packet; ImageMagick (convert -resize 576x -dither
FloydSteinberg -monochrome); and a Node.js process running the npm encoder
@point-of-sale/receipt-printer-encoder (image() with floydsteinberg). Rounds alternate between the
tools; the median wall time of each is reported with the ratios to ours.

Usage: bench/compare_speed.py [--build DIR] [--rounds N] [--input IN.bmp]
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def run(cmd):
    """Starts cmd with posix_spawn (the cheapest way to start a process from here) and waits for it."""
    pid = os.posix_spawnp(cmd[0], cmd, os.environ)
    _, status = os.waitpid(pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit(f"{cmd[0]} failed")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    ap.add_argument("--rounds", type=int, default=15)
    ap.add_argument("--input", default=os.path.join(HERE, "out", "inputs", "logo.bmp"))
    args = ap.parse_args()
    if not os.path.exists(args.input):
        subprocess.run([os.path.join(HERE, "make_inputs.sh")], check=True, stdout=subprocess.DEVNULL)
    if not os.path.isdir(os.path.join(HERE, "node_modules", "@point-of-sale", "receipt-printer-encoder")):
        subprocess.run(["npm", "install", "--prefix", HERE, "--no-save", "--no-package-lock",
                        "@point-of-sale/receipt-printer-encoder"], check=True, stdout=subprocess.DEVNULL)
    out = os.path.join(HERE, "out", "speed")
    os.makedirs(out, exist_ok=True)
    tool = os.path.join(os.path.abspath(args.build), "bin", "zelta-logo-tool")
    commands = {
        "zelta-logo-tool": [tool, "prepare", args.input, "--width", "576", "--fit", "--color", "two",
                            "--diffusion", "--out", os.path.join(out, "ours.bmp"),
                            "--packet", os.path.join(out, "ours.bin"), "--key", "01"],
        "imagemagick": ["convert", args.input, "-resize", "576x", "-dither", "FloydSteinberg", "-monochrome",
                        os.path.join(out, "im.pbm")],
        "npm-encoder": ["node", os.path.join(HERE, "npm_encode.mjs"), args.input, "576", "floydsteinberg",
                        os.path.join(out, "npm.pbm")],
    }
    times = {name: [] for name in commands}
    for name, cmd in commands.items():  # one warm-up run each (page cache, JIT caches)
        run(cmd)
    for _ in range(args.rounds):
        for name, cmd in commands.items():
            start = time.perf_counter()
            run(cmd)
            times[name].append(time.perf_counter() - start)
    start = time.perf_counter()
    for _ in range(args.rounds):
        run(["true"])
    empty = (time.perf_counter() - start) / args.rounds
    ours = statistics.median(times["zelta-logo-tool"])
    print(f"input: {args.input}, {args.rounds} rounds, median wall time per process")
    for name, t in times.items():
        print(f"  {name:16s} {statistics.median(t) * 1000:9.1f} ms   {statistics.median(t) / ours:6.1f}x ours")
    print(f"  (starting an empty process takes {empty * 1000:.1f} ms here)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
