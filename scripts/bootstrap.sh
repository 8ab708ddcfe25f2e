#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages of one set, and only those that are missing. Root runs
# apt-get itself; anyone else goes through sudo.
#   scripts/bootstrap.sh run    what building Lexigrove (words.mdb included) and running it need
#   scripts/bootstrap.sh test   that and everything the tests, the package and the fuzzers need
set -euo pipefail

run_packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsqlite3-dev libxlsxwriter-dev libhunspell-dev
  # The icons, rendered from the SVG, and the manual pages, compressed, are built too.
  librsvg2-bin gzip
  # words.mdb is built from the English thesaurus, its forms from the dictionary, its
  # irregular forms from WordNet's exception lists.
  mythes-en-us hunspell-en-us wordnet-base
  # Arial is drawn with its metric twin.
  fonts-liberation
)

test_packages=(
  "${run_packages[@]}"
  clang-14 libclang-rt-14-dev
  sqlite3 python3 python3-openpyxl time
  # MyThes itself, for the test that holds the databases against MyThes and Hunspell.
  libmythes-dev
  xvfb xauth libx11-dev xdotool xsel
  # The window read over AT-SPI, as a screen reader reads it, on a session bus of its own.
  at-spi2-core python3-pyatspi dbus
  dpkg-dev desktop-file-utils
  # The package test lints the package, validates its metainfo and loads its completion in
  # each shell; the manual pages are checked with man and groff.
  lintian appstream bash-completion zsh fish man-db groff-base
  # Every thesaurus Debian ships, each imported by test_importrun, and the dictionaries
  # whose forms the tests and the per-language import benchmark use.
  mythes-ar mythes-bg mythes-ca mythes-cs mythes-da mythes-de mythes-de-ch mythes-en-au
  mythes-es mythes-fr mythes-gl mythes-gug mythes-hu mythes-id mythes-is mythes-it mythes-lv
  mythes-ne mythes-no mythes-pl mythes-pt-br mythes-pt-pt mythes-ro mythes-ru mythes-sk
  mythes-sl mythes-sv mythes-uk
  hunspell-de-de hunspell-es hunspell-fr hunspell-it hunspell-pl hunspell-pt-br hunspell-pt-pt
  hunspell-ru hunspell-cs
  # Real prose in eight languages and WordNet's morphology, for the corpus comparison.
  fortunes fortunes-de fortunes-es fortunes-it fortunes-ru fortunes-pl fortunes-cs fortunes-br
  wordnet-base
)

case ${1-} in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${test_packages[@]}") ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
