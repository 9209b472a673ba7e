#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# As nobody, autosaves into root's files through the real pkexec and polkitd, in a namespace with
# a folder of root's own at /mnt; stops and resumes the helper when the driver asks. An action that
# names its helper already, as an installed one does, is tested with that helper where it is.
# Usage: polkit_save.sh DRIVER HELPER POLICY
set -euo pipefail
[[ $(id -u) -eq 0 ]] || { echo "SKIP: needs root, to start polkitd and act as nobody"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 0755 "$work"
# The build folder may shut out nobody, who runs the driver and whom pkexec checks the helper as:
# the driver is copied, and so is a helper from the build, which the action then names.
install -m 0755 "$1" "$work/driver"
helper=$2
if grep -q @ZARVELLO_HELPER@ "$3"; then
    helper=$work/helper
    install -m 0755 "$2" "$helper"
fi
install -m 0755 "$(dirname "$0")/reach_into.sh" "$work/reach"
mkfifo -m 0644 "$work/control"
sed "s|@ZARVELLO_HELPER@|$helper|" "$3" >"$work/action.policy"
cat >"$work/rules" <<'RULES'
polkit.addRule(function(action, subject) {
  if (action.id != "org.zarvello.Zarvello.save-hosts-file" || subject.user != "nobody")
    return polkit.Result.NOT_HANDLED;
  polkit.spawn(["/bin/sleep", "1"]);
  return /refused/.test(action.lookup("command_line")) ? polkit.Result.NO : polkit.Result.YES;
});
RULES
# Private host name and network too: the helper is asked to write the host name.
unshare -u -n "$(dirname "$0")/with_polkit.sh" "$work/action.policy" "$work/rules" sh -c "
    mount -t tmpfs -o mode=0755 tmpfs /mnt && mkdir -m 0700 /mnt/private &&
    printf '127.0.0.1 localhost\r\n' | tee /mnt/granted-1 /mnt/granted-2 /mnt/refused >/dev/null &&
    exec env ZARVELLO_HELPER='$helper' ZARVELLO_CONTROL='$work/control' \
        ZARVELLO_REACH='$work/reach' setpriv --reuid=65534 --regid=65534 --clear-groups -- \
        '$work/driver'" 2>&1 |
    while read -r line; do
        case $line in
        "polkit_save: stop") pkill -STOP -f "^$helper " && echo "done" >"$work/control" ;;
        "polkit_save: resume") pkill -CONT -f "^$helper " && echo "done" >"$work/control" ;;
        *) echo "$line" ;;
        esac
    done
