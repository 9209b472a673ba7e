#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command beside a real D-Bus system bus and polkitd of its own, in a private mount
# namespace: tmpfs over /run/dbus and over polkit's actions and rules folders, so nothing on the
# machine changes. Needs root.
# Usage: with_polkit.sh ACTION_FILE RULES_FILE|- COMMAND...
set -euo pipefail
[[ $(id -u) -eq 0 ]] || { echo "with_polkit.sh: needs root" >&2; exit 1; }
action=$(realpath "$1")
rules=$2
[[ $rules == - ]] || rules=$(realpath "$rules")
shift 2
exec unshare -m bash -s "$action" "$rules" "$@" <<'INNER'
set -euo pipefail
action=$1 rules=$2
shift 2
mount --make-rprivate /
for folder in /run/dbus /etc/polkit-1/rules.d /usr/share/polkit-1/actions; do
    mkdir -p "$folder"
    mount -t tmpfs -o mode=0755 tmpfs "$folder"
done
cp "$action" /usr/share/polkit-1/actions/
[[ $rules == - ]] || cp "$rules" /etc/polkit-1/rules.d/50-test.rules
chmod 0644 /usr/share/polkit-1/actions/* /etc/polkit-1/rules.d/* 2>/dev/null || true
dbus-daemon --system --fork
/usr/lib/polkit-1/polkitd --no-debug >/dev/null 2>&1 &
polkitd=$!
trap 'kill "$polkitd" "$(cat /run/dbus/pid)" 2>/dev/null || true' EXIT
owned() {
    dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.PolicyKit1 2>/dev/null | grep -q 'boolean true'
}
for _ in $(seq 100); do owned && break; sleep 0.05; done
owned || { echo "with_polkit.sh: polkitd did not come up" >&2; exit 1; }
"$@"
INNER
