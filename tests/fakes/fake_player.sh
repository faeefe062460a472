#!/bin/sh
# A stand-in for the player: appends its process id and its arguments, one a line, to the file
# named by FAKE_PLAYER_LOG, then stays open (without reading its input) until it is ended.
{
  echo "pid=$$"
  for a in "$@"; do echo "arg=$a"; done
  echo "end"
} >> "${FAKE_PLAYER_LOG:-/dev/null}"
exec sleep 100000
