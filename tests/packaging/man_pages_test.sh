#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 the npt-desk authors
# SPDX-License-Identifier: GPL-3.0-or-later
# The manual pages against the programs they describe: each page, English and Russian, names
# every command and option that the program's --help names (a new option or command without its
# page fails here); man renders each page without a warning; every program, page and the newest
# changelog entry carry the project's version.
#
#   man_pages_test.sh VERSION CHANGELOG MAN_DIR PROGRAM...
#
# MAN_DIR holds the configured pages, NAME.1 and ru/NAME.1 for each program's NAME.
set -uo pipefail

version=$1 changelog=$2 man_dir=$3
shift 3
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

newest=$(sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p' "$changelog")
[[ "$newest" == "$version" ]] ||
    fail "the newest changelog entry is $newest, the project is $version: add an entry"

for program in "$@"; do
    name=$(basename "$program")
    told=$("$program" --version)
    said=${told%%$'\n'*}
    [[ "$said" == "$name $version" ]] || fail "$name --version says «$said», not «$name $version»"
    [[ "$told" == *"Лицензия GPL-3.0-or-later"* ]] ||
        fail "$name --version does not name the licence"

    help=$("$program" --help) || fail "$name --help failed"
    # Long options, -h, and the commands of a program that has them ("  npt show ФАЙЛ").
    mapfile -t words < <(
        grep -oE -- '(^|[^[:alnum:]-])--?[a-z][a-z-]*' <<<"$help" | grep -oE -- '--?[a-z][a-z-]*'
        sed -nE "s/^ +$name ([a-z]+) .*/\1/p" <<<"$help"
    )
    for page in "$man_dir/$name.1" "$man_dir/ru/$name.1"; do
        if [[ ! -f "$page" ]]; then
            fail "$page is missing"
            continue
        fi
        # The page as man shows it, hyphens and all: what a reader searches for.
        text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man --warnings -E UTF-8 -l -Tutf8 "$page" 2>&1 >/dev/null)
        [[ -z "$text" ]] || fail "man warns about $page: $text"
        text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l "$page" 2>/dev/null)
        grep -q "npt-desk $version" <<<"$text" || fail "$page does not name version $version"
        for word in $(printf '%s\n' "${words[@]}" | sort -u); do
            grep -qE -- "(^|[^[:alnum:]-])$word([^[:alnum:]-]|$)" <<<"$text" ||
                fail "$page does not mention $word, which $name --help names"
        done
    done
done

if ((failures > 0)); then
    echo "$failures failed"
    exit 1
fi
echo "manual pages, help and versions agree"
