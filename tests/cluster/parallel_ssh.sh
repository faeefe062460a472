#!/usr/bin/env bash
# fulmaro-batch --dry-run lines run by GNU parallel on another machine over ssh: the other
# machine is an sshd started here on a free port of 127.0.0.1, with a host key and a user key of
# its own in a temporary folder. The outputs decode to the same frames as fulmaro-batch's own
# renders; a line whose encoder is killed half-way fails, leaves no file under its final name,
# and an older file of that name stays. The sshd (and whatever it started) is stopped, pass or
# fail.
# Usage: parallel_ssh.sh FULMARO_BATCH TOOLS_DIR
set -uo pipefail
batch="$1"
tools="${2:-/usr/bin}"
source "$(dirname "$0")/common.sh"

sshd=/usr/sbin/sshd
for program in "$sshd" ssh ssh-keygen parallel; do
    if ! command -v "$program" >/dev/null 2>&1; then
        [ "$(id -u)" -eq 0 ] ||
            skip "$program is missing and packages cannot be installed without root"
        fail "$program is missing: install openssh-server, openssh-client and parallel (scripts/test does)"
    fi
done
# As root, sshd needs its privilege separation folder; as another user it would take logins only
# as that user, which is fine, but the folder's check needs root.
[ "$(id -u)" -eq 0 ] || skip "sshd is started as root here"

tmp="$(mktemp -d "${TMPDIR:-/tmp}/fulmaro-ssh.XXXXXX")" || fail "mktemp"
# Given to what the test starts, never to its own shell.
mark="FULMARO_TEST_SSH=$tmp"
made_privsep=false
sshd_pid=

