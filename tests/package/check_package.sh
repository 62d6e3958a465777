#!/usr/bin/env bash
# Builds the Debian package from a build tree, unpacks it into a scratch root and runs the
# programs from there with nothing but the package's files and a clean environment. As root it
# then installs the package with apt-get into a throwaway copy-on-write root of this machine:
# an overlay over / in a private mount namespace, discarded at the end, so the machine's own
# packages are never touched.
#
# Usage: check_package.sh BUILD_DIR SOURCE_DIR WORK_DIR VERSION APPSTREAM_ID
set -euo pipefail

build_dir=$1
source_dir=$2
work=$3
version=$4
appstream_id=$5

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
skip_step() {
    echo "SKIPPED STEP: $*"
}
have() { command -v "$1" >/dev/null 2>&1; }

rm -rf "$work"
mkdir -p "$work/out" "$work/home" "$work/run"
# Bounded time for every program run from the package.
readonly run_limit_s=30

# --- Build the package --------------------------------------------------------------------
if ! (cd "$build_dir" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack could not build the package"
fi
shopt -s nullglob
debs=("$work"/out/tq50r_*.deb)
shopt -u nullglob
[ ${#debs[@]} -eq 1 ] || fail "expected one tq50r_*.deb, found ${#debs[@]}"
deb=${debs[0]}
echo "package: $(basename "$deb") ($(stat -c %s "$deb") bytes)"

[ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ] || fail "Version is not $version-1"
depends=$(dpkg-deb -f "$deb" Depends)
dependency_names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//')
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    grep -qxF "$lib" <<<"$dependency_names" || fail "Depends lacks $lib (shlibdeps): $depends"
done
# The programs use their own sockets: the toolkit's network library (and what it loads) is no
# part of them.
! grep -qxF libqt6network6 <<<"$dependency_names" ||
    fail "Depends names the network library, which no program should link: $depends"
recommends=$(dpkg-deb -f "$deb" Recommends)
grep -q 'fonts-droid-fallback' <<<"$recommends" || fail "Recommends lacks the fallback font: $recommends"

# --- Unpack and look at what it holds ------------------------------------------------------
root=$work/root
dpkg-deb -x "$deb" "$root"
[ "$(cd "$root/usr/bin" && ls | tr '\n' ' ')" = "tq50r tq50r-sim tq50r-tool " ] ||
    fail "usr/bin holds: $(ls "$root/usr/bin" | tr '\n' ' ')"
share=$root/usr/share
for f in applications/tq50r.desktop "metainfo/$appstream_id.metainfo.xml" \
    icons/hicolor/scalable/apps/tq50r.svg doc/tq50r/copyright doc/tq50r/changelog.Debian.gz; do
    [ -s "$share/$f" ] || fail "missing or empty: /usr/share/$f"
done
# Each rendered icon is a PNG of the size its folder names (width and height from IHDR).
for size in 16 22 24 32 48 64 128 256; do
    png=$share/icons/hicolor/${size}x${size}/apps/tq50r.png
    [ -s "$png" ] || fail "missing icon $png"
    [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "not a PNG: $png"
    dims=$(od -An -tu1 -j16 -N8 "$png" | tr -s ' \n' ' ')
    read -r w3 w2 w1 w0 h3 h2 h1 h0 <<<"$dims"
    [ $(((w3 << 24) | (w2 << 16) | (w1 << 8) | w0)) -eq "$size" ] &&
        [ $(((h3 << 24) | (h2 << 16) | (h1 << 8) | h0)) -eq "$size" ] ||
        fail "$png is not ${size}x${size}"
done
for program in tq50r tq50r-tool tq50r-sim; do
    page=$share/man/man1/$program.1.gz
    [ -s "$page" ] || fail "missing man page $page"
    text=$(zcat "$page")
    grep -q "^\.TH \"\?${program^^}\"\? .*$version" <<<"$text" || fail "$program.1 does not name $version"
    grep -q '^\.SH EXAMPLES' <<<"$text" || fail "$program.1 has no EXAMPLES section"
done
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$share/doc/tq50r/copyright" || fail "copyright is not in the machine-readable format"

if have desktop-file-validate; then
    desktop-file-validate "$share/applications/tq50r.desktop" || fail "desktop-file-validate"
else
    skip_step "desktop-file-validate: not installed (scripts/install-deps.sh installs it)"
fi
if have appstreamcli; then
    appstreamcli validate --no-net --pedantic "$share/metainfo/$appstream_id.metainfo.xml" ||
        fail "appstreamcli validate"
else
    skip_step "appstreamcli validate: not installed (scripts/install-deps.sh installs it)"
fi
if have lintian; then
    lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || {
        cat "$work/lintian.log" >&2
        fail "lintian reports errors"
    }
    grep -c '^W:' "$work/lintian.log" | sed 's/^/lintian warnings: /'
else
    skip_step "lintian: not installed (scripts/install-deps.sh installs it)"
fi

# --- Nothing may reach back into the build or source tree -----------------------------------
for program in "$root"/usr/bin/*; do
    if readelf -d "$program" | grep -Eq 'RPATH|RUNPATH'; then
        fail "$(basename "$program") carries a run path: $(readelf -d "$program" | grep -E 'RPATH|RUNPATH')"
    fi
    libs=$(env -i ldd "$program")
    if grep -q 'not found' <<<"$libs"; then fail "$(basename "$program"): $libs"; fi
    for tree in "$build_dir" "$source_dir"; do
        if grep -qF "$(realpath "$tree")" <<<"$libs"; then
            fail "$(basename "$program") loads from $tree: $libs"
        fi
    done
done

# Runs a program of the unpacked package with a clean environment from a scratch directory.
run_packaged() {
    (cd "$work/run" && env -i PATH=/usr/bin:/bin HOME="$work/home" LC_ALL=C.UTF-8 \
        QT_QPA_PLATFORM=offscreen timeout "$run_limit_s" "$root/usr/bin/$1" "${@:2}")
}

help=$(run_packaged tq50r --help) || fail "tq50r --help exited $?"
grep -q '^Usage: tq50r ' <<<"$help" && grep -q -- '--loopback' <<<"$help" ||
    fail "tq50r --help: $help"
for program in tq50r tq50r-tool tq50r-sim; do
    [ "$(run_packaged "$program" --version)" = "$program $version" ] ||
        fail "$program --version does not print '$program $version'"
done
csv=$(run_packaged tq50r-tool response) || fail "tq50r-tool response exited $?"
[ "$(wc -l <<<"$csv")" -eq 1025 ] || fail "tq50r-tool response printed $(wc -l <<<"$csv") lines"
[ "$(head -n 2 <<<"$csv")" = $'index,frequency_hz,total_db\n0,1,0' ] ||
    fail "tq50r-tool response starts: $(head -n 2 <<<"$csv")"
sim_help=$(run_packaged tq50r-sim --help) || fail "tq50r-sim --help exited $?"
grep -q '^Usage: tq50r-sim ' <<<"$sim_help" || fail "tq50r-sim --help: $sim_help"
echo "unpacked package: programs run from $root"

# --- apt-get install into a throwaway root --------------------------------------------------
if [ "$(id -u)" -ne 0 ]; then
    skip_step "apt-get install: needs root for a throwaway root (running as $(id -un))"
    exit 0
fi
for tool in unshare chroot apt-get findmnt; do
    if ! have "$tool"; then
        skip_step "apt-get install: $tool is not installed"
        exit 0
    fi
done
if ! unshare --mount --propagation private true 2>/dev/null; then
    skip_step "apt-get install: no private mount namespace can be made here"
    exit 0
fi

cow=$work/cow
mkdir -p "$cow"
host_status=$(md5sum </var/lib/dpkg/status)
# Inside a private mount namespace every mount below disappears with the namespace, also when
# a step fails. The upper layer lives on a tmpfs, so / itself is never written.
# Exit status 77 from the namespace: this machine cannot mount the overlay.
readonly no_overlay_status=77
status=0
export -f fail
unshare --mount --propagation private bash -euo pipefail -s "$cow" "$deb" "$version" \
    "$no_overlay_status" <<'EOF' || status=$?
cow=$1
deb=$2
version=$3
no_overlay_status=$4
mount -t tmpfs -o size=2g tmpfs "$cow"
mkdir -p "$cow/upper" "$cow/work" "$cow/root"
mount -t overlay overlay -o "lowerdir=/,upperdir=$cow/upper,workdir=$cow/work" "$cow/root" ||
    exit "$no_overlay_status"
[ "$(findmnt -n -o FSTYPE --target "$cow/root")" = overlay ] || fail "the root is no overlay"
mount --rbind /dev "$cow/root/dev"
mount -t proc proc "$cow/root/proc"
mount -t tmpfs tmpfs "$cow/root/tmp"
install -m 0644 "$deb" "$cow/root/tmp/"
in_root() { timeout 180 chroot "$cow/root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 "$@"; }
# apt resolves the package's dependencies; one that Debian 12 cannot give makes this fail.
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "/tmp/$(basename "$deb")" >"$cow/apt.log" 2>&1 || {
    cat "$cow/apt.log" >&2
    fail "apt-get install of the package"
}
grep -E '^(Setting up|Unpacking) tq50r' "$cow/apt.log"
[ "$(in_root dpkg-query -W -f '${Status} ${Version}' tq50r)" = "install ok installed $version-1" ] ||
    fail "dpkg does not list tq50r $version-1 as installed"
[ "$(in_root tq50r-tool --version)" = "tq50r-tool $version" ] || fail "tq50r-tool is not on PATH"
[ -f "$cow/upper/var/lib/dpkg/status" ] || fail "the install did not land in the throwaway layer"
echo "apt-get install: tq50r $version-1 installed in a throwaway root"
EOF
if [ "$status" -eq "$no_overlay_status" ]; then
    skip_step "apt-get install: this machine cannot mount an overlay of / for a throwaway root"
elif [ "$status" -ne 0 ]; then
    fail "the install into the throwaway root failed (status $status)"
fi
[ "$(md5sum </var/lib/dpkg/status)" = "$host_status" ] ||
    fail "the machine's own package database changed"
echo "package test passed"
