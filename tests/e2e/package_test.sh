# The Debian packages as a player and an admin get them: made by cpack from this
# build (configured for /usr), unpacked with dpkg-deb -x into throw-away roots,
# the launcher run with an empty HOME under Xvfb, the server run on loopback
# with the packaged settings, and everything checked by its validator.
source "$(dirname "$0")/lib.sh"
e2e_init
for tool in cpack dpkg-deb desktop-file-validate appstreamcli systemd-analyze lintian curl identify; do command -v "$tool" >/dev/null || fail "$tool is not installed"; done
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$BUILD_DIR/CMakeCache.txt")
[ "$prefix" = /usr ] || fail "the build's install prefix is '$prefix'; packages need -DCMAKE_INSTALL_PREFIX=/usr"
pkg=$E2E_SCRATCH/pkg  # gzip instead of the release's xz: the same files in a third of the time
(cd "$BUILD_DIR" && cpack -G DEB -B "$pkg" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip) >"$ART/cpack.log" 2>&1 ||
    fail "cpack failed: $(tail -5 "$ART/cpack.log")"
game_deb=$(ls "$pkg"/bzykolot2_*_"$(dpkg --print-architecture)".deb) scores_deb=$(ls "$pkg"/bzykolot2-scores_*.deb) data_deb=$(ls "$pkg"/bzykolot2-data_*_all.deb)
# Game and server need the packs of their own version.
version=$(dpkg-deb -f "$data_deb" Version)
for deb in "$game_deb" "$scores_deb"; do
    dpkg-deb -f "$deb" Depends | tr ',' '\n' | grep -qx " *bzykolot2-data (= $version)" || fail "$deb does not depend on bzykolot2-data (= $version)"
done
# Files only in the installed places; warnings count (packages made outside Debian's archive close no bug).
bad=$(for deb in "$game_deb" "$scores_deb" "$data_deb"; do dpkg-deb -c "$deb"; done | awk '{print $NF}' | grep -v '/$' | grep -vE '^\./(usr/(games/[^/]+|lib/games/bzykolot2/bzykolot2|share/(applications|metainfo|icons/hicolor|lintian/overrides|games/bzykolot2/data|locale/en/LC_MESSAGES|man/man[168]|doc/bzykolot2(-scores|-data)?)/.+|sbin/[^/]+|lib/systemd/system/[^/]+)|etc/default/[^/]+)$')
[ "$(dpkg-deb -c "$data_deb" | grep -c '/data/[gs]fx\.pkf$')" = 2 ] && ! dpkg-deb -c "$game_deb" | grep -q '\.pkf$' || fail "the packs are not in bzykolot2-data alone"
[ -z "$bad" ] || fail "unexpected files in the packages: $bad"
# The server's settings may hold the database's password.
dpkg-deb -c "$scores_deb" | grep -q '^-rw------- root/root .* \./etc/default/bzykolot2-scores$' || fail "the environment file is not root's alone"
TMPDIR=$E2E_SCRATCH lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$game_deb" "$scores_deb" "$data_deb" >"$ART/lintian.txt" 2>&1 ||
    fail "lintian: $(grep -E '^[EW]:' "$ART/lintian.txt")"
root="$E2E_SCRATCH/unpacked game" sroot=$E2E_SCRATCH/server-root  # it must run from any folder
dpkg-deb -x "$game_deb" "$root"
dpkg-deb -x "$data_deb" "$root"
dpkg-deb -x "$scores_deb" "$sroot"
dpkg-deb -x "$data_deb" "$sroot"
desktop-file-validate "$root/usr/share/applications/bzykolot2.desktop" >"$ART/desktop.txt" 2>&1 || fail "$(cat "$ART/desktop.txt")"
appstreamcli validate-tree --no-net "$root" >"$ART/appstream.txt" 2>&1 || fail "appstreamcli: $(cat "$ART/appstream.txt")"
icons=$(cd "$root/usr/share/icons/hicolor" && identify -format '%d %wx%h %[channels]\n' */apps/bzykolot2.png | sort -n)
[ "$icons" = "$(for s in 16 32 48 64 128 256; do echo "${s}x$s/apps ${s}x$s srgba"; done)" ] || fail "icons: $icons"

home=$E2E_SCRATCH/home player=$E2E_SCRATCH/home/.local/share/bzykolot2
mkdir -p "$home"
e2e_start_xvfb
launch() {  # launch LAUNCHER: the game through it with the empty HOME
    E2E_GAME_DIR=$player
    rm -f "$player/log.txt"
    env -u XDG_DATA_HOME HOME="$home" SDL_AUDIODRIVER=dummy "$1" >"$E2E_SCRATCH/launcher.out" 2>"$ART/launcher.err" &
    E2E_GAME_PID=$!
}
launch "$root/usr/games/bzykolot2"
e2e_wait_log "$player" "INFO: Wystartowano"
sleep 1
e2e_shot menu
e2e_quit
[ -s "$player/upds" ] && [ "$(readlink "$player/data")" = "$root/usr/share/games/bzykolot2/data" ] || fail "no upds or data/ in $player"
lit=$(convert "$ART/menu.png" -colorspace gray -threshold 0 -format '%[fx:int(mean * w * h)]' info:)
[ "$lit" -gt 4000 ] || fail "no menu on the screen ($lit lit pixels)"
# Options pass through the launcher; a recording named relative to where it was started is found;
# the failure is said on standard error and as a desktop notification.
mkdir -p "$E2E_SCRATCH/bin"
printf '#!/bin/sh\nprintf "%%s|" "$@" >"%s/notified"\n' "$E2E_SCRATCH" >"$E2E_SCRATCH/bin/notify-send"
chmod +x "$E2E_SCRATCH/bin/notify-send"
(cd "$E2E_SCRATCH" && printf 'BZK2REC\n' >short.bzr &&
    env HOME="$home" PATH="$E2E_SCRATCH/bin:$PATH" "$root/usr/games/bzykolot2" --watch short.bzr 2>watch.err)
