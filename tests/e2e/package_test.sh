#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a build folder, installs it, and checks it as
# a user gets it and as Debian's tools judge it (lintian, appstreamcli,
# desktop-file-validate): exactly the expected files, a valid menu entry,
# metainfo, icons, changelog, manual pages and shell completion, and the
# `lexigrove` command on the PATH finding its database through the link and
# ending cleanly, for root and for an ordinary user. Removing the package must
# leave none of its files behind.
# Arguments: the build folder (default build).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build}")
start_test=$PWD/tests/e2e/start_test.sh
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

fail() { echo "FAIL: $*"; exit 1; }

rm -f "$build"/lexigrove_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/lexigrove_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single lexigrove_*.deb"
deb=${debs[0]}
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
for field in Package Architecture Section Maintainer Depends; do
  [ -n "$(dpkg-deb --field "$deb" "$field")" ] || fail "the package has no $field"
done
[ "$(dpkg-deb --field "$deb" Architecture)" = "$(dpkg --print-architecture)" ] ||
  fail "the package is not for $(dpkg --print-architecture)"
dpkg-deb --field "$deb" Depends | grep -q libqt6widgets6 || fail "Qt is not among the dependencies"
dpkg-deb --field "$deb" Depends | grep -qw qt6-qpa-plugins || fail "the platform plugins are not among the dependencies"
dpkg-deb --field "$deb" Suggests | grep -q mythes-thesaurus || fail "the package does not suggest thesauri"
dpkg-deb --field "$deb" Package Version Architecture Depends Suggests

# --reinstall: a second run with an unchanged version still puts the new files in place.
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --reinstall "$deb" >/dev/null
installed=$(dpkg -L lexigrove | while read -r f; do
  if [ -L "$f" ] || [ ! -d "$f" ]; then echo "$f"; fi
done | sort)
icon_sizes="16 22 24 32 48 64 128 256"
expected=$(sort <<EOF
/usr/bin/lexigrove
/usr/bin/lexigrove-import
/usr/lib/lexigrove/HAND-M.CUR
/usr/lib/lexigrove/help.html
/usr/lib/lexigrove/lexigrove
/usr/lib/lexigrove/lexigrove-import
/usr/lib/lexigrove/skins/classic/o.cjs
/usr/lib/lexigrove/words.mdb
/usr/share/applications/org.lexigrove.Lexigrove.desktop
/usr/share/bash-completion/completions/lexigrove
/usr/share/doc/lexigrove/changelog.gz
/usr/share/doc/lexigrove/copyright
/usr/share/fish/vendor_completions.d/lexigrove.fish
$(for s in $icon_sizes; do echo "/usr/share/icons/hicolor/${s}x$s/apps/org.lexigrove.Lexigrove.png"; done)
/usr/share/icons/hicolor/scalable/apps/org.lexigrove.Lexigrove.svg
/usr/share/lintian/overrides/lexigrove
/usr/share/man/man1/lexigrove-import.1.gz
/usr/share/man/man1/lexigrove.1.gz
/usr/share/metainfo/org.lexigrove.Lexigrove.metainfo.xml
/usr/share/zsh/vendor-completions/_lexigrove
EOF
)
[ "$installed" = "$expected" ] || fail "installed files differ:
$(diff <(echo "$expected") <(echo "$installed"))"
echo "dpkg -L: the $(echo "$installed" | wc -l) expected files"

# Hardened as Debian's own packages: position independent, and full RELRO
# (a read-only relocation segment, every symbol bound at start).
for elf in /usr/lib/lexigrove/lexigrove /usr/lib/lexigrove/lexigrove-import; do
  elf_type=$(readelf -hW "$elf" | sed -n 's/^ *Type: *//p')
  elf_relro=$(readelf -lW "$elf" | awk '$1 == "GNU_RELRO" { print $1 }')
  elf_flags=$(readelf -dW "$elf" | sed -n 's/.*(FLAGS\(_1\)\?) *//p' | paste -sd ' ')
  echo "readelf $elf: Type: $elf_type; ${elf_relro:-no GNU_RELRO}; flags: ${elf_flags:-none}"
  [[ $elf_type == DYN* ]] || fail "$elf is not a position-independent executable"
  [ -n "$elf_relro" ] || fail "$elf has no RELRO segment"
  grep -qw BIND_NOW <<<"$elf_flags" || fail "$elf has only partial RELRO (no BIND_NOW)"
  # Built with _FORTIFY_SOURCE, the calls whose buffer sizes the compiler knows go
  # through glibc's checked variants (lintian's hardening-no-fortify-functions).
  elf_checked=$(readelf --dyn-syms -W "$elf" |
    awk '{ sub(/@.*/, "", $8) } $8 ~ /^__.*_chk$/ { print $8 }' | sort -u | paste -sd ' ')
  echo "readelf $elf: checked calls: ${elf_checked:-none}"
  [ -n "$elf_checked" ] || fail "$elf calls no fortified function: built without _FORTIFY_SOURCE?"
