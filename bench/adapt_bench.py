#!/usr/bin/env python3
"""Word error on held-out speech of one voice before and after adapting the en-us model to it.

Speech is espeak-ng English in one voice (fixed pitch and speed); the training and the held-out text
come from different documents (the licence texts every Debian system carries), so no held-out
sentence was seen in training. Adaptation runs sphinxtrain's tools as Quillora's adaptation does
(features, Baum-Welch counts, then an MLLR transform or a MAP model); MLLR is `quillora --adapt` on the
pairs of audio and text (in a copy of the program with a data folder of its own), MAP sphinxtrain's
map_adapt on the same counts. Decoding is PocketSphinx's batch decoder with the en-us model, language
model and dictionary, plain, with the stored transform (-mllr) or with the MAP model.
"""
import argparse
import array
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import time

MODEL = "/usr/share/pocketsphinx/model/en-us"
HMM = MODEL + "/en-us"
DICT = MODEL + "/cmudict-en-us.dict"
LM = MODEL + "/en-us.lm.bin"
LICENSES = "/usr/share/common-licenses/"
TRAIN_DOCS = ["GPL-3", "GFDL-1.3", "Apache-2.0", "MPL-2.0", "GPL-2", "LGPL-3", "GFDL-1.2"]
HELDOUT_DOCS = ["Artistic", "MPL-1.1", "BSD", "CC0-1.0", "LGPL-2.1"]
ST = "/usr/lib/sphinxtrain/"
SERVICES = []


def run(args, **kw):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)


def dictionary_words():
    words = set()
    with open(DICT, encoding="utf-8") as f:
        for line in f:
            words.add(re.sub(r"\(\d+\)$", "", line.split()[0]))
    return words


def sentences(names, known):
    out = []
    for name in names:
        text = re.sub(r"\s+", " ", open(LICENSES + name, errors="ignore").read())
        for s in re.split(r"[.;:!?()\"]", text):
            ws = [w.strip("',-").lower() for w in s.replace("-", " ").split()]
            ws = [w for w in ws if w]
            if 6 <= len(ws) <= 28 and all(re.fullmatch(r"[a-z']+", w) and w in known for w in ws):
                out.append(" ".join(ws))
    return list(dict.fromkeys(out))


def synthesize(text, raw, voice, speed, pitch):
    wav = raw[:-4] + ".wav"
    run(["espeak-ng", "-v", voice, "-s", str(speed), "-p", str(pitch), "-w", wav, text])
    run(["ffmpeg", "-nostdin", "-y", "-i", wav, "-ar", "16000", "-ac", "1", "-f", "s16le", raw])
    return os.path.getsize(raw) / 32000.0


def features(folder, ids):
    ctl = os.path.join(folder, "fileids")
    with open(ctl, "w") as f:
        f.write("".join(i + "\n" for i in ids))
    run(["sphinx_fe", "-argfile", HMM + "/feat.params", "-samprate", "16000", "-c", ctl, "-di", folder,
         "-do", folder, "-ei", "raw", "-eo", "mfc", "-raw", "yes", "-input_endian", "little", "-remove_silence", "no"])
    return ctl


def wer(refs, hyps):
    errors = words = 0
    for ref, hyp in zip(refs, hyps):
        r, h = ref.split(), hyp.split()
        d = list(range(len(h) + 1))
        for i in range(1, len(r) + 1):
            prev, d[0] = d[0], i
            for j in range(1, len(h) + 1):
                cur = min(d[j] + 1, d[j - 1] + 1, prev + (r[i - 1] != h[j - 1]))
                prev, d[j] = d[j], cur
        errors += d[len(h)]
        words += len(r)
    return 100.0 * errors / words


def mixture_weights(out):
    """The en-us model keeps its mixture weights quantised in sendump; bw wants them as a float file."""
    f = open(HMM + "/sendump", "rb")
    def readstr():
        n = struct.unpack("<I", f.read(4))[0]
        return f.read(n)
    readstr()
    while readstr():
        pass
    codewords, pdfs = struct.unpack("<II", f.read(8))
    table = [1.0001 ** -(b << 10) for b in range(256)]
    feats = 3
    w = [0.0] * (pdfs * feats * codewords)
    for i in range(feats):
        for j in range(codewords):
            row = f.read(pdfs)
            for m in range(pdfs):
                w[(m * feats + i) * codewords + j] = table[row[m]]
    with open(out, "wb") as o:
        o.write(b"s3\nversion 1.0\nendhdr\n")
        o.write(struct.pack("<i", 0x11223344))
        o.write(struct.pack("<IIII", pdfs, feats, codewords, len(w)))
        o.write(struct.pack("<%df" % len(w), *w))


