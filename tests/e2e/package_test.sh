# The Debian packages as a player and an admin get them: made by cpack from
# this build (configured with the /usr prefix), unpacked with dpkg-deb -x into
# throw-away roots, the launcher run with an empty HOME under Xvfb, the server
# run on loopback with the packaged settings, and the desktop entry, AppStream
# metadata, service unit and packages checked by their validators.
source "$(dirname "$0")/lib.sh"

e2e_init
e2e_wait_packs
for tool in cpack dpkg-deb desktop-file-validate appstreamcli systemd-analyze lintian curl identify; do
    command -v "$tool" >/dev/null || fail "$tool is not installed"
done
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$BUILD_DIR/CMakeCache.txt")
[ "$prefix" = /usr ] || fail "the build's install prefix is '$prefix'; packages need -DCMAKE_INSTALL_PREFIX=/usr"

# ---- The packages -----------------------------------------------------------------
# gzip instead of the release's xz: the same files, made in a third of the time.
pkg=$E2E_SCRATCH/pkg
(cd "$BUILD_DIR" && cpack -G DEB -B "$pkg" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip) >"$ART/cpack.log" 2>&1 ||
    fail "cpack failed: $(tail -5 "$ART/cpack.log")"
arch=$(dpkg --print-architecture)
for name in bzykolot2 bzykolot2-scores; do
    deb=$(ls "$pkg/${name}_"*.deb)
    version=$(dpkg-deb -f "$deb" Version)
    [ "$(basename "$deb")" = "${name}_${version}_${arch}.deb" ] || fail "package file named $(basename "$deb")"
    dpkg-deb -c "$deb" | awk '{print $NF}' >"$ART/$name.contents"
done
game_deb=$pkg/bzykolot2_${version}_$arch.deb
scores_deb=$pkg/bzykolot2-scores_${version}_$arch.deb

# Files only in the installed places, nothing else from the build tree.
bad=$(grep -v '/$' "$ART/bzykolot2.contents" | grep -vE '^\./usr/(games/[^/]+|lib/games/bzykolot2/bzykolot2|share/(applications|metainfo|icons/hicolor|games/bzykolot2/data|man/man[16]|doc/bzykolot2)/.+)$')
[ -z "$bad" ] || fail "unexpected files in the game package: $bad"
bad=$(grep -v '/$' "$ART/bzykolot2-scores.contents" | grep -vE '^\./(etc/default/[^/]+|usr/(sbin/[^/]+|lib/systemd/system/[^/]+|share/(man/man8|doc/bzykolot2-scores)/[^/]+))$')
[ -z "$bad" ] || fail "unexpected files in the server package: $bad"
# Warnings too (a missing manual page is one); packages made outside Debian's
# archive close no bug, and say so.
lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs \
    "$game_deb" "$scores_deb" >"$ART/lintian.txt" 2>&1 || fail "lintian: $(grep -E '^[EW]:' "$ART/lintian.txt")"

# An unpacked package must run from any folder: one with a space in its name.
root="$E2E_SCRATCH/unpacked game"
sroot=$E2E_SCRATCH/server-root
dpkg-deb -x "$game_deb" "$root"
dpkg-deb -x "$scores_deb" "$sroot"

# ---- Desktop entry, icons, metadata ----------------------------------------------
desktop-file-validate "$root/usr/share/applications/bzykolot2.desktop" >"$ART/desktop.txt" 2>&1 ||
    fail "desktop-file-validate: $(cat "$ART/desktop.txt")"
# The metadata checked against the tree: its desktop entry must be there too.
appstreamcli validate-tree --no-net "$root" >"$ART/appstream.txt" 2>&1 ||
    fail "appstreamcli: $(cat "$ART/appstream.txt")"
[ -s "$root/usr/share/icons/hicolor/scalable/apps/bzykolot2.svg" ] || fail "no scalable icon"
for size in 16 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x$size/apps/bzykolot2.png
    [ "$(identify -format '%wx%h %[channels]' "$png" 2>/dev/null)" = "${size}x$size srgba" ] ||
        fail "icon $png is not $size px with alpha"
done

# ---- The game through its launcher, with an empty HOME -------------------------------
home=$E2E_SCRATCH/home
player=$home/.local/share/bzykolot2
mkdir -p "$home"
e2e_start_xvfb
start_launcher() {
    E2E_GAME_DIR=$player E2E_STATUS=
    rm -f "$player/log.txt"
    env -u XDG_DATA_HOME HOME="$home" SDL_AUDIODRIVER=dummy "$1" >"$E2E_SCRATCH/launcher.out" 2>"$E2E_SCRATCH/launcher.err" &
    E2E_GAME_PID=$!
}
DASHES=$(printf -- '-%.0s' {1..80})

