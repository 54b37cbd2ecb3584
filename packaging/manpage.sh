#!/bin/bash
# Writes the manual page of trimbel from its help texts: help2man turns `trimbel --help` and
# `--version` into the page, and each subcommand's `--help` becomes a part of its SUBCOMMANDS
# section, so the page says what the program says and never falls behind it.
# Usage: manpage.sh TRIMBEL OUTPUT.1
set -euo pipefail
trimbel="$1"
output="$2"
include="$output.include"

# A subcommand's help (Qt's layout: usage line, description, "Options:"/"Arguments:" lists of
# "  NAME  text" with wrapped lines indented) as roff.
to_roff() {
    awk '
    function esc(s) { gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s); sub(/^[.'"'"']/, "\\\\&&", s); return s }
    function item(s) { s = esc(s); gsub(/</, "\\fI<", s); gsub(/>/, ">\\fB", s); return "\\fB" s "\\fR" }
    NR == 1 { sub(/^Usage: /, ""); print ".SS \"" esc($0) "\""; next }
    /^(Options|Arguments):$/ { next }
    /^$/ { next }
    /^  [^ ]/ {
        line = substr($0, 3)
        split_at = match(line, /  +/)
        if (split_at == 0) { print ".TP"; print item(line); next }
        print ".TP"; print item(substr(line, 1, split_at - 1))
        print esc(substr(line, split_at + RLENGTH)); next
    }
    /^   / { sub(/^ +/, ""); print esc($0); next }
    { print esc($0) }
    '
}

{
    echo "[SUBCOMMANDS]"
    # The names listed under "Subcommands:" in the program's own help.
    for sub in $("$trimbel" --help | awk '/^Subcommands:/ { on = 1; next } /^$/ { on = 0 } on { print $1 }'); do
        "$trimbel" "$sub" --help | to_roff
    done
    echo "[SEE ALSO]"
    echo ".BR id3v2 (1),"
    echo ".BR mp3splt (1)"
} > "$include"

help2man --no-info --section 1 \
    --name "cut MP3 files and edit their ID3 tags" \
    --include "$include" --output "$output" "$trimbel"
rm -f "$include"
