#!/usr/bin/env python3
"""Figures for the multi-worker service and the balanced cluster:
  1. peak memory (VmHWM) of one quillora-speechd with 1 and with 2 workers while every worker decodes
     a 60-second English segment (goals: <= 150 MB and <= 220 MB);
  2. recognition requests per second through HAProxy (deploy/haproxy.cfg) with 1, 2 and 3 instances
     of one worker each, 4 clients sending short English segments back to back.
Usage: cluster_bench.py BUILD_DIR [REQUESTS]"""
import os, subprocess, sys, tempfile, threading, time

sys.dont_write_bytecode = True  # nothing left in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "deploy"))
import clusterlib  # noqa: E402

build = clusterlib.build_dir(sys.argv[1] if len(sys.argv) > 1 else None)
requests = int(sys.argv[2]) if len(sys.argv) > 2 else 120
speechd = os.path.join(build, "quillora-speechd")
CLIENTS = 4


def minute_segment(workdir):
    spoken = os.path.join(workdir, "long.espeak.wav")
    wav = os.path.join(workdir, "long.wav")
    text = " ".join(clusterlib.SENTENCES * 12)
    subprocess.run(["espeak-ng", "-v", "en-us+f2", "-w", spoken, text], check=True)
    subprocess.run(["ffmpeg", "-nostdin", "-y", "-loglevel", "error", "-i", spoken, "-af", "apad", "-t", "60",
                    "-ar", "16000", "-ac", "1", "-acodec", "pcm_s16le", wav], check=True)
    return open(wav, "rb").read()


def peak_memory(workdir, workers, segment):
    key = os.path.join(workdir, "bench.key")
    with open(key, "wb") as f:
        f.write(os.urandom(32))
    instance = clusterlib.Instance(speechd, workdir, "memory%d" % workers, key, workers=workers)
    instance.start()
    instance.wait_healthy()
    token = clusterlib.get_token(instance.address)
    body = clusterlib.recognition_body(token, segment)
    answers = []
    for _ in range(2):  # two rounds, every worker busy in each
        threads = [threading.Thread(target=lambda: answers.append(clusterlib.Client(instance.address).recognize(body)))
                   for _ in range(workers)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    peak = clusterlib.peak_memory_kb(instance.process.pid)
    instance.stop()
    if any(err_no != 0 for err_no, _ in answers):
        sys.exit("recognition failed: %r" % answers)
    return peak / 1024.0


def throughput(workdir, instances, segments):
    cluster = clusterlib.Cluster(speechd, os.path.join(workdir), instances=instances, workers=1)
    cluster.start()
    token = clusterlib.get_token(cluster.address)
    bodies = [clusterlib.recognition_body(token, wav) for wav in segments]
    # Warm up: every instance has decoded once before the clock starts.
    for body in bodies[:instances * 2]:
        clusterlib.Client(cluster.address).recognize(body)
    next_request = [0]
    failures = [0]
    lock = threading.Lock()

    def client():
        connection = clusterlib.Client(cluster.address)
        while True:
            with lock:
                index = next_request[0]
                next_request[0] += 1
            if index >= requests:
                return
            err_no, _ = connection.recognize(bodies[index % len(bodies)])
            if err_no != 0:
                with lock:
                    failures[0] += 1

    start = time.monotonic()
    threads = [threading.Thread(target=client) for _ in range(CLIENTS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    seconds = time.monotonic() - start
    cluster.stop()
    return requests / seconds, failures[0]


with tempfile.TemporaryDirectory(prefix="quillora-bench-") as workdir:
    print("command: bench/cluster_bench.sh   (%d cores online, speechd %s)" % (os.cpu_count(), speechd))
    segment = minute_segment(workdir)
    for workers in (1, 2):
        print("peak memory, %d worker%s decoding a 60 s segment each: %.1f MB (VmHWM)"
              % (workers, "" if workers == 1 else "s", peak_memory(workdir, workers, segment)))
    segments = clusterlib.make_segments(workdir)
    seconds = sum((len(wav) - 44) / 32000.0 for wav in segments) / len(segments)
    base = None
    for instances in (1, 2, 3):
        rate, failed = throughput(os.path.join(workdir), instances, segments)
        base = base or rate
        print("through the balancer, %d instance%s x 1 worker, %d clients, %d requests of %.1f s segments: "
              "%.2f requests/s (%.2fx one instance), %d failed"
              % (instances, "" if instances == 1 else "s", CLIENTS, requests, seconds, rate, rate / base, failed))
