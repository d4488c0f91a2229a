#!/bin/bash
# Lists the mutable variables of static or thread storage that product files
# define outside functions: at namespace scope (file-static, thread_local and
# anonymous-namespace ones included) and static data members. Tests, the
# test support code and bench/ are left out. With --locals, also the mutable
# static variables inside functions. The last line is the count.
#
#   scripts/count_globals.sh [--locals] [BUILD_DIR]
#
# BUILD_DIR is a configured build tree with compile_commands.json (default
# build/test); clang-query reads it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
locals=0
if [[ ${1:-} == --locals ]]; then locals=1; shift; fi
build=${1:-$root/build/test}
[[ -f $build/compile_commands.json ]] || { echo "count_globals: no compile_commands.json in $build" >&2; exit 2; }
query=${CLANG_QUERY:-clang-query}
command -v "$query" >/dev/null || { echo "count_globals: $query not found" >&2; exit 2; }

# The product's translation units.
mapfile -t sources < <(python3 - "$build/compile_commands.json" "$root" <<'PY'
import json, os, sys
root = sys.argv[2]
seen = set()
for entry in json.load(open(sys.argv[1])):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    rel = os.path.relpath(path, root)
    parts = rel.split(os.sep)
    if rel.startswith("..") or parts[0] in ("build", "bench") or "tests" in parts or path in seen:
        continue
    seen.add(path)
    print(path)
PY
)

mutable='unless(hasType(isConstQualified())), unless(isConstexpr()), isDefinition()'
matcher="varDecl(hasGlobalStorage(), unless(isStaticLocal()), unless(parmVarDecl()), $mutable)"
if [[ $locals == 1 ]]; then
    matcher="varDecl(hasGlobalStorage(), $mutable)"
fi

"$query" -p "$build" -c 'set output diag' -c "match $matcher" "${sources[@]}" 2>/dev/null |
    python3 -c '
import re, sys
root = sys.argv[1]
found = {}
for line in sys.stdin:
    m = re.match(r"(/[^:]+):(\d+):\d+: note: \"root\" binds here", line)
    if not m:
        continue
    path, number = m.group(1), int(m.group(2))
    if not path.startswith(root + "/"):
        continue
    rel = path[len(root) + 1:]
    parts = rel.split("/")
    if parts[0] in ("build", "bench") or "tests" in parts:
        continue
    with open(path, errors="replace") as f:
        text = f.readlines()[number - 1].strip()
    found[(rel, number)] = text
for (rel, number), text in sorted(found.items()):
    print(f"{rel}:{number}: {text}")
print(f"{len(found)} mutable variables of static storage outside functions" if "--locals" not in sys.argv
      else f"{len(found)} mutable variables of static storage")
' "$root" $([[ $locals == 1 ]] && echo --locals)
