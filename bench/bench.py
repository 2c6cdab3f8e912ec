#!/usr/bin/env python3
"""Runs the player and bare mpv side by side under one private Xvfb and writes a Markdown table;
with --only library, the media library's scan against `find` and its search (no window needed).

Four programs: the player as it chooses its video surface (the software one on this software
renderer), the player forced onto its OpenGL surface, `mpv --vo=gpu --gpu-sw=yes` and
`mpv --vo=x11`. All get the same clips, the same window (the player's first-start size, 1152x648
centred on a 1920x1080 screen), the same null audio output and a private HOME per run; runs
alternate in ABCD DCBA order so that a slow drift of the machine falls on all. Every time is taken
from outside: a small X11 probe (frame_probe.c) watches the screen centre for the clips' marker
colours.
"""
import argparse
import contextlib
import datetime
import http.client
import json
import math
import os
import platform
import random
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path

import memory_scenario

SCREEN = (1920, 1080)
# w, h, x, y: the player's first-start window (3/5 of the screen, centred), given to mpv as well;
# the screen centre is inside the video.
WINDOW = (SCREEN[0] * 3 // 5, SCREEN[1] * 3 // 5, SCREEN[0] // 5, SCREEN[1] // 5)
PROBE_SIZE = 24
PLAY_SECONDS = 30
END_MARKER_AT = PLAY_SECONDS - 1  # the clip's last second shows the closing colour
FRAME_RATE = 30
SEEK_SECONDS = 60
SEEK_COUNT = 20
SEEK_TOLERANCE = (-0.15, 1.0)  # reported position within this of the target counts as arrived
REMOTE_PORT = 7373
CLK_TCK = os.sysconf("SC_CLK_TCK")

# Against the reference each row names: first frame against mpv's OpenGL output, playback CPU
# against its plain X11 output, peak memory against its OpenGL output.
TARGETS = {"first_frame": 1.0, "cpu": 1.25, "hwm_play": 1.0,
           # scan time over find's: the scan reaches at least 0.8 of find's speed
           "library_scan": 1 / 0.8,
           # ms: a longer hold of the window while typing is a pause the user sees
           "search_stall_ms": 100}
PLAYER_MEASURES = {"first_frame", "playback", "idle", "seek"}
PROGRAMS = ("player", "player-gl", "mpv-gpu", "mpv-x11")
PROGRAM_LABELS = {"player": "Velmoran (auto: software surface)", "player-gl": "Velmoran, OpenGL surface",
                  "mpv-gpu": "mpv --vo=gpu --gpu-sw=yes", "mpv-x11": "mpv --vo=x11"}
LIBRARY_HEADING = "## Media library"
MULTIVIEW_HEADING = "## Multi-view"
MUSICVIEW_HEADING = "## Music mode"
SEEKPREVIEW_HEADING = "## Seek-bar preview"
MEMORY_HEADING = memory_scenario.MEMORY_HEADING
SECTION_HEADINGS = (LIBRARY_HEADING, MULTIVIEW_HEADING, MUSICVIEW_HEADING, SEEKPREVIEW_HEADING, MEMORY_HEADING)


class BenchError(RuntimeError):
    pass


# ---------------------------------------------------------------- pure helpers (unit-tested)

def summarize(values):
    """min, median, max of the values that exist; None when no run produced one."""
    values = [v for v in values if v is not None]
    if not values:
        return None
    return min(values), statistics.median(values), max(values)


def ratio(player, mpv):
    if not player or not mpv or mpv[1] <= 0:
        return None
    return player[1] / mpv[1]


def cpu_seconds(stat_text):
    """user + system CPU seconds of a process from the text of /proc/PID/stat."""
    # The command name may hold spaces and parentheses; the fields start after the last ')'.
    fields = stat_text[stat_text.rindex(")") + 2:].split()
    utime, stime = int(fields[11]), int(fields[12])
    return (utime + stime) / CLK_TCK


def status_kib(status_text, key):
    for line in status_text.splitlines():
        if line.startswith(key + ":"):
            return int(line.split()[1])
    return None


def seek_targets(count, duration, seed=7, min_jump=5.0, margin=3.0):
    """Random absolute targets, each at least min_jump away from the one before, so an arrival
    can never be confused with the position the seek started from."""
    rng = random.Random(seed)
    targets, previous = [], 0.0
    while len(targets) < count:
        target = round(rng.uniform(margin, duration - margin), 1)
        if abs(target - previous) >= min_jump:
            targets.append(target)
            previous = target
    return targets


def arrived(position, target):
    return position is not None and target + SEEK_TOLERANCE[0] <= position <= target + SEEK_TOLERANCE[1]


def alternating(run_index, programs=PROGRAMS):
    """ABCD DCBA: the programs in order on even runs, reversed on odd ones."""
    return tuple(programs) if run_index % 2 == 0 else tuple(reversed(programs))


def fmt_triple(triple, digits):
    if not triple:
        return "n/a"
    return " / ".join(f"{v:.{digits}f}" for v in triple)


def markdown_table(rows, reference="Reference", setting="Clip"):
    """rows: (measure, clip, unit, player triple, reference triple, target ratio or None, digits)."""
    lines = [f"| Measure | {setting} | Velmoran min / median / max | {reference} min / median / max "
             "| Ratio (median) | Target |",
             "|---|---|---|---|---|---|"]
    for measure, clip, unit, player, mpv, target, digits in rows:
        r = ratio(player, mpv)
        ratio_text = "n/a" if r is None else f"{r:.2f}"
        if target is None:
            target_text = "—"
        elif r is None:
            target_text = f"≤ {target:.2f}"
        else:
            target_text = f"≤ {target:.2f} {'met' if r <= target else '**missed**'}"
        lines.append(f"| {measure} ({unit}) | {clip} | {fmt_triple(player, digits)} | {fmt_triple(mpv, digits)} "
                     f"| {ratio_text} | {target_text} |")
    return "\n".join(lines)


def limit_table(rows):
    """rows: (measure, setting, unit, triple, upper limit or None, digits); judged by the median."""
    lines = ["| Measure | Setting | Velmoran min / median / max | Target |", "|---|---|---|---|"]
    for measure, setting, unit, values, limit, digits in rows:
        if limit is None:
            target_text = "—"
        elif not values:
            target_text = f"≤ {limit} {unit}"
        else:
            target_text = f"≤ {limit} {unit} {'met' if values[1] <= limit else '**missed**'}"
        lines.append(f"| {measure} ({unit}) | {setting} | {fmt_triple(values, digits)} | {target_text} |")
    return "\n".join(lines)


def percentile(values, fraction):
    """The nearest-rank percentile: the smallest value at least `fraction` of them do not exceed."""
    ordered = sorted(values)
    if not ordered:
        return None
    return ordered[max(0, math.ceil(len(ordered) * fraction) - 1)]


def split_report(text):
    """The report's sections by heading; the player's, first, has none ("")."""
    sections, heading, lines = {}, "", []
    for line in text.splitlines():
        if line in SECTION_HEADINGS:
            sections[heading] = "\n".join(lines)
            heading, lines = line, []
        lines.append(line)
    sections[heading] = "\n".join(lines)
    return sections


def merge_report(old, player=None, library=None, multiview=None, musicview=None, seekpreview=None, memory=None):
    """The report holds the player's section, then the library's, the multi-view's, music mode's,
    the seek preview's and the memory scenario's under their headings; a section this run did not
    measure keeps what the last run wrote."""
    kept = split_report(old)
    fresh = {"": player, LIBRARY_HEADING: library, MULTIVIEW_HEADING: multiview, MUSICVIEW_HEADING: musicview,
             SEEKPREVIEW_HEADING: seekpreview, MEMORY_HEADING: memory}
    parts = [fresh[heading] if fresh[heading] is not None else kept.get(heading, "") for heading in fresh]
    return "\n\n".join(part.strip() for part in parts if part and part.strip()) + "\n"


# ---------------------------------------------------------------- processes

def read_proc(pid, name):
    try:
        return Path(f"/proc/{pid}/{name}").read_text()
    except (FileNotFoundError, ProcessLookupError):
        return None


def process_cpu(pid):
    text = read_proc(pid, "stat")
    return cpu_seconds(text) if text else None


def process_status_mib(pid, key):
    text = read_proc(pid, "status")
    kib = status_kib(text, key) if text else None
    return None if kib is None else kib / 1024


def process_hwm_mib(pid):
    return process_status_mib(pid, "VmHWM")


def process_rss_mib(pid):
    return process_status_mib(pid, "VmRSS")


def stop(process, grace=5.0):
    if process.poll() is not None:
        return
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class Xvfb:
    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
             "-nolisten", "tcp", "-br"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise BenchError("Xvfb did not start")
        self.display = f":{number}"

    def close(self):
        stop(self.process)


class Probe:
    """frame_probe watching the screen centre; lines are read on a thread as they come."""

    def __init__(self, binary, env, fast_ms=2, slow_ms=4):
        x = SCREEN[0] // 2 - PROBE_SIZE // 2
        y = SCREEN[1] // 2 - PROBE_SIZE // 2
        self.process = subprocess.Popen([binary, str(x), str(y), str(PROBE_SIZE), str(PROBE_SIZE),
                                         str(fast_ms), str(slow_ms)],
                                        env=env, stdout=subprocess.PIPE, text=True)
        self.events = {}
        self.callbacks = {}
        self.ready = threading.Event()
        self.lock = threading.Condition()
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()
        if not self.ready.wait(10):
            raise BenchError("frame probe did not start")

    def on(self, name, callback):
        """callback runs on the reader thread the moment the event arrives (CPU is read there)."""
        self.callbacks[name] = callback

    def _read(self):
        for line in self.process.stdout:
            name, stamp, *rest = line.split()
            if name == "ready":
                self.ready.set()
                continue
            extra = self.callbacks[name]() if name in self.callbacks else None
            with self.lock:
                self.events[name] = (int(stamp), extra, [int(value) for value in rest])
                self.lock.notify_all()

    def wait(self, name, timeout):
        deadline = time.monotonic() + timeout
        with self.lock:
            while name not in self.events:
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self.lock.wait(left)
            return self.events[name]

    def close(self):
        stop(self.process, 1)
        self.thread.join(2)
        self.process.stdout.close()


# ---------------------------------------------------------------- the two programs

@dataclass
class Launch:
    process: subprocess.Popen
    started_ns: int
    sandbox: Path
    ipc_path: Path | None = None
    log: Path | None = None


@dataclass
class Programs:
    player: Path
    mpv: str
    display: str
    work: Path
    keep_logs: bool = False
    launches: list = field(default_factory=list)

    def _sandbox(self):
        root = Path(tempfile.mkdtemp(prefix="run.", dir=self.work))
        for name in ("home", "config", "state", "cache", "data", "runtime", "tmp"):
            (root / name).mkdir()
        (root / "runtime").chmod(0o700)
        return root

    def _env(self, sandbox, cache=None):
        env = {key: value for key, value in os.environ.items() if key != "DBUS_SESSION_BUS_ADDRESS"}
        env.update(HOME=str(sandbox / "home"), XDG_CONFIG_HOME=str(sandbox / "config"),
                   XDG_STATE_HOME=str(sandbox / "state"), XDG_CACHE_HOME=str(cache or sandbox / "cache"),
                   XDG_DATA_HOME=str(sandbox / "data"), XDG_RUNTIME_DIR=str(sandbox / "runtime"),
                   TMPDIR=str(sandbox / "tmp"), DISPLAY=self.display, LIBGL_ALWAYS_SOFTWARE="1",
                   QT_QPA_PLATFORM="xcb", VELMORAN_AUDIO_OUTPUT="null", LC_ALL="C.UTF-8")
        env.pop("VELMORAN_DEBUG", None)
        env.pop("VELMORAN_VIDEO_SURFACE", None)
        return env

    def start(self, which, clip=None, remote=False, warm=True):
        """A fresh HOME and settings every run; with warm, the program's shader caches (Mesa's,
        Qt's) persist across its runs as they do on a user's machine, else they start empty.
        clip may be a list: a queue, which mpv, like the player, outlives idle."""
        clips = [] if clip is None else list(clip) if isinstance(clip, list) else [clip]
        sandbox = self._sandbox()
        cache = self.work / f"cache-{which}" if warm else None
        env = self._env(sandbox, cache)
        w, h, x, y = WINDOW
        ipc_path = None
        if which.startswith("player"):
            # A first start: no stored window, so the player picks the size mpv is given.
            if remote:
                settings = sandbox / "config" / "Velmoran"
                settings.mkdir(parents=True)
                (settings / "VelmoranPlayer.conf").write_text("[remote]\nenabled=true\n")
            if which == "player-gl":
                env["VELMORAN_VIDEO_SURFACE"] = "opengl"
            command = [str(self.player)] + [str(path) for path in clips]
        else:
            output = ["--vo=gpu", "--gpu-context=x11egl", "--gpu-sw=yes"] if which == "mpv-gpu" else ["--vo=x11"]
            command = [self.mpv, "--no-config", "--no-terminal", *output, "--ao=null",
                       f"--geometry={w}x{h}+{x}+{y}"]
            if len(clips) != 1:
                command += ["--idle=yes", "--force-window=yes"]
            if remote:
                ipc_path = sandbox / "tmp" / "mpv.sock"
                command.append(f"--input-ipc-server={ipc_path}")
            command += [str(path) for path in clips]
        log = sandbox / "output.log"
        with open(log, "wb") as out:
            started = time.monotonic_ns()
            process = subprocess.Popen(command, env=env, stdout=out, stderr=subprocess.STDOUT,
                                       stdin=subprocess.DEVNULL)
        launch = Launch(process, started, sandbox, ipc_path, log)
        self.launches.append(launch)
        return launch

    def finish(self, launch):
        stop(launch.process)
        if not self.keep_logs:
            shutil.rmtree(launch.sandbox, ignore_errors=True)


# ---------------------------------------------------------------- measurements

def measure_first_frame(programs, probe_binary, which, clip, warm=True, timeout=30):
    probe = Probe(probe_binary, programs._env(programs.work))
    launch = None
    try:
        launch = programs.start(which, clip, warm=warm)
        pid = launch.process.pid
        probe.on("start", lambda: process_cpu(pid))
        event = probe.wait("start", timeout)
        if event is None:
            raise BenchError(f"{which}: no first frame within {timeout} s")
        stamp, cpu, _ = event
        check_surface(which, launch)
        return (stamp - launch.started_ns) / 1e6, cpu
    finally:
        probe.close()
        if launch:
            programs.finish(launch)


# The player's own log line naming the surface it draws on: figures from the wrong one say nothing.
SURFACE_LINES = {"player": "[RenderEnv] 비디오 화면: 소프트웨어", "player-gl": "[RenderEnv] 비디오 화면: OpenGL"}


def check_surface(which, launch):
    expected = SURFACE_LINES.get(which)
    if expected and expected not in launch.log.read_text(errors="replace"):
        raise BenchError(f"{which}: the player did not draw on the surface this row is for ({expected!r})")


def measure_playback(programs, probe_binary, which, clip):
    """CPU seconds per media second between the first frame and the closing marker, the frames shown
    and the wall time in between, and peak resident memory up to then."""
    probe = Probe(probe_binary, programs._env(programs.work))
    launch = None
    try:
        launch = programs.start(which, clip)
        pid = launch.process.pid
        probe.on("start", lambda: process_cpu(pid))
        probe.on("end", lambda: (process_cpu(pid), process_hwm_mib(pid)))
        start = probe.wait("start", 30)
        if start is None:
            raise BenchError(f"{which}: no first frame")
        end = probe.wait("end", PLAY_SECONDS * 3)
        if end is None:
            raise BenchError(f"{which}: playback never reached the end marker")
        (start_ns, cpu0, _), (end_ns, (cpu1, hwm), (frames,)) = start, end
        if cpu0 is None or cpu1 is None:
            raise BenchError(f"{which}: process vanished during playback")
        wall = (end_ns - start_ns) / 1e9
        return {"cpu": (cpu1 - cpu0) / END_MARKER_AT, "wall": wall, "hwm": hwm, "frames": frames}
    finally:
        probe.close()
        if launch:
            programs.finish(launch)


def measure_idle_memory(programs, which, settle=5.0):
    launch = programs.start(which)
    try:
        time.sleep(settle)
        if launch.process.poll() is not None:
            raise BenchError(f"{which}: exited while idle")
        return process_hwm_mib(launch.process.pid)
    finally:
        programs.finish(launch)


class PlayerRemote:
    def __init__(self, port=REMOTE_PORT, timeout=2):
        self.port = port
        self.timeout = timeout

    def _get(self, path):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=self.timeout)
        try:
            connection.request("GET", path)
            return connection.getresponse().read()
        finally:
            connection.close()

    def position(self):
        try:
            return float(json.loads(self._get("/api/status"))["pos"])
        except (OSError, ValueError, KeyError, http.client.HTTPException):
            return None

    def seek(self, seconds):
        self._get(f"/api/seek/{seconds:.3f}")

    def act(self, action):
        """One action of the memory scenario; False when it got no command answer."""
        kind = action[0]
        path = {"seek": lambda: f"/api/seek/{action[1]}", "volume": lambda: f"/api/volume/{action[1]}"}.get(
            kind, lambda: f"/api/{kind}")()
        try:
            return self._get(path) == b'{"ok":true}'
        except (OSError, http.client.HTTPException):
            return False


