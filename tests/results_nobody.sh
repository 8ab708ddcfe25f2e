#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the export test that saves as another user: as root it prepares a
# folder the user nobody may not write to, holding a file nobody may write,
# and a sticky folder holding root's file, then runs the test binary (a copy
# that nobody can reach) as nobody. Anyone but root skips.
# Usage: results_nobody.sh TEST-BINARY
binary=$1
if [ "$(id -u)" -ne 0 ] || ! command -v setpriv >/dev/null 2>&1; then
  LEXIGROVE_NOBODY_SKIP=1 exec "$binary" savedAsAnotherUser
fi
root=$(mktemp -d) || exit 1
trap 'rm -rf "$root"' EXIT
chmod 755 "$root"
mkdir -m 755 "$root/locked" && mkdir -m 1777 "$root/sticky" || exit 1
for folder in locked sticky; do
  printf 'old\r\n' >"$root/$folder/r.txt" && chmod 666 "$root/$folder/r.txt" || exit 1
done
cp "$binary" "$root/test" && chmod 755 "$root/test" || exit 1
# Where nobody keeps the old content of a file it writes in place.
mkdir -m 700 "$root/state" && chown nobody "$root/state" || exit 1
cd "$root" || exit 1
setpriv --reuid=nobody --regid=nogroup --clear-groups \
  env HOME="$root" XDG_STATE_HOME="$root/state" LEXIGROVE_NOBODY_DIR="$root" \
  "$root/test" savedAsAnotherUser