cleanup() {
    local status=$? pids=() pid
    trap - EXIT
    if [ -n "$sshd_pid" ]; then
        # The connections' processes first, then the listener.
        while read -r pid; do
            [ -n "$pid" ] && pids+=("$pid")
        done < <(descendants "$sshd_pid")
        pids+=("$sshd_pid")
    fi
    while read -r pid; do
        [ -n "$pid" ] && pids+=("$pid")
    done < <(pids_with_environment "$mark")
    if [ "${#pids[@]}" -gt 0 ] && ! stop_pids "${pids[@]}"; then
        status=1
    fi
    if [ -n "$sshd_pid" ] && alive "$sshd_pid"; then
        echo "FAIL: sshd still runs" >&2
        status=1
    elif [ -n "$(pids_with_environment "$mark")" ]; then
        echo "FAIL: processes of the test still run" >&2
        status=1
    else
        echo "sshd stopped: it and every process of the test are gone"
    fi
    if $made_privsep; then
        rmdir /run/sshd 2>/dev/null || true
    fi
    if [ "$status" -ne 0 ] && [ -f "$tmp/sshd.log" ]; then
        echo "--- sshd.log" >&2
        tail -n 20 "$tmp/sshd.log" >&2
    fi
    rm -rf "$tmp"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# --- the other machine -----------------------------------------------------------------------
if [ ! -d /run/sshd ]; then
    mkdir -m 755 /run/sshd || fail "cannot make /run/sshd"
    made_privsep=true
fi
ssh-keygen -q -t ed25519 -N '' -f "$tmp/host_key" || fail "ssh-keygen (host)"
ssh-keygen -q -t ed25519 -N '' -f "$tmp/user_key" || fail "ssh-keygen (user)"
cp "$tmp/user_key.pub" "$tmp/authorized_keys"
port="$(free_port)" || fail "no free port"
cat >"$tmp/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $tmp/host_key
PidFile $tmp/sshd.pid
AuthorizedKeysFile $tmp/authorized_keys
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
UsePAM no
StrictModes no
LogLevel INFO
EOF
env "$mark" "$sshd" -D -f "$tmp/sshd_config" -E "$tmp/sshd.log" &
sshd_pid=$!
ssh_command="ssh -i $tmp/user_key -p $port -o StrictHostKeyChecking=no"
ssh_command+=" -o UserKnownHostsFile=/dev/null -o BatchMode=yes -o LogLevel=ERROR"
login="$(id -un)@127.0.0.1"
for _ in $(seq 50); do
    $ssh_command "$login" true 2>/dev/null && break
    alive "$sshd_pid" || fail "sshd ended: $(cat "$tmp/sshd.log")"
    sleep 0.2
done
$ssh_command "$login" true || fail "no login through the test's sshd"

# --- the lines -------------------------------------------------------------------------------
export XDG_DATA_HOME="$tmp/data"
sources="$tmp/kaynak klasörü"
reference="$tmp/tek makine"
out="$tmp/uzak çıktı"
mkdir -p "$sources" "$reference" "$out"
names=("bir.mp4" "iki \$dolar.mp4" "üç 'tırnak' ğüşiöç.mp4" "dört \"çift\" \`ters\`.mp4")
for n in "${!names[@]}"; do
    make_clip "$sources/${names[n]}" 1 "$n" || fail "ffmpeg could not make ${names[n]}"
done
breaking="bozulacak kaynak.mp4"
make_clip "$sources/$breaking" 1 0 || fail "ffmpeg could not make $breaking"
files=()
for name in "${names[@]}"; do
    files+=("$sources/$name")
done
settings=(--set cbRenderScale=6 --set tbVideoSpeed=150)

"$batch" --jobs 1 --output "$reference" "${settings[@]}" "${files[@]}" ||
    fail "fulmaro-batch could not render the reference outputs"
"$batch" --dry-run --output "$out" "${settings[@]}" "${files[@]}" "$sources/$breaking" \
    >"$tmp/lines.txt" || fail "fulmaro-batch --dry-run"
grep -v '^# ' "$tmp/lines.txt" >"$tmp/commands.txt"
[ "$(wc -l <"$tmp/commands.txt")" -eq 5 ] || fail "lines: $(cat "$tmp/lines.txt")"
# The last source becomes a pipe that gives the encoder the first seconds of a stream and then
# nothing: its encoder has begun writing when it is killed, as on a machine that goes down.
"$tools/ffmpeg" -v error -f lavfi -i "testsrc=size=160x120:rate=30:duration=10" \
    -f lavfi -i "sine=duration=10" -c:v mpeg4 -c:a aac -shortest -f mpegts "$tmp/stream.ts" ||
    fail "ffmpeg could not make the stream"
rm "$sources/$breaking"
mkfifo "$sources/$breaking" || fail "mkfifo"
echo "an older output" >"$out/$breaking"
older="$(md5sum <"$out/$breaking")"

# --- run over ssh ----------------------------------------------------------------------------
env "$mark" PARALLEL_SHELL=/bin/sh parallel --sshlogin "2/$login" --ssh "$ssh_command" \
    --joblog "$tmp/joblog" <"$tmp/commands.txt" >"$tmp/parallel.log" 2>&1 &
parallel_pid=$!
# Held open, so the encoder waits for more instead of reaching the stream's end.
exec 5<>"$sources/$breaking"
head -c "$(($(stat -c %s "$tmp/stream.ts") * 7 / 10))" "$tmp/stream.ts" >&5
part="$out/${breaking%.mp4}.part.mp4"
for _ in $(seq 600); do
    [ -s "$part" ] && break
    alive "$parallel_pid" || break
    sleep 0.1
done
[ -s "$part" ] || fail "the encoder of the cut line wrote nothing: $(cat "$tmp/parallel.log")"
encoder=
for pid in $(descendants "$sshd_pid"); do
    arguments="$(tr '\0' '\n' 2>/dev/null <"/proc/$pid/cmdline")" || continue
    grep -qxF -- "$sources/$breaking" <<<"$arguments" && encoder="$pid"
done
[ -n "$encoder" ] || fail "the encoder of the cut line is not below the test's sshd"
# KILL: an encoder blocked in a read of the pipe only notes a TERM.
kill -KILL "$encoder"
wait "$parallel_pid"
failed=$?
exec 5>&-
[ "$failed" -eq 1 ] || fail "parallel: $failed lines failed, 1 expected: $(cat "$tmp/parallel.log")"
# Every line went through the test's sshd.
[ "$(awk 'NR > 1 && $2 == "'"$login"'"' "$tmp/joblog" | wc -l)" -eq 5 ] ||
    fail "not every line ran on $login: $(cat "$tmp/joblog")"
grep -q "Accepted publickey" "$tmp/sshd.log" || fail "sshd took no login"
[ "$(md5sum <"$out/$breaking")" = "$older" ] ||
    fail "the killed line replaced the older file under its final name"

for name in "${names[@]}"; do
    [ -f "$out/$name" ] || fail "no output $name: $(cat "$tmp/parallel.log")"
    same_frames "$out/$name" "$reference/$name" || fail "$name differs from the one-machine render"
done
echo "parallel over ssh: 4 outputs equal to the one-machine renders; the killed line kept the older file"
