#!/usr/bin/env bash
# The Debian package of the build in BUILD_DIR: its files and control fields, and the installed
# program's first start: it runs from a folder its user may not write, so its configuration goes to
# the per-user folder, seeded from the installed sample without overwriting what is there.
set -euo pipefail
build=$1
work=$(mktemp -d /tmp/quillon-package-test.XXXXXX)
chmod 755 "$work"
program_pid=
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack"; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb=$work/out/quillon_${version}_amd64.deb
[ -f "$deb" ] || fail "no $deb: $(ls "$work/out")"

files=$(dpkg-deb -c "$deb" | awk '{ print $6 $7 $8 }')
for f in ./opt/quillon/quillon ./opt/quillon/Config/Sensors.ini ./opt/quillon/Config/Menus.ini \
         ./opt/quillon/Config/Options.ini ./opt/quillon/Help/history.png \
         ./opt/quillon/Scripts/postgresql/activity.sql ./opt/quillon/Help/QUILLON32.html \
         './usr/bin/quillon->/opt/quillon/quillon' ./usr/share/applications/quillon.desktop \
         ./usr/share/icons/hicolor/scalable/apps/quillon.svg ./usr/share/icons/hicolor/48x48/apps/quillon.png \
         ./usr/share/icons/hicolor/128x128/apps/quillon.png; do
  grep -qxF "$f" <<< "$files" || fail "the package lacks $f"
done
# The developer's own settings in build/bin never go into the package.
if grep -E 'Config/(quillon\.ini|Servers\.lst|Connections\.ini)' <<< "$files"; then fail "the package holds settings"; fi

[ "$(dpkg-deb -f "$deb" Package)" = quillon ] || fail "Package"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "Architecture"
[ "$(dpkg-deb -f "$deb" Recommends)" = "odbc-postgresql, tdsodbc, libreoffice-calc, qt6-translations-l10n" ] || fail "Recommends"
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libodbc2 qt6-qpa-plugins libqt6svg6; do
  [[ "$depends" == *"$p"* ]] || fail "Depends lacks $p: $depends"
done
[[ "$depends" != *libreoffice* ]] || fail "Depends names the office: $depends"

root=$work/root
dpkg -x "$deb" "$root"
desktop=$root/usr/share/applications/quillon.desktop
grep -qx 'Categories=Development;Database;' "$desktop" || fail "desktop categories"
grep -q '^Name\[ru\]=' "$desktop" || fail "no Russian name"

# The program runs as a user who may not write its folder: an unprivileged account under root.
home=$work/home
mkdir -p "$home/.local/share/quillon/Config"
printf 'Mine;MINE;Scripts/mine.sql\r\n' > "$home/.local/share/quillon/Config/Sensors.ini"
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody: "$home"
  as_user=(runuser -u nobody --)
else
  chmod -R a-w "$root/opt/quillon"
  as_user=()
fi
"${as_user[@]}" env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen \
  "$root/opt/quillon/quillon" >"$work/program.log" 2>&1 &
program_pid=$!
user=$home/.local/share/quillon
for _ in $(seq 1 300); do
  [ -f "$user/Config/quillon.ini" ] && break
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
[ -f "$user/Config/quillon.ini" ] || { cat "$work/program.log" >&2; fail "no main settings file in the per-user folder"; }
grep -q "^ServerList=$user/Config/Servers.lst" "$user/Config/quillon.ini" || fail "settings do not point into $user"
cmp -s "$root/opt/quillon/Config/Menus.ini" "$user/Config/Menus.ini" || fail "Menus.ini not seeded"
cmp -s "$root/opt/quillon/Scripts/postgresql/activity.sql" "$user/Scripts/postgresql/activity.sql" || fail "Scripts not seeded"
[ "$(cat "$user/Config/Sensors.ini")" = $'Mine;MINE;Scripts/mine.sql\r' ] || fail "an existing file was overwritten"
[ ! -e "$root/opt/quillon/Config/quillon.ini" ] || fail "the program wrote into its installed folder"
echo "debian package: ok"
