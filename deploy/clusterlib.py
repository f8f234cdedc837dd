"""Running a quillora-speechd cluster on loopback for the cluster check, the soak check and the
benchmarks: instances and HAProxy started as children on free ports, each remembered by pid and
stopped by pid (also when the script is interrupted), English segments spoken by espeak-ng. With TLS,
the balancer shows a certificate from an authority made for the run, which the clients trust alone."""
import atexit, base64, http.client, json, os, re, signal, socket, ssl, subprocess, sys, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CLIENT_ID = "ClusterClientId000000001"
CLIENT_SECRET = "ClusterClientSecret0000000000001"

_children = []  # every process started here, stopped by pid on exit


def _stop_children(*_):
    for process in reversed(_children):
        if process.poll() is None:
            process.terminate()
    deadline = time.monotonic() + 5
    for process in reversed(_children):
        try:
            process.wait(max(0.1, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    _children.clear()


def _on_signal(number, _frame):
    _stop_children()
    sys.exit(128 + number)


atexit.register(_stop_children)
signal.signal(signal.SIGTERM, _on_signal)
signal.signal(signal.SIGINT, _on_signal)
signal.signal(signal.SIGHUP, _on_signal)


def start_child(args, log_path, env=None):
    process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=open(log_path, "ab"), start_new_session=True, env=env)
    _children.append(process)
    return process


def stop_child(process, sig=signal.SIGTERM):
    if process.poll() is None:
        os.kill(process.pid, sig)
    process.wait()
    if process in _children:
        _children.remove(process)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def peak_memory_kb(pid):
    """VmHWM: the most resident memory the process ever had."""
    with open("/proc/%d/status" % pid) as status:
        return int(re.search(r"VmHWM:\s+(\d+) kB", status.read()).group(1))


def build_dir(argv_value=None):
    return os.path.abspath(argv_value or os.environ.get("QUILLORA_BUILD_DIR", os.path.join(ROOT, "build")))


class Instance:
    """One quillora-speechd on a fixed loopback port, so it can be started again where it was."""

    def __init__(self, speechd, workdir, name, key_file, workers=1, queue=8):
        self.speechd, self.name, self.key_file = speechd, name, key_file
        self.workers, self.queue = workers, queue
        self.port = free_port()
        self.log_path = os.path.join(workdir, name + ".log")
        self.process = None

    @property
    def address(self):
        return "127.0.0.1:%d" % self.port

    def start(self):
        self.process = start_child([self.speechd, "--listen", self.address, "--client-id", CLIENT_ID,
                                    "--client-secret", CLIENT_SECRET, "--workers", str(self.workers),
                                    "--queue", str(self.queue), "--token-key-file", self.key_file], self.log_path)

    def wait_healthy(self, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("%s ended with status %s" % (self.name, self.process.returncode))
            try:
                status, _ = http_get(self.address, "/healthz", timeout=2)
                if status == 200:
                    return
            except OSError:
                pass
            time.sleep(0.1)
        raise RuntimeError("%s not healthy within %d s" % (self.name, timeout))

    def kill(self):
        """Dies as a crash would: no chance to answer what it holds."""
        stop_child(self.process, signal.SIGKILL)

    def stop(self):
        stop_child(self.process)

    def recognitions_logged(self):
        with open(self.log_path, "rb") as log:
            return len(re.findall(rb"POST /server_api 200 err_no=0", log.read()))


def haproxy_config(template_path, bind, servers, extra_global="", certificate=None):
    """deploy/haproxy.cfg with its bind line and server lines replaced: the same limits, other ports.
    With a certificate, the bind line keeps its TLS options and shows that certificate; without, it
    speaks plain HTTP."""
    lines = []
    for line in open(template_path).read().splitlines():
        stripped = line.strip()
        if stripped.startswith("bind "):
            words = stripped.split()
            words[1] = bind
            if certificate:
                words[words.index("crt") + 1] = certificate
            else:
                words = words[:2]
            lines.append("    " + " ".join(words))
        elif stripped.startswith("server "):
            if servers is not None:
                lines.extend("    server %s %s check" % server for server in servers)
                servers = None
        else:
            lines.append(line)
            if stripped == "global" and extra_global:
                lines.append("    " + extra_global)
    return "\n".join(lines) + "\n"


def make_certificates(folder, *names):
    """deploy/make-certificates.sh: (the authority's ca.pem, the server's server.pem) in folder."""
    subprocess.run([os.path.join(ROOT, "deploy", "make-certificates.sh"), folder] + list(names), check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(folder, "ca.pem"), os.path.join(folder, "server.pem")


class Cluster:
    def __init__(self, speechd, workdir, instances=3, workers=1, queue=8, tls=False):
        self.workdir = workdir
        self.certificate = None
        self.tls_context = None  # what clients use: trusts only the authority made for this cluster
        if tls:
            ca, self.certificate = make_certificates(os.path.join(workdir, "tls"), "127.0.0.1")
            self.tls_context = ssl.create_default_context(cafile=ca)
        self.key_file = os.path.join(workdir, "token.key")
        with open(self.key_file, "wb") as key:
            key.write(os.urandom(32))
        os.chmod(self.key_file, 0o600)
        self.instances = [Instance(speechd, workdir, "speechd%d" % (i + 1), self.key_file, workers, queue)
                          for i in range(instances)]
        self.balancer = None
        self.port = free_port()
        self.config_path = os.path.join(workdir, "haproxy.cfg")

    @property
    def address(self):
        return "127.0.0.1:%d" % self.port

    def start(self):
        for instance in self.instances:
            instance.start()
        for instance in self.instances:
            instance.wait_healthy()
        with open(self.config_path, "w") as config:
            config.write(haproxy_config(os.path.join(ROOT, "deploy", "haproxy.cfg"), self.address,
                                        [(i.name, i.address) for i in self.instances],
                                        certificate=self.certificate))
        self.balancer = start_child(["haproxy", "-db", "-f", self.config_path],
                                    os.path.join(self.workdir, "haproxy.log"))
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if self.balancer.poll() is not None:
                raise RuntimeError("haproxy ended: " + open(os.path.join(self.workdir, "haproxy.log")).read())
            try:
                if get_token(self.address, self.tls_context):
                    return
            except OSError:
                time.sleep(0.1)
        raise RuntimeError("the balancer does not answer")

    def stop(self):
        if self.balancer:
            stop_child(self.balancer)
        for instance in self.instances:
            if instance.process:
                instance.stop()


def connect(host, port, timeout, tls_context=None):
    if tls_context:
        return http.client.HTTPSConnection(host, port, timeout=timeout, context=tls_context)
    return http.client.HTTPConnection(host, port, timeout=timeout)


def http_get(address, path, timeout=10, tls_context=None):
    host, port = address.rsplit(":", 1)
    connection = connect(host, int(port), timeout, tls_context)
    try:
        connection.request("GET", path)
        response = connection.getresponse()
        return response.status, response.read()
    finally:
        connection.close()


def get_token(address, tls_context=None):
    status, body = http_get(address, "/oauth/2.0/token?grant_type=client_credentials&client_id=%s&client_secret=%s"
                            % (CLIENT_ID, CLIENT_SECRET), tls_context=tls_context)
    return json.loads(body)["access_token"] if status == 200 else None


def recognition_body(token, wav):
    return json.dumps({"format": "wav", "rate": 16000, "dev_pid": 1737, "channel": 1, "token": token,
                       "cuid": "cluster", "len": len(wav), "speech": base64.b64encode(wav).decode()}).encode()


class Client:
    """One user's connection, kept alive between requests as Quillora's client does. No request is
    sent twice: any failure below JSON counts as a failed request."""

    # Well inside the balancer's 2 s keep-alive, so a reused connection is never one it is closing.
    REUSE_SECONDS = 1.0

    def __init__(self, address, timeout=300, tls_context=None):
        host, port = address.rsplit(":", 1)
        self.host, self.port, self.timeout, self.tls_context = host, int(port), timeout, tls_context
        self.connection = None
        self.last_answer = 0.0

    def _close(self):
        if self.connection:
            self.connection.close()
        self.connection = None

    def recognize(self, body):
        """(err_no, text); err_no -1 with the reason as text when the request failed below JSON."""
        if self.connection and time.monotonic() - self.last_answer > self.REUSE_SECONDS:
            self._close()
        if self.connection is None:
            self.connection = connect(self.host, self.port, self.timeout, self.tls_context)
        try:
            self.connection.request("POST", "/server_api", body, {"Content-Type": "application/json"})
            response = self.connection.getresponse()
            payload = response.read()
            self.last_answer = time.monotonic()
            if response.will_close:
                self._close()
            if response.status != 200:
                return -1, "HTTP %d" % response.status
            answer = json.loads(payload)
            return answer.get("err_no", -1), (answer.get("result") or [""])[0]
        except (OSError, ValueError, http.client.HTTPException) as error:
            self._close()
            return -1, repr(error)


SENTENCES = [
    "Good morning.",
    "Open the window.",
    "The train is late.",
    "Thank you very much.",
    "We will go home now.",
    "Please call me tomorrow.",
]


def make_segments(workdir, sentences=SENTENCES):
    """16 kHz mono 16-bit WAV bytes of each sentence, spoken by espeak-ng and converted by ffmpeg."""
    segments = []
    for i, sentence in enumerate(sentences):
        spoken = os.path.join(workdir, "spoken%d.wav" % i)
        wav = os.path.join(workdir, "segment%d.wav" % i)
        subprocess.run(["espeak-ng", "-v", "en-us+f2", "-w", spoken, sentence], check=True)
        subprocess.run(["ffmpeg", "-nostdin", "-y", "-loglevel", "error", "-i", spoken, "-ar", "16000", "-ac", "1",
                        "-acodec", "pcm_s16le", wav], check=True)
        segments.append(open(wav, "rb").read())
    return segments


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))] if ordered else float("nan")
