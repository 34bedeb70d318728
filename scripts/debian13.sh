#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the KDE Plasma and GNOME tests against Debian 13's desktops (Plasma 6, GNOME 48) from a
# Debian 12 host: makes once a Debian 13 root with those desktops installed, cached outside the
# source tree, then runs this build's tests labelled kde and gnome inside it, with the source
# and build folders seen at the same paths there. Needs root.
# Usage: scripts/debian13.sh [--build DIR | --build-inside]
#                            [--shell | --run CMD... | -- CTEST-ARGS...]
#   --build DIR  the build folder whose tests run (default build/test; the host's build runs
#                as it is, against the root's libraries)
#   --build-inside  builds in build/debian13 inside the root first, with Debian 13's compiler
#                and Qt and scripts/test.sh's flags (the targets in QUORVEL_DEBIAN13_TARGETS,
#                default all), and runs those tests
#   --shell      an interactive shell inside the root instead of the tests
#   --run CMD... runs CMD inside the root instead of the tests (as root, in the source folder)
#   CTEST-ARGS   replace the default "-L kde|gnome --output-on-failure"
# QUORVEL_DEBIAN13_ROOT is the root's folder (default /var/cache/quorvel/debian13); remove it
# to make it again. QUORVEL_DEBIAN13_MIRROR overrides the mirror of the host's apt sources.
# Making the root takes 2-6 minutes and 1.9 GB; the tests then start in a second.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=$src/build/test
mode=tests
build_inside=0
ctest_args=(-L 'kde|gnome' --output-on-failure --timeout 600)
while [ $# -gt 0 ]; do
    case "$1" in
    --build)
        build=$(cd "$2" && pwd)
        shift 2
        ;;
    --build-inside)
        build_inside=1
        build=$src/build/debian13
        shift
        ;;
    --shell)
        mode=run
        run=(bash -i)
        shift
        ;;
    --run)
        mode=run
        shift
        run=("$@")
        [ ${#run[@]} -gt 0 ] || {
            echo "debian13.sh: --run needs a command" >&2
            exit 2
        }
        break
        ;;
    --)
        shift
        ctest_args=("$@")
        break
        ;;
    -h | --help)
        sed -n '3,19p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "debian13.sh: unknown argument '$1'" >&2
        exit 2
        ;;
    esac
done
if [ "$(id -u)" -ne 0 ]; then
    echo "debian13.sh: needs root (debootstrap, chroot, mounts)" >&2
    exit 1
