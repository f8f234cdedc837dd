#!/usr/bin/env python3
"""How long the pauses between recognised words are inside sentences and between them, on espeak-ng
speech: what the service's sentence-pause threshold is chosen from. Also how far each recognised
sentence's start lies from the known onset. Usage: sentence_pauses.py SPEECHD_BINARY"""
import array, sys, tempfile

from speechd_util import RATE, Service, onset, speak, wav
from speech_bench_sentences import SENTENCES

# Pause added after each sentence (seconds), cycling: none (espeak-ng's own), short and natural ones.
EXTRA = [0.0, 0.2, 0.4, 0.7, 1.0, 2.5]

with tempfile.TemporaryDirectory() as tmp:
    audio = array.array("h")
    onsets = []
    for i, sentence in enumerate(SENTENCES):
        piece = speak(sentence, tmp, "s%d" % i)
        onsets.append((len(audio) + onset(piece)) * 1000 // RATE)
        audio.extend(piece)
        audio.extend(array.array("h", bytes(2 * int(EXTRA[i % len(EXTRA)] * RATE))))
    with Service(sys.argv[1], tmp) as service:
        answer = service.recognize(wav(audio))
    sentences = answer.get("sentences", [])
    recognised = [word for sentence in sentences for word in sentence["words"]]
    # The gap at a boundary: before the first word that starts at the next sentence's known onset.
    firsts = set()
    print("pause added  gap recognised at the sentence end (ms)")
    for i, start in enumerate(onsets[1:]):
        after = next((k for k, word in enumerate(recognised) if word["start"] >= start - 250), None)
        if after:
            firsts.add(after)
            gap = recognised[after]["start"] - recognised[after - 1]["end"]
            print("%8.1f s   %5d" % (EXTRA[i % len(EXTRA)], gap))
    inside = sorted(recognised[k]["start"] - recognised[k - 1]["end"] for k in range(1, len(recognised))
                    if k not in firsts)
    print("inside sentences: %d gaps, median %d, 90%% %d, 99%% %d, max %d ms" % (
        len(inside), inside[len(inside) // 2], inside[int(len(inside) * 0.9)], inside[int(len(inside) * 0.99)],
        inside[-1]))
    errors = [min(abs(s["start"] - start) for s in sentences) for start in onsets] if sentences else []
    if errors:
        errors.sort()
        print("sentence start vs known onset: median %d ms, max %d ms" % (errors[len(errors) // 2], errors[-1]))
    print(answer["result"][0] if answer.get("result") else answer)
