#!/usr/bin/env bash
# A Slurm of one machine, started here: munge with a key of its own, slurmctld and slurmd with a
# slurm.conf in a temporary folder, on free ports. The script of fulmaro-batch --slurm renders
# clips with awkward names and one cut-off source as a job array; the outputs decode to the same
# frames as fulmaro-batch's own renders on this machine, the cut-off source's task is FAILED with
# the reason in its log, and the script submitted again renders only the output that is missing.
# Every daemon (and any task left) is stopped, pass or fail.
# Usage: slurm_array.sh FULMARO_BATCH TOOLS_DIR
set -uo pipefail
batch="$1"
tools="${2:-/usr/bin}"
source "$(dirname "$0")/common.sh"

for program in munged mungekey slurmctld slurmd sbatch scontrol squeue scancel sinfo; do
    if ! command -v "$program" >/dev/null 2>&1; then
        [ "$(id -u)" -eq 0 ] ||
            skip "$program is missing and packages cannot be installed without root"
        fail "$program is missing: install slurmctld, slurmd, slurm-client and munge (scripts/test does)"
    fi
done
[ "$(id -u)" -eq 0 ] || skip "slurmd runs tasks only as root here"

# munged wants every folder above its socket open to all.
tmp="$(mktemp -d "${TMPDIR:-/tmp}/fulmaro-slurm.XXXXXX")" || fail "mktemp"
chmod 755 "$tmp"
# Given to the daemons and, through sbatch, to the tasks; never to this shell, so whatever carries
# it was started by this test.
mark="FULMARO_TEST_CLUSTER=$tmp"
export SLURM_CONF="$tmp/slurm.conf"

cleanup() {
    local status=$? pids=()
    trap - EXIT
    if pid_from "$tmp/slurmctld.pid" >/dev/null; then
        timeout 20 scancel --quiet --user=root 2>/dev/null || true
    fi
    local pid
    for file in slurmd.pid slurmctld.pid munge/munged.pid; do
        pid="$(pid_from "$tmp/$file")" && pids+=("$pid")
    done
    # slurmstepd and the tasks, if a failure left any.
    while read -r pid; do
        [ -n "$pid" ] && pids+=("$pid")
    done < <(pids_with_environment "$mark")
    if [ "${#pids[@]}" -gt 0 ] && ! stop_pids "${pids[@]}"; then
        echo "FAIL: processes of the test cluster still run" >&2
        status=1
    fi
    if [ -n "$(pids_with_environment "$mark")" ]; then
        echo "FAIL: processes of the test cluster still run" >&2
        status=1
    else
        echo "daemons stopped: munged, slurmctld, slurmd and every task are gone"
    fi
    if [ "$status" -ne 0 ] && [ -d "$tmp/log" ]; then
        for log in "$tmp"/log/*.log; do
            echo "--- $log" >&2
            tail -n 20 "$log" >&2
        done
    fi
    rm -rf "$tmp"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# --- the cluster -----------------------------------------------------------------------------
mkdir -p "$tmp/munge" "$tmp/socket" "$tmp/state" "$tmp/spool" "$tmp/log"
chmod 700 "$tmp/munge"
mungekey --create --keyfile="$tmp/munge/munge.key" || fail "mungekey"
socket="$tmp/socket/munge.socket"
env "$mark" munged --key-file="$tmp/munge/munge.key" --socket="$socket" \
    --pid-file="$tmp/munge/munged.pid" --log-file="$tmp/log/munged.log" \
    --seed-file="$tmp/munge/munged.seed" || fail "munged did not start"

node="$(uname -n)"
node="${node%%.*}"
ctld_port="$(free_port)" || fail "no free port"
slurmd_port="$(free_port)" || fail "no free port"
[ "$ctld_port" != "$slurmd_port" ] || slurmd_port=$((ctld_port + 1))
# No cgroups (a container rarely offers them): processes tracked by their parents, tasks not
# bound to cores, so an encoder in a task sees the machine's cores as fulmaro-batch does outside.
# No accounting database: the controller keeps finished jobs for scontrol (MinJobAge).
cat >"$SLURM_CONF" <<EOF
ClusterName=fulmarotest
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$socket
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/log/slurmctld.log
SlurmdLogFile=$tmp/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MinJobAge=3600
ReturnToService=2
MpiDefault=none
SwitchType=switch/none
PlugStackConfig=/dev/null
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
env "$mark" slurmctld || fail "slurmctld did not start"
env "$mark" slurmd || fail "slurmd did not start"
for _ in $(seq 60); do
    state="$(sinfo -h -n "$node" -o %T 2>/dev/null)"
    [ "$state" = idle ] && break
    sleep 1
done
[ "$state" = idle ] || fail "the node is not idle: '$state'"

# --- the clips -------------------------------------------------------------------------------
export XDG_DATA_HOME="$tmp/data"
sources="$tmp/kaynak klasörü"
reference="$tmp/tek makine"
out="$tmp/küme çıktısı"
scripts="$tmp/betik \$ş"
mkdir -p "$sources" "$reference" "$out" "$scripts"
names=("bir.mp4" "iki \$dolar.mp4" "üç 'tırnak' ğüşiöç.mp4" "dört \"çift\" \`ters\`.mp4")
for n in "${!names[@]}"; do
    make_clip "$sources/${names[n]}" 1 "$n" || fail "ffmpeg could not make ${names[n]}"
done
broken="yarım kalmış.mp4"
make_cut_clip "$sources/$broken" || fail "ffmpeg could not make $broken"
files=()
for name in "${names[@]}" "$broken"; do
    files+=("$sources/$name")
done
settings=(--set cbRenderScale=6 --set tbVideoSpeed=150)

# The same files rendered by fulmaro-batch on this machine, one job at a time, as a task does.
"$batch" --jobs 1 --output "$reference" "${settings[@]}" "${files[@]:0:${#names[@]}}" ||
    fail "fulmaro-batch could not render the reference outputs"

script="$scripts/işler.sh"
"$batch" --slurm "$script" --output "$out" "${settings[@]}" --jobs 2 "${files[@]}" ||
    fail "fulmaro-batch --slurm"
grep -qx '#SBATCH --array=1-5%2' "$script" || fail "array line: $(grep array "$script")"

# submit SCRIPT: sets "job" to the array's job id once every task has ended. Waited for in the
# background, so that a signal to the test is handled at once.
submit() {
    env "$mark" timeout 150 sbatch --wait --parsable "$1" >"$tmp/sbatch.out" &
    wait $!
    job="$(head -n 1 "$tmp/sbatch.out")"
    job="${job%%;*}"
}

# The state of each task of the array, "TASK STATE" a line.
task_states() {
    scontrol -o show job "$1" |
        sed -n 's/.*ArrayTaskId=\([0-9]*\) .*JobState=\([A-Z_]*\) .*/\1 \2/p' | sort -n
}