class MpvRemote:
    def __init__(self, path):
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.socket.connect(str(path))
        self.socket.settimeout(5)
        self.file = self.socket.makefile("rwb", buffering=0)
        self.next_id = 0

    def _request(self, command):
        self.next_id += 1
        request_id = self.next_id
        self.file.write(json.dumps({"command": command, "request_id": request_id}).encode() + b"\n")
        while True:
            reply = json.loads(self.file.readline())
            if reply.get("request_id") == request_id:
                return reply

    def position(self):
        reply = self._request(["get_property", "time-pos"])
        return reply.get("data") if reply.get("error") == "success" else None

    def seek(self, seconds):
        self._request(["seek", seconds, "absolute"])

    def act(self, action):
        """One action of the memory scenario, as mpv's own commands; False when mpv never replied
        (a refused seek while a file opens is still an answer)."""
        kind = action[0]
        command = {"next": ["playlist-next"], "prev": ["playlist-prev"], "toggle": ["cycle", "pause"],
                   "seek": ["seek", action[-1], "absolute"], "volume": ["set", "volume", str(action[-1])]}[kind]
        try:
            self._request(command)
            return True
        except (OSError, ValueError):
            return False

    def close(self):
        self.socket.close()


def connect_remote(which, launch, timeout=20):
    """The program's control channel once it answers with a playing position, else None."""
    deadline = time.monotonic() + timeout
    remote = None
    while time.monotonic() < deadline:
        if launch.process.poll() is not None:
            return None
        try:
            if remote is None:
                remote = PlayerRemote() if which.startswith("player") else MpvRemote(launch.ipc_path)
            position = remote.position()
            if position is not None and position > 0.5:
                return remote
        except OSError:
            remote = None
        time.sleep(0.05)
    return None


