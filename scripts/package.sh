#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a release build in build/package/release and from it the Debian package
# build/package/quorvel_<version>_<arch>.deb, then checks the package with lintian (no
# errors), desktop-file-validate and appstreamcli.
#   --install-test  then installs the package with apt-get, tries it as a new user would
#                   (tests/package/install_test.sh) and removes it again; needs root.
set -euo pipefail
cd "$(dirname "$0")/.."

install_test=0
for arg in "$@"; do
    case "$arg" in
    --install-test) install_test=1 ;;
    -h | --help)
        sed -n '3,7p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "package.sh: unknown argument '$arg'" >&2
        exit 2
        ;;
    esac
done

bash scripts/deps.sh lintian dpkg-dev fakeroot
out=$PWD/build/package
tree=$out/release

launcher=()
if command -v ccache >/dev/null; then
    export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/quorvel-ccache}" CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Debian's hardening flags, as a package built by its own tools would have them.
cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_BENCHMARKS=OFF "${launcher[@]}" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$tree" -j2

rm -f "$out"/quorvel_*.deb
(cd "$tree" && cpack -G DEB -B "$out" >/dev/null)
debs=("$out"/quorvel_*.deb)
[ -f "${debs[0]}" ] || { echo "package.sh: cpack made no package" >&2; exit 1; }
deb=${debs[0]}
rm -rf "$out/_CPack_Packages"
echo "package: ${deb#"$PWD"/} ($(du -k "$deb" | cut -f1) KB)"

echo "lintian:"
lintian --fail-on error "$deb" | sed 's/^/    /'

# Without Qt's Wayland plugin the program could not open a window on a Wayland session.
# Nor type or bind keys on KDE Plasma or GNOME without the desktop portal.
for needed in qt6-wayland xdg-desktop-portal; do
    dpkg-deb -f "$deb" Depends | grep -qw "$needed" ||
        { echo "package.sh: the package does not depend on $needed" >&2; exit 1; }
done

contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$deb" "$contents"
desktop-file-validate "$contents"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml
echo "package checks passed"

if [ "$install_test" = 1 ]; then
    bash tests/package/install_test.sh "$deb"
fi