done

[ "$(command -v lexigrove)" = /usr/bin/lexigrove ] || fail "lexigrove is not the command on the PATH"
[ -L /usr/bin/lexigrove ] && [ "$(readlink -f /usr/bin/lexigrove)" = /usr/lib/lexigrove/lexigrove ] ||
  fail "/usr/bin/lexigrove is not a link to /usr/lib/lexigrove/lexigrove"
cmp -s "$build/bin/words.mdb" /usr/lib/lexigrove/words.mdb || fail "the installed words.mdb is not the built one"
desktop=/usr/share/applications/org.lexigrove.Lexigrove.desktop
desktop-file-validate "$desktop" || fail "invalid desktop entry"
grep -qx 'Exec=lexigrove %F' "$desktop" || fail "the menu entry starts something else"
grep -qx 'MimeType=text/plain;' "$desktop" || fail "the menu entry opens no word files"
grep -qx 'Icon=org.lexigrove.Lexigrove' "$desktop" || fail "the menu entry names another icon"
# A PNG's header holds its width and height.
pngsize() { od -An -tu4 --endian=big -j16 -N8 "$1" | awk '{ print $1 "x" $2 }'; }
for s in $icon_sizes; do
  size=$(pngsize "/usr/share/icons/hicolor/${s}x$s/apps/org.lexigrove.Lexigrove.png")
  [ "$size" = "${s}x$s" ] || fail "the ${s}x$s icon is $size"
done
echo "desktop entry valid; icons: scalable and $icon_sizes"

# Software centres list the program from its metainfo, offline as online.
metainfo=/usr/share/metainfo/org.lexigrove.Lexigrove.metainfo.xml
appstreamcli validate --strict --no-net "$metainfo" || fail "the metainfo does not validate"
grep -qF '<launchable type="desktop-id">org.lexigrove.Lexigrove.desktop</launchable>' "$metainfo" ||
  fail "the metainfo launches no org.lexigrove.Lexigrove.desktop"
# Each screenshot it shows is one kept in the repository, of the size it says.
shots=0
while read -r width height name; do
  [ -f "resources/screenshots/$name" ] || fail "no resources/screenshots/$name"
  [ "$(pngsize "resources/screenshots/$name")" = "${width}x$height" ] ||
    fail "resources/screenshots/$name is $(pngsize "resources/screenshots/$name"), the metainfo says ${width}x$height"
  shots=$((shots + 1))
