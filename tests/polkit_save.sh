#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# As nobody, autosaves into a root-owned file through the real pkexec and polkitd, with rights
# given and refused. Usage: polkit_save.sh DRIVER HELPER POLICY
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 0755 "$work"
# The build folder may be closed to nobody, who runs the driver and whom pkexec checks the helper as.
install -m 0755 "$1" "$work/driver"
install -m 0755 "$2" "$work/helper"
sed "s|@ZARVELLO_HELPER@|$work/helper|" "$3" >"$work/action.policy"
for rights in YES NO; do
    printf 'polkit.addRule(function(action, subject) {\n  if (action.id == "org.zarvello.Zarvello.save-hosts-file" && subject.user == "nobody")\n    return polkit.Result.%s;\n});\n' \
        "$rights" >"$work/rules"
    printf '127.0.0.1 localhost\r\n' >"$work/hosts-$rights"
    chmod 0644 "$work/hosts-$rights"
    "$(dirname "$0")/with_polkit.sh" "$work/action.policy" "$work/rules" env ZARVELLO_RIGHTS=$rights ZARVELLO_TARGET="$work/hosts-$rights" \
        ZARVELLO_HELPER="$work/helper" setpriv --reuid=65534 --regid=65534 --clear-groups -- "$work/driver"
done
