#!/usr/bin/env python3
"""Launch to first frame of the sample game, headless.

Runs the engine executable N times in the game folder through SDL's offscreen driver (audio on OpenAL Soft's
null driver), each run ending after its first frame (--frames=1). The launch time is taken on the monotonic
clock just before the process is started; HH_FIRST_FRAME_CLOCK makes the renderer log the same clock once the
first frame is presented and finished, with the processor time the process (all its threads) used until
then. Prints each run and the median, minimum and maximum in ms.

    bench/startup_time.py -n 21 build/app/harborhaven game

The whole run to exit is printed beside it (shutdown included). Use a Release-like build on a machine as idle
as possible: a busy machine lengthens the wall-clock figures (the processor time much less).
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import time

FIRST_FRAME = re.compile(r"First frame presented at (\d+) us on the monotonic clock, (\d+) us of processor time")


def run_once(executable, folder, extra):
    env = dict(os.environ, SDL_VIDEODRIVER="offscreen", ALSOFT_DRIVERS="null", HH_FIRST_FRAME_CLOCK="1")
    start = time.monotonic_ns()
    done = subprocess.run([executable, "--frames=1"] + extra, cwd=folder, env=env, capture_output=True,
                          text=True, errors="replace")
    end = time.monotonic_ns()
    match = FIRST_FRAME.search(done.stdout + done.stderr)
    if match is None:
        sys.stderr.write(done.stdout + done.stderr)
        raise SystemExit(f"no first frame reported (exit code {done.returncode})")
    return (int(match.group(1)) * 1000 - start) / 1e6, int(match.group(2)) / 1e3, (end - start) / 1e6


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("-n", type=int, default=11, help="runs (default 11)")
    parser.add_argument("executable")
    parser.add_argument("folder", help="the game folder (working folder of the run)")
    parser.add_argument("extra", nargs="*", help="more arguments for the executable")
    args = parser.parse_args()
    executable = os.path.abspath(args.executable)
    first, cpu, whole = [], [], []
    for i in range(args.n):
        f, c, w = run_once(executable, args.folder, args.extra)
        first.append(f)
        cpu.append(c)
        whole.append(w)
        print(f"run {i + 1}: first frame {f:.1f} ms ({c:.1f} ms of processor time), exit {w:.1f} ms")
    for name, values in (("first frame", first), ("processor time to it", cpu), ("exit", whole)):
        print(f"{name}: median {statistics.median(values):.1f} ms, min {min(values):.1f}, max {max(values):.1f}")


if __name__ == "__main__":
    main()
