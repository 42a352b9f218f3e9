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
#   server        sintsrv.exe answers the Linux sint-say, sentence-end questions and a
#                 wave file request as the Linux server does (the same bytes, the same ends)
#   ssml          sint-say.exe -m (XmlLite) reads SSML as the Linux sint-say (expat)
#                 does: declared ISO-8859-2 and UTF-16 give the same samples, and
#                 malformed markup is refused alike
#   autostart     with no server running, the engine starts sintsrv.exe from EnginePath
#   host32        the 32-bit engine library and host, registered in the 32-bit view
#   bad_token     voice tokens that cannot reach a server: the host's HRESULT and the trace
#   registry_denied  registering and unregistering meet a key they may not change
#                 (REGISTRY_LOCK: the program that locks it)
#   installer     the installer (INSTALLER) in silent mode, the tokens, speaking, a second
#                 install over the first, the uninstaller
#   installer_no32  the installer where Windows has no 32-bit part: the 64-bit voice alone
#   background    sintsrv.exe relaunched into the background: the parent reports a child
#                 that ended during start-up with the child's messages
#   exports32     the 32-bit engine libraries' exports and resources (OBJDUMP32 -p)
#   library       sint.dll through a C program (LIBRARY_PROGRAM, built against sint.h):
#                 the same samples as the Linux library (LINUX_LIBRARY_PROGRAM)
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
# Texts whose first sentence end (GFP) both servers are asked for.
GFP_TEXTS=("Danes je 3. maj. Ura je 12:30." "Dr. Novak pride jutri! Res?" "Kaj je to? Nič."
    "Brez konca" "Cena je 3,5 EUR. Hvala." "1. 1. 2020 je bil torek.")
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

# Asks the server on port $1 to end (TERMINATE) and waits until the port is free.
terminate_server() {
    python3 - "$1" <<'PY' || true
import socket, struct, sys, time
try:
    s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=2)
    payload = b"TERMINATE\t\t\0"
    s.sendall(b"Z!MF" + struct.pack("<IHH", len(payload), 1, 0) + payload)
    s.close()
except OSError:
    pass
for _ in range(150):
    try:
        socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=1).close()
        time.sleep(0.2)
    except OSError:
        break
PY
}

# The events and audio of the Linux host for SENTENCES (made once per run).
linux_reference() {
    [ -s "$WORK/linux.wav" ] && return 0
    start_linux_server linux
    (cd "$WORK" && SINT_REGISTRY_FILE="$WORK/registry.reg" "$LINUX/sint-sapi-host" --clsid "$CLSID_NORMAL" \
        --port "$SERVER_PORT" "$LINUX/libMorvDll.so" "${SENTENCES[@]}" --out linux.wav) \
        | grep ' ms ' > "$WORK/linux-events.txt"
    stop_server "$SERVER_PID"
}

# A Windows program folder copy in $WORK/$1 on a fresh port (WIN_PORT), with
# the packed wave database that the fast start of the engine's server reads.
windows_folder() {
    WIN_PORT=$(free_port)
    program_copy "${2:-$WIN64}" "$WORK/$1" "$WIN_PORT"
    if [ ! -s "$WORK/$1/data/MorvenaIdra.dat" ]; then
        program_copy "$LINUX" "$WORK/pack" 1
        (cd "$WORK/pack" && ./sintsrv -ustvaripodatke -konzola >/dev/null 2>&1)
        cp -r "$WORK/pack/data" "$WORK/$1/"
    fi
}

# Speaks SENTENCES with the host $1 through token $2 into $WORK/$3.wav and
# compares events and audio with the Linux host's.
speak_and_compare() {
    local started
    started=$(date +%s%N)
    (cd "$WORK" && wine "$1" --token "$2" "${SENTENCES[@]}" --out "$3.wav") \
        | tr -d '\r' | tee "$WORK/$3-output.txt" | grep ' ms ' > "$WORK/$3-events.txt" || true
    echo "$3: host run $(( ($(date +%s%N) - started) / 1000000 )) ms;" \
        "$(grep 'first audio' "$WORK/$3-output.txt" || true)" >&2
    diff "$WORK/linux-events.txt" "$WORK/$3-events.txt" >&2 || fail "$3: events differ"
    cmp "$WORK/linux.wav" "$WORK/$3.wav" || fail "$3: audio differs"
}

