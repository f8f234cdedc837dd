#!/usr/bin/env python3
"""Real-time factor and peak memory of quillora-speechd on a 60-second English segment, decoded on one
core (taskset -c 0). Usage: speech_bench.py SPEECHD_BINARY [RUNS]"""
import base64, json, os, re, statistics, subprocess, sys, tempfile, time, urllib.request

from speech_bench_sentences import SENTENCES

speechd = sys.argv[1]
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3

with tempfile.TemporaryDirectory() as tmp:
    spoken = os.path.join(tmp, "spoken.wav")
    segment = os.path.join(tmp, "segment.wav")
    subprocess.run(["espeak-ng", "-v", "en-us+f2", "-w", spoken, " ".join(SENTENCES * 2)], check=True)
    # Exactly 60 s, as the program's segments are: pad with silence if short, cut if long.
    subprocess.run(["ffmpeg", "-nostdin", "-y", "-loglevel", "error", "-i", spoken, "-af", "apad", "-t", "60",
                    "-ar", "16000", "-ac", "1", "-acodec", "pcm_s16le", segment], check=True)
    audio = open(segment, "rb").read()
    seconds = (len(audio) - 44) / 32000.0

    log_path = os.path.join(tmp, "speechd.log")
    log = open(log_path, "wb")
    service = subprocess.Popen(["taskset", "-c", "0", speechd, "--listen", "127.0.0.1:0", "--client-id", "BenchClient",
                                "--client-secret", "BenchSecret"], stderr=log)
    try:
        port = None
        for _ in range(300):
            match = re.search(rb"listening on [^\s]*:(\d+)", open(log_path, "rb").read())
            if match:
                port = int(match.group(1))
                break
            time.sleep(0.1)
        if not port:
            sys.exit("speechd did not start")
        base = "http://127.0.0.1:%d" % port
        token = json.load(urllib.request.urlopen(
            base + "/oauth/2.0/token?grant_type=client_credentials&client_id=BenchClient&client_secret=BenchSecret"))["access_token"]
        body = json.dumps({"format": "wav", "rate": 16000, "dev_pid": 1737, "channel": 1, "token": token,
                           "cuid": "bench", "len": len(audio), "speech": base64.b64encode(audio).decode()}).encode()
        times = []
        for _ in range(runs):
            request = urllib.request.Request(base + "/server_api", data=body,
                                             headers={"Content-Type": "application/json"})
            start = time.monotonic()
            answer = json.load(urllib.request.urlopen(request, timeout=600))
            times.append(time.monotonic() - start)
            if answer.get("err_no") != 0:
                sys.exit("recognition failed: %r" % answer)
        status = open("/proc/%d/status" % service.pid).read()
        peak_kb = int(re.search(r"VmHWM:\s+(\d+) kB", status).group(1))
    finally:
        service.terminate()
        service.wait()

    words = len(answer["result"][0].split())
    rtf = [t / seconds for t in times]
    print("command: bench/speech_bench.sh  (speechd %s, %.1f s segment, %d runs, one core)" % (speechd, seconds, runs))
    print("real-time factor: median %.3f  min %.3f  max %.3f  (request round trip / audio length)"
          % (statistics.median(rtf), min(rtf), max(rtf)))
    print("peak memory (VmHWM of the service): %.1f MB" % (peak_kb / 1024.0))
    print("words recognised: %d" % words)