start_launcher "$root/usr/games/bzykolot2"
e2e_wait_log "$player" "$DASHES"
[ -s "$player/upds" ] || fail "no upds in $player"
budget=$(sed -n 's/^INFO: MaxUpdates: //p' "$player/log.txt")
[ "$(readlink "$player/data")" = "$root/usr/share/games/bzykolot2/data" ] ||
    fail "data/ links to '$(readlink "$player/data")'"
sleep 1
e2e_shot menu
# The menu's three buttons and the cursor: far more than the cursor alone lights.
lit=$(convert "$ART/menu.png" -colorspace gray -threshold 0 -format '%[fx:int(mean * w * h)]' info:)
[ "$lit" -gt 4000 ] || fail "no menu on the screen ($lit lit pixels)"
e2e_combo Alt_L F4
e2e_wait_exit 30
[ "$E2E_STATUS" = 0 ] || fail "launcher exit status $E2E_STATUS after Alt+F4 ($(cat "$E2E_SCRATCH/launcher.err"))"

# A second start, from a link to the launcher of another copy of the package
# (as a new version would be): data/ follows it, the stored budget is reused.
cp "$player/upds" "$E2E_SCRATCH/upds.first"
second=$E2E_SCRATCH/second
dpkg-deb -x "$game_deb" "$second"
ln -s "$second/usr/games/bzykolot2" "$home/bzykolot2"
start_launcher "$home/bzykolot2"
e2e_wait_log "$player" "$DASHES"
[ "$(readlink "$player/data")" = "$second/usr/share/games/bzykolot2/data" ] || fail "data/ was not renewed"
grep -qx "INFO: MaxUpdates: $budget" "$player/log.txt" || fail "the stored budget $budget was not used"
cmp -s "$player/upds" "$E2E_SCRATCH/upds.first" || fail "upds was rewritten"
e2e_combo Alt_L F4
e2e_wait_exit 30
[ "$E2E_STATUS" = 0 ] || fail "second start: exit status $E2E_STATUS"

# A real data/ directory is the player's own and stays; an empty one has no
# graphics, and the game's 101 comes through the launcher.
rm "$player/data"
mkdir "$player/data"
start_launcher "$home/bzykolot2"
e2e_wait_exit 30
[ "$E2E_STATUS" = 101 ] || fail "exit status $E2E_STATUS with an empty data/"
[ -d "$player/data" ] && [ ! -L "$player/data" ] || fail "the player's own data/ was replaced"

# ---- The server, with the packaged settings but a loopback port of its own ------------
state=$E2E_SCRATCH/state
mkdir "$state"
(
    . "$sroot/etc/default/bzykolot2-scores"
    exec "$sroot/usr/sbin/bzykolot2-scores" --listen 127.0.0.1:0 --db "$state/scores.db" $OPTIONS
) >"$ART/server.log" 2>&1 &
server=$!
port=
for _ in {1..100}; do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\),.*/\1/p' "$ART/server.log")
    [ -n "$port" ] && break
    kill -0 $server 2>/dev/null || break
    sleep 0.1
done
[ -n "$port" ] || { kill $server 2>/dev/null; fail "the server did not start: $(cat "$ART/server.log")"; }
code=$(curl -s -m 5 -o "$E2E_SCRATCH/table.txt" -w '%{http_code}' "http://127.0.0.1:$port/bzykolot4.wtf")
kill $server
wait $server
status=$?
[ "$code" = 200 ] || fail "the server answered $code"
[ "$status" = 0 ] || fail "the server ended with $status after SIGTERM"
[ -s "$state/scores.db" ] || fail "no database at $state/scores.db"

# The unit as installed, but pointing at the unpacked program (verify checks
# that it exists) and its manual page.
unit=$E2E_SCRATCH/bzykolot2-scores.service
sed "s|$prefix/sbin/bzykolot2-scores|$sroot$prefix/sbin/bzykolot2-scores|" \
    "$sroot/usr/lib/systemd/system/bzykolot2-scores.service" >"$unit"
grep -q "^ExecStart=$sroot" "$unit" || fail "no ExecStart in the unit"
MANPATH=$sroot/usr/share/man systemd-analyze verify "$unit" >"$ART/unit.txt" 2>&1 ||
    fail "systemd-analyze verify: $(cat "$ART/unit.txt")"
[ ! -s "$ART/unit.txt" ] || fail "systemd-analyze verify: $(cat "$ART/unit.txt")"
# Hardening: systemd rates the exposure from 0 (none) to 10; 2 and above is not
# what a public server should run with.
systemd-analyze security --offline=yes "$unit" >"$ART/security.txt" 2>&1
exposure=$(sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p' "$ART/security.txt")
awk -v e="${exposure:-10}" 'BEGIN { exit !(e < 2) }' || fail "unit exposure ${exposure:-unknown}"

echo "package test passed"