def measure_seeks(programs, which, clip, targets, poll_s=0.005, timeout=5.0):
    """Latencies in ms from the request to the first poll that reports the target position; the
    same request-then-poll loop for both programs, only the transport differs."""
    with remote_session(programs, which, clip) as (_, remote):
        if remote is None:
            return None
        latencies = []
        for target in targets:
            started = time.monotonic()
            remote.seek(target)
            while True:
                now = time.monotonic()
                if arrived(remote.position(), target):
                    latencies.append((now - started) * 1000)
                    break
                if now - started > timeout:
                    latencies.append(None)
                    break
                time.sleep(poll_s)
            time.sleep(0.3)
        return latencies


@contextlib.contextmanager
def remote_session(programs, which, media):
    """The program started on `media` with its control channel; yields the launch and its remote,
    None when the channel never answered. Both are closed on the way out."""
    if which.startswith("player") and port_in_use(REMOTE_PORT):
        raise BenchError(f"port {REMOTE_PORT} is taken by another process")
    launch = programs.start(which, media, remote=True)
    remote = None
    try:
        remote = connect_remote(which, launch)
        yield launch, remote
    finally:
        if isinstance(remote, MpvRemote):
            remote.close()
        programs.finish(launch)


def measure_memory(args, chosen):
    """The long-use scenario for each chosen program, runs alternating; the report's memory section."""
    queue = memory_scenario.make_queue(args.ffmpeg, args.work / "memory-queue")
    started = time.monotonic()
    load_before = load_average()
    xvfb = Xvfb()
    programs = Programs(args.player.resolve(), args.mpv, xvfb.display, args.work, args.keep_logs)
    runs = {}
    try:
        machine = machine_description(programs._env(args.work))
        for run in range(args.memory_runs):
            for which in alternating(run, chosen):
                result = memory_run(programs, which, queue)
                runs.setdefault(which, []).append(result)
                print(f"memory {which}: {result}", flush=True)
    finally:
        xvfb.close()
    machine += f"; load average before / after: {load_before} / {load_average()}"
    return memory_scenario.report(runs, PROGRAM_LABELS, machine, time.monotonic() - started)


