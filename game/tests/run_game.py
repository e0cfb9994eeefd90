#!/usr/bin/env python3
"""End-to-end runs of the real engine executable on the sample game (SDL's offscreen driver, OpenAL's null
device): the scripted demo with its screenshots compared to golden images and a save reloaded into fresh
objects, and the checks replay that drives the rest of the script surface. Usage:

    run_game.py demo   EXE GAME_FOLDER   # play, compare, save, reload, compare the state hash
    run_game.py checks EXE GAME_FOLDER   # every check ok, '+' scripts, German texts, an HTTP file on loopback

HH_UPDATE_GOLDEN=1 rewrites the golden images from this run."""
import http.server
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
GOLDEN = os.path.join(HERE, "golden")


def run(exe, game, data, replay=None, step=None, args=(), env_extra=None, timeout=600):
    env = dict(os.environ)
    env.update({"XDG_DATA_HOME": data, "SDL_VIDEODRIVER": "offscreen", "ALSOFT_DRIVERS": "null"})
    for key in ("HH_REPLAY", "HH_FIXED_STEP_MS", "HH_QUIT_AFTER", "KD_LOCALE", "HH_TEST_URL"):
        env.pop(key, None)
    if replay:
        env["HH_REPLAY"] = os.path.join(game, "demo", replay)
    if step:
        env["HH_FIXED_STEP_MS"] = str(step)
    env.update(env_extra or {})
    result = subprocess.run([exe, *args], cwd=game, env=env, capture_output=True, text=True, timeout=timeout)
    return result.returncode, result.stdout + result.stderr


def read_png(path):
    """The pixels of an 8-bit RGBA PNG as the game writes them (filter 0 rows): (width, height, bytes)."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour == 6, path
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 4 + 1
    rows = bytearray()
    for y in range(height):
        row = raw[y * stride:(y + 1) * stride]
        assert row[0] == 0, "unfiltered rows expected"
        rows += row[1:]
    return width, height, bytes(rows)


def differing_fraction(a, b):
    """The share of pixels whose colour differs by more than 40 in some channel."""
    wa, ha, pa = a
    wb, hb, pb = b
    if (wa, ha) != (wb, hb):
        return 1.0
    differing = 0
    for i in range(0, len(pa), 4):
        if (abs(pa[i] - pb[i]) > 40 or abs(pa[i + 1] - pb[i + 1]) > 40 or abs(pa[i + 2] - pb[i + 2]) > 40):
            differing += 1
    return differing / (wa * ha)


class Results:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what, detail=""):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print("FAILED: " + what + (("\n" + detail[-4000:]) if detail else ""))

    def finish(self):
        print(f"{self.passed} passed, {self.failed} failed")
        return 0 if self.failed == 0 else 1


def demo(exe, game):
    results = Results()
    data = tempfile.mkdtemp(prefix="hh-demo-")
    try:
        code, log = run(exe, game, data, replay="demo.replay", step=33)
        results.check(code == 0, "the demo ends normally", log)
        saved = re.search(r"saved: state hash (\d+)", log)
        results.check(saved is not None, "the demo saves the resort", log)
        day = re.search(r"state day: hash \d+, money (-?\d+), buildings (\d+), trucks (\d+)", log)
        results.check(day is not None and int(day.group(2)) == 7, "seven buildings stand by noon", log)
        final = re.search(r"state saved: hash \d+, money (-?\d+), buildings \d+, trucks \d+, deliveries (\d+)", log)
        results.check(final is not None and int(final.group(2)) >= 3, "trucks delivered goods", log)
        results.check("error: [" not in log, "no script error in the demo", log)
        shots = os.path.join(data, "Harbor Haven", "screenshots")
        for name in ("1-title", "2-road", "3-delivery", "4-night", "5-zoom", "6-building"):
            path = os.path.join(shots, name + ".png")
            if not os.path.exists(path):
                results.check(False, "screenshot " + name + " written", log)
                continue
            golden = os.path.join(GOLDEN, name + ".png")
            if os.environ.get("HH_UPDATE_GOLDEN") == "1":
                shutil.copyfile(path, golden)
            if not os.path.exists(golden):
                results.check(False, "golden image " + golden + " exists")
                continue
            fraction = differing_fraction(read_png(path), read_png(golden))
            results.check(fraction < 0.01, f"screenshot {name} matches its golden image ({fraction:.2%} differ)")
        # A fresh run loads the save into newly made objects: the same world, the same hash.
        code, log2 = run(exe, game, data, args=["+Screens.startResort(true); printState(\"loaded\"); quit()"])
        loaded = re.search(r"loaded: state hash (\d+)", log2)
        results.check(code == 0 and loaded is not None, "the save loads", log2)
        if saved and loaded:
            results.check(saved.group(1) == loaded.group(1),
                          f"the reloaded world's hash {loaded.group(1)} is the saved {saved.group(1)}")
    finally:
        shutil.rmtree(data, ignore_errors=True)
    return results.finish()


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def checks(exe, game):
    results = Results()
    data = tempfile.mkdtemp(prefix="hh-checks-")
    served = tempfile.mkdtemp(prefix="hh-served-")
    with open(os.path.join(served, "hello.txt"), "w") as f:
        f.write("hello harbour")
    handler = lambda *a, **k: Quiet(*a, directory=served, **k)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        url = f"http://127.0.0.1:{server.server_address[1]}/hello.txt"
        code, log = run(exe, game, data, replay="checks.replay", step=100,
                        args=['+print("plus one\\n")', '+print("plus two\\n")'], env_extra={"HH_TEST_URL": url})
        results.check(code == 0, "the checks run ends normally", log)
        for line in re.findall(r"^check (.*): (.*)$", log, re.M):
            results.check(line[1] == "ok", "check " + line[0] + ": " + line[1])
        results.check(re.search(r"checks: (\d+) passed, 0 failed", log) is not None, "all checks ran", log)
        results.check("check http file: ok" in log, "an HTTP file read on loopback", log)
        one, two, start = log.find("plus one\n"), log.find("plus two\n"), log.find("startApp\n")
        results.check(0 <= start < one < two, "'+' scripts run after startApp, in order", log)
        results.check("[Music] Loaded: res/music/music.ogg" in log, "the music comes from audio.bar", log)
        results.check(log.count("resizeApp") == 2 and "pauseApp" in log and "resumeApp" in log,
                      "Alt+Enter resizes twice; focus loss pauses and resumes", log)
        # German texts come from res_de when the locale asks for them.
        code, log = run(exe, game, data, args=["--frames=3"], env_extra={"KD_LOCALE": "de_DE"})
        results.check(code == 0 and "language: Deutsch (locale 'de_DE')" in log, "res_de is read for de_DE", log)
    finally:
        server.shutdown()
        shutil.rmtree(data, ignore_errors=True)
        shutil.rmtree(served, ignore_errors=True)
    return results.finish()


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] not in ("demo", "checks"):
        print(__doc__)
        sys.exit(2)
    sys.exit((demo if sys.argv[1] == "demo" else checks)(sys.argv[2], os.path.abspath(sys.argv[3])))