# --- first submission: everything -----------------------------------------------------------
submit "$script"
[ -n "$job" ] || fail "sbatch gave no job id"
first="$job"
states="$(task_states "$job")"
expected="$(printf '1 COMPLETED\n2 COMPLETED\n3 COMPLETED\n4 COMPLETED\n5 FAILED')"
[ "$states" = "$expected" ] || fail "task states:
$states"
log="$script.logs/${job}_5.log"
grep -q "kaynak dosya bozuk olabilir" "$log" || fail "the failed task's log lacks the reason: $(cat "$log")"
[ ! -e "$out/$broken" ] || fail "the cut-off source left a file under its final name"
for name in "${names[@]}"; do
    [ -f "$out/$name" ] || fail "no output $name"
    same_frames "$out/$name" "$reference/$name" || fail "$name differs from the one-machine render"
done
echo "first submission: 4 outputs equal to the one-machine renders, task 5 FAILED"

# --- second submission: only the missing output ---------------------------------------------
declare -A before
for name in "${names[@]}"; do
    before["$name"]="$(stat -c %y "$out/$name")"
done
missing="${names[1]}"
rm -f "$out/$missing"
submit "$script"
[ -n "$job" ] && [ "$job" != "$first" ] || fail "the second sbatch gave no new job id"
[ "$(task_states "$job")" = "$expected" ] || fail "task states of the second submission:
$(task_states "$job")"
same_frames "$out/$missing" "$reference/$missing" || fail "the rendered again output differs"
for name in "${names[@]}"; do
    [ "$name" = "$missing" ] && continue
    [ "$(stat -c %y "$out/$name")" = "${before[$name]}" ] || fail "$name was rendered again"
    grep -q "Çıktı zaten var" "$script.logs/${job}_$(grep -nxF -- "$sources/$name" "$script.files" | cut -d: -f1).log" ||
        fail "the task of $name does not say its output was there"
done
echo "second submission: only $missing rendered again"
