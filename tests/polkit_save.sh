#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# As nobody, autosaves into root's files through the real pkexec and polkitd, in a namespace with
# a folder of root's own at /mnt; stops and resumes the helper when the driver asks. Then where no
# password can be asked: polkit with no agent, on a terminal too, and no polkit to reach. The
# driver runs with no terminal but the one given it. An action that names its helper already, as
# an installed one does, is tested with that helper where it is.
# Usage: polkit_save.sh DRIVER HELPER POLICY
set -euo pipefail
[[ $(id -u) -eq 0 ]] || { echo "SKIP: needs root, to start polkitd and act as nobody"; exit 77; }
tests=$(dirname "$0")
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
install -m 0755 "$tests/reach_into.sh" "$work/reach"
mkfifo -m 0644 "$work/control"
sed "s|@ZARVELLO_HELPER@|$helper|" "$3" >"$work/action.policy"
cat >"$work/rules" <<'RULES'
polkit.addRule(function(action, subject) {
  if (action.id != "org.zarvello.Zarvello.save-hosts-file" || subject.user != "nobody")
    return polkit.Result.NOT_HANDLED;
  polkit.spawn(["/bin/sleep", "1"]);
  const command = action.lookup("command_line");
  return /refused/.test(command) ? polkit.Result.NO
      : /asks/.test(command) ? polkit.Result.AUTH_ADMIN : polkit.Result.YES;
});
RULES
# Inside the namespace: root's files in /mnt, then the driver as nobody running the test functions
# given, with no terminal; or, after --terminal, on one of on_a_terminal.sh's.
cat >"$work/inside" <<'INSIDE'
set -eu
mount -t tmpfs -o mode=0755 tmpfs /mnt && mkdir -m 0700 /mnt/private
printf '127.0.0.1 localhost\r\n' | tee /mnt/granted-1 /mnt/granted-2 /mnt/refused /mnt/asks \
    >/dev/null
nobody="setpriv --reuid=65534 --regid=65534 --clear-groups --"
[ "$1" != --terminal ] || exec "$TERMINAL" "$nobody '$WORK/driver' $2" </dev/null
exec setsid -w $nobody "$WORK/driver" "$@"
INSIDE
export ZARVELLO_HELPER=$helper ZARVELLO_CONTROL=$work/control ZARVELLO_REACH=$work/reach \
    WORK=$work TERMINAL=$tests/on_a_terminal.sh
# Private host name and network too: the helper is asked to write the host name.
polkit() { unshare -u -n "$tests/with_polkit.sh" "$@"; }
polkit "$work/action.policy" "$work/rules" sh "$work/inside" aGrantNamesOneFileForThisEditorAlone \
    aNameThePromptCannotShowIsNotWritten noAgentToAsk 2>&1 |
    while read -r line; do
        case $line in
        "polkit_save: stop") pkill -STOP -f "^$helper " && echo "done" >"$work/control" ;;
        "polkit_save: resume") pkill -CONT -f "^$helper " && echo "done" >"$work/control" ;;
        *) echo "$line" ;;
        esac
    done
# On a terminal, pkexec asks for no password there, and the driver runs to its end.
shown=$(polkit "$work/action.policy" "$work/rules" sh "$work/inside" --terminal noAgentToAsk 2>&1)
echo "$shown"
if ! grep -q '^Totals: [0-9]* passed, 0 failed' <<<"$shown" \
    || grep -q '^on the terminal:' <<<"$shown"; then
    echo "polkit_save.sh: on a terminal, the save did not end as without one" >&2
    exit 1
fi
# No polkit service: no system bus, a bus that knows none, a bus that cannot start polkitd.
for without in bus service polkitd; do
    polkit --without=$without "$work/action.policy" - sh "$work/inside" noPolkitServiceToAsk 2>&1
done
