# Shared by scripts/run and scripts/test: install what is missing, then build.
# Safe to run again: installed packages and an up-to-date build are left alone.

FULMARO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
FULMARO_BUILD="${FULMARO_BUILD:-$FULMARO_ROOT/build}"
FULMARO_PACKAGES=(g++ make cmake qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
                  ffmpeg xvfb xauth fonts-dejavu-core
                  dpkg-dev desktop-file-utils appstream man-db groff-base parallel dbus-daemon
                  clang-format exfat-fuse exfatprogs
                  slurmctld slurmd slurm-client munge openssh-server openssh-client)
# scripts/fuzz: clang with libFuzzer and the sanitizer runtimes.
FULMARO_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# scripts/windows: the MinGW-w64 cross compiler, wine to run the Windows tests, apt-get source
# (dpkg-dev) for Qt's source, ninja for its build, zip for the package.
FULMARO_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev ninja-build zip unzip)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "Paketleri kurmak için root ya da sudo gerekli: $*" >&2
        return 1
    fi
}

ensure_packages() {
    local missing=()
    for pkg in "${FULMARO_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Kuruluyor: ${missing[*]}"
        as_root apt-get update -qq
        # The services some packages bring (munge, slurmctld, slurmd, ssh) are not started: the
        # cluster tests start daemons of their own and stop them. policy-rc.d tells Debian's
        # invoke-rc.d so; one made here goes again after the install.
        local policy=/usr/sbin/policy-rc.d made_policy=false status=0
        if [ ! -e "$policy" ]; then
            printf '#!/bin/sh\nexit 101\n' | as_root tee "$policy" >/dev/null &&
                as_root chmod 755 "$policy" && made_policy=true
        fi
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" || status=$?
        if $made_policy; then
            as_root rm -f "$policy"
        fi
        return "$status"
    fi
}

# configure_project: configures the build folder once; again whenever FULMARO_CMAKE_ARGS holds
# further cache settings (e.g. "-DFULMARO_WERROR=ON"), so they reach an existing folder too.
# Uses ccache when it is installed.
configure_project() {
    local args=(-DCMAKE_BUILD_TYPE=Release -DFULMARO_TOOLS_DIR=/usr/bin)
    if command -v ccache >/dev/null 2>&1; then
        args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    local extra=()
    read -r -a extra <<< "${FULMARO_CMAKE_ARGS:-}"
    if [ ! -f "$FULMARO_BUILD/CMakeCache.txt" ] || [ "${#extra[@]}" -gt 0 ]; then
        cmake -S "$FULMARO_ROOT" -B "$FULMARO_BUILD" "${args[@]}" "${extra[@]}"
    fi
}

# build_project [TARGET...]: configures if needed, then builds the given targets (all by default).
build_project() {
    configure_project
    local targets=()
    for target in "$@"; do
        targets+=(--target "$target")
    done
    cmake --build "$FULMARO_BUILD" -j "$(nproc)" "${targets[@]}"
}
