#!/usr/bin/env bash
# Runs the desktop program under Xvfb against the loopback spot server (spot_server.py), opens every
# window, photographs each one and ends the program through its Quit button.
# Usage: scripts/screenshot.sh [build-dir] [output-dir]
# Needs: xvfb, openbox, xdotool, imagemagick, python3.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="${2:-/tmp/vemrok-shots}"
display="${VEMROK_DISPLAY:-:99}"
port="${VEMROK_SHOT_PORT:-7373}"
program="$build/src/vemrok-alarm"
caption="VemrokAlarm $("$program" --version | sed -n 's/^VemrokAlarm //p')" # the build's version
for tool in Xvfb openbox xdotool import xdpyinfo python3; do
    command -v "$tool" >/dev/null || {
        echo "screenshot.sh needs $tool: apt-get install xvfb openbox xdotool imagemagick x11-utils python3" >&2
        exit 2
    }
done
mkdir -p "$out"
rm -f "$out"/*.png
work="$(mktemp -d /tmp/vemrok-shot.XXXXXX)"

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# A working folder whose server is the loopback one; alarms stay up long enough to be photographed.
crlf() { sed 's/$/\r/'; }
{
    echo ": Configuration-File for VemrokAlarm"
    echo "\$LOGIN DL0SHOT"
    echo "\$ALTIME 60"
    echo "\$RMTHOST 127.0.0.1"
    echo "\$RMTPORT $port"
    echo "\$DXMSGALL on"
    echo "\$QRQMSG on"
    echo "\$QRQSPEED 20"
    echo "\$ALALL on"
    echo "\$SOUNDEN on"
    echo "\$OPAL on"
    echo "\$PORTAL on"
    echo "\$NEEDED on"
    echo "\$LOGADIF log.adi"
    for call in TS0EST DL1ABC K1ABC ON4ABC "HB9/TS0EST/P" EI7CC; do
        echo "\$CALL $call"
        echo "\$TXT $call is on the air, go and work him!"
        echo "\$SOUND trumpet1.wav"
        echo "\$ENABLE on"
        echo "\$BLOCKTIME 30"
    done
} | crlf > "$work/config.txt"
# A log with Germany on 40 m in CW: DL1ABC on 40 m is worked, everything else is needed.
printf '<ADIF_VER:5>3.1.4<EOH>\n<CALL:5>DL1AB<BAND:3>40m<MODE:2>CW<EOR>\n' > "$work/log.adi"

if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
    Xvfb "$display" -screen 0 2200x1400x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
fi
export DISPLAY="$display"
openbox >/dev/null 2>&1 &
pids+=($!)
python3 "$root/scripts/spot_server.py" "$port" 0.4 &
pids+=($!)
sleep 1

"$program" -C "$work" > "$out/program.log" 2>&1 &
app=$!
pids+=($app)

find_window() { xdotool search --sync --onlyvisible --name "$1" | head -1; }
px() { echo $(( ($1 + 7) / 15 )); } # twips to pixels
click_twips() { # window, left, top, width, height of the control in twips
    xdotool mousemove --window "$1" "$(px $(($2 + $4 / 2)))" "$(px $(($3 + $5 / 2)))" click 1
}
shoot() { import -window "$2" "$out/$1.png"; echo "$out/$1.png"; }

main=$(find_window "^$caption\$")
xdotool windowmove "$main" 0 30
sleep 8 # spots, alarms

click_twips "$main" 7200 6360 1215 495   # Alarm Table
activity=$(find_window '^AlarmList$')
xdotool windowmove "$activity" 1600 30
click_twips "$main" 9120 6360 1215 495   # Config
config=$(find_window '^Configuration$')
xdotool windowmove "$config" 880 30
click_twips "$config" 1800 4920 3255 285 # the sound field shows the WAV list
click_twips "$main" 11040 6360 1215 495  # Info
info=$(find_window '^Vemrok Alarm Info$')
xdotool windowmove "$info" 360 740
click_twips "$main" 7200 7080 1215 495   # /P-Table
ptable=$(find_window '^/P-Alarm-Table$')
xdotool windowmove "$ptable" 0 740
alarm=$(find_window '^Found known OM$')
xdotool windowmove "$alarm" 360 940
palarm=$(find_window '^Portable-Alarm$')
xdotool windowmove "$palarm" 1200 940
needed=$(find_window '^Needed$')
xdotool windowmove "$needed" 1200 1140
sleep 2

shoot all root
shoot main "$main"
shoot config "$config"
shoot activity "$activity"
shoot ptable "$ptable"
shoot info "$info"
shoot alarm "$alarm"
shoot palarm "$palarm"
shoot needed "$needed"

# The pop-ups keep coming (every spot of a watched call or a "/P" call) and must leave the keyboard
# focus where the operator put it.
xdotool windowactivate --sync "$main"
sleep 3
focused=$(xdotool getwindowfocus getwindowname)
echo "focus after 3 s of alarms: $focused" | tee "$out/focus.txt"
[ "$focused" = "$caption" ] || { echo "an alarm window took the focus" >&2; exit 1; }

# Too long an alarm time: the dialog says so in a message box.
xdotool windowactivate --sync "$config"
click_twips "$config" 1920 720 615 285   # TxtAlTime
xdotool key --clearmodifiers End BackSpace BackSpace 9 9
box=
for _ in $(seq 50); do
    box=$(xdotool search --onlyvisible --name "^$caption\$" | grep -v "^$main$" | head -1 || true)
    [ -n "$box" ] && break
    sleep 0.1
done
[ -n "$box" ] || { echo "no message box for the alarm time" >&2; exit 1; }
sleep 0.5
shoot message-box root
xdotool windowactivate --sync "$box" key Return
sleep 0.5
shoot config-after-message "$config"

click_twips "$main" 11040 7800 1215 495  # Quit
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$app" 2>/dev/null; then
    echo "the program did not end after Quit" >&2
    exit 1
fi
cp "$work/config.txt" "$out/config-after-quit.txt"
echo "working folder: $work"
