#!/usr/bin/env python3
"""Word error rate of a 10-minute espeak-ng file whose 60 s marks fall inside words, cut by ffmpeg's
segment muxer every 60 s and in pauses (bench_cutplan --cuts), each segment recognised by
quillora-speechd, the texts joined and compared with the script.
Usage: cut_wer.py SPEECHD_BINARY BENCH_CUTPLAN_BINARY [MINUTES]"""
import array, concurrent.futures, glob, os, subprocess, sys, tempfile

from speechd_util import RATE, Service, edit_distance, speak, wav, words
from speech_bench_sentences import SENTENCES

speechd, planner = sys.argv[1], sys.argv[2]
minutes = int(sys.argv[3]) if len(sys.argv) > 3 else 10


def loud_at(samples, index, radius=160):
    piece = samples[max(0, index - radius):index + radius]
    return len(piece) > 0 and max(abs(v) for v in piece) > 2000


def recognise_plan(service, source, cuts, folder):
    os.makedirs(folder)
    subprocess.run(["ffmpeg", "-nostdin", "-y", "-loglevel", "error", "-i", source, "-af", "asetnsamples=n=1600",
                    "-acodec", "pcm_s16le", "-f", "segment", "-segment_times", cuts, "-reset_timestamps", "1",
                    os.path.join(folder, "%d.wav")], check=True)
    segments = sorted(glob.glob(os.path.join(folder, "*.wav")), key=lambda p: int(os.path.basename(p)[:-4]))
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        answers = list(pool.map(lambda p: service.recognize(open(p, "rb").read()), segments))
    return len(segments), " ".join(a["result"][0] for a in answers if a.get("result"))


with tempfile.TemporaryDirectory() as tmp:
    pieces = [speak(s, tmp, "s%d" % i) for i, s in enumerate(SENTENCES)]
    audio, script, i = array.array("h"), [], 0
    pause = array.array("h", bytes(2 * RATE // 2))  # half a second between sentences
    while len(audio) < minutes * 60 * RATE:
        piece = pieces[i % len(pieces)]
        mark = (len(audio) // (60 * RATE) + 1) * 60 * RATE
        if len(audio) < mark <= len(audio) + len(piece):
            # Shift the sentence until the minute mark falls inside a word.
            while not loud_at(piece, mark - len(audio)):
                audio.extend(array.array("h", bytes(2 * 480)))
        audio.extend(piece)
        audio.extend(pause)
        script.append(SENTENCES[i % len(SENTENCES)])
        i += 1
    source = os.path.join(tmp, "source_16k.wav")
    open(source, "wb").write(wav(audio))
    marks_in_words = sum(loud_at(audio, k * 60 * RATE) for k in range(1, len(audio) // (60 * RATE) + 1))
    every = ",".join(str(60 * k) for k in range(1, (len(audio) - 1) // (60 * RATE) + 1))
    in_pauses = subprocess.run([planner, "--cuts", source], check=True, capture_output=True,
                               text=True).stdout.strip()
    reference = words(" ".join(script))
    print("file: %.1f minutes, %d sentences, %d words; %d of the minute marks inside a word" % (
        len(audio) / RATE / 60, len(script), len(reference), marks_in_words))
    with Service(speechd, tmp, workers=2) as service:
        for name, cuts in (("cuts every 60 s", every), ("cuts in pauses", in_pauses)):
            count, text = recognise_plan(service, source, cuts, os.path.join(tmp, name.replace(" ", "_")))
            distance = edit_distance(reference, words(text))
            print("%-16s %2d segments, WER %.1f%% (%d errors)   cuts: %s" % (
                name, count, 100.0 * distance / len(reference), distance, cuts))
