#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails on a formatting difference, a clang-tidy finding, a layer breach, or a shellcheck or
# flake8 finding in the scripts.
# Usage: scripts/lint.sh BUILD_DIR (a configured build with compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
status=0

mapfile -t sources < <(git ls-files -co --exclude-standard -- 'src/*.cpp' 'src/*.h' \
    'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h')
if ! clang-format --dry-run -Werror "${sources[@]}" 2>/tmp/quorvel-format.$$; then
    echo "lint: clang-format differences (run clang-format -i on these files):" >&2
    grep -o '^[^:]*' /tmp/quorvel-format.$$ | sort -u >&2
    status=1
fi
rm -f /tmp/quorvel-format.$$

bash scripts/check-layers.sh || status=1

# Every shell script, by its name or its first line (.ci/run has no extension).
mapfile -t shells < <(git ls-files -co --exclude-standard -- '*.sh' '*.bash' .ci tests/package |
    while read -r f; do
        case $f in
            *.sh | *.bash) echo "$f" ;;
            *) head -1 "$f" | grep -q '^#!.*sh$' && echo "$f" ;;
        esac
    done)
shellcheck "${shells[@]}" || { echo "lint: shellcheck findings" >&2; status=1; }

mapfile -t pythons < <(git ls-files -co --exclude-standard -- '*.py')
flake8 "${pythons[@]}" || { echo "lint: flake8 findings" >&2; status=1; }

mapfile -t units < <(git ls-files -co --exclude-standard -- 'src/*.cpp')
if ! printf '%s\n' "${units[@]}" | xargs -P"$(nproc)" -n4 clang-tidy -p "$build" --quiet \
    --warnings-as-errors='*' >/tmp/quorvel-tidy.$$ 2>&1; then
    grep -E 'warning:|error:' /tmp/quorvel-tidy.$$ >&2 || cat /tmp/quorvel-tidy.$$ >&2
    echo "lint: clang-tidy findings" >&2
    status=1
fi
rm -f /tmp/quorvel-tidy.$$
[ $status -eq 0 ] && echo "lint: clean"
exit $status
