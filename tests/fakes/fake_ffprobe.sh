#!/bin/sh
# A stand-in for the probe that writes what the real one never does. The scenario comes from
# FAKE_PROBE_MODE; $1 is the probed file, as the program passes it first.
file="$1"
case " $* " in
  *" -show_entries "*" -show_streams "*) run=both ;;
  *" -show_streams "*) run=streams ;;
  *) run=format ;;
esac
if [ -n "$FAKE_PROBE_LOG" ]; then
  echo "start $run $(basename "$file")" >> "$FAKE_PROBE_LOG"
  case "$file" in
    *slow*) sleep 0.6 ;;
    *) sleep 0.1 ;;
  esac
  echo "end $run $(basename "$file")" >> "$FAKE_PROBE_LOG"
fi
# The combined run writes the streams first, then the container's section.
streams() {
  case "$FAKE_PROBE_MODE" in
    silent) ;;
    *)
      printf '[STREAM]\nindex=0\ncodec_type=audio\nr_frame_rate=0/0\n[/STREAM]\n'
      printf '[STREAM]\nindex=1\ncodec_type=video\nr_frame_rate=30000/1001\nwidth=640\nheight=360\n[/STREAM]\n' ;;
  esac
}
format() {
  case "$FAKE_PROBE_MODE" in
    na) printf '[FORMAT]\nduration=N/A\nsize=N/A\n[/FORMAT]\n' ;;
    zero) printf '[FORMAT]\nduration=2.5\nsize=0\n[/FORMAT]\n' ;;
    nosize) printf '[FORMAT]\nDURATION=61.5\n[/FORMAT]\n' ;;
    silent) ;;
    *) printf '[FORMAT]\nduration=150.533000\nsize=1536000\n[/FORMAT]\n' ;;
  esac
}
case "$run" in
  streams) streams ;;
  format) format ;;
  both) streams; format ;;
esac
exit 0
