# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers of the GNOME scripts, sourced by each (not a test itself); they run under
# scripts/with-gnome.sh with the driver as $driver. The texts and foot as the target come from
# the Wayland scripts' helpers; windows are seen through the driver.
# shellcheck disable=SC2034 # what it sets is for the scripts that source it
# shellcheck source=../wayland/lib.bash
source "$(dirname "${BASH_SOURCE[0]}")/../wayland/lib.bash"
keyboard=$(dirname "${BASH_SOURCE[0]}")/keyboard.py failed=0

has_window() { # title
    "${driver:?}" list | grep -qxF "$1"
}

expect() { # what, expected, actual
    if [ "$2" = "$3" ]; then
        echo "ok $1"
    else
        printf 'FAIL %s: expected [%s], got [%s]\n' "$1" "$2" "$3" >&2
        failed=1
    fi
}

# Median and 99th percentile, in milliseconds, of the differences of two files of times.
latency() { # name starts ends
    python3 -c 'import sys
s = [float(x) for x in open(sys.argv[2]).read().split()]
e = [float(x) for x in open(sys.argv[3]).read().split()]
d = sorted((b - a) * 1000 for a, b in zip(s, e))
if not d:
    sys.exit("no samples")
p99 = d[min(len(d) - 1, int(len(d) * 0.99))]
print("figure %s: median %.1f ms, p99 %.1f ms, %d samples" % (sys.argv[1], d[len(d) // 2], p99, len(d)))' "$@"
}