done < <(sed -n 's|.*<image type="source" width="\([0-9]*\)" height="\([0-9]*\)">https://lexigrove.org/screenshots/\([^<]*\)</image>.*|\1 \2 \3|p' "$metainfo")
[ "$shots" -gt 0 ] || fail "the metainfo shows no screenshot of the home page's"
[ "$(dpkg-deb --field "$deb" Homepage)" = https://lexigrove.org/ ] || fail "the package names no home page"
echo "metainfo valid, $shots screenshots as kept in resources/screenshots"

# The changelog is NEWS, and its newest entry is this version.
changelog_version=$(zcat /usr/share/doc/lexigrove/changelog.gz | dpkg-parsechangelog -l - -S Version)
[ "$changelog_version" = "$(dpkg-deb --field "$deb" Version)" ] ||
  fail "the changelog's newest version is $changelog_version, the package's $(dpkg-deb --field "$deb" Version)"
zcat /usr/share/doc/lexigrove/changelog.gz | cmp -s - NEWS || fail "the package's changelog is not NEWS"
grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  /usr/share/doc/lexigrove/copyright || fail "the copyright file is not in Debian's format"
for page in lexigrove lexigrove-import; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man --warnings on $page.1: $warnings"
done
echo "changelog $changelog_version; copyright in Debian's format; manual pages without warnings"

# Each shell finds its completion where the package put it, by the command's name.
shell_home=$(mktemp -d)
bash_completion=$(HOME=$shell_home bash -c '. /usr/share/bash-completion/bash_completion &&
  __load_completion lexigrove && complete -p lexigrove')
[ "$bash_completion" = "complete -F _lexigrove lexigrove" ] || fail "bash loads no completion for lexigrove"
zsh_completion=$(HOME=$shell_home zsh -fc 'autoload -U compinit && compinit -u -d "$HOME/zcompdump" &&
  print -r -- $_comps[lexigrove]')
[ "$zsh_completion" = _lexigrove ] || fail "zsh loads no completion for lexigrove ($zsh_completion)"
fish_formats=$(HOME=$shell_home fish -c 'complete -C"lexigrove --format "' | cut -f1 | sort | paste -sd ' ')
[ "$fish_formats" = "aligned csv jsonl rows table xlsx" ] || fail "fish completes --format with: $fish_formats"
rm -rf "$shell_home"
echo "completion found by bash, zsh and fish"

# Debian's own checks, every tag shown; errors, warnings and pedantic tags fail.
lintian_output=$(lintian --pedantic --display-info --fail-on error,warning,pedantic "$deb" 2>&1) ||
  fail "lintian: $lintian_output"
echo "lintian --pedantic --display-info: ${lintian_output:-no tags}"

# The installed command, as the user who runs this. Root reads any file, so
# an ordinary account also runs it: that is how the package is really used.
"$start_test" /usr/bin/lexigrove "$build/bin/xwindow"
if [ "$(id -u)" -eq 0 ]; then
  tools=$(mktemp -d)
  trap 'rm -rf "$tools"' EXIT
  cp "$start_test" "$(dirname "$start_test")/on_display.sh" "$build/bin/xwindow" "$tools/"
  mkdir -m 700 "$tools/home" "$tools/runtime"
  chown nobody "$tools/home" "$tools/runtime"
  chmod 755 "$tools"
  (cd "$tools/home" && runuser -u nobody -- env HOME="$tools/home" XDG_RUNTIME_DIR="$tools/runtime" \
     "$tools/start_test.sh" /usr/bin/lexigrove "$tools/xwindow") ||
    fail "the installed program as user nobody"
  echo "the same as user nobody"

  # Another language as a user gets it: a thesaurus of their own through the
  # installed importer, looked up through the installed command line, no display.
  cp tests/data/mini_thesaurus.dat "$tools/"
  chmod 644 "$tools/mini_thesaurus.dat"
  rows=$(cd "$tools/home" && runuser -u nobody -- env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    HOME="$tools/home" sh -c 'lexigrove-import --help | grep -q thesaurus &&
      lexigrove-import "$1" mine.mdb &&
      printf "happy\\ncafé\\n" | lexigrove --database mine.mdb --lookup --format csv -' sh \
      "$tools/mini_thesaurus.dat") || fail "the installed importer and command line as user nobody"
  case "$rows" in
    "HAPPY - glad,"*"CAFÉ - coffee shop,"*) ;;
    *) fail "the installed command line gave: $rows" ;;
  esac
  man -l /usr/share/man/man1/lexigrove-import.1.gz >/dev/null 2>&1 || [ ! -x /usr/bin/man ] ||
    fail "the importer's manual page does not format"
  echo "importer and command line as user nobody: $(printf '%s' "$rows" | tr -cd , | wc -c) rows"

  # Debian's own thesauri, chosen by language by a user with a fresh home: each is
  # prepared on first use into that user's cache.
  for p in mythes-is mythes-fr; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
      "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$p" >/dev/null
  done
  rm -rf "$tools/home" && mkdir -m 700 "$tools/home" && chown nobody "$tools/home"
  languages=$(cd "$tools/home" && runuser -u nobody -- env -u DISPLAY -u WAYLAND_DISPLAY \
    -u XDG_CACHE_HOME -u XDG_DATA_HOME HOME="$tools/home" sh -c '
      printf "Bandaríkin\n" | lexigrove --language is_IS --lookup - &&
      printf "maisonnée\n" | lexigrove --language fr_CA --lookup - &&
      lexigrove --languages') || fail "--language as user nobody"
  for row in "BANDARÍKIN - Ameríka" "MAISONNÉE - famille" "$(printf 'is\tÍslenska\tbuilt')" \
             "$(printf 'fr\tFrançais\tbuilt')"; do
    grep -qF "$row" <<<"$languages" || fail "--language as user nobody gave no '$row': $languages"
  done
  [ -f "$tools/home/.cache/lexigrove/fr.mdb" ] || fail "the French database is not in the user's cache"
  echo "--language is_IS and fr_CA as user nobody with a fresh home: prepared and looked up"
fi

"${sudo[@]}" dpkg --purge lexigrove >/dev/null
for f in $installed; do
  if [ -e "$f" ] || [ -L "$f" ]; then fail "$f is left after removing the package"; fi
done
[ ! -e /usr/lib/lexigrove ] || fail "/usr/lib/lexigrove is left after removing the package"
echo "package removed, nothing left"