def memory_run(programs, which, queue):
    with remote_session(programs, which, queue) as (launch, remote):
        if remote is None:
            raise BenchError(f"{which}: its control channel never answered with a playing position")
        if isinstance(remote, PlayerRemote):
            remote.timeout = memory_scenario.ANSWER_TIMEOUT
        else:
            remote.socket.settimeout(memory_scenario.ANSWER_TIMEOUT)
        check_surface(which, launch)
        run = memory_scenario.drive(remote, launch.process.pid, process_rss_mib, process_hwm_mib)
        if launch.process.poll() is not None:
            raise BenchError(f"{which}: exited during the memory scenario")
        return {"samples": run.samples, "peak": run.peak, "unanswered": run.unanswered, "slowest": run.slowest}


def port_in_use(port):
    with socket.socket() as probe:
        return probe.connect_ex(("127.0.0.1", port)) == 0


# ---------------------------------------------------------------- media library

def measure_library(tool, work, runs, files, entries):
    """The library tool's JSON: the scan against find over a generated tree, and the search."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", LC_ALL="C.UTF-8")
    env.pop("DISPLAY", None)
    done = subprocess.run([str(tool), "--work", str(work), "--runs", str(runs), "--files", str(files),
                           "--entries", str(entries)], env=env, capture_output=True, text=True, timeout=1800)
    if done.returncode != 0:
        raise BenchError(f"library bench failed: {done.stderr.strip()[-500:]}")
    return json.loads(done.stdout.strip().splitlines()[-1])


def library_report(data, machine, runs, elapsed):
    files, media, entries = data["files"], data["media"], data["entries"]
    tree = f"{files} files, {media} media"
    find = summarize(data["find_ms"])
    scan_rows = [("Library scan until both lists are complete", tree, "ms", summarize(data["listed_ms"]), find,
                  TARGETS["library_scan"], 0),
                 ("Library scan and its record in an empty database", tree, "ms", summarize(data["scan_ms"]), find,
                  TARGETS["library_scan"], 0),
                 ("Library rescan and its record, rows already there", tree, "ms", summarize(data["rescan_ms"]),
                  find, TARGETS["library_scan"], 0)]
    stalls = data["search_stall_ms"]
    stall_rows = [("Longest GUI stall typing a search word", f"video grid, {entries} entries", "ms",
                   summarize(stalls["video"]), TARGETS["search_stall_ms"], 0),
                  ("Longest GUI stall typing a search word", f"music list, {entries} entries", "ms",
                   summarize(stalls["audio"]), TARGETS["search_stall_ms"], 0),
                  ("Longest GUI stall filling both lists", f"2 × {entries} entries", "ms",
                   summarize([data["fill_stall_ms"]]), None, 0)]
    return "\n".join([
        LIBRARY_HEADING, "",
        f"Measured {datetime.datetime.now().strftime('%Y-%m-%d %H:%M')} on {machine}; "
        f"took {elapsed / 60:.1f} min.", "",
        f"Scan: a generated tree of {files} mostly empty files (video, audio, artwork, subtitles, notes, a few "
        f"hidden) in 1000 nested folders, {runs} runs with `find TREE -type f` (output to /dev/null) alternating "
        f"with the scan; both after a warm-up run, so the directories are cached. The scan records every media file "
        f"while it walks (a second thread writes each folder's files as the walk leaves it, in one transaction, "
        f"64 rows to a prepared statement, synchronous=OFF, rollback journal) into an empty database, or, on a "
        f"rescan, into one that has the rows already (INSERT OR IGNORE); the lists are handed over when the walk "
        f"ends (what the user waits for), the record a moment later. Search: both lists "
        f"hold {entries} entries, and the word \"number 12\" is typed into the box one character every 250 ms, so "
        f"each prefix is searched on its own ({runs} times per list, offscreen platform); the stall is the widest "
        f"gap between two turns of the GUI thread's event loop, watched by a 1 ms timer.", "",
        markdown_table(scan_rows, reference="find", setting="Tree"), "",
        limit_table(stall_rows)])


# ---------------------------------------------------------------- multi-view

MULTIVIEW_SECONDS = 10


def measure_multiview(tool, work, ffmpeg):
    """CPU per media second with one, two and four 640x360 clips side by side in one window."""
    clip = work / "play_640x360_30s.mp4"
    make_clip(ffmpeg, clip, "640x360", PLAY_SECONDS)
    xvfb = Xvfb()
    try:
        home = Path(tempfile.mkdtemp(dir=work))
        runtime = home / "runtime"
        runtime.mkdir(mode=0o700)
        env = dict(os.environ, DISPLAY=xvfb.display, QT_QPA_PLATFORM="xcb", LIBGL_ALWAYS_SOFTWARE="1",
                   VELMORAN_AUDIO_OUTPUT="null", HOME=str(home), XDG_RUNTIME_DIR=str(runtime))
        done = subprocess.run([str(tool), "--clip", str(clip), "--seconds", str(MULTIVIEW_SECONDS)], env=env,
                              capture_output=True, text=True, timeout=600)
    finally:
        xvfb.close()
    if done.returncode != 0:
        raise BenchError(f"multi-view bench failed: {done.stderr.strip()[-500:]}")
    return [json.loads(line) for line in done.stdout.splitlines() if line.startswith("{")]


def multiview_report(results, machine):
    single = next((r["cpu_per_media_second"] for r in results if r.get("surfaces") == 1), None)
    lines = [MULTIVIEW_HEADING, "",
             f"Measured {datetime.datetime.now().strftime('%Y-%m-%d %H:%M')} on {machine}: the same 640x360 clip "
             f"in 1, 2 and 4 surfaces of one 1280x762 multi-view window (each its own engine, muted, null audio), "
             f"{MULTIVIEW_SECONDS} s each once all play.", "",
             "| Surfaces | CPU s per media s | Against one | Dropped frames |", "|---|---|---|---|"]
    for result in results:
        if "error" in result:
            lines.append(f"| {result['surfaces']} | {result['error']} | | |")
            continue
        cost = result["cpu_per_media_second"]
        against = f"{cost / single:.2f}×" if single else "n/a"
        lines.append(f"| {result['surfaces']} | {cost:.3f} | {against} | {result['dropped_frames']} |")
    return "\n".join(lines)


# ---------------------------------------------------------------- music mode

MUSICVIEW_SECONDS = 10


def make_song(ffmpeg, path, seconds=60):
    """A tone with an embedded 500x500 cover, so the music view has a disc and a blurred backdrop."""
    if path.exists():
        return
    cover = path.with_suffix(".cover.png")
    partial = path.with_suffix(".part.mp3")
    subprocess.run([ffmpeg, "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=500x500",
                    "-frames:v", "1", str(cover)], check=True)
    subprocess.run([ffmpeg, "-nostdin", "-v", "error", "-y",
                    "-f", "lavfi", "-i", f"sine=frequency=440:sample_rate=44100:duration={seconds}", "-i", str(cover),
                    "-map", "0:a", "-map", "1:v", "-c:a", "libmp3lame", "-b:a", "192k", "-c:v", "mjpeg",
                    "-disposition:v:0", "attached_pic", "-id3v2_version", "3", str(partial)],
                   check=True)
    cover.unlink()
    partial.rename(path)


def measure_musicview(tool, work, ffmpeg, seconds):
    """CPU per wall second of the player window in the music view and in the mini player."""
    song = work / "song_cover_60s.mp3"
    make_song(ffmpeg, song)
    xvfb = Xvfb()
    try:
        home = Path(tempfile.mkdtemp(dir=work))
        for name in ("config", "data", "cache", "runtime"):
            (home / name).mkdir(mode=0o700)
        env = dict(os.environ, DISPLAY=xvfb.display, QT_QPA_PLATFORM="xcb", LIBGL_ALWAYS_SOFTWARE="1",
                   VELMORAN_AUDIO_OUTPUT="null", VELMORAN_LRCLIB_URL="http://127.0.0.1:1/", HOME=str(home),
                   XDG_CONFIG_HOME=str(home / "config"), XDG_DATA_HOME=str(home / "data"),
                   XDG_CACHE_HOME=str(home / "cache"), XDG_RUNTIME_DIR=str(home / "runtime"))
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        done = subprocess.run([str(tool), "--song", str(song), "--seconds", str(seconds)], env=env,
                              capture_output=True, text=True, timeout=600)
    finally:
        xvfb.close()
    rows = [json.loads(line) for line in done.stdout.splitlines() if line.startswith("{")]
    if done.returncode != 0 or any("error" in row for row in rows):
        reason = next((row["error"] for row in rows if "error" in row), done.stderr.strip()[-500:])
        raise BenchError(f"music-mode bench failed: {reason}")
    return rows


def musicview_report(rows, machine, seconds):
    lines = [MUSICVIEW_HEADING, "",
             f"Measured {datetime.datetime.now().strftime('%Y-%m-%d %H:%M')} on {machine}: the player's window "
             f"(1280x720, software OpenGL, null audio) playing a 44.1 kHz MP3 with a 500x500 embedded cover in the "
             f"music view, then in the mini player; {seconds} s per row, paused rows after the bars have fallen.",
             "", "| View | State | CPU s per second |", "|---|---|---|"]
    lines += [f"| {row['view']} | {row['state']} | {row['cpu_per_second']:.3f} |" for row in rows]
    return "\n".join(lines)


# ---------------------------------------------------------------- seek-bar preview

SEEKPREVIEW_INTERVALS = (2, 10)  # keyframe spacing of the two clips, seconds
SEEKPREVIEW_HOVERS = 20
# ms: the picture of a new moment, at the median and at the 95th percentile of hovers
SEEKPREVIEW_TARGETS = {"median": 150, "p95": 400}


def measure_seekpreview(tool, work, ffmpeg, hovers):
    """Per keyframe spacing, the tool's JSON: hover-to-picture latencies in the player's window
    playing a 1080p H.264 clip, and the frames playback dropped while hovering and without."""
    results = []
    for interval in SEEKPREVIEW_INTERVALS:
        # One keyframe interval per hover and a few to spare: no hover is served from the cache.
        seconds = max(60, interval * (hovers + 4))
        clip = work / f"preview_1920x1080_{seconds}s_gop{interval}s.mp4"
        make_clip(ffmpeg, clip, "1920x1080", seconds, keyframe_seconds=interval)
        xvfb = Xvfb()
        try:
            home = Path(tempfile.mkdtemp(dir=work))
            for name in ("config", "data", "cache", "runtime"):
                (home / name).mkdir(mode=0o700)
            env = dict(os.environ, DISPLAY=xvfb.display, QT_QPA_PLATFORM="xcb", LIBGL_ALWAYS_SOFTWARE="1",
                       VELMORAN_AUDIO_OUTPUT="null", HOME=str(home), XDG_CONFIG_HOME=str(home / "config"),
                       XDG_DATA_HOME=str(home / "data"), XDG_CACHE_HOME=str(home / "cache"),
                       XDG_RUNTIME_DIR=str(home / "runtime"), LC_ALL="C.UTF-8")
            env.pop("DBUS_SESSION_BUS_ADDRESS", None)
            env.pop("VELMORAN_VIDEO_SURFACE", None)
            done = subprocess.run([str(tool), "--clip", str(clip), "--keyframe-interval", str(interval),
                                   "--hovers", str(hovers)], env=env, capture_output=True, text=True, timeout=900)
        finally:
            xvfb.close()
            shutil.rmtree(home, ignore_errors=True)
        rows = [json.loads(line) for line in done.stdout.splitlines() if line.startswith("{")]
        if done.returncode != 0 or not rows or "error" in rows[-1]:
            reason = rows[-1]["error"] if rows and "error" in rows[-1] else done.stderr.strip()[-500:]
            raise BenchError(f"seek-preview bench failed ({interval} s keyframes): {reason}")
        results.append(rows[-1])
    return results


def seekpreview_report(results, machine, hovers):
    lines = [SEEKPREVIEW_HEADING, "",
             f"Measured {datetime.datetime.now().strftime('%Y-%m-%d %H:%M')} on {machine}: the player's window "
             f"(software surface, null audio) playing a 1920x1080 30 fps H.264 clip in a loop while the pointer "
             f"moves over the seek slider to {hovers} moments, each in a keyframe interval not hovered before (so "
             f"none comes from the cache), resting 500 ms on each picture. Latency runs from the pointer's "
             f"arrival to the card's paint of that moment's picture; the first hover, which builds the preview "
             f"engine and opens the file, is apart. Dropped frames are the playing engine's (output and decoder) "
             f"over the hovers, then over as long a stretch with the pointer on the video.", "",
             f"| Keyframes every | First hover (ms) | Median (ms) | 95th percentile (ms) | Max (ms) | Timeouts "
             f"| Dropped frames hovering / not hovering | Target |",
             "|---|---|---|---|---|---|---|---|"]
    for result in results:
        latencies = result["latencies_ms"]
        median = statistics.median(latencies) if latencies else None
        p95 = percentile(latencies, 0.95)
        met = (median is not None and p95 is not None and result["timeouts"] == 0
               and median <= SEEKPREVIEW_TARGETS["median"] and p95 <= SEEKPREVIEW_TARGETS["p95"])
        target = (f"≤ {SEEKPREVIEW_TARGETS['median']} / {SEEKPREVIEW_TARGETS['p95']} ms "
                  f"{'met' if met else '**missed**'}")
        figures = " | ".join("n/a" if value is None else f"{value:.0f}"
                             for value in (result["first_hover_ms"], median, p95, max(latencies, default=None)))
        lines.append(f"| {result['keyframe_interval']:g} s | {figures} | {result['timeouts']} "
                     f"| {result['dropped_hovering']} / {result['dropped_without_hovering']} "
                     f"in {result['seconds']:.0f} s | {target} |")
    return "\n".join(lines)


# ---------------------------------------------------------------- clips and machine

SHADE_GREEN = (40, 100, 160, 220)  # must match frame_probe.c
# drawbox converts its colours with the BT.601 matrix; untagged, an HD clip would be decoded with
# BT.709 and the lightest shade would fall outside the probe's tolerance.
BT601_TAGS = ("-colorspace", "smpte170m", "-color_primaries", "smpte170m", "-color_trc", "smpte170m")
END_COLOUR = "0x00FF80"


def clip_filter(seconds):
    """The centred box: one of four pink shades by frame number (the probe counts frames by the
    changes), spring green in the last second. None of these colours appears in the player's chrome,
    its logo or testsrc2, so the probe sees only real video frames."""
    box = "x=iw/3:y=ih/3:w=iw/3:h=ih/3:t=fill"
    shades = [f"drawbox={box}:color=0xFF{green:02X}FF:enable='lt(t,{seconds - 1})*eq(mod(n,4),{phase})'"
              for phase, green in enumerate(SHADE_GREEN)]
    return ",".join(shades + [f"drawbox={box}:color={END_COLOUR}:enable='gte(t,{seconds - 1})'"])


def make_clip(ffmpeg, path, size, seconds, rate=FRAME_RATE, keyframe_seconds=None):
    """With keyframe_seconds, keyframes come exactly that far apart and nowhere else (no extra
    ones at scene changes); without, every 2 s at most, as the player measures were made."""
    if path.exists():
        return
    partial = path.with_suffix(".part.mp4")
    keyframes = ["-g", str(rate * 2)]
    if keyframe_seconds:
        gop = str(rate * keyframe_seconds)
        keyframes = ["-g", gop, "-keyint_min", gop, "-sc_threshold", "0"]
    subprocess.run([ffmpeg, "-v", "error", "-y",
                    "-f", "lavfi", "-i", f"testsrc2=size={size}:rate={rate}:duration={seconds}",
                    "-f", "lavfi", "-i", f"sine=frequency=440:sample_rate=48000:duration={seconds}",
                    "-vf", clip_filter(seconds), "-c:v", "libx264", "-preset", "veryfast", "-crf", "23",
                    *keyframes, "-pix_fmt", "yuv420p", *BT601_TAGS,
                    "-c:a", "aac", "-b:a", "128k", "-ac", "2", str(partial)],
                   check=True)
    partial.rename(path)


def machine_description(env, graphics=True):
    cpu = "unknown CPU"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    memory_kib = status_kib(Path("/proc/meminfo").read_text(), "MemTotal") or 0
    os_name = "Linux"
    release = Path("/etc/os-release")
    if release.exists():
        for line in release.read_text().splitlines():
            if line.startswith("PRETTY_NAME="):
                os_name = line.split("=", 1)[1].strip('"')
    system = (f"{cpu}, {os.cpu_count()} cores, {memory_kib / 1048576:.0f} GiB, {os_name} "
              f"(kernel {platform.release()})")
    if not graphics:
        return system
    mpv_version = subprocess.run(["mpv", "--version"], capture_output=True, text=True).stdout.splitlines()[0]
    renderer = "unknown renderer"
    try:
        info = subprocess.run(["glxinfo", "-B"], capture_output=True, text=True, env=env, timeout=10).stdout
        for line in info.splitlines():
            if "OpenGL renderer string" in line:
                renderer = line.split(":", 1)[1].strip()
    except (OSError, subprocess.TimeoutExpired):
        pass
    return (f"{system}, {mpv_version.split(' Copyright')[0]}, OpenGL: {renderer}, "
            f"Xvfb {SCREEN[0]}x{SCREEN[1]}")


def busy_fraction(seconds=1.0):
    """Share of all cores busy over a short sample: others' work that would disturb a run."""
    def sample():
        fields = [int(value) for value in Path("/proc/stat").read_text().split("\n", 1)[0].split()[1:]]
        idle = fields[3] + fields[4]
        return sum(fields), idle
    total0, idle0 = sample()
    time.sleep(seconds)
    total1, idle1 = sample()
    return 1 - (idle1 - idle0) / max(total1 - total0, 1)


