#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 the npt-desk authors
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a clinic's administrator meets it: lintian finds no error in it, apt
# installs it with every dependency it needs, the programs, menu entry, manual pages, examples
# and udev rule are where the desktop and the user look for them and work from there, and a
# purge leaves none of its files behind. Installs into /usr: run as root on a machine where
# npt-desk is not installed otherwise (CI, or a developer's machine, purged at the end).
#
#   package_test.sh build-deb/npt-desk_VERSION_amd64.deb
set -euo pipefail

deb=$(realpath "$1")
version=$(dpkg-deb -f "$deb" Version)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export DEBIAN_FRONTEND=noninteractive

step() { echo "== package: $*"; }
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if [[ $(dpkg-query -W -f='${Status}' npt-desk 2>/dev/null || true) == *" installed" ]]; then
    fail "npt-desk is installed already; this test installs and purges its own"
fi

step "lintian (errors fail; warnings and notes are listed)"
# Lintian warns when run as root, which CI is; that note is no finding.
lintian --fail-on error --display-info "$deb" 2> >(grep -v 'root privileges' >&2)

step "maintainer scripts: udev reloaded where it runs, nothing done or failed elsewhere"
# Where udev runs is faked in a private mount namespace: its control socket on a /run of its own
# and an udevadm that notes its arguments (and fails when asked to).
dpkg-deb -e "$deb" "$scratch/control"
mkdir "$scratch/bin"
cat >"$scratch/bin/udevadm" <<'EOF'
#!/bin/sh
echo "$*" >>"$UDEVADM_LOG"
exit "${UDEVADM_STATUS:-0}"
EOF
chmod +x "$scratch/bin/udevadm"
run_scripts() {
    PATH="$scratch/bin:$PATH" UDEVADM_LOG="$scratch/udevadm.log" UDEVADM_STATUS="$1" \
        unshare --mount sh -c "$2
        sh '$scratch/control/postinst' configure && sh '$scratch/control/postrm' purge"
}
with_udev='mount -t tmpfs npt-test /run && mkdir /run/udev &&
    /usr/bin/python3 -c "import socket; socket.socket(socket.AF_UNIX).bind(\"/run/udev/control\")" &&'
run_scripts 0 "$with_udev" || fail "the maintainer scripts failed where udev runs"
reload=$'--version\ncontrol --reload-rules\ntrigger --subsystem-match=hidraw --action=change'
[[ $(cat "$scratch/udevadm.log") == "$reload"$'\n'"$reload" ]] ||
    fail "postinst and postrm did not reload udev: $(cat "$scratch/udevadm.log")"
rm "$scratch/udevadm.log"
run_scripts 1 "$with_udev" || fail "the maintainer scripts failed with a failing udevadm"
run_scripts 0 'mount -t tmpfs npt-test /run &&' || fail "the maintainer scripts failed without udev"
[[ $(grep -c . "$scratch/udevadm.log") == 2 ]] || fail "udevadm was asked more than its version"

step "apt-get install $deb"
# Whatever happens below, the machine is left without the package.
trap 'apt-get purge -y -qq npt-desk >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
apt-get install -y -qq "$deb" >"$scratch/apt.log" || {
    cat "$scratch/apt.log"
    fail "apt-get could not install the package"
}

step "programs on the PATH, each of the package's version"
for program in npt npt-desk npt-recorder-sim; do
    [[ $(command -v "$program") == "/usr/bin/$program" ]] || fail "$program is not /usr/bin/$program"
    told=$("$program" --version)
    said=${told%%$'\n'*}
    [[ "$said" == "$program $version" ]] || fail "$program --version says «$said», not «$program $version»"
    [[ "$told" == *"Лицензия GPL-3.0-or-later"* ]] ||
        fail "$program --version does not name the licence"
done

step "npt shows, exports and reports the installed example"
examples=/usr/share/npt-desk/examples
npt show "$examples/night.txt" --json >"$scratch/night.json"
/usr/bin/python3 -c 'import json, sys
night = json.load(open(sys.argv[1]))
assert len(night["points"]) == 4320, len(night["points"])
assert night["analysis"]["summary"]["episodes"] > 0' "$scratch/night.json" ||
    fail "npt show --json gave no whole night"
