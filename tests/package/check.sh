#!/usr/bin/env bash
# The Debian package as a user gets it: built by scripts/package.sh, unpacked into a temporary
# root, its files and metadata checked (desktop-file-validate, appstreamcli, lintian), and the
# unpacked program started headless with a fresh home, where it must lay and open its database.
#   check.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$(realpath "$1")
work=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work/out"
mkdir -p "$work/out"
bash "$src/scripts/package.sh" "$work/out"
debs=("$work"/out/tellvane_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single tellvane_<version>_amd64.deb in $work/out"
deb=${debs[0]}
[ "$(ls "$work/out" | wc -l)" -eq 1 ] || fail "more than the package was written: $(ls "$work/out")"
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "tellvane_${version}_amd64.deb" ] || fail "named $(basename "$deb")"

# A folder every user can reach: the program runs as an ordinary user below.
tmp=$(mktemp -d /tmp/tellvane-package.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
root=$tmp/root
dpkg-deb -x "$deb" "$root"

echo "== files"
for f in usr/bin/tellvane usr/bin/tellvane-initdb usr/bin/tellvane-migrate; do
    [ -x "$root/$f" ] || fail "$f missing or not executable"
done
for f in usr/share/applications/org.tellvane.Tellvane.desktop \
         usr/share/metainfo/org.tellvane.Tellvane.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/tellvane.svg \
         usr/share/man/man1/tellvane.1.gz usr/share/man/man1/tellvane-initdb.1.gz \
         usr/share/man/man1/tellvane-migrate.1.gz \
         usr/share/doc/tellvane/copyright usr/share/doc/tellvane/changelog.gz; do
    [ -f "$root/$f" ] || fail "$f missing"
done
for size in 16 22 24 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/tellvane.png
    [ -f "$png" ] || fail "icon ${size}x${size} missing"
    # width and height of the PNG header, big-endian at bytes 16 and 20
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
    [ "$dims" = "${size}x${size}" ] || fail "icon ${size}x${size} is $dims"
done
# only the program and its tools: no tests, benchmarks or databases
extra=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -E '/tst_|bench|\.dat$|\.a$|/usr/lib/debug' || true)
[ -z "$extra" ] || fail "the package holds $extra"
[ "$(ls "$root/usr/bin" | wc -l)" -eq 3 ] || fail "usr/bin holds $(ls "$root/usr/bin")"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6sql6 libsqlite3-0 libsodium23 libpq5 libfreexl1 libxlsxwriter libminizip1 \
           libqt6sql6-sqlite libqt6sql6-psql; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

echo "== desktop-file-validate"
desktop-file-validate "$root"/usr/share/applications/*.desktop
echo "== appstreamcli validate"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
echo "== lintian"
lintian --fail-on error "$deb"

echo "== first start"
# As a user would have it: the program's folder is not theirs to write (root may write anywhere,
# so root runs it as nobody), the home is new.
home=$tmp/home
mkdir -p "$home" "$tmp/run"
chmod 700 "$tmp/run"
chmod -R a-w "$root/usr/bin"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody:nogroup "$home" "$tmp/run"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
start() {
    # the menu entry's command, found on the PATH as the desktop finds it
    local exec_line
    exec_line=$(sed -n 's/^Exec=//p' "$root"/usr/share/applications/org.tellvane.Tellvane.desktop)
    env -i PATH="$root/usr/bin:/usr/bin:/bin" HOME="$home" XDG_RUNTIME_DIR="$tmp/run" \
        XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 \
        "${as_user[@]}" $exec_line "$@"
}
out=$(start --check) || fail "the program did not open its database: $out"
echo "$out"
data=$home/.local/share/tellvane
[ -f "$data/dhyx.dat" ] || fail "no database in $data"
grep -q "$data/dhyx.dat" <<<"$out" || fail "it does not say where the database is"
[ -f "$data/tellvane.log" ] || fail "no log in $data"
grep -q "建立新的数据库" "$data/tellvane.log" || fail "the log does not say that the database was laid"
[ "$(ls "$root/usr/bin" | wc -l)" -eq 3 ] || fail "it wrote beside itself: $(ls "$root/usr/bin")"
# the next start opens the same database and lays nothing
before=$(stat -c %i "$data/dhyx.dat")
start --check >/dev/null || fail "the second start did not open the database"
[ "$(stat -c %i "$data/dhyx.dat")" = "$before" ] || fail "the second start laid the database again"
[ "$(grep -c "建立新的数据库" "$data/tellvane.log")" -eq 1 ] || fail "the second start said it laid one"
echo "package checked: $(basename "$deb")"