def adapt_direct(work, method, ids, refs, train, out):
    """MAP by hand, with the same tools and counts as Quillora's MLLR."""
    model = os.path.join(work, "model")
    if not os.path.exists(os.path.join(model, "mixture_weights")):
        os.makedirs(model, exist_ok=True)
        for n in ("means", "variances", "transition_matrices", "noisedict", "feat.params"):
            shutil.copy(os.path.join(HMM, n), model)
        run(["pocketsphinx_mdef_convert", "-text", HMM + "/mdef", model + "/mdef.txt"])
        mixture_weights(model + "/mixture_weights")
    ctl = os.path.join(out, "fileids")
    os.makedirs(out, exist_ok=True)
    with open(ctl, "w") as f:
        f.write("".join(i + "\n" for i in ids))
    with open(os.path.join(out, "transcription"), "w") as f:
        f.write("".join("<s> %s </s> (%s)\n" % (r, i) for i, r in zip(ids, refs)))
    run([ST + "bw", "-hmmdir", model, "-moddeffn", model + "/mdef.txt", "-ts2cbfn", ".ptm.", "-feat", "1s_c_d_dd",
         "-svspec", "0-12/13-25/26-38", "-cmn", "batch", "-agc", "none", "-dictfn", DICT,
         "-fdictfn", model + "/noisedict", "-ctlfn", ctl, "-lsnfn", out + "/transcription", "-cepdir", train,
         "-accumdir", out], cwd=out)
    if method == "mllr":
        run([ST + "mllr_solve", "-meanfn", model + "/means", "-varfn", model + "/variances",
             "-outmllrfn", out + "/mllr_matrix", "-accumdir", out])
    else:
        for n in ("mdef", "feat.params", "noisedict"):
            shutil.copy(os.path.join(HMM, n), out)
        run([ST + "map_adapt", "-moddeffn", model + "/mdef.txt", "-ts2cbfn", ".ptm.",
             "-meanfn", model + "/means", "-varfn", model + "/variances", "-mixwfn", model + "/mixture_weights",
             "-tmatfn", model + "/transition_matrices", "-accumdir", out, "-mapmeanfn", out + "/means",
             "-mapvarfn", out + "/variances", "-mapmixwfn", out + "/mixture_weights",
             "-maptmatfn", out + "/transition_matrices"])


def decode(folder, ctl, ids, hmm=HMM, mllr=None):
    hyp = os.path.join(folder, "hyp.txt")
    # From the samples, as the speech service decodes them: the decoder makes its own features.
    args = ["pocketsphinx_batch", "-hmm", hmm, "-lm", LM, "-dict", DICT, "-ctl", ctl, "-cepdir", folder,
            "-adcin", "yes", "-cepext", ".raw", "-hyp", hyp, "-logfn", "/dev/null"]
    if mllr:
        args += ["-mllr", mllr]
    run(args)
    got = {}
    for line in open(hyp):
        m = re.match(r"(.*) \((\S+)( -?\d+)?\)$", line.rstrip("\n"))
        if m:
            got[m.group(2)] = re.sub(r"\(\d+\)", "", m.group(1)).strip()
    return [got.get(i, "") for i in ids]


