#!/usr/bin/env python3
"""Cluster check: HAProxy (deploy/haproxy.cfg) in front of 3 quillora-speechd instances sharing one
token key, all on free loopback ports; the clients speak TLS to the balancer, trusting only an authority
made for the check. 2 clients send 200 recognition requests each with spoken English segments; one instance is killed (SIGKILL) in the middle and started again. Passes when no request
failed, every text equals what a single instance returns for that segment, and the restarted instance
served again. Everything it starts it stops by pid, also when interrupted.

    deploy/cluster-check.py [--build-dir build] [--clients 2] [--requests 200]
"""
import argparse, os, socket, sys, tempfile, threading, time

sys.dont_write_bytecode = True  # nothing left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import clusterlib  # noqa: E402


def reference_texts(speechd, workdir, segments):
    """What one instance alone answers for each segment."""
    key = os.path.join(workdir, "reference.key")
    with open(key, "wb") as f:
        f.write(os.urandom(32))
    single = clusterlib.Instance(speechd, workdir, "reference", key)
    single.start()
    single.wait_healthy()
    token = clusterlib.get_token(single.address)
    client = clusterlib.Client(single.address)
    texts = []
    for wav in segments:
        err_no, text = client.recognize(clusterlib.recognition_body(token, wav))
        if err_no != 0:
            sys.exit("reference instance answered %s: %s" % (err_no, text))
        texts.append(text)
    single.stop()
    return texts


def per_address_limit(address, source, attempts=100):
    """How many of `attempts` connections from one source address the balancer keeps open."""
    host, port = address.rsplit(":", 1)
    sockets = []
    for _ in range(attempts):
        s = socket.socket()
        s.bind((source, 0))
        s.settimeout(2)
        try:
            s.connect((host, int(port)))
            sockets.append(s)
        except OSError:
            s.close()  # refused as it was accepted
    time.sleep(0.5)
    kept = 0
    for s in sockets:
        s.setblocking(False)
        try:
            s.recv(1)  # empty: the balancer closed it
        except BlockingIOError:
            kept += 1  # nothing to read and not closed: still held
        except OSError:
            pass
        s.close()
    return kept


def tls_version_of(cluster):
    host, port = cluster.address.rsplit(":", 1)
    with socket.create_connection((host, int(port)), timeout=10) as raw:
        with cluster.tls_context.wrap_socket(raw, server_hostname=host) as tls:
            return tls.version()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir")
    parser.add_argument("--clients", type=int, default=2)
    parser.add_argument("--requests", type=int, default=200, help="per client")
    args = parser.parse_args()
    speechd = os.path.join(clusterlib.build_dir(args.build_dir), "quillora-speechd")
    started = time.monotonic()

    with tempfile.TemporaryDirectory(prefix="quillora-cluster-") as workdir:
        segments = clusterlib.make_segments(workdir)
        expected = reference_texts(speechd, workdir, segments)
        cluster = clusterlib.Cluster(speechd, workdir, instances=3, workers=1, tls=True)
        cluster.start()

        total = args.clients * args.requests
        results = []  # (client, segment, err_no, text, seconds)
        lock = threading.Lock()

        def client_run(index):
            # a token from whichever instance the balancer picks
            token = clusterlib.get_token(cluster.address, cluster.tls_context)
            client = clusterlib.Client(cluster.address, tls_context=cluster.tls_context)
            for i in range(args.requests):
                segment = (i + index) % len(segments)
                begin = time.monotonic()
                err_no, text = client.recognize(clusterlib.recognition_body(token, segments[segment]))
                with lock:
                    results.append((index, segment, err_no, text, time.monotonic() - begin))

        threads = [threading.Thread(target=client_run, args=(i,)) for i in range(args.clients)]
        for thread in threads:
            thread.start()

        # Kill the second instance once a third of the requests are answered, then start it again.
        victim = cluster.instances[1]
        while len(results) < total // 3 and any(t.is_alive() for t in threads):
            time.sleep(0.05)
        victim.kill()
        killed_at = len(results)
        time.sleep(1.0)
        victim.log_path += ".restarted"
        victim.start()
        victim.wait_healthy()
        for thread in threads:
            thread.join()
        served_after_restart = victim.recognitions_logged()
        kept = per_address_limit(cluster.address, "127.0.0.9")
        tls_version = tls_version_of(cluster)
        cluster.stop()

    failed = [r for r in results if r[2] != 0]
    mismatched = [r for r in results if r[2] == 0 and r[3] != expected[r[1]]]
    latencies = [r[4] for r in results]
    print("command: deploy/cluster-check.py --clients %d --requests %d" % (args.clients, args.requests))
    print("requests: %d answered of %d, failed %d, text differing from a single instance %d"
          % (len(results) - len(failed), total, len(failed), len(mismatched)))
    print("latency: p50 %.3f s  p99 %.3f s  max %.3f s" % (clusterlib.percentile(latencies, 0.5),
                                                          clusterlib.percentile(latencies, 0.99), max(latencies)))
    print("instance %s killed after %d answers, restarted; it answered %d recognitions afterwards"
          % (victim.name, killed_at, served_after_restart))
    print("connections kept from one address (limit 64): %d of 100" % kept)
    print("balancer: %s, certificate verified against the check's own authority" % tls_version)
    print("wall time: %.1f s" % (time.monotonic() - started))
    for r in (failed + mismatched)[:5]:
        print("  client %d segment %d: err_no %s %r (expected %r)" % (r[0], r[1], r[2], r[3], expected[r[1]]))
    ok = (not failed and not mismatched and len(results) == total and served_after_restart > 0 and kept == 64
          and tls_version in ("TLSv1.2", "TLSv1.3"))
    print("cluster check: %s" % ("PASS" if ok else "FAIL"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
