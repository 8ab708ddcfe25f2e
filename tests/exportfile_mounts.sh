#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the file publication tests that need mounts, in a private mount
# namespace that nothing outside this script sees: a read-only tmpfs holding
# a file, a file bind-mounted over another one's name, and (as root, where
# loop devices exist) a small ext2 file system, which sets no room aside
# (fallocate says EOPNOTSUPP), with every inode taken. Where a mount cannot
# be made, the tests that need it are told why and skip.
# Usage: exportfile_mounts.sh TEST-BINARY [TEST-FUNCTION...]
skip() {
    reason=$1
    shift
    LEXIGROVE_MOUNTS_SKIP=$reason exec "$@"
}
command -v unshare >/dev/null 2>&1 || skip "unshare is not installed" "$@"
# As root, a mount namespace of its own may use loop devices; anyone else maps to root in a user namespace.
if [ "$(id -u)" -eq 0 ]; then namespace="unshare -m"; else namespace="unshare -rm"; fi
$namespace true 2>/dev/null || skip "$namespace cannot make a private mount namespace here" "$@"

exec $namespace sh -c '
    root=$(mktemp -d) || exit 1
    cd "$root" || exit 1
    mkdir readonly bound source temporary
    export XDG_STATE_HOME=$root/state
    if mount -t tmpfs -o size=64k tmpfs readonly &&
        printf "old\r\n" >readonly/r.txt && mount -o remount,ro readonly &&
        printf "old\r\n" >source/real.txt && : >bound/b.txt &&
        mount --bind source/real.txt bound/b.txt; then
        export LEXIGROVE_READONLY_DIR=$root/readonly LEXIGROVE_BOUND_FILE=$root/bound/b.txt
    else
        export LEXIGROVE_MOUNTS_SKIP="cannot mount a tmpfs or bind a file in the private namespace"
    fi
    # Some 64 KiB free once the filler is in, and no inode left.
    if [ "$(id -u)" -eq 0 ] && mkdir ext2 && truncate -s 1M ext2.img &&
        mkfs.ext2 -q -m 0 -N 16 -b 1024 ext2.img 2>/dev/null &&
        mount -o loop ext2.img ext2 2>/dev/null; then
        printf "old\r\n" >ext2/a && ln ext2/a ext2/b &&
            head -c $((($(df -k --output=avail ext2 | tail -1) - 64) * 1024)) /dev/zero >ext2/filler
        i=0
        while touch ext2/f$i 2>/dev/null; do i=$((i + 1)); done
        export LEXIGROVE_EXT2_DIR=$root/ext2 TMPDIR=$root/temporary
    fi
    "$@"
    status=$?
    cd /
    umount "$root/readonly" "$root/bound/b.txt" "$root/ext2" 2>/dev/null
    rm -rf "$root"
    exit $status
' sh "$@"
