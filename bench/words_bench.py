"""The user's own words: made-up names in espeak-ng speech recognised without and with a word list.

Prints the share of the names recognised, the word error rate of the rest of those sentences and of
sentences without names (which must not rise by more than a point), the time to build a decoder for a
word set, the time of a second request with the same set, and the memory each cached decoder holds.
"""
import array, os, re, sys, tempfile, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from speechd_util import Service, edit_distance, speak, wav  # noqa: E402

NAMES = ["Zorblat", "Kelvara", "Quillix", "Brontell", "Marvolo", "Flenderbrook", "Tavrosi", "Velmont",
         "Drusilla", "Orkney Vale", "Pellucid", "Jaxomar"]
SENTENCES = [
    "Yesterday {} called to say the meeting moved to Friday.",
    "We drove to {} and arrived in about three hours.",
    "The new phone from {} has a bigger screen and a better camera.",
    "Please send the report to {} before lunch.",
    "My sister works at {} and she likes her job very much.",
    "The river near {} was cold and very clear.",
    "Ask {} to bring the printed tickets to the station.",
    "Our team used {} to plan the whole project.",
]
CONTROL = [
    "The weather is nice today and we will go for a walk.",
    "She likes to read books about history and science.",
    "They opened the shop early because many people were waiting.",
    "My brother bought a new car last week.",
    "The train to the city leaves at half past seven every morning.",
    "Please open the window because it is very warm in here.",
    "We had soup and bread for dinner and then watched a film.",
    "The children played in the garden until it was dark.",
]
# Words on the list that are never spoken: a real list is longer than one recording's names.
DISTRACTORS = ["Grimsby Hollow", "Ytterbia", "Castellane", "Nordlicht", "Pembrake", "Sorvino", "Halvard",
               "Treloar", "Ubiquon", "Wexmoor", "Zanthe", "Ilmarin"]


def tokens(text):
    return re.findall(r"[a-z']+", text.lower())


def rss_kb(pid):
    for line in open("/proc/%d/status" % pid):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


def segment(pieces):
    """The pieces one after another with a second of silence between them, as one request's audio."""
    samples = array.array("h")
    for piece in pieces:
        samples.extend(piece)
        samples.extend(array.array("h", [0] * 16000))
    return wav(samples)


def main():
    binary = sys.argv[1]
    folder = tempfile.mkdtemp(prefix="words-bench-")
    named = []  # (reference text, name)
    for i, name in enumerate(NAMES):
        for k in range(2):
            named.append((SENTENCES[(i + k * 3) % len(SENTENCES)].format(name), name))
    named_audio = [speak(text, folder, "n%d" % i) for i, (text, _) in enumerate(named)]
    control_audio = [speak(text, folder, "c%d" % i) for i, text in enumerate(CONTROL)]
    groups = [list(range(i, min(i + 4, len(named)))) for i in range(0, len(named), 4)]
    word_list = NAMES + DISTRACTORS
    list_tokens = set(t for w in word_list for t in tokens(w))

    with Service(binary, folder) as service:
        def run(words):
            found = 0
            rest_errors = rest_words = 0
            for group in groups:
                reply = service.recognize(segment([named_audio[i] for i in group]), words)
                hyp = reply.get("result", [""])[0]
                hyp_tokens = tokens(hyp)
                for i in group:
                    name_tokens = tokens(named[i][1])
                    text = " ".join(hyp_tokens)
                    if re.search(r"\b" + " ".join(name_tokens) + r"\b", text):
                        found += 1
                ref_rest = [t for i in group for t in tokens(named[i][0]) if t not in list_tokens]
                hyp_rest = [t for t in hyp_tokens if t not in list_tokens]
                rest_errors += edit_distance(ref_rest, hyp_rest)
                rest_words += len(ref_rest)
            control_errors = control_words = 0
            for i in range(0, len(CONTROL), 4):
                reply = service.recognize(segment(control_audio[i:i + 4]), words)
                ref = [t for text in CONTROL[i:i + 4] for t in tokens(text)]
                control_errors += edit_distance(ref, tokens(reply.get("result", [""])[0]))
                control_words += len(ref)
            return found, rest_errors / rest_words, control_errors / control_words

        base_rss = rss_kb(service.process.pid)
        without = run(None)
        started = time.time()
        first = service.recognize(segment(control_audio[:1]), word_list)
        first_s = time.time() - started
        started = time.time()
        service.recognize(segment(control_audio[:1]), word_list)
        second_s = time.time() - started
        with_list = run(word_list)
        one_cached = rss_kb(service.process.pid)
        for extra in range(3):
            service.recognize(segment(control_audio[:1]), word_list + ["Extra%d" % extra])
        four_cached = rss_kb(service.process.pid)
        log = open(service.log_path).read()
    builds = [float(x) for x in re.findall(r"built a decoder for \d+ words in ([\d.]+) s", log)]

    print("names spoken: %d (%d different), list: %d entries (%d never spoken)" % (
        len(named), len(NAMES), len(word_list), len(DISTRACTORS)))
    print("names recognised without the list: %d/%d (%.0f %%)" % (without[0], len(named), 100.0 * without[0] / len(named)))
    print("names recognised with the list:    %d/%d (%.0f %%)" % (with_list[0], len(named), 100.0 * with_list[0] / len(named)))
    print("word error rate of the rest of those sentences: %.1f %% without, %.1f %% with the list" % (
        100 * without[1], 100 * with_list[1]))
    print("word error rate of sentences without names:     %.1f %% without, %.1f %% with the list" % (
        100 * without[2], 100 * with_list[2]))
    print("decoder builds: %d, %s s each; first request with the list %.2f s, the second %.2f s" % (
        len(builds), "/".join("%.2f" % b for b in builds), first_s, second_s))
    print("resident memory: %.0f MB with no variant, %.0f MB with 1 cached, %.0f MB with 4: %.0f MB per cached decoder" % (
        base_rss / 1024, one_cached / 1024, four_cached / 1024, (four_cached - one_cached) / 3 / 1024))
    if "unpronounced_words" in first:
        print("unpronounced:", first["unpronounced_words"])


main()