def wait_for_quiet(max_wait, threshold=0.2):
    """Waits up to max_wait seconds for the machine to be nearly idle; False when it never was."""
    deadline = time.monotonic() + max_wait
    while busy_fraction() > threshold:
        if time.monotonic() >= deadline:
            return False
    return True


def load_average():
    return " ".join(Path("/proc/loadavg").read_text().split()[:3])


# ---------------------------------------------------------------- main

def require(value, option, what):
    if not value:
        raise BenchError(f"{option} is needed for {what}")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--player", type=Path)
    parser.add_argument("--probe", type=Path)
    parser.add_argument("--library-tool", type=Path, help="velmoran_library_bench, for the library measures")
    parser.add_argument("--multiview-tool", type=Path, help="velmoran_multiview_bench, for the multi-view measures")
    parser.add_argument("--musicview-tool", type=Path, help="velmoran_musicview_bench, for the music-mode measures")
    parser.add_argument("--musicview-seconds", type=float, default=MUSICVIEW_SECONDS,
                        help="wall seconds per music-mode row")
    parser.add_argument("--seekpreview-tool", type=Path, help="velmoran_seekpreview_bench, for the seek preview")
    parser.add_argument("--seekpreview-hovers", type=int, default=SEEKPREVIEW_HOVERS,
                        help="hovers per clip after the first")
    parser.add_argument("--work", required=True, type=Path, help="clips and per-run sandboxes")
    parser.add_argument("--out", required=True, type=Path)
    parser.add_argument("--mpv", default="mpv")
    parser.add_argument("--ffmpeg", default="ffmpeg")
    parser.add_argument("--runs", type=int, default=7, help="first-frame runs per program and clip")
    parser.add_argument("--play-runs", type=int, default=3, help="30 s playback runs per program and clip")
    parser.add_argument("--idle-runs", type=int, default=3, help="idle memory runs per program")
    parser.add_argument("--library-runs", type=int, default=5, help="scan and search runs")
    parser.add_argument("--library-files", type=int, default=100000, help="files in the scanned tree")
    parser.add_argument("--library-entries", type=int, default=40000, help="entries in each list for the search")
    parser.add_argument("--memory-runs", type=int, default=1, help="runs of the long-use memory scenario per program")
    parser.add_argument("--only", default="first_frame,playback,idle,seek,library,multiview,musicview,seekpreview,memory")
    parser.add_argument("--programs", default=",".join(PROGRAMS),
                        help="which of " + ", ".join(PROGRAMS) + " to measure (rows need both of theirs)")
    parser.add_argument("--quiet-wait", type=float, default=0,
                        help="before each run, wait up to this many seconds for other work on the machine to stop")
    parser.add_argument("--keep-logs", action="store_true")
    args = parser.parse_args()
    only = set(args.only.split(","))
    args.work.mkdir(parents=True, exist_ok=True)

    player_text = library_text = None
    if only & PLAYER_MEASURES:
        if not args.player or not args.probe:
            raise BenchError("--player and --probe are needed for " + ",".join(sorted(only & PLAYER_MEASURES)))
        player_text = measure_players(args, only)
    if "library" in only:
        require(args.library_tool, "--library-tool", "the library measures")
        started = time.monotonic()
        data = measure_library(args.library_tool, args.work, args.library_runs, args.library_files,
                               args.library_entries)
        library_text = library_report(data, machine_description(os.environ, graphics=False), args.library_runs,
                                      time.monotonic() - started)
    multiview_text = None
    if "multiview" in only:
        require(args.multiview_tool, "--multiview-tool", "the multi-view measures")
        results = measure_multiview(args.multiview_tool, args.work, args.ffmpeg)
        multiview_text = multiview_report(results, machine_description(os.environ, graphics=False))
    musicview_text = None
    if "musicview" in only:
        require(args.musicview_tool, "--musicview-tool", "the music-mode measures")
        rows = measure_musicview(args.musicview_tool, args.work, args.ffmpeg, args.musicview_seconds)
        musicview_text = musicview_report(rows, machine_description(os.environ, graphics=False),
                                          args.musicview_seconds)
    seekpreview_text = None
    if "seekpreview" in only:
        require(args.seekpreview_tool, "--seekpreview-tool", "the seek-preview measures")
        results = measure_seekpreview(args.seekpreview_tool, args.work, args.ffmpeg, args.seekpreview_hovers)
        seekpreview_text = seekpreview_report(results, machine_description(os.environ, graphics=False),
                                              args.seekpreview_hovers)
    memory_text = None
    if "memory" in only:
        require(args.player, "--player", "the memory scenario")
        memory_text = measure_memory(args, chosen_programs(args))
    old = args.out.read_text() if args.out.exists() else ""
    args.out.parent.mkdir(parents=True, exist_ok=True)
    texts = (player_text, library_text, multiview_text, musicview_text, seekpreview_text, memory_text)
    args.out.write_text(merge_report(old, *texts))
    print("\n\n".join(text for text in texts if text))
    return 0


