#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command beside its own system bus and polkitd, in a mount namespace with tmpfs over their
# folders: nothing on the machine changes. As root: with_polkit.sh POLICY RULES|- COMMAND...
set -euo pipefail
# The namespace's mounts are private, so that none reaches the machine's. In a chroot, as in
# autopkgtest's unshare testbed, / is no mount point to make private: there the mounts are checked.
propagation=private
mountpoint -q / || propagation=unchanged
exec unshare -m --propagation "$propagation" bash -s "$(realpath "$1")" "$2" "${@:3}" <<'INNER'
set -euo pipefail
for folder in /run/dbus /etc/polkit-1/rules.d /usr/share/polkit-1/actions; do
    mkdir -p "$folder" && mount -t tmpfs -o mode=0755 tmpfs "$folder"
    if [[ $(findmnt -n -o PROPAGATION "$folder") != private ]]; then
        umount "$folder"
        echo "with_polkit.sh: a mount at $folder would reach outside the namespace" >&2
        exit 1
    fi
done
install -m 0644 "$1" /usr/share/polkit-1/actions/
[[ $2 == - ]] || install -m 0644 "$2" /etc/polkit-1/rules.d/50-test.rules
dbus-daemon --system --fork
/usr/lib/polkit-1/polkitd --no-debug >/dev/null 2>&1 &
trap 'kill $! "$(cat /run/dbus/pid)" 2>/dev/null || true' EXIT
gdbus wait --system --timeout 10 org.freedesktop.PolicyKit1 || { echo "no polkitd" >&2; exit 1; }
"${@:3}"
INNER