# A voice token $1 for class $2 with the server path $3 and port $4, in the
# registry view $5 (64 or 32; 64 when not given).
write_token() {
    wine reg add "$TOKENS\\$1" /ve /d "$1" /reg:"${5:-64}" /f >/dev/null
    wine reg add "$TOKENS\\$1" /v CLSID /d "$2" /reg:"${5:-64}" /f >/dev/null
    wine reg add "$TOKENS\\$1" /v EnginePath /d "$3" /reg:"${5:-64}" /f >/dev/null
    wine reg add "$TOKENS\\$1" /v Port /t REG_DWORD /d "$4" /reg:"${5:-64}" /f >/dev/null
    wine reg add "$TOKENS\\$1" /v Lifespan /t REG_DWORD /d 30 /reg:"${5:-64}" /f >/dev/null
}

# Asks the server on port $1 (program folder $2) where the first sentence of
# each of GFP_TEXTS ends, into $WORK/gfp-$3.txt, and for SAY_TEXT as a wave
# file, copied to $WORK/file-$3.wav. The texts go in code page 1250.
ask_server() {
    python3 - "$1" "$SAY_TEXT" "${GFP_TEXTS[@]}" > "$WORK/gfp-$3.txt" <<'PY' || fail "$3: no answers"
import socket, struct, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=30)
buffer = b""
def send(text):
    payload = text.encode("cp1250") + b"\0"
    s.sendall(b"Z!MF" + struct.pack("<IHH", len(payload), 1, 0) + payload)
def reply():
    global buffer
    while True:
        if len(buffer) >= 12:
            length = struct.unpack("<I", buffer[4:8])[0]
            if len(buffer) >= 12 + length:
                payload, buffer = buffer[12:12 + length], buffer[12 + length:]
                return payload
        part = s.recv(65536)
        if not part: sys.exit("closed")
        buffer += part
for text in sys.argv[3:]:
    send("GFP\t\t" + text)
    payload = reply()
    assert payload.startswith(b"SINT_EP"), payload[:7]
    print(payload[8:].rstrip(b"\0").decode(), text)
# A wave file request has no reply: the answer to the TEST after it says
# that the file is written.
send("WAVE\tpovej.wav\t" + sys.argv[2])
send("TEST\t\t")
while not reply().startswith(b"SINT_OK"): pass
PY
    # The file number counts every synthesis of the server process.
    cp "$2"/povej_*.wav "$WORK/file-$3.wav" || fail "$3: no wave file"
}

# A listener on a fresh port (MUTE_PORT) that takes connections and never
# answers (MUTE_PID).
start_mute_server() {
    python3 -c '
import socket, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(8)
print(s.getsockname()[1], flush=True)
held = []
s.settimeout(1)
end = time.time() + 120
while time.time() < end:
    try: held.append(s.accept()[0])
    except OSError: pass
' > "$WORK/mute-port" &
    MUTE_PID=$!
    for ((i = 0; i < 50; ++i)); do [ -s "$WORK/mute-port" ] && break; sleep 0.1; done
    MUTE_PORT=$(cat "$WORK/mute-port")
}

# True when the trace file of this run has the line $1.
traced() { tr -d '\r' < "$WORK/trace.txt" | grep -qxF "$1"; }

# The installed voice (INSTALLER) in the prefix.
INSTALLED="$WINEPREFIX/drive_c/Program Files/sint-sl"
install_voice() { wine "$(win_path "${INSTALLER:?}")" /S || fail "the installer failed"; }
port_open() { python3 -c 'import socket, sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=2)' "$1" 2>/dev/null; }

