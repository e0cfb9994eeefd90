#!/usr/bin/env python3
"""Soak of the real game executable: an hour of game time at the game's top speed with 500 trucks.

Runs the engine in the game folder headless (SDL's offscreen driver, OpenAL Soft's null device) on the demo
mode's fixed clock (HH_FIXED_STEP_MS, 33 ms a frame by default; the game's speed x8 makes each frame 264 ms of
game time) with bench/soak_game.nut as a '+' script: it lays roads and buildings, keeps N trucks on their
tours and prints a line every game minute. Frames follow each other as fast as they are drawn; every frame is
drawn as in play (the world, the truck inset, the HUD). VmRSS is read from /proc/<pid>/status twice a second
and taken at each game minute. Prints the table and the growth of the resident set after the warm-up.

    bench/soak_game.py build/app/harborhaven game --trucks 500 --minutes 60
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
MINUTE = re.compile(r"^soak: minute (\d+), trucks (\d+), deliveries (\d+), despawned (\d+), guests (\d+)")


def rss_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("executable")
    parser.add_argument("game")
    parser.add_argument("--trucks", type=int, default=500)
    parser.add_argument("--minutes", type=int, default=60)
    parser.add_argument("--step", type=int, default=33, help="ms of game time per frame before the speed")
    parser.add_argument("--warmup", type=int, default=5, help="game minutes before the resident set counts")
    parser.add_argument("--draw", choices=("all", "hud"), default="all",
                        help="all: every frame drawn as in play; hud: the world (and the inset) not drawn")
    args = parser.parse_args()

    with open(os.path.join(HERE, "soak_game.nut")) as f:
        script = f.read() + f"\nSoak.begin({args.trucks}, {args.minutes}, {str(args.draw == 'all').lower()});\n"
    data = tempfile.mkdtemp(prefix="hh-soak-")
    env = dict(os.environ, SDL_VIDEODRIVER="offscreen", ALSOFT_DRIVERS="null", XDG_DATA_HOME=data,
               HH_FIXED_STEP_MS=str(args.step))
    for key in ("HH_REPLAY", "HH_QUIT_AFTER", "KD_LOCALE"):
        env.pop(key, None)
    started = time.monotonic()
    process = subprocess.Popen([os.path.abspath(args.executable), "+" + script], cwd=args.game, env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
    peak = [0]
    rows = []
    log = []

    def sample():
        while process.poll() is None:
            value = rss_kib(process.pid)
            if value:
                peak[0] = max(peak[0], value)
            time.sleep(0.5)

    sampler = threading.Thread(target=sample, daemon=True)
    sampler.start()
    for line in process.stdout:
        log.append(line)
        match = MINUTE.match(line)
        if match:
            rows.append([int(g) for g in match.groups()] + [rss_kib(process.pid) or 0, time.monotonic() - started])
            r = rows[-1]
            print(f"minute {r[0]:3d}  trucks {r[1]:4d}  deliveries {r[2]:7d}  tours {r[3]:6d}  guests {r[4]:3d}  "
                  f"VmRSS {r[5]:7d} KiB  {r[6]:6.0f} s", flush=True)
    code = process.wait()
    elapsed = time.monotonic() - started
    times = os.times()
    if code != 0 or not rows or rows[-1][0] < args.minutes:
        sys.stderr.write("".join(log[-60:]))
        raise SystemExit(f"the soak did not finish (exit code {code})")
    errors = [line for line in log if "error: [" in line]
    after = [r for r in rows if r[0] >= min(args.warmup, args.minutes)]
    first, last = after[0], after[-1]
    low, high = min(r[5] for r in after), max(r[5] for r in after)
    print(f"\n{args.minutes} game minutes with {args.trucks} trucks in {elapsed:.0f} s of wall clock "
          f"({times.children_user + times.children_system:.0f} s of processor time), {last[2]} deliveries, "
          f"{last[3]} tours ended, {len(errors)} script errors")
    print(f"VmRSS from minute {first[0]} to {last[0]}: {first[5]} -> {last[5]} KiB "
          f"(range {low} ... {high} KiB, growth {last[5] - first[5]:+d} KiB); peak of the whole run {peak[0]} KiB")


if __name__ == "__main__":
    main()
