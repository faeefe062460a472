# Shared by the cluster tests: clips, frame digests, free ports, and stopping what a test started.
# Sourced by bash; the tests set "batch" (fulmaro-batch) and "tools" (the folder of ffmpeg).

# CTest counts this exit status as a skip (SKIP_RETURN_CODE).
readonly skip_code=77

skip() {
    echo "SKIP: $*"
    exit "$skip_code"
}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# A TCP port on 127.0.0.1 that nothing listens on.
free_port() {
    local port tries=0
    while [ "$tries" -lt 200 ]; do
        port=$((20000 + RANDOM % 40000))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return 0
        fi
        tries=$((tries + 1))
    done
    return 1
}

# make_clip PATH SECONDS N [ffmpeg output options...]: a small clip with a tone; N (0-3) chooses
# its picture and pitch, so that clips differ.
make_clip() {
    local path="$1" seconds="$2" n="$3" pictures=(testsrc testsrc2 smptebars rgbtestsrc)
    shift 3
    "$tools/ffmpeg" -v error -y \
        -f lavfi -i "${pictures[n % 4]}=size=160x120:rate=30:duration=$seconds" \
        -f lavfi -i "sine=frequency=$((220 * (n + 1))):duration=$seconds" \
        -c:v mpeg4 -c:a aac -shortest "$@" "$path"
}

# A source whose header promises its whole length but whose data stops at 30 %: the probe reads
# it, the encoder ends well on the part that is there.
make_cut_clip() {
    local path="$1" whole="$1.whole.mp4"
    make_clip "$whole" 3 0 -movflags +faststart || return 1
    head -c "$(($(stat -c %s "$whole") * 3 / 10))" "$whole" >"$path"
    rm -f "$whole"
}

# The decoded frames' digests of every stream.
framemd5() {
    "$tools/ffmpeg" -v error -i "$1" -map 0 -f framemd5 -
}

# same_frames A B: both files decode to the same frames.
same_frames() {
    local a b
    a="$(framemd5 "$1")" || fail "cannot decode $1"
    b="$(framemd5 "$2")" || fail "cannot decode $2"
    [ -n "$a" ] && [ "$a" = "$b" ]
}

alive() {
    kill -0 "$1" 2>/dev/null
}

# stop_pids PID...: ends the processes (TERM, then KILL after ten seconds) and waits until they
# are gone. Returns 1 when one is still there.
stop_pids() {
    local pid waited=0 left
    for pid in "$@"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    while :; do
        left=()
        for pid in "$@"; do
            alive "$pid" && left+=("$pid")
        done
        [ "${#left[@]}" -eq 0 ] && return 0
        if [ "$waited" -eq 100 ]; then
            kill -KILL "${left[@]}" 2>/dev/null || true
        fi
        if [ "$waited" -gt 150 ]; then
            echo "still running: ${left[*]}" >&2
            return 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
}

# The processes started with this entry in their environment: a variable the test gives only to
# what it starts (the daemons, and through sbatch the tasks), never to its own shell.
pids_with_environment() {
    local entry item
    for entry in /proc/[0-9]*; do
        while IFS= read -r -d '' item; do
            if [ "$item" = "$1" ]; then
                echo "${entry#/proc/}"
                break
            fi
        done 2>/dev/null <"$entry/environ"
    done
}

# The pid in a pid file, when the file is there and names a live process.
pid_from() {
    local pid
    [ -f "$1" ] || return 1
    pid="$(tr -dc 0-9 <"$1")"
    [ -n "$pid" ] && alive "$pid" && echo "$pid"
}

# The pids of every process below PID (children, their children ...).
descendants() {
    local -A children=()
    local entry stat pid ppid queue
    for entry in /proc/[0-9]*/stat; do
        read -r stat 2>/dev/null <"$entry" || continue
        pid="${stat%% *}"
        # After the name in parentheses (which may hold blanks): the state, then the parent.
        ppid="${stat##*) }"
        ppid="${ppid#* }"
        children[${ppid%% *}]+=" $pid"
    done
    queue=("$1")
    while [ "${#queue[@]}" -gt 0 ]; do
        for pid in ${children[${queue[0]}]:-}; do
            echo "$pid"
            queue+=("$pid")
        done
        queue=("${queue[@]:1}")
    done
}
