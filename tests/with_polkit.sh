#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command beside its own system bus and polkitd, in a mount namespace with tmpfs over their
# folders: nothing on the machine changes. As root: with_polkit.sh [--without=WHAT] POLICY RULES|-
# COMMAND... Where polkit cannot be reached, WHAT is: "bus" (no system bus at all), "service" (a
# bus that knows no polkit service) or "polkitd" (a bus whose polkit service fails to start).
set -euo pipefail
without=
if [[ $1 == --without=* ]]; then
    without=${1#--without=} && shift
    [[ $without =~ ^(bus|service|polkitd)$ ]] || { echo "with_polkit.sh: no $without" >&2; exit 2; }
fi
# The namespace's mounts are private, so that none reaches the machine's. In a chroot, as in
# autopkgtest's unshare testbed, / is no mount point to make private: there the mounts are checked.
propagation=private
mountpoint -q / || propagation=unchanged
exec unshare -m --propagation "$propagation" bash -s "$without" "$(realpath "$1")" "$2" "${@:3}" \
    <<'INNER'
set -euo pipefail
without=$1 && shift
# The bus starts only the services of the namespace: none, or one that fails.
for folder in /run/dbus /etc/polkit-1/rules.d /usr/share/polkit-1/actions \
    /usr/share/dbus-1/system-services; do
    mkdir -p "$folder" && mount -t tmpfs -o mode=0755 tmpfs "$folder"
    if [[ $(findmnt -n -o PROPAGATION "$folder") != private ]]; then
        umount "$folder"
        echo "with_polkit.sh: a mount at $folder would reach outside the namespace" >&2
        exit 1
    fi
done
install -m 0644 "$1" /usr/share/polkit-1/actions/
[[ $2 == - ]] || install -m 0644 "$2" /etc/polkit-1/rules.d/50-test.rules
if [[ $without == polkitd ]]; then
    printf '[D-BUS Service]\nName=org.freedesktop.PolicyKit1\nExec=/bin/false\nUser=root\n' \
        >/usr/share/dbus-1/system-services/org.freedesktop.PolicyKit1.service
fi
[[ $without == bus ]] || dbus-daemon --system --fork
trap 'kill "$(cat /run/dbus/pid 2>/dev/null)" 2>/dev/null || true' EXIT
if [[ -z $without ]]; then
    /usr/lib/polkit-1/polkitd --no-debug >/dev/null 2>&1 &
    trap 'kill $! "$(cat /run/dbus/pid)" 2>/dev/null || true' EXIT
    gdbus wait --system --timeout 10 org.freedesktop.PolicyKit1 \
        || { echo "no polkitd" >&2; exit 1; }
fi
"${@:3}"
INNER
