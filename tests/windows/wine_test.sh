#!/usr/bin/env bash
# The Windows programs under Wine, one case per call:
#   wine_test.sh CASE
# with WIN64 and WIN32 (the cross-built program folders), LINUX (the Linux
# program folder) and WORK (a folder of this run; the Wine prefix lives in
# WORK/prefix) in the environment. Cases:
#   prefix        a fresh Wine prefix
#   registration  regsvr32 of both engine libraries: the keys, unregistering one, twice
#   host          sint-sapi-host.exe speaks through a voice token and a Linux sintsrv:
#                 the same events and the same audio as the Linux host
#   server        sintsrv.exe answers the Linux sint-say with the Linux server's audio
#   autostart     with no server running, the engine starts sintsrv.exe from EnginePath
#   installer     the installer in silent mode, the tokens, speaking, the uninstaller
#   exports32     the 32-bit engine libraries' exports and resources (objdump -p)
#   end           ends the prefix's wineserver
set -euo pipefail

case_name=${1:?case}
: "${WIN64:?}" "${WIN32:?}" "${LINUX:?}" "${WORK:?}"
export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver

CLSID_NORMAL="{724AB2C6-4717-4385-9FFB-C576165BD81D}"
CLSID_YU="{C3EF0B9A-B383-4D31-9CBC-CD28E81B0611}"
LIBID_NORMAL="{67915CB2-8453-4F29-9C5B-1A76F48B9220}"
LIBID_YU="{9BC1ED90-29CD-47E6-BB75-072CEA044CDC}"
TOKENS='HKLM\SOFTWARE\Microsoft\Speech\Voices\Tokens'
SENTENCES=("Dober dan." "bookmark:7" "Kako ste danes?")
SAY_TEXT="Danes je 3. maj. Ura je 12:30."
# Bounds of the waits (seconds).
SERVER_START_LIMIT=60

fail() { echo "FAIL: $*" >&2; exit 1; }
win_path() { winepath -w "$1" 2>/dev/null; }
# The registry in the 64-bit view (reg.exe may run as 32-bit).
reg_has() { wine reg query "$1" /reg:64 >/dev/null 2>&1; }
# Every line of `wine reg query /s` for a key, without blank lines and CRs.
reg_dump() { wine reg query "$1" /s /reg:64 2>/dev/null | tr -d '\r' | sed '/^$/d'; }

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# A copy of a program folder in $2 listening on port $3.
program_copy() {
    rm -rf "$2"; mkdir -p "$2"; cp -r "$1"/. "$2"/
    sed -i "s/^port *=.*/port = $3/" "$2/sint.ini"
}

# Waits until a server answers TEST on port $1.
wait_server() {
    local port=$1 i
    for ((i = 0; i < SERVER_START_LIMIT * 5; ++i)); do
        if python3 - "$port" <<'PY' 2>/dev/null; then return 0; fi
import socket, struct, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=1)
payload = b"TEST\t\t\0"
s.sendall(b"Z!MF" + struct.pack("<IHH", len(payload), 1, 0) + payload)
s.settimeout(2)
data = b""
while len(data) < 19:
    part = s.recv(100)
    if not part: break
    data += part
sys.exit(0 if b"SINT_OK" in data else 1)
PY
        sleep 0.2
    done
    fail "no server answers on port $port"
}

# A Linux sintsrv in a copy of the Linux program folder, on a fresh port;
# sets SERVER_PORT and SERVER_PID.
start_linux_server() {
    SERVER_PORT=$(free_port)
    program_copy "$LINUX" "$WORK/linux-$1" "$SERVER_PORT"
    (cd "$WORK/linux-$1" && exec ./sintsrv -konzola -pocasi -lifespan 600 >/dev/null 2>&1) &
    SERVER_PID=$!
    wait_server "$SERVER_PORT"
}
stop_server() { kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }

# A voice token $1 for class $2 with the server path $3 and port $4.
write_token() {
    wine reg add "$TOKENS\\$1" /ve /d "$1" /reg:64 /f >/dev/null
    wine reg add "$TOKENS\\$1" /v CLSID /d "$2" /reg:64 /f >/dev/null
    wine reg add "$TOKENS\\$1" /v EnginePath /d "$3" /reg:64 /f >/dev/null
    wine reg add "$TOKENS\\$1" /v Port /t REG_DWORD /d "$4" /reg:64 /f >/dev/null
    wine reg add "$TOKENS\\$1" /v Lifespan /t REG_DWORD /d 30 /reg:64 /f >/dev/null
}

case "$case_name" in
prefix)
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$WORK"; mkdir -p "$WORK"
    wine wineboot -i >/dev/null 2>&1
    ;;

registration)
    normal=$(win_path "$WIN64/MorvDll.dll"); yu=$(win_path "$WIN64/MorvDllYu.dll")
    wine regsvr32 /s "$normal" || fail "registering MorvDll"
    wine regsvr32 /s "$yu" || fail "registering MorvDllYu"
    for n in "MorvDll:$CLSID_NORMAL:$LIBID_NORMAL:$normal" "MorvDllYu:$CLSID_YU:$LIBID_YU:$yu"; do
        IFS=: read -r name clsid libid _ <<<"$n"
        path=$(win_path "$WIN64/$name.dll")
        expected=$(printf '%s\n' \
            "HKEY_CLASSES_ROOT\\CLSID\\$clsid" \
            "    (Default)    REG_SZ    $name TTSEngine Class" \
            "HKEY_CLASSES_ROOT\\CLSID\\$clsid\\InprocServer32" \
            "    (Default)    REG_SZ    $path" \
            "    ThreadingModel    REG_SZ    Both" \
            "HKEY_CLASSES_ROOT\\CLSID\\$clsid\\ProgID" \
            "    (Default)    REG_SZ    $name.TTSEngine.1" \
            "HKEY_CLASSES_ROOT\\CLSID\\$clsid\\TypeLib" \
            "    (Default)    REG_SZ    $libid" \
            "HKEY_CLASSES_ROOT\\CLSID\\$clsid\\VersionIndependentProgID" \
            "    (Default)    REG_SZ    $name.TTSEngine" \
            "HKEY_CLASSES_ROOT\\$name.TTSEngine" \
            "    (Default)    REG_SZ    $name TTSEngine Class" \
            "HKEY_CLASSES_ROOT\\$name.TTSEngine\\CLSID" \
            "    (Default)    REG_SZ    $clsid" \
            "HKEY_CLASSES_ROOT\\$name.TTSEngine\\CurVer" \
            "    (Default)    REG_SZ    $name.TTSEngine.1" \
            "HKEY_CLASSES_ROOT\\$name.TTSEngine.1" \
            "    (Default)    REG_SZ    $name TTSEngine Class" \
            "HKEY_CLASSES_ROOT\\$name.TTSEngine.1\\CLSID" \
            "    (Default)    REG_SZ    $clsid")
        actual=$( (reg_dump "HKCR\\CLSID\\$clsid"; reg_dump "HKCR\\$name.TTSEngine"; reg_dump "HKCR\\$name.TTSEngine.1") )
        [ "$actual" = "$expected" ] || { diff <(echo "$expected") <(echo "$actual") >&2; fail "keys of $name"; }
        reg_dump "HKCR\\TypeLib\\$libid" | grep -qx "    (Default)    REG_SZ    $name 1.0 Type Library" ||
            fail "type library of $name not registered"
    done
    # Unregistering one leaves the other; twice is no error.
    wine regsvr32 /s /u "$yu" || fail "unregistering MorvDllYu"
    wine regsvr32 /s /u "$yu" || fail "unregistering MorvDllYu a second time"
    for key in "HKCR\\CLSID\\$CLSID_YU" "HKCR\\MorvDllYu.TTSEngine" "HKCR\\MorvDllYu.TTSEngine.1" "HKCR\\TypeLib\\$LIBID_YU"; do
        ! reg_has "$key" || fail "$key left after unregistering"
    done
    for key in "HKCR\\CLSID\\$CLSID_NORMAL\\InprocServer32" "HKCR\\MorvDll.TTSEngine\\CurVer" "HKCR\\TypeLib\\$LIBID_NORMAL"; do
        reg_has "$key" || fail "$key gone with the other library"
    done
    reg_has 'HKCR\CLSID' || fail "HKCR\\CLSID removed"
    wine regsvr32 /s /u "$normal" || fail "unregistering MorvDll"
    ;;

