"""A long evening of switching compressed into minutes: a 30-entry queue of films, songs with
covers, a 5.1 film, files with chapters, a cut-off file and random bytes, driven with next /
previous / seek / pause / volume every 0.3 s through each program's own control channel (the
player's remote-control HTTP server, mpv's JSON IPC). Resident memory is read from /proc every 60
actions, at the half-way action and at the end.

Imported by bench.py (--only memory); the pure parts (queue plan, actions, judgement) are
unit-tested in tests/test_bench.py."""
import random
import subprocess
import time
from dataclasses import dataclass, field
from pathlib import Path

ACTIONS = 500            # 150 s at one action every 0.3 s
ACTION_INTERVAL = 0.3
ANSWER_TIMEOUT = 10.0     # a request still unanswered after this counts as lost
SAMPLE_EVERY = 60
SEEK_RANGE = (1.0, 25.0)  # every playable entry lasts at least 30 s
GROWTH_LIMIT_MIB = 25     # over the second half of the run
PEAK_LIMIT = 1.5          # the player's peak over mpv's
MEMORY_HEADING = "## Memory under long use"

# (kind, count): the queue's contents before they are interleaved.
QUEUE_PLAN = (("film", 9), ("flac", 8), ("mp3", 8), ("surround", 1), ("chapters", 2),
              ("truncated", 1), ("random", 1))
FILM_SIZES = ("1280x720", "1920x1080", "640x360")
MEDIA_SECONDS = 30
COVER_SIZE = 1000  # covers as shops sell them; the view's blur and disc shrink them


# ---------------------------------------------------------------- pure helpers (unit-tested)

def queue_names():
    """The 30 file names in queue order: kinds interleaved by a fixed shuffle, so both programs
    get the same queue and every kind comes round often."""
    names = []
    for kind, count in QUEUE_PLAN:
        extension = {"flac": "flac", "mp3": "mp3", "surround": "mkv", "chapters": "mkv", "random": "mp4"}.get(kind, "mp4")
        names += [f"{kind}_{index:02d}.{extension}" for index in range(count)]
    rng = random.Random(32)
    rng.shuffle(names)
    # The first entry must play, so that both programs have answered with a position before the run.
    first = next(i for i, name in enumerate(names) if name.startswith("film_"))
    names.insert(0, names.pop(first))
    return names


def actions(count=ACTIONS, entries=30, seed=32):
    """The same actions for both programs: seeks, pauses and volume changes between steps that
    sweep forward through the queue and back again (a step past either end would be lost)."""
    rng = random.Random(seed)
    result, position, direction = [], 0, 1
    for _ in range(count):
        roll = rng.random()
        if roll < 0.35:
            step = direction if rng.random() < 0.75 else -direction
            if not 0 <= position + step < entries:
                direction, step = -direction, -step
            position += step
            result.append(("next",) if step > 0 else ("prev",))
        elif roll < 0.65:
            result.append(("seek", round(rng.uniform(*SEEK_RANGE), 1)))
        elif roll < 0.8:
            result.append(("toggle",))
        else:
            result.append(("volume", rng.randrange(40, 131, 10)))
    return result


