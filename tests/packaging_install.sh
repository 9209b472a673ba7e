#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs and validates the files, asks polkit about the helper's action, builds the Debian
# package and starts the program from it under Xvfb. Usage: packaging_install.sh BUILD_FOLDER
set -euo pipefail
build=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../script/xvfb-lib.sh"
new_work
id=org.zarvello.Zarvello

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/zarvello share/applications/$id.desktop share/metainfo/$id.metainfo.xml share/icons/hicolor/{16x16,32x32}/apps/$id.png \
    share/icons/hicolor/scalable/apps/$id.svg libexec/zarvello/zarvello-save-helper share/polkit-1/actions/$id.policy share/doc/zarvello/copyright; do
    [[ -s "$work/prefix/$file" ]] || fail "not installed: $file"
done
desktop-file-validate "$work/prefix/share/applications/$id.desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net "$work/prefix/share/metainfo/$id.metainfo.xml" || fail "metainfo invalid"
echo "ok: installed files validate"
# polkitd in a namespace of its own needs root; the rest runs as anyone.
if [[ $(id -u) -eq 0 ]]; then
    "$here/with_polkit.sh" "$work/prefix/share/polkit-1/actions/$id.policy" - pkaction --action-id $id.save-hosts-file --verbose >"$work/pkaction"
    grep -qF "org.freedesktop.policykit.exec.path -> $work/prefix/libexec/zarvello/zarvello-save-helper" "$work/pkaction" ||
        fail "polkit does not name the installed helper for the action"
    echo "ok: polkit reads the action for the installed helper"
fi

(cd "$build" && cpack -G DEB -B "$work/pkg" >/dev/null) || fail "cpack failed"
deb=$(ls "$work"/pkg/zarvello_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ $depends == *libqt6widgets6* && $depends == *libc6* && $depends == *pkexec* ]] || fail "dependencies"
for package in $(tr ',' '\n' <<<"$depends" | sed 's/(.*)//; s/|.*//' | tr -d ' '); do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || fail "dependency $package not installed"
done
dpkg-deb -x "$deb" "$work/root"
[[ -x $work/root/usr/bin/zarvello && -x $work/root/usr/libexec/zarvello/zarvello-save-helper ]] || fail "package contents"
grep -qF '>/usr/libexec/zarvello/zarvello-save-helper<' "$work/root/usr/share/polkit-1/actions/$id.policy" || fail "the packaged action"
echo "ok: package $(basename "$deb") unpacks with its dependencies met"

start_x 640x480
HOME="$work/home" start_app "$work/root/usr/bin/zarvello"
[[ -n "$app_window" ]] || fail "the installed program showed no window"
wm_class=$(xprop -id "$app_window" WM_CLASS)
wanted=$(sed -n 's/^StartupWMClass=//p' "$work/root/usr/share/applications/$id.desktop")
[[ "$wm_class" == *"\"$wanted\""* ]] || fail "window class $wm_class does not match StartupWMClass=$wanted"
echo "ok: the installed program shows its window, $wm_class"
[[ $(id -u) -eq 0 ]] || { echo "SKIP: asking polkit about the action needs root"; exit 77; }