# Checks the installation: its files, and the tokens and registrations of the
# registry views named ("64", "32"); a view not named has none of them.
check_installed() {
    local f view name mode clsid token dump
    for f in sintsrv.exe sint-say.exe sint-g2p.exe MorvDll.dll MorvDllYu.dll sint-sapi-host.exe \
        sint.ini gfp.ini data/MorvenaIdra.dat uninstall.exe; do
        [ -s "$INSTALLED/$f" ] || fail "not installed: $f"
    done
    for view in 64 32; do
        for token in SINT-SL-Morvena:0:$CLSID_NORMAL SINT-SL-Morvena-YU:1:$CLSID_YU; do
            IFS=: read -r name mode clsid <<<"$token"
            if [[ " $* " != *" $view "* ]]; then
                ! wine reg query "$TOKENS\\$name" /reg:$view >/dev/null 2>&1 || fail "$name in the $view-bit view"
                continue
            fi
            dump=$(wine reg query "$TOKENS\\$name" /s /reg:$view 2>/dev/null | tr -d '\r')
            grep -q "CLSID    REG_SZ    $clsid" <<<"$dump" || fail "$name ($view-bit): CLSID"
            grep -q "Mode    REG_DWORD    0x$mode" <<<"$dump" || fail "$name ($view-bit): Mode"
            grep -q 'EnginePath    REG_SZ    C:\\Program Files\\sint-sl\\sintsrv.exe' <<<"$dump" ||
                fail "$name ($view-bit): EnginePath"
            grep -q 'Language    REG_SZ    424' <<<"$dump" || fail "$name ($view-bit): Language"
        done
    done
    grep -qF 'C:\Program Files\sint-sl\MorvDllYu.dll' \
        <<<"$(wine reg query "HKCR\\CLSID\\$CLSID_YU\\InprocServer32" /reg:64)" ||
        fail "MorvDllYu not registered"
    if [[ " $* " == *" 32 "* ]]; then
        [ -s "$INSTALLED/x86/MorvDll.dll" ] && [ -s "$INSTALLED/x86/MorvDllYu.dll" ] ||
            fail "the 32-bit libraries are not installed"
        grep -qF 'C:\Program Files\sint-sl\x86\MorvDllYu.dll' \
            <<<"$(wine reg query "HKCR\\CLSID\\$CLSID_YU\\InprocServer32" /reg:32)" ||
            fail "32-bit MorvDllYu not registered"
    else
        [ ! -e "$INSTALLED/x86" ] || fail "32-bit libraries installed without the 32-bit part"
        ! wine reg query "HKCR\\CLSID\\$CLSID_YU" /reg:32 >/dev/null 2>&1 ||
            fail "a 32-bit class registered without the 32-bit part"
    fi
}

# The installed voice on a port of this run (INSTALLED_PORT) instead of the
# default one speaks as the Linux host does; its server keeps running.
speak_installed() {
    INSTALLED_PORT=$(free_port)
    sed -i "s/^port *=.*/port = $INSTALLED_PORT/" "$INSTALLED/sint.ini"
    wine reg add "$TOKENS\\SINT-SL-Morvena" /v Port /t REG_DWORD /d "$INSTALLED_PORT" /reg:64 /f >/dev/null
    speak_and_compare "$INSTALLED/sint-sapi-host.exe" SINT-SL-Morvena "installed-$1"
}

# The silent uninstaller leaves no file and no key in either view.
uninstall_voice() {
    local i view key
    # The uninstaller runs from a copy of itself: wait for the folder to go.
    wine "C:\\Program Files\\sint-sl\\uninstall.exe" /S || fail "the uninstaller failed"
    for ((i = 0; i < 150; ++i)); do [ -e "$INSTALLED" ] || break; sleep 0.2; done
    [ ! -e "$INSTALLED" ] || fail "files left: $(ls -R "$INSTALLED" | head)"
    for view in 64 32; do
        for key in "$TOKENS\\SINT-SL-Morvena" "$TOKENS\\SINT-SL-Morvena-YU" "HKCR\\CLSID\\$CLSID_NORMAL" \
            "HKCR\\CLSID\\$CLSID_YU" "HKCR\\MorvDll.TTSEngine" "HKCR\\TypeLib\\$LIBID_YU" \
            'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\sint-sl'; do
            ! wine reg query "$key" /reg:$view >/dev/null 2>&1 || fail "left after uninstalling: $key ($view-bit)"
        done
    done
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
        grep -qx "    (Default)    REG_SZ    $name 1.0 Type Library" <<<"$(reg_dump "HKCR\\TypeLib\\$libid")" ||
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
    linux_reference
    [ "$(grep -c sentence "$WORK/linux-events.txt")" = 2 ] || fail "two sentences expected"
    grep -q 'bookmark  "7" (7)' "$WORK/linux-events.txt" || fail "the bookmark is missing"
    [ "$(stat -c %s "$WORK/linux.wav")" -gt 16044 ] || fail "no speech from the Linux host"
    start_linux_server wine
    write_token SINT-TEST "$CLSID_NORMAL" 'C:\nowhere\sintsrv.exe' "$SERVER_PORT"
    speak_and_compare "$WIN64/sint-sapi-host.exe" SINT-TEST host
    stop_server "$SERVER_PID"
    ;;

autostart)
    # No server runs: the engine starts sintsrv.exe from the token's EnginePath.
    linux_reference
    wine regsvr32 /s "$(win_path "$WIN64/MorvDll.dll")" || fail "registering MorvDll"
    windows_folder auto
    write_token SINT-AUTO "$CLSID_NORMAL" "$(win_path "$WORK/auto/sintsrv.exe")" "$WIN_PORT"
    speak_and_compare "$WIN64/sint-sapi-host.exe" SINT-AUTO autostart
    terminate_server "$WIN_PORT"
    ;;

