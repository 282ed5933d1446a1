#!/usr/bin/env bash
# Makes the Debian package from this build tree into a temporary folder and checks it without
# installing it: its exact file list and dependencies, lintian, the launcher entry and the
# metainfo against their validators, the icon sizes, and the application started from the
# unpacked tree.
# Usage: tst_package.sh BUILD_DIR VERSION WITH_CLI(0|1) WITH_MAN_PAGE(0|1)
set -euo pipefail
build=$1 version=$2 with_cli=$3 with_man=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb="$work/lumaroimporter_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $(basename "$deb") in: $(ls "$work")"

id=com.veltrane.LumaroImporter
expected=(/usr/bin/LumaroImporter /usr/share/applications/$id.desktop /usr/share/metainfo/$id.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/$id.svg
  /usr/share/doc/lumaroimporter/copyright /usr/share/doc/lumaroimporter/changelog.gz)
for size in 16 22 24 32 48 64 128 256 512; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
[ "$with_cli" = 1 ] && expected+=(/usr/bin/lumaro-import)
[ "$with_man" = 1 ] && expected+=(/usr/share/man/man1/LumaroImporter.1.gz)
[ "$with_man" = 1 ] && [ "$with_cli" = 1 ] && expected+=(/usr/share/man/man1/lumaro-import.1.gz)
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
dpkg-deb -c "$deb" | awk '{print $NF}' | grep -v '/$' | sed 's|^\.||' | sort >"$work/listed"
diff -u "$work/expected" "$work/listed" || fail "the package's files differ from the expected list"

depends=$(dpkg-deb -f "$deb" Depends)
for dependency in libqt6widgets6 libqt6dbus6 libqt6sql6-sqlite; do
  [[ "$depends" == *"$dependency"* ]] || fail "Depends lacks $dependency: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
for recommended in ca-certificates qt6-translations-l10n; do
  [[ "$recommends" == *"$recommended"* ]] || fail "Recommends lacks $recommended: $recommends"
done

# Every error and warning fails; a deliberate one needs an override with its reason in the package.
command -v lintian >/dev/null || fail "lintian is not installed (scripts/install-deps installs it)"
report=$(lintian --fail-on error,warning "$deb" 2>&1) || { echo "$report"; fail "lintian"; }

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "the metainfo's release is not $version"
for png in "$root"/usr/share/icons/hicolor/*/apps/$id.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  [ "$(identify -format '%wx%h' "$png")" = "$size" ] || fail "$png is not $size"
done

# No display needed to ask for the version.
got=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/LumaroImporter" --version)
[ "$got" = "LumaroImporter $version" ] || fail "--version printed '$got'"
if [ "$with_cli" = 1 ]; then
  "$root/usr/bin/lumaro-import" --help >/dev/null || fail "lumaro-import --help"
fi
echo "package $(basename "$deb") checked: ${#expected[@]} files"