def chosen_programs(args):
    chosen = [which for which in args.programs.split(",") if which]
    unknown = set(chosen) - set(PROGRAMS)
    if unknown:
        raise BenchError(f"unknown programs: {', '.join(sorted(unknown))}")
    return chosen


def measure_players(args, only):
    """The player against mpv; the Markdown of the report's first section."""
    clips = {"640x360": args.work / "play_640x360_30s.mp4", "1920x1080": args.work / "play_1920x1080_30s.mp4"}
    seek_clip = args.work / "seek_1280x720_60s.mp4"
    for size, path in clips.items():
        make_clip(args.ffmpeg, path, size, PLAY_SECONDS)
    make_clip(args.ffmpeg, seek_clip, "1280x720", SEEK_SECONDS)

    xvfb = Xvfb()
    programs = Programs(args.player.resolve(), args.mpv, xvfb.display, args.work, args.keep_logs)
    started = time.monotonic()
    load_before = load_average()
    results = {}

    def log(text):
        print(f"[{time.monotonic() - started:6.1f}s] {text}", flush=True)

    busy_runs = 0

    def settle():
        nonlocal busy_runs
        if args.quiet_wait > 0 and not wait_for_quiet(args.quiet_wait):
            busy_runs += 1

    chosen = chosen_programs(args)

    try:
        machine = machine_description(programs._env(args.work))
        if "first_frame" in only:
            for size, clip in clips.items():
                for which in chosen:
                    measure_first_frame(programs, args.probe, which, clip)  # fills the caches
                for run in range(args.runs):
                    for which in alternating(run, chosen):
                        settle()
                        ms, cpu = measure_first_frame(programs, args.probe, which, clip)
                        results.setdefault(("first_frame", size, which), []).append(ms)
                        results.setdefault(("startup_cpu", size, which), []).append(cpu)
                        log(f"first frame {size} {which}: {ms:.0f} ms, {cpu:.2f} CPU s")
            cold_size = next(iter(clips))
            for run in range(args.runs):
                for which in alternating(run, chosen):
                    settle()
                    ms, _ = measure_first_frame(programs, args.probe, which, clips[cold_size], warm=False)
                    results.setdefault(("first_frame_cold", cold_size, which), []).append(ms)
                    log(f"first frame, empty caches, {cold_size} {which}: {ms:.0f} ms")
        if "playback" in only:
            for size, clip in clips.items():
                for run in range(args.play_runs):
                    for which in alternating(run, chosen):
                        settle()
                        played = measure_playback(programs, args.probe, which, clip)
                        results.setdefault(("cpu", size, which), []).append(played["cpu"])
                        results.setdefault(("hwm_play", size, which), []).append(played["hwm"])
                        results.setdefault(("frames", size, which), []).append(played["frames"])
                        log(f"playback {size} {which}: {played['cpu']:.3f} CPU s per media s, "
                            f"{played['frames']} frames in {played['wall']:.1f} s for {END_MARKER_AT} s, "
                            f"peak {played['hwm']:.0f} MiB")
        if "idle" in only:
            for run in range(args.idle_runs):
                for which in alternating(run, chosen):
                    settle()
                    mib = measure_idle_memory(programs, which)
                    results.setdefault(("hwm_idle", "-", which), []).append(mib)
                    log(f"idle {which}: peak {mib:.0f} MiB")
        seek_note = ""
        if "seek" in only:
            targets = seek_targets(SEEK_COUNT, SEEK_SECONDS)
            for which in alternating(0, [w for w in ("player", "mpv-gpu") if w in chosen]):
                settle()
                try:
                    latencies = measure_seeks(programs, which, seek_clip, targets)
                except BenchError as error:
                    latencies, seek_note = None, str(error)
                if latencies is None:
                    if which == "player" and not seek_note:
                        seek_note = ("the player's remote control did not answer on "
                                     f"127.0.0.1:{REMOTE_PORT}: not available in this build")
                    log(f"seek {which}: not available")
                    continue
                missed = sum(1 for value in latencies if value is None)
                results[("seek", "1280x720", which)] = latencies
                log(f"seek {which}: median {summarize(latencies)[1]:.0f} ms, {missed} never arrived")
    finally:
        for launch in programs.launches:
            stop(launch.process, 1)
        xvfb.close()

    rows = player_rows(results, list(clips), chosen)
    elapsed = time.monotonic() - started
    report = [f"Measured {datetime.datetime.now().strftime('%Y-%m-%d %H:%M')} on {machine}.",
              "",
              f"Runs per program: {args.runs} for each first-frame row, {args.play_runs} per clip for playback, "
              f"{args.idle_runs} for idle memory, one run of {SEEK_COUNT} seeks; the programs alternate run by "
              f"run (ABCD DCBA). All get a {WINDOW[0]}x{WINDOW[1]} window (the player's first-start size), null "
              f"audio and a fresh HOME per run; shader caches persist across a program's runs (filled by one "
              f"discarded run) except in the empty-cache row. Programs: `software` is the player as it chooses "
              f"its surface (the software one here, checked in its log), `OpenGL` the player with "
              f"VELMORAN_VIDEO_SURFACE=opengl, `mpv gpu` is `mpv --no-config --vo=gpu --gpu-context=x11egl "
              f"--gpu-sw=yes --ao=null`, `mpv x11` the same with `--vo=x11`. Load average before / "
              f"after: {load_before} / {load_average()}; the bench took {elapsed / 60:.1f} min."
              + (f" Each run waited up to {args.quiet_wait:.0f} s for the machine to be idle; {busy_runs} started "
                 f"while it was busy." if args.quiet_wait > 0 else ""),
              "",
              markdown_table(rows, setting="Clip: program vs reference")]
    if seek_note:
        report += ["", f"Seek: {seek_note}."]
    return "\n".join(report)


