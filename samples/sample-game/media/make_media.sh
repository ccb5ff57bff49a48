#!/usr/bin/env bash
# Makes the sample game's images with ImageMagick: a 640x480 background, a 64x64 sprite with
# transparency, a translucent 600x120 message window and its fully transparent text layer. The outputs are checked in; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"
CONVERT=${CONVERT:-/usr/bin/convert}
"$CONVERT" -size 640x480 gradient:'#203060-#d08040' -define png:exclude-chunks=date,time \
  -strip PNG24:bg.png
"$CONVERT" -size 64x64 xc:none -fill '#f0f0ff' -draw 'circle 32,32 32,4' \
  -fill '#4060c0' -draw 'circle 32,32 32,14' -define png:exclude-chunks=date,time \
  -strip PNG32:sprite.png
"$CONVERT" -size 600x120 xc:'rgba(16,24,64,0.8)' -fill none -stroke '#c0c8ff' -strokewidth 2 \
  -draw 'roundrectangle 1,1 598,118 8,8' -define png:exclude-chunks=date,time \
  -strip PNG32:window.png
"$CONVERT" -size 576x96 xc:none -define png:exclude-chunks=date,time -strip PNG32:text.png
# The sounds, with sox and oggenc: a two-second stereo music loop (a chord that swells and falls
# back, so the loop joins smoothly) as Ogg Vorbis, and a short mono chime as a WAV.
SOX=${SOX:-/usr/bin/sox}
OGGENC=${OGGENC:-/usr/bin/oggenc}
"$SOX" -n -r 44100 -c 2 -b 16 music.wav synth 2.0 sine 220 sine 277 sine 330 remix 1,2 2,3 \
  tremolo 0.5 40 vol 0.5
"$OGGENC" -Q -q 2 --serial 1 -o music.ogg music.wav
rm -f music.wav
"$SOX" -n -r 22050 -c 1 -b 16 chime.wav synth 0.4 sine 880 fade q 0.01 0.4 0.3 vol 0.6