status=$? said="bzykolot2: $E2E_SCRATCH/short.bzr: truncated: 8 bytes, no whole header"
[ $status = 2 ] && [ "$(cat "$E2E_SCRATCH/watch.err")" = "$said" ] && [ "$(cat "$E2E_SCRATCH/notified")" = "--icon=bzykolot2|Bzykolot 2|$said|" ] ||
    fail "--watch through the launcher: $(cat "$E2E_SCRATCH/watch.err" "$E2E_SCRATCH/notified")"
# From a link to another copy's launcher (as a new version would be): data/ follows.
dpkg-deb -x "$game_deb" "$E2E_SCRATCH/second"
dpkg-deb -x "$data_deb" "$E2E_SCRATCH/second"
ln -s "$E2E_SCRATCH/second/usr/games/bzykolot2" "$home/bzykolot2"
launch "$home/bzykolot2"
e2e_wait_log "$player" "INFO: Wystartowano"
e2e_quit
[ "$(readlink "$player/data")" = "$E2E_SCRATCH/second/usr/share/games/bzykolot2/data" ] || fail "data/ was not renewed"
# A real data/ directory is the player's own and stays; an empty one has no graphics: 101.
rm "$player/data" && mkdir "$player/data"
launch "$home/bzykolot2"
e2e_wait_exit 30
[ "$E2E_STATUS" = 101 ] && [ -d "$player/data" ] && [ ! -L "$player/data" ] && grep -qx "FAIL: Sprite.load: Nie udalo sie wczytac grafik" "$player/log.txt" &&
    [ "$(tail -n 1 "$player/log.txt")" = "FAIL: Nie udalo sie wczytac grafik kursora/muchy" ] || fail "status $E2E_STATUS with an empty data/"

mkdir "$E2E_SCRATCH/state"
(. "$sroot/etc/default/bzykolot2-scores"
 exec "$sroot/usr/sbin/bzykolot2-scores" --listen 127.0.0.1:0 --db "$E2E_SCRATCH/state/scores.db" \
      --data "$sroot/usr/share/games/bzykolot2/data" $OPTIONS) >"$ART/server.log" 2>&1 &
E2E_SERVER_PID=$!
listening() { port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\),.*/\1/p' "$ART/server.log"); [ -n "$port" ]; }
e2e_until 10 listening || fail "the server did not listen: $(cat "$ART/server.log")"
code=$(curl -s -m 5 -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/bzykolot4.wtf")
# The admin's commands reach it beside its database.
"$sroot/usr/sbin/bzykolot2-scores" remove nobody --db "$E2E_SCRATCH/state/scores.db" >"$ART/admin.txt" 2>&1 &&
    [ "$(cat "$ART/admin.txt")" = "removed 0 posts" ] || fail "admin: $(cat "$ART/admin.txt")"
kill $E2E_SERVER_PID
wait $E2E_SERVER_PID
status=$?
[ "$code" = 200 ] && [ "$status" = 0 ] && [ -s "$E2E_SCRATCH/state/scores.db" ] || fail "server: answer $code, status $status"
grep -q "^game data [0-9a-f]\{32\} from $sroot/usr/share/games/bzykolot2/data/gfx.pkf$" "$ART/server.log" || fail "the server read no packs: $(cat "$ART/server.log")"
# The unit as installed, pointing at the unpacked program; systemd rates its exposure 0 to 10.
unit=$E2E_SCRATCH/bzykolot2-scores.service
sed "s|$prefix/sbin/bzykolot2-scores|$sroot$prefix/sbin/bzykolot2-scores|" "$sroot/usr/lib/systemd/system/bzykolot2-scores.service" >"$unit"
MANPATH=$sroot/usr/share/man systemd-analyze verify "$unit" >"$ART/unit.txt" 2>&1 && [ ! -s "$ART/unit.txt" ] &&
    grep -q "^ExecStart=$sroot" "$unit" || fail "systemd-analyze verify: $(cat "$ART/unit.txt")"
systemd-analyze security --offline=yes "$unit" >"$ART/security.txt" 2>&1
exposure=$(sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p' "$ART/security.txt")
awk -v e="${exposure:-10}" 'BEGIN { exit !(e < 2) }' || fail "unit exposure ${exposure:-unknown}"
echo "package test passed"