host32)
    # The 32-bit library, registered by the 32-bit regsvr32 into the 32-bit
    # view, created by the 32-bit host from a token in that view.
    linux_reference
    wine "C:\windows\syswow64\regsvr32.exe" /s "$(win_path "$WIN32/MorvDll.dll")" ||
        fail "registering the 32-bit MorvDll"
    grep -qF "$(win_path "$WIN32/MorvDll.dll")" \
        <<<"$(wine reg query "HKCR\\CLSID\\$CLSID_NORMAL\\InprocServer32" /reg:32)" ||
        fail "the 32-bit view lacks the class"
    start_linux_server wine32
    write_token SINT-TEST32 "$CLSID_NORMAL" 'C:\nowhere\sintsrv.exe' "$SERVER_PORT" 32
    speak_and_compare "$WIN32/sint-sapi-host.exe" SINT-TEST32 host32
    stop_server "$SERVER_PID"
    wine "C:\windows\syswow64\regsvr32.exe" /s /u "$(win_path "$WIN32/MorvDll.dll")" ||
        fail "unregistering the 32-bit MorvDll"
    ;;

bad_token)
    # Each token fails SetObjectToken with its own HRESULT and trace line, within
    # the engine's waits, and the host ends with its error, not a crash.
    wine regsvr32 /s "$(win_path "$WIN64/MorvDll.dll")" || fail "registering MorvDll"
    start_mute_server
    free=$(free_port)
    # name | EnginePath ("-": none) | port | HRESULT | trace line
    while IFS='|' read -r -u 3 name path port hresult line; do
        port=${port/MUTE/$MUTE_PORT}
        write_token "$name" "$CLSID_NORMAL" "$path" "${port/FREE/$free}"
        [ "$path" != - ] || wine reg delete "$TOKENS\\$name" /v EnginePath /reg:64 /f >/dev/null
        rm -f "$WORK/trace.txt"
        status=0
        (cd "$WORK" && SINT_ENGINE_TRACE=$(win_path "$WORK/trace.txt") \
            wine "$WIN64/sint-sapi-host.exe" --token "$name" "Dober dan." --out bad.wav) \
            > "$WORK/bad-output.txt" 2>&1 || status=$?
        [ "$status" = 1 ] || fail "$name: the host ended with $status: $(cat "$WORK/bad-output.txt")"
        grep -q "HRESULT $hresult" "$WORK/bad-output.txt" ||
            fail "$name: no $hresult in: $(cat "$WORK/bad-output.txt")"
        traced "$line" || fail "$name: no trace \"$line\""
        traced "SetObjectToken: streznik ni dosegljiv, $hresult" || fail "$name: the result is not traced"
    done 3<<'ROWS'
SINT-NO-PATH|-|FREE|0x8004503A|ni poti do streznika (EnginePath)
SINT-NO-FOLDER|C:\nowhere\sintsrv.exe|FREE|0x80070003|C:\nowhere\sintsrv.exe: napaka 0x80070003
SINT-NO-FILE|C:\windows\sintsrv.exe|FREE|0x80070002|C:\windows\sintsrv.exe: napaka 0x80070002
SINT-MUTE|C:\nowhere\sintsrv.exe|MUTE|0x800705B4|brez odgovora - ni inicializiran
ROWS
    stop_server "$MUTE_PID"
    ;;

registry_denied)
    # A key that may not be changed fails registering (which then leaves no
    # class behind) and unregistering, with the HRESULT and the key in the trace.
    lock=$(win_path "${REGISTRY_LOCK:?}")
    yu=$(win_path "$WIN64/MorvDllYu.dll")
    # regsvr32 switch | trace line
    while IFS='|' read -r -u 3 switch line; do
        [ -z "$switch" ] || wine regsvr32 /s "$yu" || fail "registering MorvDllYu"
        wine "$lock" lock MorvDllYu.TTSEngine.1 || fail "cannot lock the key"
        rm -f "$WORK/trace.txt"
        ! SINT_ENGINE_TRACE=$(win_path "$WORK/trace.txt") wine regsvr32 /s ${switch:+"$switch"} "$yu" ||
            fail "regsvr32 $switch succeeded on a locked key"
        traced "$line" || fail "no trace \"$line\""
        [ -n "$switch" ] || ! reg_has "HKCR\\CLSID\\$CLSID_YU" || fail "a failed registration left its class"
        wine "$lock" unlock MorvDllYu.TTSEngine.1 || fail "cannot unlock the key"
    done 3<<'ROWS'
