#!/bin/sh
# The speech service's voice for orca_game.py: speech-dispatcher's generic module runs
#   speak_to_log.sh LOG RATE TEXT
# for every text it speaks (RATE in words a minute; espeak-ng's own is 175). It writes "START <unix time> <text>" to LOG, speaks the text with
# espeak-ng into a WAV file (22050 Hz, 16 bits, mono) and waits as long as that voice takes to
# say it, then writes "END <unix time> <text>". A text the service cut off (a more important
# message, or a client's cancel, stops the module) has a START and no END.
log=$1
rate=$2
text=$3
printf 'START %s %s\n' "$(date +%s.%N)" "$text" >>"$log"
wav=$(mktemp /tmp/zp-speak-XXXXXX.wav)
espeak-ng -s "$rate" -w "$wav" -- "$text" 2>/dev/null
bytes=$(stat -c %s "$wav" 2>/dev/null || echo 44100)
rm -f "$wav"
sleep "$(awk -v b="$bytes" 'BEGIN { printf "%.2f", b / 44100 }')"
printf 'END %s %s\n' "$(date +%s.%N)" "$text" >>"$log"
