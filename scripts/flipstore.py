#!/usr/bin/env python3
"""The flip experiment: does `vantorel-fit --saved` ever report values that
are not the saved ones, with status 0, from a damaged store?

usage: flipstore.py BUILD_DIR [MASK ...]

Saves a real store with every value changed from its default (BUILD_DIR/
bench/save_store, the program's own SaveData), then, for each mask (default
0xFF and 0x01) and every byte of the file, changes that one byte (XOR with
the mask) in a copy and runs BUILD_DIR/vantorel-fit --saved --estimate
--json on it, which only reads. Each run counts as:
  same     status 0, and the values loaded are the saved ones
  refused  a non-zero status (the damage was found and said)
  differs  status 0 with a value that is not the saved one (must be 0)
"The values loaded" are what `save_store --show` loads from the same file
(the same load as vantorel-fit's), and vantorel-fit's report must be the
one of the unchanged file. Exits 1 when any run differs.
"""
import concurrent.futures
import os
import shutil
import subprocess
import sys
import tempfile

build = sys.argv[1] if len(sys.argv) > 1 else "build-bench"
masks = [int(m, 0) for m in sys.argv[2:]] or [0xFF, 0x01]
fit = os.path.join(build, "vantorel-fit")
saver = os.path.join(build, "bench", "save_store")
top = tempfile.mkdtemp(prefix="vantorel-flip-")


def env_for(name):
    home = os.path.join(top, name)
    os.makedirs(os.path.join(home, "tmp"), exist_ok=True)
    return dict(os.environ, XDG_CONFIG_HOME=os.path.join(home, "config"), HOME=home, TMPDIR=os.path.join(home, "tmp"))


def store_of(env):
    return os.path.join(env["XDG_CONFIG_HOME"], "Morvale Services", "registry.sqlite3")


def run(args, env):
    r = subprocess.run(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return r.returncode, r.stdout


try:
    env = env_for("saved")
    subprocess.run([saver], env=env, check=True)
    good = open(store_of(env), "rb").read()
    status, report = run([fit, "--saved", "--estimate", "--json"], env)
    _, values = run([saver, "--show"], env)
    if status != 0:
        sys.exit("flipstore: vantorel-fit refuses the unchanged store")
    workers = 2
    envs = [env_for("w%d" % w) for w in range(workers)]
    for e in envs:
        os.makedirs(os.path.dirname(store_of(e)), exist_ok=True)

    def flips(w, mask):
        """Worker w's share of the flips: every workers-th byte from byte w."""
        e, found = envs[w], []
        path = store_of(e)
        for at in range(w, len(good), workers):
            for extra in ("-journal", "-wal", "-shm"):
                if os.path.exists(path + extra):
                    os.remove(path + extra)
            with open(path, "wb") as f:
                f.write(good[:at] + bytes([good[at] ^ mask]) + good[at + 1:])
            s, out = run([fit, "--saved", "--estimate", "--json"], e)
            if s != 0:
                found.append(("refused", at))
                continue
            _, now = run([saver, "--show"], e)
            found.append(("same" if now == values and out == report else "differs", at))
        return found

    failed = False
    print("store: %d bytes, %d pages" % (len(good), len(good) // 4096))
    for mask in masks:
        counts = {"same": 0, "refused": 0, "differs": 0}
        differ = []
        with concurrent.futures.ThreadPoolExecutor(workers) as pool:
            for found in pool.map(lambda w: flips(w, mask), range(workers)):
                for kind, at in found:
                    counts[kind] += 1
                    if kind == "differs":
                        differ.append(at)
        print("XOR 0x%02X: %d flips: %d same (status 0, the saved values), %d refused (non-zero status), "
              "%d differ (status 0, a value not saved)" % (mask, len(good), counts["same"], counts["refused"],
                                                         counts["differs"]))
        if differ:
            failed = True
            print("  differ at byte offsets:", " ".join(str(a) for a in sorted(differ)[:40]))
    sys.exit(1 if failed else 0)
finally:
    shutil.rmtree(top, ignore_errors=True)
