#!/usr/bin/env python3
"""Resident memory of the whole program, headless, on 1920 x 1080 grey simulation cameras.

For 0, 1, 4 and 8 cameras (2 detection steps, 10 templates and 100 regions each) the program
is started offscreen in a fresh working folder with the IO-board simulator as its board; the
resident memory (VmRSS) is read after start-up and after the machine cycles driven through the
simulator (20, or 1,000 with --long). The program is mouldmon-memdriver: the program with every
dialog answered "Cancel", since nobody is there to answer the simulated-camera question.

The same figures are measured for a reference build (the program before the memory work:
--base COMMIT, default the commit named in bench/memory/BASE) built in a temporary worktree of
this repository with the shared compiler cache; --no-base skips it. BENCH_SMAPS_DIR=folder keeps
/proc/PID/smaps of every measurement, BENCH_KEEP=1 the working folders.

Usage: bench/memory/bench_memory.py [--build BUILD] [--long | --cycles N] [--cameras 0,1,4,8]
       [--base COMMIT | --no-base]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DISPLAY = "800x600"  # the offscreen platform's screen
START_TIMEOUT = 180
CYCLE_TIMEOUT = 60
TARGETS = ["mouldmon-memdriver", "mouldmon-memsetup", "mouldmon-workdir-init", "mouldmon-iosim",
           "mouldpictures", "simcamera"]


def log(*args):
    print(*args, file=sys.stderr, flush=True)


def rss_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def wait_for(predicate, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    raise RuntimeError(f"timed out waiting for {what}")


def build(source, build_dir):
    env = dict(os.environ, CCACHE_BASEDIR="/work", CCACHE_NOHASHDIR="1")
    subprocess.run(["cmake", "-S", source, "-B", build_dir, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                    "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"],
                   check=True, env=env, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j4", "--target", *TARGETS], check=True,
                   env=env, stdout=subprocess.DEVNULL)


def build_reference(commit, scratch):
    """The program at `commit`, with this benchmark's driver and set-up tool added."""
    tree = os.path.join(scratch, "reference")
    subprocess.run(["git", "-C", SOURCE, "worktree", "add", "--detach", tree, commit], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    bench = os.path.join(tree, "bench", "memory")
    shutil.rmtree(bench, ignore_errors=True)
    shutil.copytree(os.path.join(SOURCE, "bench", "memory"), bench)
    build_dir = os.path.join(tree, "build")
    build(tree, build_dir)
    return tree, build_dir


def pictures_for(bin_dir, scratch, cameras):
    scenes = os.path.join(scratch, "scenes")
    if not os.path.isdir(scenes):
        subprocess.run([os.path.join(bin_dir, "mouldpictures"), "--scenes", scenes], check=True,
                       stdout=subprocess.DEVNULL)
    good = sorted(os.path.join(scenes, m, f) for m in ("mould-a", "mould-b")
                  for f in os.listdir(os.path.join(scenes, m)) if "good" in f)
    root = os.path.join(scratch, f"pictures-{cameras}")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    for c in range(cameras):
        folder = os.path.join(root, f"cam{c + 1}", "grey")
        os.makedirs(folder)
        shutil.copy(good[c % len(good)], os.path.join(folder, "01.png"))
    return root


class Run:
    """One program with its simulator in a fresh working folder."""

    def __init__(self, bin_dir, scratch, cameras, name):
        self.work = os.path.join(scratch, f"work-{name}-{cameras}")
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        pictures = pictures_for(bin_dir, scratch, cameras)
        self.env = dict(os.environ, QT_QPA_PLATFORM="offscreen", MOULDMON_SIM_PICTURES=pictures)
        self.env.pop("DISPLAY", None)
        for var in ("MOULDMON_ON_PANEL",):
            self.env.pop(var, None)
        ports = 20000 + (os.getpid() * 7 + cameras * 3) % 20000
        self.env.update(MOULDMON_HTTP_PORT=str(ports), MOULDMON_MODBUS_PORT=str(ports + 1),
                        MOULDMON_MONITOR_PORT=str(ports + 2))
        subprocess.run([os.path.join(bin_dir, "mouldmon-workdir-init"), self.work], check=True,
                       env=self.env, stderr=subprocess.DEVNULL)
        if cameras:
            subprocess.run([os.path.join(bin_dir, "mouldmon-memsetup"), self.work, pictures,
                            DISPLAY], check=True, env=self.env)
        link = os.path.join(self.work, "iosim.tty")
        self.iosim_log = open(os.path.join(self.work, "iosim.log"), "w")
        self.iosim = subprocess.Popen(
            [os.path.join(bin_dir, "mouldmon-iosim"), "--link", link, "--params",
             os.path.join(self.work, "PARAM.db")], stdin=subprocess.PIPE, text=True,
            stdout=self.iosim_log, stderr=subprocess.STDOUT, cwd=self.work)
        wait_for(lambda: os.path.exists(link), 10, "the IO-board simulator")
        self.env["MOULDMON_SERIAL"] = link
        self.out = open(os.path.join(self.work, "program.out"), "w")
        self.program = subprocess.Popen([os.path.join(bin_dir, "mouldmon-memdriver")],
                                        cwd=self.work, env=self.env, stdout=self.out,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.pid = self.program.pid
        self.log_path = wait_for(self._find_log, 30, "the program's log")
        self.results = 0

    def _find_log(self):
        folder = os.path.join(self.work, "cnt_net", "workspace", "log")
        if not os.path.isdir(folder):
            return None
        for name in os.listdir(folder):
            if name.startswith("LOG_") and name.endswith(f".{self.pid}.log"):
                return os.path.join(folder, name)
        return None

    def _log_text(self):
        with open(self.log_path, errors="replace") as f:
            return f.read()

    def alive(self):
        if self.program.poll() is not None:
            raise RuntimeError(f"the program ended ({self.program.returncode}); see {self.work}")
        return True

    def wait_started(self):
        # The main window is built and the IO thread polls the board.
        wait_for(self._started, START_TIMEOUT, "the main window")
        time.sleep(2)  # timers of the first second (frame rates, first frames)

    def _started(self):
        self.alive()
        return self._polls() > 5

    def _polls(self):
        self.send("stats")
        time.sleep(0.2)
        self.iosim_log.flush()
        with open(os.path.join(self.work, "iosim.log")) as f:
            found = re.findall(r"^polls (\d+)", f.read(), re.M)
        return int(found[-1]) if found else 0

    def send(self, line):
        self.iosim.stdin.write(line + "\n")
        self.iosim.stdin.flush()

    def result_count(self):
        return self._log_text().count("Detection result:")

    def cycle(self):
        """One machine cycle: the mould opens (input terminal 1; both steps run on its edge)
        and closes again for two polls, so that the next edge is seen."""
        before = self.result_count()
        self.send("in 0 1")
        wait_for(lambda: self.alive() and self.result_count() >= before + 2, CYCLE_TIMEOUT,
                 "both steps' results")
        self.send("in 0 0")
        polls = self._polls()
        wait_for(lambda: self._polls() >= polls + 2, 10, "the simulator's polls")

    def rss(self, label):
        keep = os.environ.get("BENCH_SMAPS_DIR")
        if keep:
            os.makedirs(keep, exist_ok=True)
            shutil.copy(f"/proc/{self.pid}/smaps", os.path.join(keep, f"{label}.smaps"))
        return rss_kb(self.pid)

    def stop(self):
        if self.program.poll() is None:
            self.program.terminate()
            try:
                self.program.wait(30)
            except subprocess.TimeoutExpired:
                self.program.kill()
                self.program.wait()
        if self.iosim.poll() is None:
            self.send("quit")
            try:
                self.iosim.wait(10)
            except subprocess.TimeoutExpired:
                self.iosim.terminate()
                self.iosim.wait()
        self.out.close()
        self.iosim_log.close()


def measure(bin_dir, scratch, cameras, cycles, name):
    run = Run(bin_dir, scratch, cameras, name)
    try:
        run.wait_started()
        started = run.rss(f"{name}-{cameras}-start")
        after = started
        if cameras:
            for n in range(cycles):
                run.cycle()
                if n == 19 or n == cycles - 1:
                    after = run.rss(f"{name}-{cameras}-cycles{n + 1}")
            ng = run._log_text().count(" NG")
            if ng:
                log(f"{name}, {cameras} cameras: {ng} NG lines in the log")
        return started, after
    finally:
        run.stop()


BASE_GOAL_MB = 120  # before any camera
EIGHT_GOAL_MB = 1024  # with 8 cameras
GROWTH_SLACK_MB = 8  # what the cycles may add (caches of the first cycles)


def goal_line(cameras, start_kb, after_kb, cycles):
    start, after = start_kb / 1024, after_kb / 1024
    lines = []
    if cameras == 0:
        lines.append(f"before any camera {start:.0f} MB (at most {BASE_GOAL_MB}): "
                     + ("met" if start <= BASE_GOAL_MB else "MISSED"))
    if cameras == 8:
        most = max(start, after)
        lines.append(f"8 cameras {most:.0f} MB (at most {EIGHT_GOAL_MB}): "
                     + ("met" if most <= EIGHT_GOAL_MB else "MISSED"))
    if cameras:
        grown = after - start
        lines.append(f"{cameras} cameras grew {grown:+.0f} MB over {cycles} cycles "
                     f"(at most {GROWTH_SLACK_MB}): "
                     + ("met" if grown <= GROWTH_SLACK_MB else "MISSED"))
    return "; ".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--long", action="store_true", help="1,000 cycles instead of 20")
    parser.add_argument("--cycles", type=int, default=0, help="this many cycles instead")
    parser.add_argument("--cameras", default="0,1,4,8")
    parser.add_argument("--base", default=None, help="commit of the reference program")
    parser.add_argument("--no-base", action="store_true")
    args = parser.parse_args()
    cycles = args.cycles or (1000 if args.long else 20)
    counts = [int(c) for c in args.cameras.split(",")]
    scratch = tempfile.mkdtemp(prefix="bench-memory-")
    reference = None
    try:
        build(SOURCE, args.build)
        programs = [("this build", os.path.join(args.build, "bin"))]
        if not args.no_base:
            commit = args.base
            if not commit:
                with open(os.path.join(SOURCE, "bench", "memory", "BASE")) as f:
                    commit = f.read().split()[0]
            log(f"building the reference program at {commit[:12]} ...")
            reference, ref_build = build_reference(commit, scratch)
            programs.append((f"before ({commit[:8]})", os.path.join(ref_build, "bin")))
        print(f"resident memory (MB), 1920 x 1080 grey cameras, 2 steps of 10 templates and "
              f"100 regions; after start-up / after {cycles} cycles")
        print(f"{'cameras':>8}  " + "  ".join(f"{name:>26}" for name, _ in programs))
        goals = []
        for cameras in counts:
            cells = []
            for n, (name, bin_dir) in enumerate(programs):
                try:
                    start, after = measure(bin_dir, scratch, cameras, cycles, name.split()[0])
                    cells.append(f"{start / 1024:10.0f} / {after / 1024:10.0f}")
                except RuntimeError as error:
                    log(f"{name}, {cameras} cameras: {error}")
                    cells.append(f"{'failed':>26}")
                    continue
                if n == 0:
                    goals.append(goal_line(cameras, start, after, cycles))
            print(f"{cameras:>8}  " + "  ".join(f"{c:>26}" for c in cells), flush=True)
        print("goals of this build:")
        for line in filter(None, goals):
            print("  " + line)
    finally:
        if reference:
            subprocess.run(["git", "-C", SOURCE, "worktree", "remove", "--force", reference],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if os.environ.get("BENCH_KEEP") != "1":
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