|registracija: pisanje HKEY_CLASSES_ROOT\MorvDllYu.TTSEngine.1 ni uspelo, 0x80070005
/u|registracija: brisanje HKEY_CLASSES_ROOT\MorvDllYu.TTSEngine.1 ni uspelo, 0x80070005
ROWS
    wine regsvr32 /s "$yu" || fail "registering after unlocking"
    wine regsvr32 /s /u "$yu" || fail "unregistering after unlocking"
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
    ask_server "$port" "$WORK/win-server" wine
    stop_server "$wine_pid"
    start_linux_server say
    "$LINUX/sint-say" --port "$SERVER_PORT" --quiet -o "$WORK/say-linux.wav" "$SAY_TEXT"
    ask_server "$SERVER_PORT" "$WORK/linux-say" linux
    stop_server "$SERVER_PID"
    [ "$(stat -c %s "$WORK/say-linux.wav")" -gt 16044 ] || fail "no speech from the Linux server"
    cmp "$WORK/say-linux.wav" "$WORK/say-wine.wav" || fail "sintsrv.exe's audio differs"
    [ "$(stat -c %s "$WORK/file-linux.wav")" -gt 16044 ] || fail "no wave file from the Linux server"
    cmp "$WORK/file-linux.wav" "$WORK/file-wine.wav" || fail "sintsrv.exe's wave file differs"
    diff "$WORK/gfp-linux.txt" "$WORK/gfp-wine.txt" >&2 || fail "sintsrv.exe's sentence ends differ"
    ;;

ssml)
    start_linux_server ssml
    cd "$WORK"
    printf '<?xml version="1.0" encoding="ISO-8859-2"?>\n<speak>\xe8rn <mark name="m"/>ma\xe8ek.<break time="100ms"/><sub alias="Svetovna zdravstvena organizacija">WHO</sub>.</speak>' \
        > ssml-latin2.xml
    printf '<speak>Dober <prosody rate="fast">dan</prosody>, \xc5\xbeaba.</speak>' | iconv -f UTF-8 -t UTF-16 > ssml-utf16.xml
    for doc in ssml-latin2.xml ssml-utf16.xml; do
        wine "$WIN64/sint-say.exe" -m --quiet --raw --port "$SERVER_PORT" -f "$doc" > "win-$doc.raw" ||
            fail "sint-say.exe -m -f $doc"
        "$LINUX/sint-say" -m --quiet --raw --port "$SERVER_PORT" -f "$doc" > "linux-$doc.raw"
        [ -s "linux-$doc.raw" ] || fail "no speech for $doc"
        cmp "linux-$doc.raw" "win-$doc.raw" || fail "sint-say.exe reads $doc differently"
    done
    printf 'Tri 3 < 5.' > ssml-broken.txt
    result=0
    wine "$WIN64/sint-say.exe" -m --quiet --raw --port "$SERVER_PORT" -f ssml-broken.txt \
        > ssml-broken.raw 2> ssml-broken.err || result=$?
    [ "$result" = 2 ] || fail "sint-say.exe took malformed markup ($result)"
    grep -q "not well-formed: line 1, column" ssml-broken.err || fail "$(cat ssml-broken.err)"
    stop_server "$SERVER_PID"
    ;;

background)
    # A program folder without its packed wave database fails the child's fast
    # start: the parent prints the child's message and ends non-zero. A whole
    # folder serves, and the parent ends with 0.
    # folder change | exit status | a line of the parent's output ("-": no error)
    while IFS='|' read -r -u 3 change status line; do
        windows_folder background
        [ "$change" != no-data ] || rm -r "$WORK/background/data"
        # The output goes to a file: the background server inherits it.
        result=0
        (cd "$WORK/background" && wine ./sintsrv.exe -vozadju -hitro -lifespan 600) \
            > "$WORK/background.txt" 2>&1 < /dev/null || result=$?
        [ "$result" = "$status" ] || fail "$change: sintsrv.exe ended with $result: $(cat "$WORK/background.txt")"
        if [ "$line" = - ]; then
            ! grep -q Napaka "$WORK/background.txt" || fail "$change: $(cat "$WORK/background.txt")"
        else
            grep -qxF "$line" <(tr -d '\r' < "$WORK/background.txt") ||
                fail "$change: no \"$line\" in: $(cat "$WORK/background.txt")"
        fi
        [ "$status" != 0 ] || { wait_server "$WIN_PORT"; terminate_server "$WIN_PORT"; }
    done 3<<'ROWS'