SHORT_NAMES = {"player": "software", "player-gl": "OpenGL", "mpv-gpu": "mpv gpu", "mpv-x11": "mpv x11"}


def player_rows(results, sizes, chosen):
    """The table's rows: each compares one of the player's surfaces with the reference its figure
    is judged against; a row whose programs did not run is left out."""
    def triple(key, size, which):
        return summarize(results.get((key, size, which), []))

    rows = []

    def row(measure, key, size, setting, unit, player, reference, target, digits):
        if player in chosen and reference in chosen:
            rows.append((measure, f"{setting}: {SHORT_NAMES[player]} vs {SHORT_NAMES[reference]}", unit,
                         triple(key, size, player), triple(key, size, reference), target, digits))

    cold = sizes[0]
    clip = {size: f"{size}, {PLAY_SECONDS} s" for size in sizes}
    for size in sizes:
        row("Start to first frame", "first_frame", size, f"{size} H.264", "ms", "player", "mpv-gpu",
            TARGETS["first_frame"], 0)
        row("Start to first frame", "first_frame", size, f"{size} H.264", "ms", "player", "mpv-x11", None, 0)
        row("Start to first frame", "first_frame", size, f"{size} H.264", "ms", "player-gl", "mpv-gpu", None, 0)
    row("Start to first frame, empty shader caches", "first_frame_cold", cold, f"{cold} H.264", "ms", "player",
        "mpv-gpu", TARGETS["first_frame"], 0)
    row("Start to first frame, empty shader caches", "first_frame_cold", cold, f"{cold} H.264", "ms", "player-gl",
        "mpv-gpu", None, 0)
    for size in sizes:
        row("CPU to first frame", "startup_cpu", size, f"{size} H.264", "CPU s", "player", "mpv-gpu", None, 2)
    for size in sizes:
        row("Playback CPU per media second", "cpu", size, clip[size], "CPU s", "player", "mpv-x11", TARGETS["cpu"], 3)
        row("Playback CPU per media second", "cpu", size, clip[size], "CPU s", "player-gl", "mpv-gpu", None, 3)
    for size in sizes:
        frames = f"Frames shown of {END_MARKER_AT * FRAME_RATE}"
        row(frames, "frames", size, clip[size], "frames", "player", "mpv-x11", None, 0)
        row(frames, "frames", size, clip[size], "frames", "player-gl", "mpv-gpu", None, 0)
    row("Peak RSS idle, 5 s after start", "hwm_idle", "-", "no file", "MiB", "player", "mpv-gpu", None, 0)
    row("Peak RSS idle, 5 s after start", "hwm_idle", "-", "no file", "MiB", "player-gl", "mpv-gpu", None, 0)
    big = sizes[-1]
    row("Peak RSS playing", "hwm_play", big, clip[big], "MiB", "player", "mpv-gpu", TARGETS["hwm_play"], 0)
    row("Peak RSS playing", "hwm_play", big, clip[big], "MiB", "player-gl", "mpv-gpu", None, 0)
    row("Seek request to position reported", "seek", "1280x720", f"1280x720, {SEEK_SECONDS} s, {SEEK_COUNT} seeks",
        "ms", "player", "mpv-gpu", None, 0)
    return rows


if __name__ == "__main__":
    try:
        sys.exit(main())
    except BenchError as error:
        print(f"bench: {error}", file=sys.stderr)
        sys.exit(1)
