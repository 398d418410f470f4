#!/usr/bin/env bash
# Builds the Debian package from a build tree, unpacks it into a scratch root
# and checks it as a user's machine would see it: control fields, files, the
# desktop entry and AppStream metadata, and both programs started from there.
# usage: package-test.sh BUILD_DIR VERSION APP_ID
set -euo pipefail
build_dir=$1 version=$2 app_id=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "package test: $*" >&2
  exit 1
}

arch=$(dpkg --print-architecture)
if ! cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack failed"
fi
deb=$work/out/varnet_${version}_${arch}.deb
[ -f "$deb" ] || fail "cpack made no $(basename "$deb"): $(ls "$work/out")"

# Control fields: the libraries come from dpkg-shlibdeps, the font and Qt's translations from us.
[ "$(dpkg-deb -f "$deb" Package)" = varnet ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libc6 libqt6widgets6 libqt6gui6 libsqlite3-0 libxlsxwriter fonts-wqy-microhei \
  qt6-translations-l10n; do
  [[ $depends == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done
[[ $(dpkg-deb -f "$deb" Maintainer) == *@* ]] || fail "no maintainer"
[ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 2 ] || fail "no long description"

root=$work/root
dpkg-deb -x "$deb" "$root"
usr=$root/usr
[ "$(ls "$usr/bin" | tr '\n' ' ')" = "varnet varnet-cli " ] || fail "bin holds $(ls "$usr/bin")"
desktop=$usr/share/applications/$app_id.desktop
metainfo=$usr/share/metainfo/$app_id.metainfo.xml
for f in "$desktop" "$metainfo" "$usr/share/varnet/使用说明.html" \
  "$usr/share/icons/hicolor/scalable/apps/$app_id.svg"; do
  [ -s "$f" ] || fail "missing ${f#"$root"}"
done
for size in 16 24 32 48 64 128 256; do
  png=$usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
  [ -s "$png" ] || fail "missing ${png#"$root"}"
  # Width and height from the PNG header.
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3 * 256 + $4 "x" $7 * 256 + $8}')
  [ "$dims" = "${size}x${size}" ] || fail "${png#"$root"} is $dims"
done

grep -qx "Exec=varnet" "$desktop" || fail "desktop entry does not start varnet"
grep -qx "Icon=$app_id" "$desktop" || fail "desktop entry names another icon"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"

# Both programs from the unpacked root; --version needs no display.
[ "$("$usr/bin/varnet-cli" --version)" = "varnet-cli $version" ] || fail "varnet-cli --version"
shown=$(env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/varnet" --version)
[ "$shown" = "Varnet $version" ] || fail "varnet --version printed '$shown'"

shot=$work/shot.png
env -u VARNET_HOME QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" \
  XDG_DATA_HOME="$work/share" "$usr/bin/varnet" --data-dir "$work/data" --screenshot "$shot" ||
  fail "varnet --screenshot failed"
[ -f "$work/data/formula.mdb" ] || fail "no formula.mdb in the data folder"
read -r width height < <(od -An -tu1 -j16 -N8 "$shot" | awk '{print $3 * 256 + $4, $7 * 256 + $8}')
[ "$width" -gt 400 ] && [ "$height" -gt 300 ] || fail "screenshot is ${width}x$height"
echo "package test: $(basename "$deb") passed"
