#!/bin/sh
# Grows and minimises the committed corpus of one or more fuzz targets.
#
#   fuzz/regenerate_corpus.sh [-t SECONDS] [TARGET...]
#
# For each target (all of them when none is named) the libFuzzer program from
# build-fuzz/ (make fuzz) runs for SECONDS (default 300), one job, starting
# from fuzz/corpus/<target>/ and its dictionary fuzz/<target>.dict if there is
# one, and writes what it finds into a scratch folder. The scratch folder and
# the old corpus are then merged (-merge=1) into a fresh folder that keeps one
# input for every feature they reach (every edge only, when that would be more
# than 400 inputs), which replaces fuzz/corpus/<target>/.
# A crash, leak, time-out or sanitizer report stops the run and leaves the
# corpus as it was; the input is in the scratch folder's artifacts/. Once the
# fault is mended, add it as fuzz/corpus/<target>/fault-<what> and run again.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD_FUZZ:-$root/build-fuzz}/fuzz
seconds=300
if [ "${1-}" = "-t" ]; then
    seconds=$2
    shift 2
fi
targets=${*:-$(cd "$here/corpus" && ls)}

# The longest input each target gets: enough for its formats, small on disk.
max_len() {
    case $1 in
        fuzz_frames) echo 2048 ;;
        fuzz_wave_reader) echo 8192 ;;
        fuzz_dictionary_index) echo 4096 ;;
        *) echo 1024 ;;
    esac
}

max_files=400
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
for target in $targets; do
    program=$build/$target
    corpus=$here/corpus/$target
    [ -x "$program" ] || { echo "$program missing: run make fuzz" >&2; exit 1; }
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/$target.XXXXXX")
    mkdir "$scratch/found" "$scratch/merged" "$scratch/artifacts"
    dict=
    [ -f "$here/$target.dict" ] && dict=-dict=$here/$target.dict
    len=$(max_len "$target")
    echo "== $target: ${seconds}s, max_len $len, scratch $scratch"
    "$program" "$scratch/found" "$corpus" $dict -max_len="$len" -timeout=10 \
        -rss_limit_mb=2048 -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$scratch/artifacts/" 2>&1 | tee "$scratch/fuzz.log" | tail -n 20
    "$program" -merge=1 "$scratch/merged" "$scratch/found" "$corpus" \
        2>&1 | tee "$scratch/merge.log" | tail -n 3
    # Too many inputs for a quick replay: keep one per edge instead of one per
    # feature (edge and hit count).
    if [ "$(ls "$scratch/merged" | wc -l)" -gt "$max_files" ]; then
        mkdir "$scratch/edges"
        "$program" -merge=1 -use_counters=0 "$scratch/edges" "$scratch/merged" \
            2>&1 | tee -a "$scratch/merge.log" | tail -n 1
        rm -rf "$scratch/merged"
        mv "$scratch/edges" "$scratch/merged"
    fi
    if [ -n "$(ls "$scratch/artifacts")" ]; then
        echo "$target: findings in $scratch/artifacts; corpus left as it was" >&2
        exit 1
    fi
    # Inputs that once showed a fault (fault-*) stay under their names, so the
    # replay keeps checking them whatever the merge picks; the rest are named
    # by their content's hash.
    mkdir "$scratch/faults"
    for f in "$corpus"/fault-*; do
        [ -e "$f" ] && cp "$f" "$scratch/faults/"
    done
    rm -rf "$corpus"
    mkdir "$corpus"
    cp "$scratch/merged/"* "$scratch/faults/"* "$corpus/" 2>/dev/null || true
    echo "$target: $(ls "$corpus" | wc -l) files, $(du -sb "$corpus" | cut -f1) bytes"
done
