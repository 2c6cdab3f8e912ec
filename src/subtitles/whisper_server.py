#!/usr/bin/env python3
"""Speech recognition for Velmoran's "AI 자막" page.

    whisper_server.py --file MEDIA --model NAME --language CODE [--save-srt]
    whisper_server.py --probe

Every recognised segment leaves as one line on stdout, as soon as it is known:

    start|end|text|confidence

start and end in seconds, confidence from 0 to 1, numbers with a dot; a "|" inside the text is
replaced so that the line always splits the same way. Anything meant for a person goes to stderr.
--probe prints the engine this interpreter would use ("faster-whisper", "pocketsphinx" or "none").
--save-srt writes the segments in time order beside the media, as "<name>.srt", or when that
name is taken (by the user's own subtitle, say) the first free one of "<name>.stt.srt",
"<name>.stt.2.srt", …: no file is ever replaced. The name written is noted on stderr as
"whisper_server: saved PATH". Translation is the player's job: the recognisers translate into
English only.

faster-whisper is used when it is installed. Otherwise Debian's pocketsphinx (python3-pocketsphinx
with pocketsphinx-en-us) recognises English offline; it has no model sizes, so --model and a
language other than English are reported and ignored.
"""

import argparse
import importlib.util
import math
import os
import shutil
import signal
import subprocess
import sys
import tempfile

SAMPLE_RATE = 16000
# pocketsphinx cuts an utterance at each pause; a speaker who never pauses (or music) would
# otherwise hold every line back until the end of the file.
MAX_UTTERANCE_SECONDS = 20.0


def note(message):
    print(f"whisper_server: {message}", file=sys.stderr, flush=True)


def pocketsphinx_model():
    """(acoustic model, language model, dictionary) of the English model, or None."""
    try:
        import pocketsphinx
    except ImportError:
        return None
    roots = []
    if hasattr(pocketsphinx, "get_model_path"):
        base = pocketsphinx.get_model_path()
        # The Debian build answers the en-us folder itself, newer releases its parent.
        roots += [base, os.path.join(base, "en-us")]
    roots.append("/usr/share/pocketsphinx/model/en-us")
    for root in roots:
        files = (os.path.join(root, "en-us"), os.path.join(root, "en-us.lm.bin"),
                 os.path.join(root, "cmudict-en-us.dict"))
        if os.path.isfile(os.path.join(files[0], "mdef")) and all(map(os.path.isfile, files[1:])):
            return files
    return None


def available_engine():
    # VELMORAN_SPEECH_ENGINE keeps the choice to one engine, e.g. the offline pocketsphinx where
    # faster-whisper would first download its model.
    wanted = os.environ.get("VELMORAN_SPEECH_ENGINE") or None
    # find_spec instead of an import: importing faster-whisper takes seconds, and the player asks
    # while its window waits.
    if wanted in (None, "faster-whisper") and importlib.util.find_spec("faster_whisper") is not None:
        return "faster-whisper"
    if (wanted in (None, "pocketsphinx") and importlib.util.find_spec("pocketsphinx") is not None
            and pocketsphinx_model() is not None):
        return "pocketsphinx"
    return None


def emit(start, end, text, confidence):
    text = " ".join(text.replace("|", "｜").split())
    if not text:
        return
    confidence = min(max(confidence, 0.0), 1.0) if math.isfinite(confidence) else 0.0
    print(f"{max(start, 0.0):.3f}|{max(end, start, 0.0):.3f}|{text}|{confidence:.3f}", flush=True)


def srt_time(seconds):
    ms = max(0, round(seconds * 1000))
    return f"{ms // 3600000:02d}:{ms // 60000 % 60:02d}:{ms // 1000 % 60:02d},{ms % 1000:03d}"


# Far more than anyone keeps beside one video; beyond it the folder is not a place to write.
MAX_SRT_NAMES = 100


def srt_names(media):
    base = os.path.splitext(media)[0]
    yield base + ".srt"
    yield base + ".stt.srt"
    for n in range(2, MAX_SRT_NAMES):
        yield f"{base}.stt.{n}.srt"


def save_srt(media, segments):
    ordered = sorted(set(segments))
    blocks = [f"{n}\n{srt_time(s)} --> {srt_time(e)}\n{t}\n" for n, (s, e, t) in enumerate(ordered, 1)]
    temporary = None
    try:
        # Written beside, then linked under the first free name: link() refuses a name that is
        # taken, even by a file made a moment ago, and a player never reads half a file.
        fd, temporary = tempfile.mkstemp(prefix=".velmoran-", suffix=".srt", dir=os.path.dirname(media) or ".")
        with os.fdopen(fd, "w", encoding="utf-8") as out:
            out.write("\n".join(blocks))
        # mkstemp makes the file private; an exported subtitle gets the user's usual permissions.
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(temporary, 0o666 & ~umask)
        for target in srt_names(media):
            try:
                os.link(temporary, target)
            except FileExistsError:
                continue
            note(f"saved {target}")
            return
        note(f"could not save beside {media}: every name is taken")
    except OSError as error:
        note(f"could not save beside {media}: {error}")
    finally:
        if temporary is not None:
            os.unlink(temporary)


