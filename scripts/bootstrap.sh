#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that building, testing, packaging and running
# Lexigrove need, and only those that are missing. Root runs apt-get itself;
# anyone else goes through sudo.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  clang-14 libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsqlite3-dev sqlite3
  libxlsxwriter-dev python3-openpyxl
  mythes-en-us libhunspell-dev hunspell-en-us wamerican-large
  # MyThes itself, for the test that holds the databases against MyThes and Hunspell.
  libmythes-dev
  mythes-de mythes-es mythes-fr mythes-is mythes-it mythes-ru
  xvfb xauth libx11-dev fonts-liberation xdotool xsel
  dpkg-dev desktop-file-utils
  # The package's icons are rendered from the SVG; the package test lints the package,
  # validates its metainfo and loads its completion in each shell; the manual pages are
  # checked with man and groff.
  librsvg2-bin lintian appstream bash-completion zsh fish man-db groff-base
  python3 time
  # Every thesaurus Debian ships, each imported by test_importrun, and the dictionaries
  # whose forms the tests and the per-language import benchmark use.
  mythes-ar mythes-bg mythes-ca mythes-cs mythes-da mythes-de mythes-de-ch mythes-en-au
  mythes-es mythes-fr mythes-gl mythes-gug mythes-hu mythes-id mythes-is mythes-it mythes-lv
  mythes-ne mythes-no mythes-pl mythes-pt-br mythes-pt-pt mythes-ro mythes-ru mythes-sk
  mythes-sl mythes-sv mythes-uk
  hunspell-de-de hunspell-es hunspell-fr hunspell-it hunspell-pl hunspell-pt-br hunspell-pt-pt
  hunspell-ru hunspell-cs
)

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
