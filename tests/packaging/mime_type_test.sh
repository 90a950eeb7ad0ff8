#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 the npt-desk authors
# SPDX-License-Identifier: GPL-3.0-or-later
# The recordings' MIME type as a file manager sees it: a database built by update-mime-database
# from the system's own types and the program's (as the package installs it), asked through
# GLib's content-type guess (gio info), as GNOME's file manager and file dialogs do. Recordings
# are recognised by their content, whatever their name; text files named .txt stay text/plain;
# and the desktop entry offers npt-desk for recordings.
#
#   mime_type_test.sh MIME.xml DESKTOP-ENTRY EXAMPLES-DIR SCRATCH-DIR
set -euo pipefail

xml=$1 entry=$2 examples=$3 scratch=$4
for tool in update-mime-database update-desktop-database gio; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (shared-mime-info, desktop-file-utils, libglib2.0-bin;" \
            "scripts/setup installs them)"
        exit 77
    fi
done
rm -rf "$scratch"
mkdir -p "$scratch/data/mime/packages" "$scratch/data/applications" "$scratch/files" "$scratch/bin"
# The system's types first, as update-mime-database takes them in /usr/share/mime.
cp /usr/share/mime/packages/freedesktop.org.xml "$scratch/data/mime/packages/"
cp "$xml" "$scratch/data/mime/packages/npt-desk.xml"
cp "$entry" "$scratch/data/applications/npt-desk.desktop"
update-desktop-database "$scratch/data/applications"
# GLib offers only applications whose program is on the PATH: a stand-in for the window.
printf '#!/bin/sh\n' >"$scratch/bin/npt-desk"
chmod +x "$scratch/bin/npt-desk"
# Run as for the data directories it serves, so that it does not warn they are not searched.
XDG_DATA_DIRS="$scratch/data" update-mime-database "$scratch/data/mime"

desktop() { PATH="$scratch/bin:$PATH" XDG_DATA_HOME="$scratch/none" XDG_DATA_DIRS="$scratch/data" "$@"; }
type_of() { desktop gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'; }

f=$scratch/files
cp "$examples/night.txt" "$f/night.txt"
cp "$examples/night-password.txt" "$f/night-password.txt"
cp "$examples/night.txt" "$f/recording without a name"
printf 'Пациент спал спокойно.\nЗамечаний нет.\n' >"$f/notes.txt"
# A text file of a recording's length, and one in Windows' "Unicode" (UTF-16 with its mark), and
# one in Windows-1251.
head -c 4481 /dev/zero | tr '\0' 'x' >"$f/letters.txt"
printf '\xff\xfe\x1f\x04\x30\x04\x46\x04\x38\x04\x35\x04\x3d\x04\x42\x04\n\x00' >"$f/unicode.txt"
printf '\xcf\xe0\xf6\xe8\xe5\xed\xf2\n' >"$f/cp1251.txt"
# Binary, but no recording: no acknowledge block at its start.
head -c 4481 /dev/zero >"$f/zeros.txt"

status=0
expect() {
    local got
    got=$(type_of "$f/$1")
    if [[ "$got" != "$2" ]]; then
        echo "FAIL: «$1» is $got, not $2" >&2
        status=1
    fi
}
expect night.txt application/x-npt-recording
expect night-password.txt application/x-npt-recording
expect "recording without a name" application/x-npt-recording
for text in notes.txt letters.txt unicode.txt cp1251.txt zeros.txt; do
    expect "$text" text/plain
done
# (Read whole before matching: grep -q may stop reading early, which pipefail would count.)
offered=$(desktop gio mime application/x-npt-recording)
if ! grep -q '^Registered applications:$' <<<"$offered" || ! grep -q 'npt-desk.desktop' <<<"$offered"; then
    echo "FAIL: the desktop entry is not offered for recordings: $offered" >&2
    status=1
fi
if grep -q 'npt-desk.desktop' <<<"$(desktop gio mime text/plain)"; then
    echo "FAIL: the desktop entry claims text files" >&2
    status=1
fi
exit $status