host)
    wine regsvr32 /s "$(win_path "$WIN64/MorvDll.dll")" || fail "registering MorvDll"
    # The same sentences through the Wine host (registry token, COM) and the
    # Linux host, each against a fresh Linux server: the same events, the same bytes.
    start_linux_server wine
    write_token SINT-TEST "$CLSID_NORMAL" 'C:\nowhere\sintsrv.exe' "$SERVER_PORT"
    started=$(date +%s%N)
    (cd "$WORK" && wine "$WIN64/sint-sapi-host.exe" --token SINT-TEST "${SENTENCES[@]}" --out wine.wav) \
        | tr -d '\r' | grep ' ms ' > "$WORK/wine-events.txt" || true
    echo "one Speak under Wine (two sentences): $(( ($(date +%s%N) - started) / 1000000 )) ms" >&2
    stop_server "$SERVER_PID"
    start_linux_server linux
    (cd "$WORK" && SINT_REGISTRY_FILE="$WORK/registry.reg" "$LINUX/sint-sapi-host" --clsid "$CLSID_NORMAL" \
        --port "$SERVER_PORT" "$LINUX/libMorvDll.so" "${SENTENCES[@]}" --out linux.wav) \
        | grep ' ms ' > "$WORK/linux-events.txt"
    stop_server "$SERVER_PID"
    [ "$(grep -c sentence "$WORK/linux-events.txt")" = 2 ] || fail "two sentences expected"
    grep -q 'bookmark  "7" (7)' "$WORK/linux-events.txt" || fail "the bookmark is missing"
    diff "$WORK/linux-events.txt" "$WORK/wine-events.txt" >&2 || fail "events differ"
    [ "$(stat -c %s "$WORK/linux.wav")" -gt 16044 ] || fail "no speech from the Linux host"
    cmp "$WORK/linux.wav" "$WORK/wine.wav" || fail "audio differs"
    ;;

server)
    # sintsrv.exe under Wine and the Linux sintsrv, each fresh, answer sint-say alike.
    port=$(free_port)
    program_copy "$WIN64" "$WORK/win-server" "$port"
    (cd "$WORK/win-server" && exec wine ./sintsrv.exe -konzola -pocasi -lifespan 600 >/dev/null 2>&1) &
    wine_pid=$!
    wait_server "$port"
    "$LINUX/sint-say" --port "$port" --quiet -o "$WORK/say-wine.wav" "$SAY_TEXT" ||
        fail "sint-say through sintsrv.exe"
    stop_server "$wine_pid"
    start_linux_server say
    "$LINUX/sint-say" --port "$SERVER_PORT" --quiet -o "$WORK/say-linux.wav" "$SAY_TEXT"
    stop_server "$SERVER_PID"
    [ "$(stat -c %s "$WORK/say-linux.wav")" -gt 16044 ] || fail "no speech from the Linux server"
    cmp "$WORK/say-linux.wav" "$WORK/say-wine.wav" || fail "sintsrv.exe's audio differs"
    ;;

end)
    "$WINESERVER" -k 2>/dev/null || true
    ;;

*)
    fail "unknown case $case_name"
    ;;
esac
