#!/usr/bin/env bash
# Makes resources/sounds/*.wav: the thirteen event sounds, the twenty chatter sounds
# (wave1..wave20) and alert.wav, played for a name that has no sound. Needs espeak-ng and
# sox (scripts/install-deps.sh --tools). Run from anywhere; the same tools give the same
# bytes on every run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out="$root/resources/sounds"
for tool in sox espeak-ng; do
  command -v "$tool" >/dev/null || { echo "make-sounds: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/done"

rate=22050
# Pieces stay in floating point; only the finished file is rounded to 16 bits, once.
piece_fmt=(-r "$rate" -c 1 -e floating-point -b 32)
# QSoundEffect plays PCM WAV only.
final_fmt=(-r "$rate" -c 1 -e signed-integer -b 16)

# gen PIECE EFFECT...: a piece made from nothing (synth, or silence from trim).
gen() {
  local piece=$1
  shift
  sox -R -r "$rate" -c 1 -n "${piece_fmt[@]}" "$work/$piece.wav" "$@"
}
# silence PIECE SECONDS
silence() { gen "$1" trim 0 "$2"; }
# join PIECE PART...: the parts one after another.
join() {
  local piece=$1 part args=()
  shift
  for part; do args+=("$work/$part.wav"); done
  sox -R "${args[@]}" "${piece_fmt[@]}" "$work/$piece.wav"
}
# mix PIECE [VOLUME PART]...: the parts on top of each other at these relative volumes,
# scaled so that the sum cannot clip.
mix() {
  local piece=$1 args=() total=0 i
  shift
  for ((i = 1; i <= $#; i += 2)); do total=$(awk "BEGIN{print $total + ${!i}}"); done
  while (($#)); do
    args+=(-v "$(awk "BEGIN{print $1 / $total}")" "$work/$2.wav")
    shift 2
  done
  sox -R -m "${args[@]}" "${piece_fmt[@]}" "$work/$piece.wav"
}
# delay PIECE PART SECONDS: the part, starting later.
delay() { sox -R "$work/$2.wav" "${piece_fmt[@]}" "$work/$1.wav" pad "$3"; }
# finish NAME PART [EFFECT...]: the sound as played, its peak a little below full scale.
# Steady tones are dense and would sound far louder than a chime of the same peak, so
# they set a lower peak, in dB, in `level`.
finish() {
  local name=$1 part=$2
  shift 2
  sox -R "$work/$part.wav" "${final_fmt[@]}" "$work/done/$name.wav" "$@" gain -n "${level:--1}"
}

# bell PIECE SECONDS HERTZ: a struck note; the inharmonic partials make it a chime.
bell() {
  local piece=$1 len=$2 f=$3
  gen "$piece-1" synth "$len" sine "$f" fade l 0.003 -0 "$len"
  gen "$piece-2" synth "$len" sine "$(awk "BEGIN{print $f * 2.76}")" fade l 0.002 -0 "$len"
  local half
  half=$(awk "BEGIN{print $len / 2}")
  gen "$piece-3" synth "$half" sine "$(awk "BEGIN{print $f * 5.40}")" fade l 0.001 -0 "$half" \
    pad 0 "$half"
  mix "$piece" 1 "$piece-1" 0.35 "$piece-2" 0.12 "$piece-3"
}
# note PIECE SECONDS SHAPE FREQUENCY [EFFECT...]: a held note with soft edges.
note() {
  local piece=$1 len=$2 shape=$3 f=$4
  shift 4
  gen "$piece" synth "$len" "$shape" "$f" "$@" fade q 0.006 -0 0.03
}
# pluck PIECE SECONDS NOTE [EFFECT...]: a plucked string; sox plucks at 44.1 kHz only.
pluck() {
  local piece=$1 len=$2 f=$3
  shift 3
  sox -R -r 44100 -c 1 -n "${piece_fmt[@]}" "$work/$piece.wav" synth "$len" pluck "$f" "$@"
}
# burst PIECE SECONDS NOISE LOW HIGH: band-limited noise that starts hard and dies away.
burst() {
  gen "$1" synth "$2" "$3" vol 0.5 sinc "$4-$5" fade l 0.002 -0 "$2"
}
# say PIECE VOICE PITCH SPEED TEXT: espeak-ng's words, without the silence around them.
say() {
  espeak-ng -v "$2" -p "$3" -s "$4" -w "$work/$1-raw.wav" "$5"
  sox -R "$work/$1-raw.wav" "${piece_fmt[@]}" "$work/$1-trim.wav" \
    silence 1 0.005 0.3% reverse silence 1 0.005 0.3% reverse
  sox -R "$work/$1-trim.wav" "$work/$1.wav" fade q 0.005 -0 0.02
}

# --- Event sounds -------------------------------------------------------------------------

# place: a light click as a tile joins the selection.
gen place-click synth 0.006 noise vol 0.5 sinc 2500-9000 fade l 0 -0 0.006 pad 0 0.05
gen place-pip synth 0.056 sine 1760 fade l 0.001 -0 0.055
mix place 0.5 place-click 1 place-pip
finish place place

# timer: a wooden clock tick, once a second near the end of a turn.
gen timer-knock synth 0.045 noise vol 0.5 sinc 700-2200 fade l 0 -0 0.045 pad 0 0.035
gen timer-body synth 0.08 sine 880 fade l 0.001 -0 0.08
mix timer 1 timer-knock 0.6 timer-body
finish timer timer

# goodword: a rising two-note chime.
bell goodword-1 0.14 1046.50
bell goodword-2 0.46 1567.98
join goodword goodword-1 goodword-2
finish goodword goodword

# badword: a low buzz; two square waves a little apart beat against each other.
gen badword synth 0.38 square 98 synth 0.38 square mix 104 vol 0.5 sinc -1500 fade q 0.005 -0 0.06
level=-7 finish badword badword

# gameover: a short descending phrase.
bell gameover-1 0.14 1046.50
bell gameover-2 0.14 783.99
bell gameover-3 0.14 659.26
bell gameover-4 0.42 523.25
join gameover gameover-1 gameover-2 gameover-3 gameover-4
finish gameover gameover

# shuffle: riffled noise sweeping upwards, like cards.
parts=()
for centre in 500 700 1000 1400 2000 2800 4000; do
  gen "shuffle-$centre" synth 0.06 noise vol 0.5 sinc "$((centre * 7 / 10))-$((centre * 13 / 10))" \
    fade h 0.01 -0 0.03
  parts+=("shuffle-$centre")
done
join shuffle "${parts[@]}"
finish shuffle shuffle tremolo 28 60

# shift: a short whoosh as the tiles slide.
gen shift synth 0.34 pinknoise vol 0.5 sinc 150-1800 fade h 0.16 -0 0.18
finish shift shift

# entered: a doorbell, ding-dong.
bell entered-1 0.32 659.26
bell entered-2 0.52 523.25
join entered entered-1 entered-2
finish entered entered

# start, turn and turnnew: the three choices of "your turn" fanfare.
note start-1 0.09 square G4 vol 0.5 sinc -3000
note start-2 0.09 square C5 vol 0.5 sinc -3000
note start-3 0.09 square E5 vol 0.5 sinc -3000
note start-4 0.30 square G5 vol 0.5 sinc -3000 fade q 0 -0 0.2
join start start-1 start-2 start-3 start-4
level=-6 finish start start

note turn-1 0.12 triangle C5
note turn-2 0.40 triangle G5 tremolo 6 20 fade q 0 -0 0.25
join turn turn-1 turn-2
level=-4 finish turn turn

pluck turnnew-1 0.07 C5
pluck turnnew-2 0.07 E5
pluck turnnew-3 0.07 G5
pluck turnnew-4 0.38 C6 fade q 0 -0 0.15
join turnnew turnnew-1 turnnew-2 turnnew-3 turnnew-4
finish turnnew turnnew

# roundover: a soft two-note fall.
gen roundover-1 synth 0.18 sine A5 fade h 0.02 -0 0.04
gen roundover-2 synth 0.40 sine F5 fade h 0.02 -0 0.3
join roundover roundover-1 roundover-2
level=-5 finish roundover roundover

# clear: a quick sweep down.
gen clear synth 0.18 sine 1600/300 fade q 0.004 -0 0.08
level=-5 finish clear clear

# alert: two short beeps; not one of the game's own sounds.
note alert-beep 0.08 square 988 vol 0.5 sinc -4000
silence alert-gap 0.05
join alert alert-beep alert-gap alert-beep
level=-6 finish alert alert

# --- Chatter sounds, wave k in menu order -------------------------------------------------

# 1 Doh
say wave1 en+m3 25 150 "Doh!"
finish wave1 wave1

# 2 Cough: two rough bursts, the second shorter.
burst wave2-1 0.22 noise 250 2200
gen wave2-1v synth 0.22 sawtooth 130 vol 0.5 sinc -900 fade l 0.002 -0 0.2
mix wave2-1x 1 wave2-1 0.3 wave2-1v
burst wave2-2 0.16 noise 250 2200
gen wave2-2v synth 0.16 sawtooth 120 vol 0.5 sinc -900 fade l 0.002 -0 0.15
mix wave2-2x 1 wave2-2 0.3 wave2-2v
silence wave2-gap 0.12
join wave2 wave2-1x wave2-gap wave2-2x
finish wave2 wave2

# 3 Hello, 4 Thank You, 5 Where have you been?
say wave3 en 50 160 "Hello!"
finish wave3 wave3
say wave4 en 50 160 "Thank you!"
finish wave4 wave4
say wave5 en 50 165 "Where have you been?"
finish wave5 wave5

# 6 Snoring: a rattling breath in that swells and fades, then a softer breath out.
gen wave6-in synth 1.1 brownnoise vol 0.5 sinc 60-500 tremolo 26 85 fade h 0.5 -0 0.45
silence wave6-gap 0.22
gen wave6-out synth 0.6 pinknoise vol 0.2 sinc 100-900 fade h 0.2 -0 0.35
join wave6 wave6-in wave6-gap wave6-out
finish wave6 wave6

# 7 Sneezing
say wave7 en+m3 60 150 "Ah ah choo!"
finish wave7 wave7

# 8 Sorry, 9 Welcome
say wave8 en 45 150 "Sorry."
finish wave8 wave8
say wave9 en 50 150 "Welcome!"
finish wave9 wave9

# 10 Yeehaa, 11 Yippee, 12 Oh No
say wave10 en+m7 75 140 "Yee haa!"
finish wave10 wave10
say wave11 en+f2 80 160 "Yippee!"
finish wave11 wave11
say wave12 en+m3 40 120 "Oh no!"
finish wave12 wave12

# 13 Applause: clappers at their own steady pace, out of step with each other.
burst clap-a 0.025 noise 900 2500
burst clap-b 0.025 noise 1200 3500
burst clap-c 0.025 noise 700 2000
parts=()
i=0
for clapper in "a 0.000 0.140" "b 0.037 0.165" "c 0.071 0.121" "a 0.019 0.187" \
  "b 0.053 0.151" "c 0.011 0.133" "a 0.088 0.158" "b 0.064 0.129" "c 0.029 0.172" \
  "a 0.046 0.117"; do
  read -r clap start period <<<"$clapper"
  sox -R "$work/clap-$clap.wav" "${piece_fmt[@]}" "$work/hands-$i.wav" \
    pad 0 "$(awk "BEGIN{print $period - 0.025}")" repeat 15 pad "$start" trim 0 1.7
  parts+=(1 "hands-$i")
  i=$((i + 1))
done
gen applause-hiss synth 1.7 pinknoise vol 0.5 sinc 800-5000
mix applause "${parts[@]}" 0.5 applause-hiss
finish wave13 applause fade q 0.05 -0 0.5

# 14 Honk: a car horn's two clashing notes, twice.
gen honk-1 synth 0.22 sawtooth 370 synth 0.22 sawtooth mix 466 vol 0.5 sinc -2500 fade q 0.01 -0 0.03
silence honk-gap 0.08
gen honk-2 synth 0.34 sawtooth 370 synth 0.34 sawtooth mix 466 vol 0.5 sinc -2500 fade q 0.01 -0 0.06
join wave14 honk-1 honk-gap honk-2
finish wave14 wave14

# 15 Oooh
say wave15 en+f3 60 90 "Oooh"
finish wave15 wave15

# 16 Razzberry: a wobbling low sawtooth, spluttered by tremolo, with breath on top.
gen razz-tone synth 0.9 sine 7 synth 0.9 sawtooth fmod 90 vol 0.5 sinc -3000
gen razz-breath synth 0.9 noise vol 0.5 sinc 1000-5000
mix razz 1 razz-tone 0.25 razz-breath
finish wave16 razz tremolo 31 70 overdrive 6 fade q 0.02 -0 0.15

# 17 Cheer: two voices shouting, the applause under them.
say cheer-m en+m3 45 140 "Hooray!"
say cheer-f en+f3 75 150 "Hooray!"
delay cheer-fd cheer-f 0.06
mix wave17 1 cheer-m 0.8 cheer-fd 0.6 applause
finish wave17 wave17 trim 0 1.2 fade q 0 -0 0.4

# 18 Woman Laughing, 19 Man Laughing
say wave18 en+f3 85 170 "ha ha ha ha"
finish wave18 wave18
say wave19 en+m3 20 160 "ha ha ha ha"
finish wave19 wave19

# 20 Crying: a slow sobbing wail.
say wave20 en+f3 55 95 "boo hoo hoo"
finish wave20 wave20 tremolo 6 40

# All or nothing: the committed files change only when every sound was made.
expected=(alert badword clear entered gameover goodword place roundover shift shuffle start
  timer turn turnnew)
for k in $(seq 1 20); do expected+=("wave$k"); done
for name in "${expected[@]}"; do
  [[ -s "$work/done/$name.wav" ]] || { echo "make-sounds: $name.wav was not made" >&2; exit 1; }
done
mkdir -p "$out"
rm -f "$out"/*.wav
for name in "${expected[@]}"; do mv "$work/done/$name.wav" "$out/$name.wav"; done
echo "make-sounds: ${#expected[@]} sounds in $out, $(($(cat "$out"/*.wav | wc -c) / 1024)) KiB"