def decode_service(service, folder, ids, mllr_path=None):
    """The held-out speech through quillora-speechd, as conversions send it, with the stored transform."""
    import speechd_util  # beside this script
    mllr = open(mllr_path).read() if mllr_path else None
    hyps = []
    for i in ids:
        pcm = open(os.path.join(folder, i + ".raw"), "rb").read()
        samples = array.array("h")
        samples.frombytes(pcm)
        reply = service.recognize(speechd_util.wav(samples), mllr=mllr)
        text = reply.get("result", [""])[0] if reply.get("err_no") == 0 else ""
        hyps.append(" ".join(speechd_util.words(text)))
    return hyps


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--voice", default="en-us+m3")
    p.add_argument("--speed", type=int, default=165)
    p.add_argument("--pitch", type=int, default=45)
    p.add_argument("--minutes", default="5,15")
    p.add_argument("--heldout-minutes", type=float, default=4.0)
    p.add_argument("--quillora", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                                                     "build", "quillora"))
    p.add_argument("--work", default="/tmp/qadapt-bench")
    p.add_argument("--decoder", choices=("batch", "service"), default="batch",
                   help="held-out speech through pocketsphinx_batch, or through quillora-speechd (MLLR only)")
    p.add_argument("--methods", default="mllr,map")
    a = p.parse_args()
    minutes = [float(m) for m in a.minutes.split(",")]
    os.makedirs(a.work, exist_ok=True)
    known = dictionary_words()
    train_text = sentences([d for d in TRAIN_DOCS if os.path.exists(LICENSES + d)], known)
    held_text = set(train_text)
    held_text = [s for s in sentences(HELDOUT_DOCS, known) if s not in held_text]

    def speak(kind, texts, limit):
        folder = os.path.join(a.work, kind)
        os.makedirs(folder, exist_ok=True)
        ids, refs, total = [], [], 0.0
        for n, text in enumerate(texts):
            if total >= limit * 60:
                break
            i = "%s%04d" % (kind, n)
            raw = os.path.join(folder, i + ".raw")
            total += os.path.getsize(raw) / 32000.0 if os.path.exists(raw) else synthesize(
                text, raw, a.voice, a.speed, a.pitch)
            ids.append(i)
            refs.append(text)
        return folder, ids, refs, total

    held, held_ids, held_refs, held_s = speak("held", held_text, a.heldout_minutes)
    held_ctl = os.path.join(held, "fileids")
    with open(held_ctl, "w") as f:
        f.write("".join(i + "\n" for i in held_ids))
    service = None
    if a.decoder == "service":
        sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
        import speechd_util
        service = speechd_util.Service(os.path.join(os.path.dirname(a.quillora), "quillora-speechd"), a.work)
        SERVICES.append(service)  # ended when the bench ends
    t0 = time.time()
    base = wer(held_refs, decode_service(service, held, held_ids) if service else decode(held, held_ctl, held_ids))
    print("voice %s -s %d -p %d; held-out: %d sentences, %.1f min, %d words" %
          (a.voice, a.speed, a.pitch, len(held_ids), held_s / 60, sum(len(r.split()) for r in held_refs)))
    print("%-34s %6.1f %%   (decoding %.0f s, %s)" % ("en-us model", base, time.time() - t0,
                                                     "quillora-speechd" if service else "pocketsphinx_batch"))
    sys.stdout.flush()
    for m in minutes:
        train, ids, refs, secs = speak("train", train_text, m)
        features(train, ids)
        pairs = []
        for i, ref in zip(ids, refs):
            with open(os.path.join(train, i + ".txt"), "w") as f:
                f.write(ref + "\n")
            pairs += [os.path.join(train, i + ".wav"), os.path.join(train, i + ".txt")]
        for method in a.methods.split(","):
            out = os.path.join(a.work, "%s-%g" % (method, m))
            shutil.rmtree(out, ignore_errors=True)
            t0 = time.time()
            if method == "mllr":
                # Quillora's own adaptation, in a copy of the program whose data folder is its own.
                os.makedirs(out)
                os.link(a.quillora, os.path.join(out, "quillora"))
                r = subprocess.run([os.path.join(out, "quillora"), "--adapt"] + pairs, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True)
                if r.returncode == 0:
                    with open(os.path.join(out, "mllr_matrix"), "w") as f:
                        f.write(json.load(open(os.path.join(out, ".quillora", "voice.json")))["mllr"])
            else:
                try:
                    adapt_direct(a.work, method, ids, refs, train, out)
                    r = subprocess.CompletedProcess([], 0, "", "")
                except subprocess.CalledProcessError as e:
                    r = subprocess.CompletedProcess([], 1, "", str(e))
            took = time.time() - t0
            if r.returncode != 0:
                print("%s on %.1f min failed: %s" % (method, secs / 60, r.stderr.strip()[-400:]))
                continue
            if method == "mllr" and service:
                hyps = decode_service(service, held, held_ids, os.path.join(out, "mllr_matrix"))
            elif method == "mllr":
                hyps = decode(held, held_ctl, held_ids, mllr=os.path.join(out, "mllr_matrix"))
            else:
                hyps = decode(held, held_ctl, held_ids, hmm=out)
            w = wer(held_refs, hyps)
            print("%-34s %6.1f %%   relative %+5.1f %%   (adaptation %.0f s)" %
                  ("%s on %.1f min (%d sentences)" % (method.upper(), secs / 60, len(ids)), w,
                   100.0 * (w - base) / base, took))
            sys.stdout.flush()


if __name__ == "__main__":
    try:
        main()
    finally:
        for started in SERVICES:
            started.__exit__(None, None, None)
