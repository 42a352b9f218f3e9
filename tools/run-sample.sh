#!/usr/bin/env bash
# Starts sintsrv from a build's program folder and speaks a sample paragraph
# into out/sample.wav with sint-say (used by `make run`).
#
#   tools/run-sample.sh [BUILD_DIR] [OUTPUT.wav]
#
# The server loads the packed wave database (data/MorvenaIdra.dat); when it is
# missing, or was made from other recordings, it is built first with
# `sintsrv -ustvaripodatke` from the program folder's filenames.ini. A server
# that already runs keeps the database it loaded.
set -eu

build=${1:-build}
output=${2:-out/sample.wav}
folder=$build/sintsrv
packed=$folder/data/MorvenaIdra.dat

# Numbers, a date and a time, a question and an exclamation (UTF-8: sint-say
# converts it to code page 1250).
text='Dober dan! Danes je ponedeljek, 7. decembra 2026, ura je 14:30. V Ljubljani živi približno 295000 prebivalcev, v vsej Sloveniji pa nekaj več kot dva milijona. Ali veste, koliko stane skodelica kave? Stane 2,50 evra. Hvala za pozornost in lep pozdrav!'

die() {
    echo "run: $*" >&2
    exit 1
}

[ -x "$folder/sintsrv" ] && [ -x "$folder/sint-say" ] ||
    die "$folder holds no sintsrv and sint-say: build first (make build)"

# The packed database, made from the voice's list file when it is missing or
# was made from other recordings (a checksum of the voice beside it tells).
voice_sum() {
    (cd "$folder" && cat filenames.ini Cost.dat wave/* 2>/dev/null) | md5sum | cut -d' ' -f1
}
if [ -f "$folder/filenames.ini" ]; then
    sum=$(voice_sum)
    if [ ! -f "$packed" ] || [ "$(cat "$packed.md5" 2>/dev/null)" != "$sum" ]; then
        echo "run: building the packed wave database $packed from $folder/filenames.ini"
        rm -f "$packed" "$packed.md5"
        "$folder/sintsrv" -konzola -ustvaripodatke
        [ -f "$packed" ] ||
            die "sintsrv -ustvaripodatke made no $packed (see $folder/sint.log with pisi_dnevnik = true in $folder/sint.ini)"
        echo "$sum" >"$packed.md5"
    fi
elif [ ! -f "$packed" ]; then
    die "the default voice is missing: $folder has neither $packed nor filenames.ini.
     Build the voice with 'make voice' (recordings into voice/), then 'make run' again."
fi

# The port of the server's sint.ini (10150 when it names none).
port=$(sed -n 's/^[[:space:]]*port[[:space:]]*=[[:space:]]*\([0-9][0-9]*\).*/\1/p' \
    "$folder/sint.ini" 2>/dev/null | head -n 1)
port=${port:-10150}

# Start the server unless one answers already; it relaunches itself into the
# background and ends by itself after a minute without clients.
listens() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }
if listens; then
    echo "run: a server already listens on port $port"
else
    echo "run: starting $folder/sintsrv on port $port"
    "$folder/sintsrv" -hitro
    # It loads its data before it listens (sint-say would start a second one).
    for _ in $(seq 150); do
        listens && break
        sleep 0.2
    done
fi

mkdir -p "$(dirname "$output")"
"$folder/sint-say" -q --server "$folder/sintsrv" -o "$output" "$text"

bytes=$(wc -c <"$output")
# 44 bytes of RIFF header, then 16-bit mono samples at 16000 per second.
awk -v bytes="$bytes" -v name="$output" \
    'BEGIN { printf "run: %s holds %.2f s of speech\n", name, (bytes - 44) / 32000 }'
