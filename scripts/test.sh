#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is needed, builds everything with AddressSanitizer and UBSan (warnings are
# errors), checks formatting, clang-tidy, the layers and the scripts, and runs every test.
# With --fast: builds and runs only the tests labelled unit and forms (no lint, no X server).
set -euo pipefail
cd "$(dirname "$0")/.."
fast=0
case "${1:-}" in
    --fast) fast=1 ;;
    "") ;;
    *) echo "usage: scripts/test.sh [--fast]" >&2; exit 2 ;;
esac
bash scripts/deps.sh
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/quorvel-ccache}"
# Clones in other folders still hit the cache.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_WERROR=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build build/test
[ $fast -eq 1 ] || bash scripts/lint.sh build/test
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
if [ $fast -eq 1 ]; then
    # The tests labelled unit and forms, a program in one process and the core's in two shards
    # at once: starting a sanitized process for each test, as ctest does, costs more than most
    # tests take.
    status=0
    bash scripts/check-layers.sh src || status=1
    cd build/test/tests
    shards=()
    for shard in 0 1; do
        GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=$shard ./quorvel_core_tests --gtest_brief=1 &
        shards+=($!)
    done
    # The offscreen platform's notes on what it cannot do are no findings.
    ./quorvel_forms_tests --gtest_brief=1 2>&1 | grep -v '^This plugin does not support' || status=1
    ./quorvel_wayland_unit_tests --gtest_brief=1 || status=1
    ./quorvel_mainwindow_tests --gtest_brief=1 || status=1
    dbus-run-session -- ./desktop/quorvel_desktop_unit_tests --gtest_brief=1 || status=1
    for pid in "${shards[@]}"; do wait "$pid" || status=1; done
    [ $status -eq 0 ] && echo "test.sh --fast: passed" || echo "test.sh --fast: FAILED" >&2
    exit $status
fi
(cd build/test && ctest --output-on-failure --timeout 600 -j2)
# The KDE and GNOME tests again on Debian 13's desktops, in a root made once and kept. A test
# that fails there runs once more: GTK 4 on Plasma 6.3 now and then inserts a paste after the
# key that follows it.
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo bash scripts/debian13.sh -- -L 'kde|gnome' --output-on-failure --timeout 600 \
    --repeat until-pass:2
