#!/usr/bin/env bash
# Prints what playing a document's words costs on a 3-hour transcript of 30,000 words: the Ctrl+click
# answer (as the player reports it, and until the word is heard in the sound server's sink), one
# highlight update, the longest event-loop stall while following playback, and saving two corrections.
# "mp3" as the argument makes the source a 128 kbit/s MP3 instead of WAV. Needs PulseAudio and about
# 200 MB in the temporary folder. QUILLORA_BUILD_DIR chooses the build (default build/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_targets bench_wordplay
echo "\$ $build/tests/media/bench_wordplay $*"
"$build/tests/media/bench_wordplay" "$@"
