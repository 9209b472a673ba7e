#!/usr/bin/env bash
# Saves as the user nobody into a root-owned file through the real pkexec and polkitd, once with
# a rule that gives the administrator rights and once with one that refuses them.
# Usage: polkit_save.sh DRIVER HELPER POLICY
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 0755 "$work"
# nobody runs the driver; the build folder may be closed to it.
install -m 0755 "$1" "$work/driver"
sed "s|@ZARVELLO_HELPER@|$(realpath "$2")|" "$3" >"$work/action.policy"
for result in YES NO; do
    cat >"$work/$result.rules" <<RULES
polkit.addRule(function(action, subject) {
    if (action.id == "org.zarvello.Zarvello.save-hosts-file" && subject.user == "nobody")
        return polkit.Result.$result;
});
RULES
    mkdir -m 0755 "$work/etc-$result"
    printf '127.0.0.1 localhost\r\n' >"$work/etc-$result/hosts"
    chmod 0644 "$work/etc-$result/hosts"
    rights=$([[ $result == YES ]] && echo given || echo refused)
    "$here/with_polkit.sh" "$work/action.policy" "$work/$result.rules" \
        env ZARVELLO_TARGET="$work/etc-$result/hosts" ZARVELLO_RIGHTS="$rights" ZARVELLO_HELPER="$(realpath "$2")" \
        setpriv --reuid=65534 --regid=65534 --clear-groups -- "$work/driver"
done
