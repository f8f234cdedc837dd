#!/usr/bin/env bash
# Fails unless every interface text of the sources has an English translation in
# translations/quillora_en.ts: lupdate gathers the texts into a temporary copy of it, lrelease compiles
# that copy, and the check wants no new text and none unfinished.
# With --update it writes the gathered texts into translations/quillora_en.ts instead (then translate
# the new entries, marked unfinished, and run the check again).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ts="$root/translations/quillora_en.ts"
sources=(app ui pipeline media library platform)
lrelease=${LRELEASE:-lrelease}
lupdate=("${LUPDATE:-lupdate}" -I "$root" -locations none -no-obsolete -source-language zh_CN -target-language en_US)

if [ "${1:-}" = "--update" ]; then
  cd "$root" && "${lupdate[@]}" "${sources[@]}" -ts "$ts"
  exit 0
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/quillora_en.ts"
cd "$root"
"${lupdate[@]}" "${sources[@]}" -ts "$work/quillora_en.ts" >"$work/lupdate.log" 2>&1 || {
  cat "$work/lupdate.log" >&2
  exit 1
}
"$lrelease" "$work/quillora_en.ts" -qm "$work/quillora_en.qm" >"$work/lrelease.log" 2>&1 || {
  cat "$work/lrelease.log" >&2
  exit 1
}
cat "$work/lupdate.log" "$work/lrelease.log"

status=0
if grep -q 'Qualifying with unknown' "$work/lupdate.log"; then
  echo "check-translations: lupdate could not place some texts in their class" >&2
  status=1
fi
new=$(sed -n 's/.*Found [0-9]* source text(s) (\([0-9]*\) new.*/\1/p' "$work/lupdate.log")
if [ "${new:-x}" != 0 ]; then
  echo "check-translations: ${new:-?} text(s) not yet in translations/quillora_en.ts (run scripts/check-translations.sh --update, then translate them)" >&2
  status=1
fi
unfinished=$(sed -n 's/.*Generated [0-9]* translation(s) ([0-9]* finished and \([0-9]*\) unfinished).*/\1/p' "$work/lrelease.log")
untranslated=$(sed -n 's/.*Ignored \([0-9]*\) untranslated source text(s).*/\1/p' "$work/lrelease.log")
missing=$((${unfinished:-0} + ${untranslated:-0}))
if [ -z "$unfinished" ] || [ "$missing" -ne 0 ]; then
  echo "check-translations: $missing text(s) have no finished English translation:" >&2
  grep -B2 'type="unfinished"' "$work/quillora_en.ts" | grep '<source>' >&2 || true
  status=1
fi
[ "$status" -eq 0 ] && echo "check-translations: every text has an English translation"
exit "$status"