def sample_points(count=ACTIONS, every=SAMPLE_EVERY):
    """Actions after which memory is read: every `every`, the half-way one and the last."""
    return sorted(set(range(0, count + 1, every)) | {count // 2, count})


def judge(samples, peak, reference_peak, count=ACTIONS):
    """samples: {actions done: RSS MiB}. Growth over the second half is the highest reading from
    half-way on, less the half-way reading; the peak is compared with the reference's."""
    half = samples.get(count // 2)
    later = [mib for done, mib in samples.items() if done >= count // 2]
    growth = max(later) - half if half is not None and later else None
    ratio = peak / reference_peak if peak and reference_peak else None
    return {"growth": growth, "growth_met": growth is not None and growth <= GROWTH_LIMIT_MIB,
            "peak_ratio": ratio, "peak_met": ratio is not None and ratio <= PEAK_LIMIT}


def reference_program(runs):
    """Whose peak the player's is held to: mpv on its GPU output as users start it, else its X11 one."""
    return next((which for which in ("mpv-gpu", "mpv-x11") if runs.get(which)), None)


def report(runs, labels, machine, elapsed):
    """runs: {program: [run...]}, each run {"samples", "peak", "unanswered", "slowest"}; labels: the
    programs' names for the table, in table order."""
    points = sample_points()
    reference = reference_program(runs)
    lines = [MEMORY_HEADING, "",
             f"Measured {time.strftime('%Y-%m-%d %H:%M')} on {machine}; took {elapsed / 60:.1f} min.", "",
             f"A {len(queue_names())}-entry queue ({', '.join(f'{n} {k}' for k, n in QUEUE_PLAN)}; films "
             f"{', '.join(FILM_SIZES)} H.264/AAC, songs with {COVER_SIZE}×{COVER_SIZE} covers, all {MEDIA_SECONDS} s), "
             f"{ACTIONS} actions one every {ACTION_INTERVAL} s (next / previous / absolute seek / pause toggle / "
             f"volume, the same fixed sequence for all), through the player's remote-control server and mpv's "
             f"IPC. mpv runs with `--no-config --ao=null --idle=yes --force-window=yes` and the queue on its "
             f"command line. RSS (MiB) from /proc/PID/status after the given number of actions; peak is VmHWM "
             f"at the end. A request without an answer within {ANSWER_TIMEOUT:.0f} s is unanswered.", "",
             "| Program | Run | " + " | ".join(str(p) for p in points) + " | Peak | 2nd-half growth | Unanswered | Slowest answer (s) |",
             "|---|---|" + "---|" * (len(points) + 4)]
    reference_peak = max((run["peak"] for run in runs.get(reference, []) if run["peak"]), default=None)
    verdicts = []
    for which, label in labels.items():
        for index, run in enumerate(runs.get(which, []), 1):
            verdict = judge(run["samples"], run["peak"], reference_peak)
            cells = [f"{run['samples'][p]:.0f}" if p in run["samples"] else "—" for p in points]
            growth = "n/a" if verdict["growth"] is None else f"{verdict['growth']:+.0f}"
            peak = "n/a" if not run["peak"] else f"{run['peak']:.0f}"
            lines.append(f"| {label} | {index} | " + " | ".join(cells) + f" | {peak} | {growth} | {run['unanswered']} | {run['slowest']:.1f} |")
            if which.startswith("player"):
                verdicts.append((label, index, verdict))
    lines.append("")
    for label, index, verdict in verdicts:
        growth = "n/a" if verdict["growth"] is None else f"{verdict['growth']:.0f} MiB"
        ratio = "n/a" if verdict["peak_ratio"] is None else f"{verdict['peak_ratio']:.2f}×"
        against = labels.get(reference, "no mpv run")
        lines.append(f"{label} run {index}: second-half growth {growth} (≤ {GROWTH_LIMIT_MIB} MiB "
                     f"{'met' if verdict['growth_met'] else '**missed**'}); peak {ratio} the highest peak of "
                     f"{against} (≤ {PEAK_LIMIT} {'met' if verdict['peak_met'] else '**missed**'}).")
    return "\n".join(lines)


# ---------------------------------------------------------------- media

def _ffmpeg(ffmpeg, *args):
    subprocess.run([ffmpeg, "-nostdin", "-v", "error", "-y", *args], check=True)


def _sine(index, seconds=MEDIA_SECONDS):
    return f"sine=frequency={220 + 40 * index}:sample_rate=48000:duration={seconds}"


def make_queue(ffmpeg, folder):
    """Generates the queue's files once into folder; the list of their paths in queue order."""
    folder.mkdir(parents=True, exist_ok=True)
    names = queue_names()
    for name in names:
        path = folder / name
        if not path.exists():
            partial = path.with_name(".part." + name)
            _make_entry(ffmpeg, partial, name, folder)
            partial.rename(path)
    return [folder / name for name in names]


def _make_entry(ffmpeg, path, name, folder):
    kind, index = name.split(".")[0].rsplit("_", 1)
    index = int(index)
    video = ["-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-g", "50"]
    if kind == "film":
        size = FILM_SIZES[index % len(FILM_SIZES)]
        _ffmpeg(ffmpeg, "-f", "lavfi", "-i", f"testsrc2=size={size}:rate=25:duration={MEDIA_SECONDS}",
                "-f", "lavfi", "-i", _sine(index), *video, "-c:a", "aac", "-b:a", "128k", "-ac", "2",
                "-shortest", str(path))
    elif kind in ("flac", "mp3"):
        cover = folder / f".cover_{kind}_{index:02d}.jpg"
        if not cover.exists():
            # A different picture per song, so nothing can be shared between two covers.
            _ffmpeg(ffmpeg, "-f", "lavfi", "-i", f"mandelbrot=size={COVER_SIZE}x{COVER_SIZE}:start_scale={1 + index}",
                    "-vf", f"hue=h={index * 45 + (0 if kind == 'flac' else 20)}", "-frames:v", "1", "-q:v", "3",
                    str(cover))
        codec = ["-c:a", "flac"] if kind == "flac" else ["-c:a", "libmp3lame", "-b:a", "192k", "-id3v2_version", "3"]
        _ffmpeg(ffmpeg, "-f", "lavfi", "-i", _sine(index), "-i", str(cover), "-map", "0:a", "-map", "1:v",
                "-c:v", "copy", "-disposition:v", "attached_pic", "-metadata:s:v", "title=Album cover",
                "-metadata:s:v", "comment=Cover (front)", *codec, "-ac", "2",
                "-metadata", f"title=Song {kind} {index}", "-metadata", "artist=Bench", "-metadata",
                f"album=Album {index}", str(path))
    elif kind == "surround":
        _ffmpeg(ffmpeg, "-f", "lavfi", "-i", f"testsrc2=size=1280x720:rate=25:duration={MEDIA_SECONDS}",
                "-f", "lavfi", "-i", f"aevalsrc=sin(2*PI*440*t)|sin(2*PI*550*t)|sin(2*PI*660*t)|0.5*sin(2*PI*60*t)|"
                f"sin(2*PI*770*t)|sin(2*PI*880*t):channel_layout=5.1(side):sample_rate=48000:duration={MEDIA_SECONDS}",
                *video, "-c:a", "ac3", "-b:a", "384k", "-shortest", str(path))
    elif kind == "chapters":
        chapters = folder / f".chapters_{index}.txt"
        step = MEDIA_SECONDS * 1000 // 10
        chapters.write_text(";FFMETADATA1\n" + "".join(
            f"[CHAPTER]\nTIMEBASE=1/1000\nSTART={c * step}\nEND={(c + 1) * step}\ntitle=Chapter {c + 1}\n"
            for c in range(10)))
        _ffmpeg(ffmpeg, "-f", "lavfi", "-i", f"testsrc2=size=1280x720:rate=25:duration={MEDIA_SECONDS}",
                "-f", "lavfi", "-i", _sine(index), "-f", "ffmetadata", "-i", str(chapters),
                "-map", "0:v", "-map", "1:a", "-map_chapters", "2", *video, "-c:a", "aac", "-shortest", str(path))
    elif kind == "truncated":
        whole = folder / ".whole.mp4"
        _ffmpeg(ffmpeg, "-f", "lavfi", "-i", f"testsrc2=size=1280x720:rate=25:duration={MEDIA_SECONDS}",
                "-f", "lavfi", "-i", _sine(index), *video, "-c:a", "aac", "-movflags", "+faststart",
                "-shortest", str(whole))
        data = whole.read_bytes()
        path.write_bytes(data[:len(data) * 40 // 100])
        whole.unlink()
    else:
        path.write_bytes(random.Random(index).randbytes(2 * 1024 * 1024))


# ---------------------------------------------------------------- the run

@dataclass
class Run:
    samples: dict = field(default_factory=dict)
    peak: float | None = None
    unanswered: int = 0
    slowest: float = 0.0  # seconds, the longest wait for an answer


def drive(remote, pid, rss_mib, hwm_mib, steps=None):
    """Runs the actions at their pace, reading memory at the sample points."""
    steps = steps if steps is not None else actions()
    points = set(sample_points(len(steps)))
    run = Run()
    started = time.monotonic()
    for done in range(len(steps) + 1):
        if done in points:
            run.samples[done] = rss_mib(pid)
        if done == len(steps):
            break
        asked = time.monotonic()
        if not remote.act(steps[done]):
            run.unanswered += 1
        run.slowest = max(run.slowest, time.monotonic() - asked)
        # Keep the pace from the start, so a slow answer does not stretch the run.
        delay = started + (done + 1) * ACTION_INTERVAL - time.monotonic()
        if delay > 0:
            time.sleep(delay)
    run.peak = hwm_mib(pid)
    return run
