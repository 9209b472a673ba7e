#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The shell of test_writing's rows, read as root before each set-up and command: F is the file, T
# the path asked for. "sh writing.sh FUNCTION ARGUMENT..." runs a function in a process of its own.
# shellcheck shell=dash # sh is dash, whose ulimit takes -S and -t
D=${F%/*}
export HELPER="$D/../helper" ZARVELLO_PAUSED="$D/paused" TERMINAL="${WRITING%/*}/on_a_terminal.sh"
# The shim for a fault, from the rows' parent: LD_PRELOAD splits at spaces, which rows' names have.
[ -z "$ZARVELLO_FAULT" ] || export LD_PRELOAD="${D%/*}/faults.so"

# What a save must keep of the file, as the system's tools print it, and the folder's names but
# NAME, which the save removes: keeps [NAME].
keeps() {
    stat -c '%F %u:%g %a %h' "$F"; getfacl -cpE "$F"; getfattr -hd -m - "$F"
    find "$D" -mindepth 1 -maxdepth 1 ! -name "${1:-/}" -printf '%f\n' | sort
}
save() { "$HELPER" "$T"; }
for_person() { PKEXEC_UID=1000 "$HELPER" "$T"; }
nobody() { setpriv --reuid 65534 --regid 65534 --clear-groups "$@"; }
alone() { option=$1 && shift && exec unshare "$option" sh "$WRITING" "$@"; }
# The helper started behind, reading the request, until the shim pauses it; then let go.
paused() { for _ in $(seq 500); do [ -e "$ZARVELLO_PAUSED" ] && return; sleep 0.01; done; }
started() { exec 3<&0; "$HELPER" "$T" <&3 & paused; }
resumed() { rm "$ZARVELLO_PAUSED"; wait; }

# Set-ups. A group member may write the file but not own it; others may write a shared folder.
linked() { ln "$F" "$D/other"; }
symlinked() { mv "$F" "$D/real"; ln -s real "$F"; }
attributes() { setfacl -m g:1000:rw "$F"; setfattr -n user.note -v keep "$F"; }
xattr() { setfattr -n user.kept -v 1 "$F"; }
inherits() { setfacl -d -m u:1000:rwx "$D"; }
member() { chown 1000:1000 "$F"; chmod 0660 "$F"; chmod 0777 "$D"; }
as_member() { setpriv --reuid 1001 --regid 1001 --groups 1000 "$HELPER" "$T"; }
shared() { mkdir -m 1777 "$D/shared" && mkdir -m 0700 "$D/private"; }
# An earlier save's copy, and names like it: too new, another's, linked, too long, no plain file.
litter() {
    cd "$D" && touch -d -2min .zarvello-Stale123 .zarvello-Owned100 .zarvello-TwoNames \
        .zarvello-toolong1234 && touch .zarvello-Fresh123 && chown 1000 .zarvello-Owned100 \
        && ln .zarvello-TwoNames other && ln -s hosts .zarvello-Linked12 \
        && mkdir .zarvello-Folder12 && touch -h -d -2min .zarvello-Linked12 .zarvello-Folder12
}

# Commands: the copies a save left, counted and removed without the shim; another program's change
# while the save is paused; soft limits lowered, then the paused helper's; a hard limit lowered
# where root may not raise it.
copies() { find "$D" -maxdepth 1 -name '*zarvello*' | wc -l; LD_PRELOAD='' rm "$D"/.zarvello-*; }
changed() { started; printf late >>"$F"; resumed; cat "$F"; ls -A "$D"; }
lowered() {
    for l in t v d f s; do ulimit -S -"$l" 100000000000; done; ulimit -S -n 64; started
    awk '/^Max (cpu|file size|data|stack|open|address)/ {print $(NF-2), $(NF-1)}' "/proc/$!/limits"
    resumed
}
# The caller's scheduling: the lowest nice value, a real-time class with a CPU limit, idle I/O,
# first to be killed when memory runs out; then the paused helper's, and whether it ignores SIGXCPU.
scheduled() {
    renice -n 19 -p $$ >/dev/null && chrt -f -p 1 $$ && ionice -c 3 -p $$ \
        && echo 1000 >/proc/self/oom_score_adj && prlimit --pid $$ --rttime=500000 && started
    cut -d ' ' -f 19,41 "/proc/$!/stat"; ionice -p $!; cat "/proc/$!/oom_score_adj"
    echo $((0x$(awk '/^SigIgn/ {print $2}' "/proc/$!/status") >> 23 & 1))
    resumed
}
# For a person, in a cgroup v2 group of theirs: whether the paused helper is still in it, then the
# group killed, and the save goes on or not.
delegated() {
    hierarchy=$(findmnt -n -t cgroup2 -o TARGET | head -n 1) && group=$hierarchy/zarvello-$$
    if [ -z "$hierarchy" ] || ! mkdir "$group" 2>/dev/null; then
        echo "skip: no cgroup v2 hierarchy here to make a group in"; return
    fi
    chown 1000 "$group"
    exec 3<&0; PKEXEC_UID=1000 sh -c 'echo $$ >"$0/cgroup.procs" && exec "$HELPER" "$T"' "$group" \
        <&3 & paused
    grep -c "/zarvello-$$\$" "/proc/$!/cgroup"; echo 1 >"$group/cgroup.kill"
    resumed; rmdir "$group"
}
capped() { setpriv --bounding-set=-sys_resource sh "$WRITING" cpu_limited; }
cpu_limited() { ulimit -t 100; exec "$HELPER" "$T"; }
# In a mount namespace: a save on a tmpfs of OPTIONS as the folder, with the old file, after SETUP
# (alone -m disk OPTIONS [SETUP]), then whether the file is still the old one, and the folder.
disk() {
    mount --make-rprivate / && mount -t tmpfs -o "$1" tmpfs "$D" \
        && printf '127.0.0.1 localhost\r\n' >"$F" && "${2:-true}" && save
    cmp -s "$F" "$D/../old" && echo old; ls -A "$D"
}
bound() { mkdir "$D/disk" && cp "$F" "$D/disk/real" && mount --bind "$D/disk/real" "$F"; }
# A save for a person, in a folder of root's own on a tmpfs, after the shell SETUP, by COMMAND
# (alone -m person SETUP [COMMAND]); then what the path asked for holds.
person() {
    mount --make-rprivate / && mount -t tmpfs -o mode=0755 tmpfs /mnt && printf old >/mnt/hosts \
        && eval "$1" && ${2:-for_person}; cat "$T"
}
# Once the helper for a person greets, and before its request, a mount laid over its file's folder.
covered() {
    # shellcheck disable=SC2094 # the request waits for the greeting in the file it goes to
    { for _ in $(seq 500); do [ -s "$D/said" ] && break; sleep 0.01; done
        mount -t tmpfs -o mode=0755 tmpfs "${T%/*}" && cat; } | for_person >"$D/said"
    cat "$D/said"
}
host_name() { hostname before && for_person; hostname; }

"$@"
