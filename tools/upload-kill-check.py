#!/usr/bin/python3
"""Kills tolvane-cli at random moments while it queues and sends records.

Runs `write-config` (which queues a record for the unit it wrote, and sends
the queue at the end of the series) and `upload pending` against tolvane-sim
and the tests' HTTP peer, each killed with SIGKILL after a random delay, the
given number of times (200 by default). Then checks:

  * after every kill: records in the queue file never wait with PENDING down;
  * a clean `upload pending` afterwards sends no record twice, and empties
    the queue;
  * every record that was reported queued reached the peer at least once.

Usage: tools/upload-kill-check.py BUILD_DIR [RUNS] [SEED]
Exit status 0 when every check held, 1 otherwise.
"""

import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else int(time.time())
    rng = random.Random(seed)
    cli = os.path.join(build, "src/app/tolvane-cli")
    sim = os.path.join(build, "src/app/sim/tolvane-sim")
    work = tempfile.mkdtemp(prefix="tolvane-kill-")
    home = os.path.join(work, "home")
    devices = os.path.join(work, "dev")
    peer_dir = os.path.join(work, "peer")
    for d in (os.path.join(home, "Models"), os.path.join(home, "Logs"),
              os.path.join(home, "Settings/Software/Kestrine/Tolvane/01"), devices, peer_dir):
        os.makedirs(d)
    for name in os.listdir(os.path.join(SOURCE, "data/Models")):
        shutil.copy(os.path.join(SOURCE, "data/Models", name), os.path.join(home, "Models"))

    peer = subprocess.Popen(["/usr/bin/python3", os.path.join(SOURCE, "tests/net/http_peer.py"), peer_dir],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    port = int(peer.stdout.readline())
    model = os.path.join(home, "Models/Corporate_Model")
    with open(model, encoding="utf-8", errors="surrogateescape") as f:
        text = f.read()
    with open(model, "w", encoding="utf-8", errors="surrogateescape") as f:
        f.write(re.sub(r"SERVER = [^\r\n]*", f"SERVER = 127.0.0.1:{port}", text))
    unit = subprocess.Popen([sim, "--device-root", devices, "--identity", "qr25"], stdout=subprocess.DEVNULL)
    time.sleep(0.5)

    with open(os.path.join(SOURCE, "data/Configs/QR25 Diesel Day Tank.txt"), encoding="utf-16") as f:
        config = f.read()
    env = dict(os.environ, TOLVANE_HOME=home, TOLVANE_DEVICE_ROOT=devices)

    def run(args, kill_after=None):
        p = subprocess.Popen([cli] + args, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        if kill_after is not None:
            try:
                out, _ = p.communicate(timeout=kill_after)
                return p.returncode, out, False
            except subprocess.TimeoutExpired:
                p.send_signal(signal.SIGKILL)
                out, _ = p.communicate()
                return p.returncode, out, True
        out, _ = p.communicate()
        return p.returncode, out, False

    def queue_state():
        _, out, _ = run(["upload", "show"])
        pending = "pending: TRUE" in out
        records = re.search(r"records: (\d+)", out)
        return pending, int(records.group(1)) if records else -1

    failures = []
    reported = set()
    killed = 0
    for i in range(runs):
        # Now and then the server refuses one of the earlier records.
        if rng.random() < 0.15 and i > 0:
            behaviour = '{"upload_status": {"t=kill-%d&": 500}}' % rng.randrange(i)
        else:
            behaviour = "{}"
        with open(os.path.join(peer_dir, "behaviour.json.tmp"), "w") as f:
            f.write(behaviour)
        os.replace(os.path.join(peer_dir, "behaviour.json.tmp"), os.path.join(peer_dir, "behaviour.json"))
        if rng.random() < 0.6:
            path = os.path.join(work, "config.txt")
            with open(path, "w", encoding="utf-16", newline="") as f:
                f.write(re.sub(r"TANK DESCRIPTION = [^\r\n]*", f"TANK DESCRIPTION = kill-{i}", config))
            rc, out, was_killed = run(["write-config", path], rng.uniform(0.0, 0.9))
            if "queued upload record" in out:
                reported.add(f"kill-{i}")
        else:
            rc, out, was_killed = run(["upload", "pending"], rng.uniform(0.0, 0.15))
        killed += was_killed
        pending, records = queue_state()
        if records > 0 and not pending:
            failures.append(f"run {i}: {records} records queued with PENDING false")

    with open(os.path.join(peer_dir, "behaviour.json"), "w") as f:
        f.write("{}")
    log = os.path.join(peer_dir, "requests.log")
    with open(log, encoding="latin-1") as f:
        before = f.read()
    rc, out, _ = run(["upload", "pending"])
    with open(log, encoding="latin-1") as f:
        everything = f.read()
    final = everything[len(before):]
    sent_final = re.findall(r"t=(kill-\d+)&", final)
    duplicates = sorted({r for r in sent_final if sent_final.count(r) > 1})
    if duplicates:
        failures.append(f"the clean upload sent records twice: {duplicates[:10]}")
    if rc != 0:
        failures.append(f"the clean upload ended with {rc}: {out.strip()}")
    delivered = set(re.findall(r"t=(kill-\d+)&", everything))
    missing = sorted(reported - delivered)
    if missing:
        failures.append(f"{len(missing)} reported records never reached the server: {missing[:10]}")
    pending, records = queue_state()
    if pending or records != 0:
        failures.append(f"after the clean upload: PENDING {pending}, {records} records")

    unit.terminate()
    unit.wait()
    peer.stdin.close()
    peer.wait()
    print(f"seed {seed}: {runs} runs, {killed} killed, {len(reported)} records reported queued, "
          f"{len(delivered & reported)} of them delivered, {len(sent_final)} sent by the clean upload")
    for f in failures:
        print("FAILED: " + f)
    if not failures:
        shutil.rmtree(work, ignore_errors=True)
        print("every check held")
        return 0
    print("work folder kept: " + work)
    return 1


if __name__ == "__main__":
    sys.exit(main())
