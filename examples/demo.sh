#!/bin/bash
# The main job: a short qf session in a scratch folder under build/.
set -euo pipefail
QF="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
DEMO="$ROOT/build/demo"
rm -rf "$DEMO"
mkdir -p "$DEMO/home"
cd "$DEMO"
export QF_HOME="$DEMO/home"

echo "== one engine, several commands (qf shell)"
"$QF" shell <<'QF'
format text
overflow wrap
status
QF

if ls "$ROOT"/examples/*.scr >/dev/null 2>&1; then
    echo
    echo "== replaying the example scripts"
    cp "$ROOT"/examples/filters/*.flt .  # the filters the scripts name
    for s in "$ROOT"/examples/*.scr; do
        echo "-- $(basename "$s")"
        cp "$s" .
        "$QF" run "$(basename "$s")" --no-pause </dev/null
    done
    echo
    echo "== files made, with their remarks"
    for f in *.tim *.fre; do
        [ -e "$f" ] || continue
        printf '%-16s %s\n' "$f" "$("$QF" info "$f" | sed -n 's/^Remark *: //p')"
    done
    echo
    echo "== a closer look (qf info, qf print)"
    "$QF" info half.tim
    "$QF" print half.tim --count 5
fi
