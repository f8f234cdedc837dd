"""Writes starting inputs for the fuzz targets into <dir>/<target>/."""
import base64, json, math, os, struct, sys

out = sys.argv[1]


def wav(samples, rate=16000, channels=1, bits=16, extra=b""):
    pcm = b"".join(struct.pack("<h", s) for s in samples)
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * channels * bits // 8, channels * bits // 8, bits)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + extra + b"data" + struct.pack("<I", len(pcm)) + pcm
    return b"RIFF" + struct.pack("<I", len(body)) + body


tone = [int(8000 * math.sin(i / 8.0) * (1 if (i // 1600) % 2 else 0)) for i in range(8000)]
files = {
    "tone": wav(tone),
    "short": wav(tone[:2000]),
    "list": wav(tone, extra=b"LIST\x04\x00\x00\x00INFO"),
    "stereo": wav(tone, channels=2),
}


def request(audio, **changes):
    r = {"format": "wav", "rate": 16000, "dev_pid": 1737, "channel": 1, "token": "@TOKEN@", "cuid": "fuzz",
         "len": len(audio), "speech": base64.b64encode(audio).decode()}
    r.update(changes)
    return json.dumps(r, indent=3, sort_keys=True).encode()


seeds = {
    "fuzz_speechd_request": {
        "req_tone": b"\x00" + request(files["tone"]),
        "req_short": b"\x00" + request(files["short"]),
        "req_mandarin": b"\x00" + request(files["list"], dev_pid=1537),
        "req_badtoken": b"\x00" + request(files["tone"], token="x"),
        "raw_list": b"\x01" + files["list"],
        "raw_stereo": b"\x01" + files["stereo"],
        "raw_b64": b"\x01" + base64.b64encode(files["short"]),
        "token": b"\x02client_credentials\x00FuzzClientId000000000001\x00FuzzClientSecret0000000000000001",
    },
    "fuzz_reply_decoding": {
        "ok": b'{"err_no":0,"err_msg":"success.","result":["hello"]}',
        "retry": b'{"err_no":3304}',
        "token": b'{"access_token":"abc","expires_in":2592000}',
        "nul": b'{"err_no":0}\x00junk',
        "comment": b'// c\n{"err_no":3302 /* x */}',
        "sentences": b'{"err_no":0,"result":["Hi there."],"sentences":[{"text":"Hi there.","start":100,"end":900,'
                     b'"words":[{"word":"Hi","start":100,"end":400},{"word":"there.","start":400,"end":900}]}]}',
    },
}
for target, items in seeds.items():
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    for name, data in items.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
