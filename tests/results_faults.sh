#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the export fault tests against a full and a read-only file system:
# two small tmpfs mounts in a private mount namespace (unshare -rm) that
# nothing outside this script sees. Where no such namespace can be made, the
# tests are told why and skip.
# Usage: results_faults.sh TEST-BINARY [TEST-FUNCTION...]
skip() {
    reason=$1
    shift
    LEXIGROVE_FAULTS_SKIP=$reason exec "$@"
}
command -v unshare >/dev/null 2>&1 || skip "unshare is not installed" "$@"
unshare -rm true 2>/dev/null || skip "unshare -rm cannot make a private mount namespace here" "$@"

exec unshare -rm sh -c '
    root=$(mktemp -d) || exit 1
    if mkdir "$root/full" "$root/readonly" &&
        mount -t tmpfs -o size=64k tmpfs "$root/full" &&
        mount -t tmpfs -o size=64k tmpfs "$root/readonly" &&
        printf "old bytes\r\n" >"$root/readonly/r.txt" &&
        mount -o remount,ro "$root/readonly"; then
        LEXIGROVE_FULL_DIR=$root/full LEXIGROVE_READONLY_DIR=$root/readonly "$@"
    else
        LEXIGROVE_FAULTS_SKIP="cannot mount a tmpfs in the private namespace" "$@"
    fi
    status=$?
    umount "$root/full" "$root/readonly" 2>/dev/null
    rm -rf "$root"
    exit $status
' sh "$@"
