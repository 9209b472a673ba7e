#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks a Debian package already built (script/package builds one): its files validate, its
# dependencies are met here, its binaries search no folder of their own for libraries, it carries
# the changelog's version throughout, polkit reads its action for the packaged helper, and the
# program starts from it under Xvfb. Usage: packaging_install.sh FOLDER_WITH_THE_PACKAGE
set -euo pipefail
debs=("$1"/zarvello_*_*.deb)
[[ -f ${debs[0]} ]] || { echo "SKIP: no package in $1; script/package builds one"; exit 77; }
deb=$(realpath "${debs[0]}")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../script/xvfb-lib.sh"
new_work
id=org.zarvello.Zarvello
root=$work/root
echo "package: $deb"

dpkg-deb -x "$deb" "$root"
share=$root/usr/share
for file in bin/zarvello libexec/zarvello/zarvello-save-helper share/applications/$id.desktop \
    share/metainfo/$id.metainfo.xml share/icons/hicolor/{16x16,32x32}/apps/$id.png \
    share/icons/hicolor/scalable/apps/$id.svg share/polkit-1/actions/$id.policy \
    share/doc/zarvello/copyright share/man/man1/zarvello.1.gz share/man/ru/man1/zarvello.1.gz; do
    [[ -s "$root/usr/$file" ]] || fail "not in the package: $file"
done
desktop-file-validate "$share/applications/$id.desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" || fail "metainfo invalid"
grep -qF '>/usr/libexec/zarvello/zarvello-save-helper<' "$share/polkit-1/actions/$id.policy" ||
    fail "the action does not name the packaged helper"
[[ $(dpkg-deb -c "$deb" | awk '$6 == "./usr/bin/zarvello" {print $1}') == -rwx--x--x ]] ||
    fail "the program is not mode 0711, which keeps it non-dumpable from exec on"
echo "ok: the packaged files validate"

# The helper runs as root: a library path of its own could load code from where it was built.
for binary in bin/zarvello libexec/zarvello/zarvello-save-helper; do
    dynamic=$(readelf -d "$root/usr/$binary")
    [[ $dynamic != *"(RUNPATH)"* && $dynamic != *"(RPATH)"* ]] || fail "$binary has a RUNPATH"
done
echo "ok: no RUNPATH or RPATH in the program or the helper"

version=$(dpkg-deb -f "$deb" Version)
grep -q "<release version=\"$version\" date=\"[0-9-]*\"/>" "$share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo's release is not $version"
for page in man/man1 man/ru/man1; do
    zgrep -q "^\.TH ZARVELLO 1 \"[0-9-]*\" \"zarvello $version\"" "$share/$page/zarvello.1.gz" ||
        fail "the manual page in $page is not of $version"
done
echo "ok: its metadata and its manual pages say $version"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ $depends == *libqt6widgets6* && $depends == *libc6* && $depends == *pkexec* ]] ||
    fail "dependencies"
for package in $(tr ',' '\n' <<<"$depends" | sed 's/(.*)//; s/|.*//' | tr -d ' '); do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        fail "dependency $package not installed"
done
echo "ok: the package's dependencies are met"

# polkitd in a namespace of its own needs root; the rest runs as anyone.
if [[ $(id -u) -eq 0 ]]; then
    "$here/with_polkit.sh" "$share/polkit-1/actions/$id.policy" - \
        pkaction --action-id "$id.save-hosts-file" --verbose >"$work/pkaction"
    grep -qF "org.freedesktop.policykit.exec.path -> /usr/libexec/zarvello/zarvello-save-helper" \
        "$work/pkaction" || fail "polkit does not name the packaged helper for the action"
    echo "ok: polkit reads the action for the packaged helper"
fi

start_x 640x480
HOME="$work/home" start_app "$root/usr/bin/zarvello"
[[ -n "$app_window" ]] || fail "the packaged program showed no window"
wm_class=$(xprop -id "$app_window" WM_CLASS)
wanted=$(sed -n 's/^StartupWMClass=//p' "$share/applications/$id.desktop")
[[ "$wm_class" == *"\"$wanted\""* ]] || fail "window class $wm_class, not StartupWMClass=$wanted"
echo "ok: the packaged program shows its window, $wm_class"
[[ $(id -u) -eq 0 ]] || { echo "SKIP: asking polkit about the action needs root"; exit 77; }