npt show "$examples/night-password.txt" --password 1234 >/dev/null
npt export "$examples/night.txt" "$scratch/night.xlsx"
npt report "$examples/night.txt" "$scratch/night.pdf"
[[ $(head -c 5 "$scratch/night.pdf") == "%PDF-" ]] || fail "npt report wrote no PDF"

step "the window draws itself with the example (no screen needed)"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    npt-desk --screenshot "$scratch/window.png" "$examples/night.txt"
[[ -s "$scratch/window.png" ]] || fail "npt-desk drew no picture"

step "menu entry, icon, recordings' MIME type, udev rule, manual pages, documents"
desktop-file-validate /usr/share/applications/npt-desk.desktop
grep -qx 'Exec=npt-desk %f' /usr/share/applications/npt-desk.desktop || fail "Exec is not npt-desk %f"
[[ $(grep '^MimeType=' /usr/share/applications/npt-desk.desktop) == 'MimeType=application/x-npt-recording;' ]] ||
    fail "the entry claims other MIME types than the recordings'"
[[ -s /usr/share/mime/packages/npt-desk.xml ]] || fail "no MIME type for recordings"
# The system's database took the type in (shared-mime-info's trigger), and the desktop tells a
# recording from a text file by its content.
grep -qx 'application/x-npt-recording' /usr/share/mime/types || fail "the MIME database lacks the recordings' type"
if command -v gio >/dev/null; then
    [[ $(gio info -a standard::content-type "$examples/night.txt") == *": application/x-npt-recording" ]] ||
        fail "the installed example is not recognised as a recording"
    printf 'Замечаний нет.\n' >"$scratch/notes.txt"
    [[ $(gio info -a standard::content-type "$scratch/notes.txt") == *": text/plain" ]] ||
        fail "a text file named .txt is no longer text/plain"
    [[ $(gio mime application/x-npt-recording) == *npt-desk.desktop* ]] ||
        fail "the desktop does not offer npt-desk for recordings"
fi
for icon in 16x16/apps/npt-desk.png 48x48/apps/npt-desk.png 256x256/apps/npt-desk.png \
    scalable/apps/npt-desk.svg; do
    [[ -s /usr/share/icons/hicolor/$icon ]] || fail "no icon $icon"
done
[[ -s /usr/lib/udev/rules.d/70-npt-recorder.rules ]] || fail "no udev rule"
for program in npt npt-desk npt-recorder-sim; do
    [[ $(man -w "$program") == "/usr/share/man/man1/$program.1.gz" ]] || fail "man -w $program"
    [[ $(man -L ru -w "$program") == "/usr/share/man/ru/man1/$program.1.gz" ]] ||
        fail "man -L ru -w $program"
done
[[ -s /usr/share/doc/npt-desk/copyright && -s /usr/share/doc/npt-desk/changelog.gz ]] ||
    fail "no copyright or changelog"

step "apt-get purge leaves nothing of the package behind"
dpkg -L npt-desk >"$scratch/installed"
apt-get purge -y -qq npt-desk >"$scratch/apt.log" || {
    cat "$scratch/apt.log"
    fail "apt-get could not purge the package"
}
left=0
while IFS= read -r path; do
    if [[ -d "$path" && ! -L "$path" ]]; then
        # A folder stays only while something else is in it or another package owns it.
        if [[ -z $(ls -A "$path") ]] && ! dpkg -S "$path" >/dev/null 2>&1; then
            echo "left behind: the empty folder $path" >&2
            left=1
        fi
    elif [[ -e "$path" || -L "$path" ]]; then
        echo "left behind: $path" >&2
        left=1
    fi
done <"$scratch/installed"
((left == 0)) || fail "the purge left files of the package behind"
! grep -qx 'application/x-npt-recording' /usr/share/mime/types ||
    fail "the MIME database still has the recordings' type"
trap 'rm -rf "$scratch"' EXIT
step "installed, checked and purged"
