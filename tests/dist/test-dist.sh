#!/usr/bin/env bash
# The releases in dist/ (make dist) as a person gets them, inside `tests/env/test-env.sh with`:
#   test-dist.sh BUILD_DIR     (a build with the tests, for x11_probe and make_sync_module)
# the checksums match and name every file; the zips hold exactly their files; lintian finds no
# error in the .deb, whose dependencies leave ffmpeg out (recommended, for the capture); the .deb
# installed with apt-get, k3lvana started from another directory (its version the package's, the
# console byte for byte, the first cut seen on the screen, Escape ends it with 0), k3lvana-capture
# without ffmpeg on PATH saying so and leaving nothing, then writing a short video and storyboard
# where it is asked to, relative to the caller's directory; removing the package leaves no file behind; the web zip unpacked into an
# empty folder, served and driven in headless Chromium to its start screen and first cut.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
dist=$top/dist
case_name=dist
work=$(mktemp -d /tmp/k3l-dist-test.XXXXXX)
source "$top/tests/env/show_lib.sh"
cd "$dist" || fail "no dist/"
# The version the releases were made under, from the package's name.
debs=(k3lvana_*_amd64.deb)
[ ${#debs[@]} = 1 ] && [ -e "${debs[0]}" ] || fail "not one package in dist/: ${debs[*]}"
deb=${debs[0]}
version=${deb#k3lvana_}
version=${version%_amd64.deb}

label=checksums
sha256sum --quiet -c SHA256SUMS || fail "a checksum does not match"
[ "$(awk '{print $2}' SHA256SUMS | sort)" = "$(ls | grep -vx SHA256SUMS | sort)" ] || fail "SHA256SUMS does not name every file"
[ "$(ls | grep -vx SHA256SUMS | sort)" = "$(printf '%s\n' "$deb" "k3lvana-$version"{-windows.zip,-web.zip,.mp4,-storyboard.png} | sort)" ] ||
    fail "dist/ holds $(ls | tr '\n' ' ')"

label=zips
data_files=$(cd "$build/data" && ls)
# Fails unless zip $1 holds exactly the paths given after it (directories end in /).
expect_zip() {
    local zip=$1
    shift
    diff <(unzip -Z1 "$zip" | sort) <(printf '%s\n' "$@" | sort) >"$work/why" || fail "$zip: $(cat "$work/why")"
}
expect_zip "k3lvana-$version-windows.zip" k3lvana/ k3lvana/k3lvana.exe k3lvana/README.txt k3lvana/data/ \
    $(printf 'k3lvana/data/%s\n' $data_files)
site=k3lvana-$version-web
expect_zip "$site.zip" "$site/" $(printf "$site/%s\n" index.html k3lvana.js.gz k3lvana.wasm.gz data.js k3lvana.data.gz README.txt)

label=lintian
lintian --fail-on error "$deb" >"$work/lintian" 2>&1 || fail "lintian: $(cat "$work/lintian")"

label=control
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "dist: Depends: $depends"
echo "dist: Recommends: $recommends"
case $depends in *ffmpeg*) fail "the dependencies name ffmpeg: $depends" ;; esac
case ", $recommends," in *", ffmpeg,"*) ;; *) fail "ffmpeg is not recommended: $recommends" ;; esac

label=install
# (A run that failed may have left its package installed, which apt-get would keep.)
if dpkg -s k3lvana >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq k3lvana >/dev/null 2>&1 || fail "cannot remove the installed k3lvana"
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >"$work/apt" 2>&1 || fail "apt-get: $(tail -5 "$work/apt")"
dpkg -L k3lvana >"$work/files"
mkdir -p "$work/elsewhere/clips"
cd "$work/elsewhere"
PATH=/usr/games:$PATH

label=show
[ "$(k3lvana --version)" = "k3lvana $version" ] || fail "k3lvana --version: $(k3lvana --version 2>&1)"
k3lvana >"$work/stdout" 2>"$work/stderr" &
pid=$!
id=$(window) || fail "no window"
"$build/tests/show/x11_probe" watch "$id" >"$work/colours" &
# The opening (scene 0) is dark; the first cut, about 16 s in, shows something else.
for _ in $(seq 1 600); do
    grep -qv ' K$' "$work/colours" 2>/dev/null && break
    sleep 0.1
done
grep -qv ' K$' "$work/colours" || fail "no cut seen in 60 s: $(tr '\n' ' ' <"$work/colours")"
press "$id" Escape
wait_exit 10
[ "$status" = 0 ] || fail "status $status after Escape"
expect_console expect_loaded

label=capture
# Without ffmpeg on PATH (the launcher's own tools only): one line, status 1, no file anywhere.
mkdir "$work/bin" "$work/tmp"
ln -s /usr/bin/dirname /usr/bin/readlink "$work/bin/"
before=$(find . | sort)
PATH=$work/bin:/usr/games TMPDIR=$work/tmp k3lvana-capture --seconds 2 -o clips/none.mp4 --storyboard none.png \
    >"$work/capture" 2>&1
status=$?
[ "$status" = 1 ] || fail "status $status without ffmpeg"
[ "$(cat "$work/capture")" = "k3lvana-capture: ffmpeg is missing (no ffmpeg on PATH): install it with sudo apt install ffmpeg" ] ||
    fail "without ffmpeg: $(cat "$work/capture")"
[ "$(find . | sort)" = "$before" ] && [ -z "$(ls -A "$work/tmp")" ] || fail "left behind without ffmpeg: $(find . "$work/tmp")"
k3lvana-capture --seconds 2 --size 320x240 --fps 10 --quiet -o clips/short.mp4 --storyboard=board.png \
    >"$work/capture" 2>&1 || fail "capture: $(cat "$work/capture")"
frames=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 clips/short.mp4)
[ "$frames" = 20 ] || fail "clips/short.mp4 has ${frames:-no} frames, not 20"
[ -s board.png ] || fail "no storyboard where asked"
leftovers=$(find /usr/share/games/k3lvana /usr/lib/games/k3lvana -newer "$work/files")
[ -z "$leftovers" ] || fail "the capture wrote into the installed tree: $leftovers"

label=remove
cd "$dist"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq k3lvana >"$work/apt" 2>&1 || fail "apt-get purge: $(tail -5 "$work/apt")"
while read -r path; do
    [ -e "$path" ] && ! [ -d "$path" ] && fail "left behind: $path"
done <"$work/files"
for folder in /usr/share/games/k3lvana /usr/lib/games/k3lvana /usr/share/doc/k3lvana; do
    [ -e "$folder" ] && fail "left behind: $folder"
done

label=web
mkdir "$work/web"
(cd "$work/web" && unzip -q "$dist/$site.zip") || fail "cannot unpack $site.zip"
node "$top/tests/web/web_test.js" "$work/web/$site" "$build/tests/support/make_sync_module" --first-cut --only=none ||
    fail "the page from $site.zip"
echo "ok (dist $version)"