no-data|1|Napaka: baze posnetkov ni mogoce naloziti
no-data|1|Napaka: streznik v ozadju se je koncal ob zagonu
whole|0|-
ROWS
    ;;

exports32)
    # No decorated names, the type library, the string table with entry 100
    # (block 7) and the version resource with its strings.
    for name in MorvDll MorvDllYu; do
        dump=$("${OBJDUMP32:?}" -p "$WIN32/$name.dll")
        exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | awk 'NR > 1 && NF == 3 {print $3}')
        [ "$exports" = $'DllCanUnloadNow\nDllGetClassObject\nDllRegisterServer\nDllUnregisterServer' ] ||
            fail "$name exports: $exports"
        grep -q 'file format pei-i386' <<<"$dump" || fail "$name is not a 32-bit library"
        resources=$(sed -n '/Resource Directory section/,/Resources start/p' <<<"$dump")
        grep -q ': TYPELIB, ' <<<"$resources" || fail "$name has no TYPELIB resource"
        strings_block=$(grep -A2 'Entry: ID: 0x000006,' <<<"$resources")
        grep -q 'Entry: ID: 0x000007,' <<<"$strings_block" || fail "$name has no string 100"
        grep -q 'Entry: ID: 0x000010,' <<<"$resources" || fail "$name has no version resource"
        texts=$(strings -el "$WIN32/$name.dll")
        grep -qx "$name.dll" <<<"$texts" || fail "$name: no file name in its version"
        grep -qx "0.9.0.0" <<<"$texts" || fail "$name: no version text"
    done
    ;;

installer)
    # Silent install into the prefix: files, registrations, tokens in both
    # views, and the host speaks through the installed token and server. A
    # second install over the first, while its server runs, ends that server,
    # replaces the files and keeps the voice working; one silent uninstall
    # leaves nothing behind.
    linux_reference
    install_voice
    check_installed 64 32
    speak_installed first
    printf x >> "$INSTALLED/sintsrv.exe"
    rm "$INSTALLED/gfp.ini"
    install_voice
    ! port_open "$INSTALLED_PORT" || fail "the running server was not ended"
    check_installed 64 32
    cmp "$INSTALLED/sintsrv.exe" "$WIN64/sintsrv.exe" || fail "sintsrv.exe not replaced"
    speak_installed second
    terminate_server "$INSTALLED_PORT"
    uninstall_voice
    ;;

installer_no32)
    # Windows without its 32-bit part (no 32-bit regsvr32): the 64-bit voice
    # alone is installed, and uninstalled.
    linux_reference
    wow64="$WINEPREFIX/drive_c/windows/syswow64/regsvr32.exe"
    mv "$wow64" "$wow64.hidden"
    trap 'mv "$wow64.hidden" "$wow64"' EXIT
    install_voice
    check_installed 64
    speak_installed no32
    terminate_server "$INSTALLED_PORT"
    uninstall_voice
    ;;

library)
    # sint.dll speaks through a C program built against sint.h, with the voice
    # beside it, the same samples as the Linux library with the Linux voice.
    : "${LIBRARY_PROGRAM:?}" "${LINUX_LIBRARY_PROGRAM:?}"
    [ -f "$WIN64/sint.dll" ] || fail "no sint.dll in $WIN64"
    cp "$LIBRARY_PROGRAM" "$WIN64/sint_speak.exe"
    trap 'rm -f "$WIN64/sint_speak.exe"' EXIT
    wine "$WIN64/sint_speak.exe" "$(winepath -w "$WORK/library-wine.raw")" "$SAY_TEXT" ||
        fail "sint_speak.exe"
    SINT_VOICE="$LINUX" "$LINUX_LIBRARY_PROGRAM" "$WORK/library-linux.raw" "$SAY_TEXT" ||
        fail "the Linux sint_speak"
    [ -s "$WORK/library-linux.raw" ] || fail "no Linux audio"
    cmp -s "$WORK/library-wine.raw" "$WORK/library-linux.raw" ||
        fail "sint.dll's audio differs from the Linux library's"
    ;;

end)
    "$WINESERVER" -k 2>/dev/null || true
    ;;

*)
    fail "unknown case $case_name"
    ;;
esac
