#!/usr/bin/env bash
# Builds the Debian package from the build folder into a temporary folder and checks what it
# holds, without installing it: the files, the control fields, the desktop entry, the AppStream
# metadata and the manual pages. Usage: check_package.sh BUILD_DIR VERSION
set -euo pipefail
build="$1"
version="$2"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log" >&2
    echo "FAIL: cpack" >&2
    exit 1
fi
arch="$(dpkg --print-architecture)"
deb="$tmp/out/fulmaro_${version}_${arch}.deb"
[ -f "$deb" ] || { ls -l "$tmp/out" >&2; echo "FAIL: no $deb" >&2; exit 1; }

# Control fields: the name, and the dependencies on Debian's Qt and ffmpeg packages.
[ "$(dpkg-deb -f "$deb" Package)" = fulmaro ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version"
depends="$(dpkg-deb -f "$deb" Depends)"
for wanted in 'ffmpeg (>= ' 'ffmpeg (<< ' libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins qt6-translations-l10n; do
    case "$depends" in *"$wanted"*) ;; *) fail "Depends lacks '$wanted': $depends" ;; esac
done

# The files, and nothing outside /usr.
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$tmp/files"
app=org.fulmaro.Fulmaro
expected=(/usr/bin/fulmaro /usr/bin/fulmaro-batch
          "/usr/share/applications/$app.desktop" "/usr/share/metainfo/$app.metainfo.xml"
          /usr/share/man/man1/fulmaro.1.gz /usr/share/man/man1/fulmaro-batch.1.gz
          "/usr/share/icons/hicolor/scalable/apps/$app.svg")
sizes=(16 22 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/$app.png")
done
for file in "${expected[@]}"; do
    grep -qxF "$file" "$tmp/files" || fail "missing $file"
done
if grep -v '^/usr/' "$tmp/files" | grep -qv '^/$'; then
    fail "files outside /usr: $(grep -v '^/usr/' "$tmp/files" | tr '\n' ' ')"
fi

dpkg-deb -x "$deb" "$tmp/root"
root="$tmp/root"

# The programs start with the system's libraries.
if ldd "$root/usr/bin/fulmaro" "$root/usr/bin/fulmaro-batch" | grep -q 'not found'; then
    fail "unresolved libraries: $(ldd "$root/usr/bin/fulmaro" | grep 'not found')"
fi
# Read whole first: grep -q stops reading at its match, and the rest of the text would then meet a
# closed pipe.
batch_help="$("$root/usr/bin/fulmaro-batch" --help)" || fail "fulmaro-batch --help exit status"
for option in --dry-run --skip-existing --slurm; do
    grep -q -- "$option" <<<"$batch_help" || fail "fulmaro-batch --help lacks $option"
done

# Each icon is a PNG of its size.
for size in "${sizes[@]}"; do
    png="$root/usr/share/icons/hicolor/${size}x${size}/apps/$app.png"
    [ -f "$png" ] || continue
    read -r -a dims <<<"$(od -An -tu1 -j16 -N8 "$png")"
    width=$(((dims[0] << 24) + (dims[1] << 16) + (dims[2] << 8) + dims[3]))
    height=$(((dims[4] << 24) + (dims[5] << 16) + (dims[6] << 8) + dims[7]))
    [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$png is no PNG"
    if [ "$width" != "$size" ] || [ "$height" != "$size" ]; then
        fail "$png is ${width}x${height}"
    fi
done

# The desktop entry: valid, Turkish, starting the packaged program with the files, naming the
# packaged icon and the video types the open dialog offers.
desktop="$root/usr/share/applications/$app.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
field() { sed -n "s/^$1=//p" "$desktop"; }
exec_line="$(field Exec)"
[ "$exec_line" = "fulmaro %F" ] || fail "Exec is '$exec_line'"
[ -x "$root/usr/bin/${exec_line%% *}" ] || fail "Exec names no packaged program"
[ "$(field Icon)" = "$app" ] || fail "Icon"
field Comment | grep -q 'Videoları' || fail "Comment is not Turkish: $(field Comment)"
field GenericName | grep -q 'Düzenleyici' || fail "GenericName is not Turkish"
for type in video/mp4 video/x-matroska video/x-msvideo video/x-flv; do
    field MimeType | tr ';' '\n' | grep -qxF "$type" || fail "MimeType lacks $type"
done
field Categories | tr ';' '\n' | grep -qxF AudioVideo || fail "Categories lacks AudioVideo"

# The AppStream metadata, offline and strict, for this version and desktop entry.
metainfo="$root/usr/share/metainfo/$app.metainfo.xml"
appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli validate"
grep -qF "<release version=\"$version\"" "$metainfo" || fail "metainfo release version"
grep -qF "<launchable type=\"desktop-id\">$app.desktop</launchable>" "$metainfo" ||
    fail "metainfo launchable"

# The manual pages render without a warning and name what they describe.
for page in fulmaro fulmaro-batch; do
    file="$root/usr/share/man/man1/$page.1.gz"
    text="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>"$tmp/warnings")" ||
        fail "man -l $page"
    [ ! -s "$tmp/warnings" ] || fail "man -l $page warns: $(cat "$tmp/warnings")"
    grep -q "^ *$page - " <<<"$text" || fail "$page page lacks its name line"
    grep -qF "$version" <<<"$text" || fail "$page page lacks the version"
done
text="$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$root/usr/share/man/man1/fulmaro-batch.1.gz" 2>/dev/null)"
for option in --list --output --set --dry-run --preview --estimate --skip-existing --slurm \
    --help; do
    grep -qF -- "$option" <<<"$text" || fail "fulmaro-batch page lacks $option"
done

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "package $(basename "$deb") checked"
