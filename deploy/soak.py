#!/usr/bin/env python3
"""Soak check (not in CI): the cluster of deploy/haproxy.cfg (3 instances of one worker on loopback)
at full load from 4 clients sending spoken English segments, while another process holds 1,000 slow
connections against the balancer (from 100 loopback addresses, each connection sending one header
line every 2 s and opened again when cut). Prints requests answered and failed, p50/p99 latency, each
instance's peak memory at minute 1 and at the end, and how long a normal token request takes meanwhile.

    deploy/soak.py [--minutes 10] [--build-dir build]
"""
import argparse, json, os, selectors, socket, subprocess, sys, tempfile, threading, time

sys.dont_write_bytecode = True  # nothing left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import clusterlib  # noqa: E402


def attack(address, count, stats_path):
    """Holds `count` slow connections until terminated; writes its counts to stats_path every 2 s."""
    host, port = address.rsplit(":", 1)
    selector = selectors.DefaultSelector()
    stats = {"held": 0, "opened": 0, "cut": 0}
    sources = ["127.0.1.%d" % (1 + i % 100) for i in range(count)]

    def open_one(source):
        s = socket.socket()
        s.setblocking(False)
        s.bind((source, 0))
        try:
            s.connect((host, int(port)))
        except BlockingIOError:
            pass
        selector.register(s, selectors.EVENT_READ, source)
        stats["opened"] += 1
        return s

    held = {open_one(source): 0 for source in sources}
    last_line = time.monotonic()
    while True:
        for key, _ in selector.select(timeout=0.2):
            s = key.fileobj
            try:
                data = s.recv(4096)
            except (BlockingIOError, InterruptedError):
                continue
            except OSError:
                data = b""
            if not data:  # cut by the balancer: come again at once
                selector.unregister(s)
                s.close()
                held.pop(s, None)
                stats["cut"] += 1
                held[open_one(key.data)] = 0
        if time.monotonic() - last_line >= 2:
            last_line = time.monotonic()
            for s in list(held):
                line = b"GET /oauth/2.0/token HTTP/1.1\r\n" if held[s] == 0 else b"X-Slow: %d\r\n" % held[s]
                try:
                    s.send(line)
                    held[s] += 1
                except OSError:
                    pass
            stats["held"] = len(held)
            with open(stats_path + ".new", "w") as out:
                json.dump(stats, out)
            os.replace(stats_path + ".new", stats_path)


def token_latency(address):
    begin = time.monotonic()
    try:
        ok = clusterlib.get_token(address) is not None
    except OSError:
        ok = False
    return time.monotonic() - begin, ok


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--minutes", type=float, default=10)
    parser.add_argument("--build-dir")
    parser.add_argument("--clients", type=int, default=4)
    parser.add_argument("--slow", type=int, default=1000, help="slow connections held")
    parser.add_argument("--attacker", nargs=3, metavar=("ADDRESS", "COUNT", "STATS"), help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.attacker:
        attack(args.attacker[0], int(args.attacker[1]), args.attacker[2])
        return 0
    speechd = os.path.join(clusterlib.build_dir(args.build_dir), "quillora-speechd")

    with tempfile.TemporaryDirectory(prefix="quillora-soak-") as workdir:
        segments = clusterlib.make_segments(workdir)
        cluster = clusterlib.Cluster(speechd, workdir, instances=3, workers=1)
        cluster.start()
        token = clusterlib.get_token(cluster.address)
        bodies = [clusterlib.recognition_body(token, wav) for wav in segments]
        quiet_token = sorted(token_latency(cluster.address)[0] for _ in range(5))[2]

        stats_path = os.path.join(workdir, "attack.json")
        attacker = clusterlib.start_child([sys.executable, os.path.abspath(__file__), "--attacker", cluster.address,
                                           str(args.slow), stats_path], os.path.join(workdir, "attacker.log"))
        time.sleep(3)  # the slow connections are in place before the load starts

        stop = threading.Event()
        results = []  # (seconds, err_no)
        tokens = []  # (seconds, ok)
        lock = threading.Lock()

        def client(index):
            connection = clusterlib.Client(cluster.address)
            i = index
            while not stop.is_set():
                begin = time.monotonic()
                err_no, _ = connection.recognize(bodies[i % len(bodies)])
                with lock:
                    results.append((time.monotonic() - begin, err_no))
                i += 1

        def prober():
            while not stop.wait(2):
                with lock:
                    tokens.append(token_latency(cluster.address))

        threads = [threading.Thread(target=client, args=(i,)) for i in range(args.clients)]
        threads.append(threading.Thread(target=prober))
        started = time.monotonic()
        for thread in threads:
            thread.start()
        end = started + args.minutes * 60
        time.sleep(max(0, min(60, end - time.monotonic())))
        minute_one = [clusterlib.peak_memory_kb(i.process.pid) / 1024.0 for i in cluster.instances]
        with lock:
            print("minute 1: %d answered, %d failed; instance peak memory %s MB"
                  % (sum(1 for r in results if r[1] == 0), sum(1 for r in results if r[1] != 0),
                     " / ".join("%.1f" % m for m in minute_one)), flush=True)
        time.sleep(max(0, end - time.monotonic()))
        stop.set()
        for thread in threads:
            thread.join()
        elapsed = time.monotonic() - started
        at_end = [clusterlib.peak_memory_kb(i.process.pid) / 1024.0 for i in cluster.instances]
        balancer_peak = clusterlib.peak_memory_kb(cluster.balancer.pid) / 1024.0
        attack_stats = json.load(open(stats_path)) if os.path.exists(stats_path) else {}
        clusterlib.stop_child(attacker)
        cluster.stop()

    answered = [r[0] for r in results if r[1] == 0]
    failed = len(results) - len(answered)
    token_times = [t[0] for t in tokens]
    print("command: deploy/soak.py --minutes %g --clients %d --slow %d" % (args.minutes, args.clients, args.slow))
    print("duration: %.1f min; requests answered %d (%.2f/s), failed %d" % (elapsed / 60, len(answered),
                                                                           len(answered) / elapsed, failed))
    print("latency: p50 %.3f s  p99 %.3f s  max %.3f s" % (clusterlib.percentile(answered, 0.5),
                                                          clusterlib.percentile(answered, 0.99), max(answered)))
    for instance, first, last in zip(cluster.instances, minute_one, at_end):
        print("%s peak memory: minute 1 %.1f MB, end %.1f MB, growth %.1f %%"
              % (instance.name, first, last, 100.0 * (last - first) / first))
    print("haproxy peak memory: %.1f MB" % balancer_peak)
    print("token request during the attack: p50 %.0f ms  max %.0f ms  (%d probes, %d failed; %.0f ms before it)"
          % (1000 * clusterlib.percentile(token_times, 0.5), 1000 * max(token_times), len(tokens),
             sum(1 for t in tokens if not t[1]), 1000 * quiet_token))
    print("slow connections: %s held at the end, %s opened, %s cut by the balancer"
          % (attack_stats.get("held"), attack_stats.get("opened"), attack_stats.get("cut")))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
