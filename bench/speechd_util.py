"""Helpers the benchmarks share: espeak-ng speech as 16 kHz mono PCM, a quillora-speechd on loopback."""
import array, base64, json, os, re, subprocess, time, urllib.request

RATE = 16000


def speak(text, folder, name):
    """16-bit mono PCM samples at 16 kHz of `text` spoken by espeak-ng (voice en-us+f2)."""
    raw = os.path.join(folder, name + ".wav")
    pcm = os.path.join(folder, name + ".pcm")
    subprocess.run(["espeak-ng", "-v", "en-us+f2", "-w", raw, text], check=True)
    subprocess.run(["ffmpeg", "-nostdin", "-y", "-loglevel", "error", "-i", raw, "-ar", str(RATE), "-ac", "1",
                    "-f", "s16le", "-acodec", "pcm_s16le", pcm], check=True)
    samples = array.array("h")
    samples.frombytes(open(pcm, "rb").read())
    return samples


def onset(samples, threshold=500):
    """Index of the first sample louder than threshold (the start of speech in a spoken piece)."""
    for i, value in enumerate(samples):
        if abs(value) > threshold:
            return i
    return len(samples)


def wav(samples):
    data = samples.tobytes()
    header = b"RIFF" + (36 + len(data)).to_bytes(4, "little") + b"WAVEfmt " + (16).to_bytes(4, "little")
    header += (1).to_bytes(2, "little") + (1).to_bytes(2, "little") + RATE.to_bytes(4, "little")
    header += (RATE * 2).to_bytes(4, "little") + (2).to_bytes(2, "little") + (16).to_bytes(2, "little")
    return header + b"data" + len(data).to_bytes(4, "little") + data


class Service:
    """quillora-speechd on a free loopback port; ends with the with-block."""

    def __init__(self, binary, folder, workers=1):
        self.log_path = os.path.join(folder, "speechd.log")
        self.process = subprocess.Popen([binary, "--listen", "127.0.0.1:0", "--client-id", "BenchClient",
                                         "--client-secret", "BenchSecret", "--workers", str(workers)],
                                        stderr=open(self.log_path, "wb"))
        port = None
        for _ in range(300):
            match = re.search(rb"listening on [^\s]*:(\d+)", open(self.log_path, "rb").read())
            if match:
                port = int(match.group(1))
                break
            time.sleep(0.1)
        if not port:
            self.process.kill()
            raise SystemExit("speechd did not start")
        self.base = "http://127.0.0.1:%d" % port
        self.token = json.load(urllib.request.urlopen(
            self.base + "/oauth/2.0/token?grant_type=client_credentials&client_id=BenchClient"
            "&client_secret=BenchSecret"))["access_token"]

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        self.process.wait()

    def recognize(self, wav_bytes, words=None, mllr=None):
        request = {"format": "wav", "rate": RATE, "dev_pid": 1737, "channel": 1, "token": self.token,
                   "cuid": "bench", "len": len(wav_bytes), "speech": base64.b64encode(wav_bytes).decode()}
        if words is not None:
            request["words"] = words
        if mllr is not None:
            request["mllr"] = mllr
        body = json.dumps(request).encode()
        request = urllib.request.Request(self.base + "/server_api", data=body,
                                         headers={"Content-Type": "application/json"})
        return json.load(urllib.request.urlopen(request, timeout=600))


def words(text):
    return re.findall(r"[a-z']+", text.lower())


def edit_distance(reference, hypothesis):
    row = list(range(len(hypothesis) + 1))
    for i, ref in enumerate(reference, 1):
        previous, row[0] = row[0], i
        for j, hyp in enumerate(hypothesis, 1):
            previous, row[j] = row[j], min(row[j] + 1, row[j - 1] + 1, previous + (ref != hyp))
    return row[len(hypothesis)]