def run_faster_whisper(args, segments):
    from faster_whisper import WhisperModel

    model = WhisperModel(args.model, device="auto", compute_type="default")
    found, _ = model.transcribe(args.file, language=None if args.language == "auto" else args.language,
                                task="transcribe", vad_filter=True)
    for segment in found:
        # The mean log-probability of the segment's tokens, as a probability.
        confidence = math.exp(segment.avg_logprob)
        emit(segment.start, segment.end, segment.text, confidence)
        segments.append((segment.start, segment.end, segment.text.strip()))
    return 0


def pcm_reader(path):
    ffmpeg = shutil.which("ffmpeg")
    if ffmpeg is None:
        note("ffmpeg is not installed")
        return None
    command = [ffmpeg, "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-vn",
               "-ac", "1", "-ar", str(SAMPLE_RATE), "-f", "s16le", "-"]
    return subprocess.Popen(command, stdout=subprocess.PIPE)


def is_word(word):
    return not (word.startswith("<") or word.startswith("[") or word.startswith("++"))


def run_pocketsphinx(args, segments):
    from pocketsphinx import Decoder

    if args.language not in ("auto", "en"):
        note(f"pocketsphinx recognises English only; --language {args.language} is ignored")
    note(f"pocketsphinx has one English model; --model {args.model} is ignored")

    hmm, lm, dictionary = pocketsphinx_model()
    config = Decoder.default_config()
    config.set_string("-hmm", hmm)
    config.set_string("-lm", lm)
    config.set_string("-dict", dictionary)
    config.set_string("-logfn", os.devnull)
    decoder = Decoder(config)
    frame_rate = config.get_int("-frate")
    logmath = decoder.get_logmath()

    def finish_utterance():
        decoder.end_utt()
        # Frame numbers count from the start of the stream, not of the utterance.
        words = [w for w in decoder.seg() if is_word(w.word)]
        if words:
            start = words[0].start_frame / frame_rate
            end = (words[-1].end_frame + 1) / frame_rate
            text = " ".join(w.word.split("(")[0] for w in words)
            # Confidence: the mean of the words' posterior probabilities from the lattice
            # (seg.prob is their log in the decoder's log base). The whole hypothesis's posterior
            # is a product over its words and shrinks with every word, so it says little.
            confidence = sum(logmath.exp(w.prob) for w in words) / len(words)
            emit(start, end, text, confidence)
            segments.append((start, end, text))

    reader = pcm_reader(args.file)
    if reader is None:
        return 2
    chunk_bytes = 4096
    fed = 0
    speech_start = 0
    in_speech = False
    decoder.start_utt()
    while True:
        chunk = reader.stdout.read(chunk_bytes)
        if not chunk:
            break
        decoder.process_raw(chunk, False, False)
        fed += len(chunk) // 2
        speaking = decoder.get_in_speech()
        if speaking and not in_speech:
            speech_start = fed
        too_long = speaking and (fed - speech_start) / SAMPLE_RATE > MAX_UTTERANCE_SECONDS
        if (in_speech and not speaking) or too_long:
            finish_utterance()
            decoder.start_utt()
        in_speech = speaking and not too_long
    finish_utterance()
    if reader.wait() != 0:
        note(f"ffmpeg could not decode the audio of {args.file}")
        return 1
    return 0


def main():
    parser = argparse.ArgumentParser(description="Recognises the speech of a media file.")
    parser.add_argument("--probe", action="store_true", help="print the engine that would be used")
    parser.add_argument("--file")
    parser.add_argument("--model", default="medium")
    parser.add_argument("--language", default="auto")
    parser.add_argument("--save-srt", action="store_true")
    args = parser.parse_args()

    engine = available_engine()
    if args.probe:
        print(engine or "none", flush=True)
        return 0
    if not args.file:
        parser.error("--file is required")
    if engine is None:
        note("no speech engine: install faster-whisper, or python3-pocketsphinx and pocketsphinx-en-us")
        return 3
    try:
        sys.stdout.reconfigure(encoding="utf-8")
    except AttributeError:
        pass
    note(f"engine {engine}")

    segments = []
    run = run_faster_whisper if engine == "faster-whisper" else run_pocketsphinx
    status = run(args, segments)
    if args.save_srt and segments:
        save_srt(args.file, segments)
    return status


if __name__ == "__main__":
    # The player closing the pipe ends the script (and its ffmpeg) without a traceback.
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    sys.exit(main())