fi
root=${QUORVEL_DEBIAN13_ROOT:-/var/cache/quorvel/debian13}
root=$(realpath -m "$root")
# The root is removed and made again when incomplete: never a folder that holds other things.
case "$root" in
/ | /var | /var/cache | /tmp | "$src" | "$src"/* | "$HOME")
    echo "debian13: refusing $root as the root's folder" >&2
    exit 2
    ;;
esac

# What the desktops' tests need inside, and what the Debian 12 build links against.
packages=(
    # the desktops, their portals and the session's buses
    kwin-wayland xdg-desktop-portal xdg-desktop-portal-kde
    # KWin 6's plugins (screencast, global shortcuts): only recommended by Plasma
    kwin-common
    gnome-shell mutter xdg-desktop-portal-gnome
    dbus dbus-user-session libglib2.0-bin
    # KWin 6 offers its screencast global, which its RemoteDesktop portal needs, only with it
    pipewire
    # the tests' targets, their accessibility and the person's keyboard
    weston foot zenity featherpad at-spi2-core python3-gi gir1.2-atspi-2.0 python3-pyatspi
    wayland-utils wl-clipboard fonts-dejavu-core xkb-data
    # Quorvel's libraries; the sanitized test build needs the sanitizers' runtimes
    libqt6widgets6 libqt6dbus6 libqt6svg6 libqt6printsupport6 qt6-wayland
    libwayland-client0 libxkbcommon0 libsystemd0 libxtst6 libx11-6 libopengl0 libglx0
    libasan8 libubsan1
    # ctest, and the tools the test scripts call (the person's keyboard reads the evdev names)
    cmake procps psmisc linux-libc-dev
)

# What building inside adds.
dev_packages=(
    g++ ninja-build pkg-config qt6-base-dev qt6-svg-dev libgl-dev libx11-dev libxtst-dev
    libwayland-dev libxkbcommon-dev wayland-protocols plasma-wayland-protocols nlohmann-json3-dev
    libsystemd-dev
    libgtest-dev libgmock-dev libbenchmark-dev
)

# Installs on the host, as scripts/deps.sh does: at once when already there.
host_packages() {
    local p missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

mirror() {
    if [ -n "${QUORVEL_DEBIAN13_MIRROR:-}" ]; then
        echo "$QUORVEL_DEBIAN13_MIRROR"
        return
    fi
    local uri
    uri=$(grep -h '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null \
        | awk '{print $2}' | grep -v -- '-security' | head -n1)
    echo "${uri:-http://deb.debian.org/debian}"
}

# The stamp names the packages installed, so a longer list installs what it adds.
stamp=$root/.quorvel-packages
make_root() {
    if [ ! -x "$root/usr/bin/apt-get" ] || [ ! -e "$root/.quorvel-bootstrapped" ]; then
        host_packages debootstrap
        rm -rf "$root"
        mkdir -p "$(dirname "$root")"
        echo "debian13: debootstrap into $root"
        debootstrap --variant=minbase trixie "$root" "$(mirror)" >"$root.log" 2>&1 || {
            tail -n 20 "$root.log" >&2
            exit 1
        }
        touch "$root/.quorvel-bootstrapped"
    fi
    install_in_root "$stamp" "${packages[@]}"
}

install_in_root() { # stamp packages...
    local stamp=$1
    shift
    [ "$(cat "$stamp" 2>/dev/null)" = "$*" ] && return 0
    echo "debian13: installing into the root: $*"
    # shellcheck disable=SC2016 # expanded inside
    inside_root sh -c 'apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" &&
        apt-get clean' sh "$@" >>"$root.log" 2>&1 || {
        tail -n 20 "$root.log" >&2
        exit 1
    }
    echo "$*" >"$stamp"
}

# The host's test user, with the same ids, so files it makes in the shared folders are its own
# on both sides.
test_user() {
    local uid gid
    if ! id -u "$user" >/dev/null 2>&1; then
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
            "$user" 2>/dev/null || id -u "$user" >/dev/null
    fi
    uid=$(id -u "$user")
    gid=$(id -g "$user")
    if ! chroot "$root" id -u "$user" >/dev/null 2>&1; then
        chroot "$root" groupadd --system --non-unique --gid "$gid" "$user"
        chroot "$root" useradd --system --non-unique --uid "$uid" --gid "$gid" --no-create-home \
            --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
    fi
    [ "$(chroot "$root" id -u "$user")" = "$uid" ] || {
        echo "debian13: $user has another uid inside the root" >&2
        exit 1
    }
}

user=${QUORVEL_TEST_USER:-quorvel-test}
export user
# Runs a command inside the root, in a mount namespace of its own, so the mounts go away with
# it: fresh /proc, /sys and /run (the root has no systemd running), the host's /dev, and the
# source and build folders at their own paths.
inside_root() {
    local binds=("$src") b build_src
    # A build's tests name its own source folder.
    build_src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt" 2>/dev/null)
    for b in "$build" ${build_src:+"$build_src"}; do
        case "$b/" in "$src"/*) ;; *) binds+=("$b") ;; esac
    done
    # shellcheck disable=SC2016 # expanded by the inner shell
    unshare -m --propagation private -- bash -euo pipefail -c '
        root=$1
        shift
        binds=()
        while [ "$1" != -- ]; do binds+=("$1"); shift; done
        shift
        # A mount point of its own, so that unshare --propagation works inside too.
        mount --bind "$root" "$root"
        mount -t proc proc "$root/proc"
        mount -t sysfs sysfs "$root/sys"
        mount --rbind /dev "$root/dev"
        mount -t tmpfs -o mode=755 tmpfs "$root/run"
        # As on the host: an empty /run/systemd, which the desktop scripts cover.
        mkdir "$root/run/systemd"
        mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
        for b in "${binds[@]}"; do
            mkdir -p "$root$b"
            mount --bind "$b" "$root$b"
        done
        cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
        exec chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
            HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" QUORVEL_TEST_USER="$user" "$@"
    ' inside "$root" "${binds[@]}" -- "$@"
}

started=$(date +%s)
make_root
test_user
echo "debian13: root ready in $(($(date +%s) - started)) s ($(du -sh "$root" | cut -f1))"

# GNOME Shell wants a system bus; the root's own is started in the root's /run.
# shellcheck disable=SC2016 # expanded inside
system_bus='mkdir -p /run/dbus && dbus-daemon --system --fork --nopidfile'
if [ "$mode" = run ]; then
    set +e
    # shellcheck disable=SC2016 # expanded inside
    inside_root bash -c "$system_bus"'; cd "$0" && exec "$@"' "$src" "${run[@]}"
    exit $?
fi
if [ $build_inside -eq 1 ]; then
    install_in_root "$root/.quorvel-dev-packages" "${dev_packages[@]}"
    read -ra targets <<<"${QUORVEL_DEBIAN13_TARGETS:-}"
    # shellcheck disable=SC2016 # expanded inside
    inside_root sh -c 'src=$1 build=$2 && shift 2 && cd "$src" &&
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON \
            -DQUORVEL_WERROR=ON >/dev/null &&
        cmake --build "$build" --parallel 2 -- "$@"' sh "$src" "$build" "${targets[@]}" || exit 1
    echo "debian13: built inside in $(($(date +%s) - started)) s"
fi
if [ ! -f "$build/CTestTestfile.cmake" ]; then
    echo "debian13: no tests in $build: build it first (scripts/test.sh's cmake lines)" >&2
    exit 1
fi
set +e
# shellcheck disable=SC2016 # expanded inside
inside_root bash -c "$system_bus"'
    cd "$1" && shift
    export LSAN_OPTIONS="suppressions=$0/scripts/lsan.supp:print_suppressions=0"
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest "$@"' "$src" "$build" "${ctest_args[@]}"
status=$?
echo "debian13: finished in $(($(date +%s) - started)) s, status $status"
exit $status
