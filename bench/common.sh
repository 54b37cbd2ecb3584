# Sourced by the bench scripts: where the build and the command line program are, a check for the
# tools a script compares against, a median, and music-like test audio.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TRIMBEL_BUILD_DIR:-$root/build}"
trimbel="$build/src/trimbel"
[ -x "$trimbel" ] || { echo "build trimbel first ($trimbel)" >&2; exit 1; }

# need_tools TOOL...: stops the script, naming the first tool that is missing.
need_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$tool is not installed (scripts/deps.sh test)" >&2; exit 1; }
    done
}

# The median of the numbers on standard input, one a line.
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# noise_wav SECONDS OUT.wav [VOLUME]: pink noise under a sweep, stereo 44.1 kHz.
noise_wav() {
    local vol="${3:-0.2}"
    sox -n -r 44100 -c 2 -b 16 "$2" synth "$1" pinknoise vol "$vol" synth "$1" sine mix 200-3000 vol 0.6
}
