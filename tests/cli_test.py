#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The command line as users run it: the real executable in a shell, on a
# database built from the fixture thesaurus by the real importer.
# Usage: cli_test.py LEXIGROVE LEXIGROVE-IMPORT VERSION
import ast
import fcntl
import json
import os
import re
import resource
import select
import shutil
import signal
import sqlite3
import struct
import subprocess
import sys
import tempfile
import termios
import time
import unittest
from pathlib import Path

PROGRAM, IMPORTER = (os.path.abspath(name) for name in sys.argv[1:3])
VERSION = sys.argv[3]
TESTS = Path(__file__).resolve().parent
DATA = TESTS / "data"

# Words that reach every rule the two front ends share: quoting, upper case,
# not-found rows, commas and quotes in the comma-delimited file, non-ASCII
# padding, an empty entry. CR LF at the end, where both read the same entries.
WORDS = ("random\r\nlook\r\ndon't\r\n\r\nsay \"hi\"\r\nx,y\r\ncafé\r\nкот\r\n"
         "100%\r\nLoOk\r\nxqz\r\n").encode()
LOOK_ROWS = b"LOOK - expression\nLOOK - aspect\nLOOK - face\nLOOK - appear\nLOOK - seem\n"
XQZ = b"XQZ - this word not found in the database.\n"
TRY_HELP = b"\nTry 'lexigrove --help' for more information.\n"
# The lookup of look.txt, and the shell's own ways to hand it a file.
LOOK = "$LEXIGROVE --lookup --database words.mdb "
# A cap on the program's memory that an unbounded read would hit. AddressSanitizer reserves
# terabytes of address space at start, so under it the rows run without the cap.
MEMORY_CAP = "" if "ASAN_OPTIONS" in os.environ else "ulimit -v 1500000; "
# Generous: only a failure ever waits this long.
BOUND = 60
# Another local user, where root can be one; elsewhere what it would do is left out.
OTHER = "setpriv --reuid=nobody --regid=nogroup --clear-groups " if os.geteuid() == 0 else ": "


def program_info(name):
    """A string constant of ProgramInfo.h, which both programs print."""
    header = (TESTS.parent / "src/core/base/ProgramInfo.h").read_text()
    value = re.search(r"\b%s\[\] =(.*?);" % name, header, re.S).group(1)
    parts = re.findall(r'"(?:[^"\\]|\\.)*"', value)
    return "".join(ast.literal_eval(part) for part in parts).encode()


COPYRIGHT, HELP_FOOTER = program_info("kCopyrightLines"), program_info("kHelpFooter")
VERSION_TEXT = b"lexigrove " + VERSION.encode() + b"\n" + COPYRIGHT

DIR = tempfile.TemporaryDirectory()
ENV = dict(os.environ, LEXIGROVE=PROGRAM)


def write(name, data):
    Path(DIR.name, name).write_bytes(data)


def import_thesaurus(thesaurus, database):
    subprocess.run([IMPORTER, thesaurus, database], check=True, stderr=subprocess.DEVNULL)


def shell(command, timeout=BOUND):
    """Runs a command line with $LEXIGROVE set to the program."""
    return subprocess.run(["/bin/bash", "-c", command.encode()], cwd=DIR.name, env=ENV, input=b"",
                          capture_output=True, timeout=timeout)


def status(code):
    return 128 - code if code < 0 else code  # as the shell tells a signal


def start(args, **options):
    """The program (or a shell) with standard input and output as pipes of ours."""
    pipes = dict(env=ENV, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return subprocess.Popen(args, cwd=DIR.name, bufsize=0, **{**pipes, **options})


def wait_until(condition, what):
    deadline = time.monotonic() + BOUND
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError("never happened: " + what)
        time.sleep(0.01)  # what it waits for (a pipe read, a folder made) sends no signal


def first_line(process):
    """The first line of output, while the input may still be open."""
    line = b""
    while not line.endswith(b"\n"):
        if not select.select([process.stdout], [], [], BOUND)[0]:
            raise AssertionError("no line came: %r" % line)
        part = os.read(process.stdout.fileno(), 1)
        if not part:
            break
        line += part
    return line


def drained(pipe):
    """Whether the program has read all that was written to its input."""
    waiting = fcntl.ioctl(pipe.fileno(), termios.FIONREAD, b"\0\0\0\0")
    return struct.unpack("i", waiting)[0] == 0



def own_database(name, pairs, kinds="field, value, pairs"):
    """A database of another program's making: a view over (word, synonym) pairs, and kinds."""
    with sqlite3.connect(Path(DIR.name, name)) as database:
        database.executescript("create table pair (word, synonym, pos, relation); create view "
                               "qrySynonyms as select * from pair; create table kinds (%s)" % kinds)
        database.executemany("insert into pair values (?, ?, 'adj', 'synonym')", pairs)
    database.close()


def setUpModule():
    import_thesaurus(DATA / "lookup.dat", Path(DIR.name, "words.mdb"))
    write("words.txt", WORDS)
    write("look.txt", b"look\n")
    write("long.txt", b"look\n" + b"a" * (1024 * 1024 + 1))


def tearDownModule():
    DIR.cleanup()


class Rows(unittest.TestCase):
    """Rows of (name, command, status, out, err): out is exact, or "*" followed by a part; err
    is a part of standard error, or when empty, none at all."""

    def check(self, rows, timeout=BOUND):
        for name, command, code, out, err in rows:
            with self.subTest(name):
                run = shell(command, timeout)
                self.assertEqual(status(run.returncode), code, run.stderr)
                if out.startswith(b"*"):
                    self.assertIn(out[1:], run.stdout)
                else:
                    self.assertEqual(run.stdout, out)
                if err:
                    self.assertIn(err, run.stderr)
                else:
                    self.assertEqual(run.stderr, b"")

    def test_runs(self):
        self.check([
            ("rows from standard input",
             "printf 'look\\nxqz\\n' | $LEXIGROVE --database words.mdb --lookup -", 0,
             LOOK_ROWS + XQZ, b""),
            ("files in order, empty lines kept",
             "printf 'bare\\n\\n' > a; printf 'response\\r' > b; "
             "$LEXIGROVE --lookup --database words.mdb a b", 0,
             b"BARE - this word not found in the database.\n"
             b" - this word not found in the database.\nRESPONSE - reply\nRESPONSE - answer\n", b""),
            ("UTF-16 ending in LF",
             "printf '\\377\\376x\\0q\\0z\\0\\n\\0' | $LEXIGROVE --database words.mdb --lookup -", 0,
             XQZ, b""),
            # No display and no platform: a QApplication could not even start here.
            ("no display",
             "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $LEXIGROVE --lookup "
             "--database words.mdb --quiet - <<< advantage", 0,
             b"ADVANTAGE - vantage\nADVANTAGE - benefit\n", b""),
            # Beside the program lies the build's own words.mdb, which holds none of /dev/null.
            ("words.mdb beside the program by default", "$LEXIGROVE --lookup - < /dev/null", 0, b"",
             b""),
            ("table: a header, a record per pair, quoted only where needed",
             "printf 'Look\\nx,y\\nsay \"hi\"\\n' | $LEXIGROVE --database words.mdb --lookup "
             "--format table -", 0,
             b"word,synonym,pos,relation,sense,note,inflected\r\nLook,expression,noun,synonym,1,,"
             b"\r\nLook,aspect,noun,synonym,1,,\r\nLook,face,noun,similar term,1,,\r\n"
             b"Look,appear,verb,synonym,2,,\r\nLook,seem,verb,synonym,2,,\r\n"
             b"\"x,y\",,,,,,\r\n\"say \"\"hi\"\"\",greet,verb,synonym,1,,\r\n", b""),
            ("jsonl: an object per pair, null for none",
             "printf 'Advantage\\nxqz\\n' | $LEXIGROVE --database words.mdb --lookup --format "
             "jsonl -", 0,
             b"{\"word\": \"Advantage\", \"synonym\": \"vantage\", \"pos\": \"noun\", "
             b"\"relation\": \"synonym\", \"sense\": 1, \"note\": \"\", \"inflected\": null}\n"
             b"{\"word\": \"Advantage\", \"synonym\": \"benefit\", \"pos\": \"noun\", "
             b"\"relation\": \"related term\", \"sense\": 1, \"note\": \"\", \"inflected\": "
             b"null}\n{\"word\": \"xqz\", \"synonym\": null, \"pos\": null, \"relation\": "
             b"null, \"sense\": null, \"note\": null, \"inflected\": null}\n", b""),
            ("filters: a word with no pair left is not found",
             "printf 'look\\nadvantage\\n' | $LEXIGROVE --database words.mdb --lookup --pos "
             "verb --relation synonym --pos adj -", 0,
             b"LOOK - appear\nLOOK - seem\nADVANTAGE - this word not found in the database.\n",
             b""),
            ("unknown part of speech: the database's are listed",
             "$LEXIGROVE --lookup --database words.mdb --pos adjective words.txt", 2, b"",
             b"holds no part of speech 'adjective'; it holds: noun, adj, verb\n"),
            ("unknown relation",
             "$LEXIGROVE --lookup --database words.mdb --relation opposite words.txt", 2, b"",
             b"it holds: synonym, similar term, related term, antonym, generic term\n"),
            # Built as --language en_US is: every form the dictionary makes, not a word list's.
            ("words.mdb beside the program finds regular forms",
             "printf 'asked\\n' | $LEXIGROVE --lookup --relation synonym -", 0,
             b"*ASKED - inquire\nASKED - enquire\n", b""),
            ("a synonym found through any of its meanings",
             "printf 'rock\\nhappy\\n' | $LEXIGROVE --lookup --pos verb --relation synonym -", 0,
             b"ROCK - sway\nROCK - shake\nHAPPY - this word not found in the database.\n", b""),
            ("synonyms of later meanings, in thesaurus order",
             "printf 'happy\\n' | $LEXIGROVE --lookup --relation synonym -", 0,
             b"HAPPY - felicitous\nHAPPY - glad\nHAPPY - well-chosen\n", b""),
            ("antonyms only when asked for",
             "printf 'bare\\nadvantage\\n' | $LEXIGROVE --database words.mdb --lookup - && "
             "printf 'bare\\n' | $LEXIGROVE --database words.mdb --lookup --relation antonym -", 0,
             b"BARE - this word not found in the database.\nADVANTAGE - vantage\n"
             b"ADVANTAGE - benefit\nBARE - nude\n", b""),
            ("every meaning of every relation in table",
             "printf 'random\\n' | $LEXIGROVE --database words.mdb --lookup --format table "
             "--relation 'similar term,antonym,generic term' -", 0,
             b"word,synonym,pos,relation,sense,note,inflected\r\nrandom,ergodic,adj,similar term,"
             b"1,,\r\nrandom,haphazard,adj,similar term,1,,\r\nrandom,nonrandom,adj,antonym,1,,"
             b"\r\nrandom,chance,adj,generic term,1,,\r\n", b""),
            ("decomposed input finds its composed word, and is shown as typed",
             "printf 'cafe\\xcc\\x81\\n' | $LEXIGROVE --database words.mdb --lookup -", 0,
             b"CAFE\xcc\x81 - coffeehouse\nCAFE\xcc\x81 - bistro\n", b""),
            ("pos without lookup", "$LEXIGROVE --pos noun", 2, b"", b"--pos goes with"),
            ("help", "$LEXIGROVE --help", 0, b"*--lookup", b""),
            ("help in 80 columns, with its footer",
             "$LEXIGROVE --help > help.txt && [ $(LC_ALL=C.UTF-8 wc -L < help.txt) -le 80 ] && "
             "tail -c %d help.txt" % len(HELP_FOOTER), 0, HELP_FOOTER, b""),
            ("version", "$LEXIGROVE -v", 0, VERSION_TEXT, b""),
            ("missing word file", "$LEXIGROVE --lookup --database words.mdb nosuch.txt", 1, b"",
             b"nosuch.txt: No such file or directory"),
            ("word file is a folder",
             "mkdir -p folder; $LEXIGROVE --lookup --database words.mdb folder", 1, b"", b"folder"),
            ("NUL in a word: not found, as in the window",
             "printf 'lo\\0ok\\nbare\\n' | $LEXIGROVE --lookup --database words.mdb -", 0,
             b"LO\0OK - this word not found in the database.\n"
             b"BARE - this word not found in the database.\n", b""),
            ("missing database", "$LEXIGROVE --lookup --database none.mdb words.txt", 1, b"",
             b"none.mdb: not found"),
            ("not a database", "$LEXIGROVE --lookup --database words.txt words.txt", 1, b"",
             b"words.txt is not a synonym database"),
            ("unwritable output",
             "$LEXIGROVE --lookup --database words.mdb --output nodir/out.txt words.txt", 1, b"",
             b"nodir/out.txt"),
            ("full standard output",
             "$LEXIGROVE --lookup --database words.mdb words.txt > /dev/full", 1, b"",
             b"No space left on device"),
            ("unknown option", "$LEXIGROVE --lookp words.txt", 2, b"",
             b"unknown option '--lookp'"),
            ("unknown format", "$LEXIGROVE --lookup --format xml words.txt", 2, b"",
             b"unknown format 'xml'"),
            ("no word file", "$LEXIGROVE --lookup", 2, b"",
             b"file (- for standard input)" + TRY_HELP),
            ("output without lookup", "$LEXIGROVE --output x words.txt", 2, b"",
             b"--output goes with"),
            # script(1) gives the program a terminal as its standard output.
            ("xlsx refused on a terminal",
             "script -qec '$LEXIGROVE --lookup --format xlsx --database words.mdb words.txt' "
             "/dev/null", 2, b"*--format xlsx writes a workbook, not text for a terminal", b""),
            # Debian's mythes-is; each row has a cache of its own.
            ("language: prepared on first use, quietly off a terminal",
             "export XDG_CACHE_HOME=$PWD/first; $LEXIGROVE --language is-IS --lookup - <<< "
             "Bandaríkin", 0,
             "BANDARÍKIN - Ameríka\nBANDARÍKIN - Bandaríki Norður-Ameríku\n".encode(), b""),
            ("language: progress at a terminal",
             "export XDG_CACHE_HOME=$PWD/tty; script -qec '$LEXIGROVE --language is --lookup - "
             "< /dev/null' /dev/null", 0, "*\rPreparing Íslenska: 100%\r\n".encode(), b""),
            ("languages: built or not, the file, and the size",
             "export XDG_CACHE_HOME=$PWD/list; $LEXIGROVE --languages | grep '^is'; "
             "$LEXIGROVE --language is --lookup - < /dev/null; $LEXIGROVE --languages | grep '^is' | "
             "sed -E 's/\t[0-9.]+ [kMG]?B$/\tSIZE/'",
             0, "is\tÍslenska\tnot built\t/usr/share/mythes/th_is_IS_v2.dat\t-\n"
                "is\tÍslenska\tbuilt\t/usr/share/mythes/th_is_IS_v2.dat\tSIZE\n".encode(), b""),
            ("language not installed: the installed ones listed",
             "$LEXIGROVE --language qq --lookup words.txt", 2, b"",
             b"no thesaurus for 'qq'; installed: "),
            ("language cannot be prepared",
             "touch file; XDG_CACHE_HOME=$PWD/file $LEXIGROVE --language is --lookup words.txt", 1,
             b"", "cannot prepare the thesaurus Íslenska: ".encode()),
            ("language on a full disk: nothing half-built left",
             "mkdir -p small; unshare -rm sh -c 'mount -t tmpfs -o size=64k tmpfs small && "
             "XDG_CACHE_HOME=$PWD/small $LEXIGROVE --language is --lookup - < /dev/null; s=$?; "
             "ls -A small/lexigrove; exit $s'", 1, b"", b"is.mdb: database or disk is full"),
            ("language and database", "$LEXIGROVE --language fr --database words.mdb", 2, b"",
             b"--language and --database cannot go"),
            # Usage mistakes end with the way to the help.
            ("a list to a full disk", "$LEXIGROVE --languages > /dev/full", 1, b"",
             b"lexigrove: Cannot write standard output: No space left on device\n"),
            ("--quiet silences the first-use build",
             "export XDG_CACHE_HOME=$PWD/quiet; script -qec '$LEXIGROVE --language is --quiet "
             "--lookup - < /dev/null' /dev/null", 0, b"", b""),
            ("the cache: links renamed over, never written through; the user's alone",
             "umask 000; h=$(mktemp -d -p /tmp); c=$h/lexigrove; chmod 755 $h; mkdir $c; echo me "
             "> own.txt; cp words.mdb own.mdb; ln -s $PWD/own.mdb $c/is.mdb; ln -s $PWD/own.txt "
             "$c/is.mdb.source; ln -s $PWD/made $c/is.mdb.lock; XDG_CACHE_HOME=$h $LEXIGROVE "
             "--language is --lookup - < /dev/null; " + OTHER + "ln -s / $c/is.mdb.lock 2>&-; "
             "cmp own.mdb words.mdb && cat own.txt && ls made 2>&-; stat -c %a $c $c/*; rm -r $h",
             0, b"me\n700\n600\n600\n", b""),
            ("a pipe in the cache is no stamp",
             "c=piped/lexigrove; mkdir -p $c; cp words.mdb $c/is.mdb; mkfifo $c/is.mdb.source; "
             "export XDG_CACHE_HOME=$PWD/piped; $LEXIGROVE --languages | grep ^is | cut -f3; "
             "$LEXIGROVE --language is --lookup - <<< Bandaríkin | head -1", 0,
             "not built\nBANDARÍKIN - Ameríka\n".encode(), b""),
            ("a sound database served from a read-only cache, its stamp renewed where it can be",
             "c=ro/lexigrove; export XDG_CACHE_HOME=$PWD/ro; $LEXIGROVE --language is --lookup - "
             "< /dev/null; chmod 444 $c/is.mdb; unshare -rm sh -c \"mount --bind $c $c; mount -o "
             "remount,ro,bind $c; echo Bandaríkin | $LEXIGROVE --language is --lookup - | head -1\"; "
             "cp $c/is.mdb.source old; $LEXIGROVE --languages > old2; cmp -s old $c/is.mdb.source "
             "|| echo renewed", 0, "BANDARÍKIN - Ameríka\nrenewed\n".encode(), b""),
            ("a wait for another's build told once, off a terminal",
             "mkdir -pm 700 wait/lexigrove; exec 9> wait/lexigrove/is.mdb.lock; flock 9; "
             "XDG_CACHE_HOME=$PWD/wait $LEXIGROVE --language is --lookup - < /dev/null 2> err 9>&- "
             "& until grep -qs waiting err; do sleep 0.1; done; exec 9>&-; wait $!; cat err", 0,
             "lexigrove: waiting for another process to finish preparing Íslenska\n".encode(), b""),
            ("a language code, not a path", "XDG_CACHE_HOME=$PWD/path $LEXIGROVE --language "
             "is_IS/../is --lookup - < /dev/null", 2, b"", b"no thesaurus for 'is_IS/../is'"),
            ("each language listed once where data and cache are one folder",
             "export XDG_CACHE_HOME=$PWD/one XDG_DATA_HOME=$PWD/one; $LEXIGROVE --language is "
             "--lookup - < /dev/null; $LEXIGROVE --languages | grep -c ^is", 0, b"1\n", b""),
            ("another user's names block no save",
             "d=$(mktemp -d -p /tmp); chmod 1777 $d; echo old > $d/t; ln $d/t $d/2; i=$(stat -c "
             "%d-%i $d/t); " + OTHER + "touch $d/t.lexigrove-backup $d/n.lexigrove-backup "
             "/tmp/lexigrove-backup-$i; for f in t n; do " + LOOK + "--output $d/$f look.txt; done;"
             " head -qn1 $d/2 $d/n; rm -rf $d /tmp/lexigrove-backup-$i", 0, LOOK_ROWS[:18] * 2, b""),
            ("an unknown option named whole, with the way to a file", LOOK + "-dash.txt", 2, b"",
             b"lexigrove: unknown option '-dash.txt'; a file whose name starts with a dash goes "
             b"after --, as in: -- -dash.txt" + TRY_HELP),
            ("unknown options, each as given", LOOK + "--nosuch=1 -xyz look.txt", 2, b"",
             b"lexigrove: unknown options '--nosuch', '-xyz'" + TRY_HELP),
            ("--lookup=FILE takes a dash, in its place among the files",
             "cp look.txt ./-dash.txt; echo xqz > x.txt; $LEXIGROVE --database words.mdb x.txt "
             "--lookup=-dash.txt x.txt", 0, XQZ + LOOK_ROWS + XQZ, b""),
            ("a dash after --", LOOK + "-- -dash.txt", 0, LOOK_ROWS, b""),
            ("--languages with --lookup", "$LEXIGROVE --languages --lookup look.txt", 2, b"",
             b"lexigrove: --languages cannot go with --lookup" + TRY_HELP),
            ("--languages with a file", "$LEXIGROVE --languages look.txt", 2, b"",
             b"lexigrove: --languages takes no file" + TRY_HELP),
            ("a language not installed, with the hint",
             "$LEXIGROVE --language qq --lookup look.txt", 2, b"", TRY_HELP[1:]),
            ("xlsx refused on a terminal named by --output",
             "script -qec '$LEXIGROVE --lookup --format xlsx --database words.mdb --output "
             "/dev/tty look.txt; echo \" $?\"' /dev/null | tr -d '\\r'", 0,
             b"lexigrove: --format xlsx writes a workbook, not text for a terminal: give "
             b"--output FILE or redirect standard output\n 2\n", b""),
            # The library's own "[ERROR][packager.c:...]" lines, on a temporary folder with no room.
            ("the workbook library's messages folded into one",
             "seq -f w%.0f 20000 > rows.txt; unshare -rm sh -c 'mkdir -p small && mount -t tmpfs "
             "-o size=64k none small && TMPDIR=$PWD/small $LEXIGROVE --lookup --database words.mdb "
             "--format xlsx --output full.xlsx rows.txt 2> err.txt; s=$?; ls -A small; grep -c "
             "\"^lexigrove: Cannot write the workbook in .*: No space left on device "
             "(libxlsxwriter: \" err.txt; wc -l < err.txt; exit $s'", 1, b"1\n1\n", b""),
            ("more word files than open files, as find -exec + gives them",
             "mkdir -p many && for i in $(seq 1100); do echo xqz > many/$i.txt; done; ulimit -n 64; "
             "find many -name '*.txt' -exec $LEXIGROVE --lookup --database words.mdb {} + | uniq -c",
             0, b"   1100 " + XQZ, b""),
            ("a NUL in a workbook spelled as other control characters are",
             "printf 'nul\\0x\\n' | $LEXIGROVE --lookup --database words.mdb --format xlsx - > "
             "nul.xlsx && unzip -p nul.xlsx xl/worksheets/sheet1.xml | grep -o '<c "
             "r=\"A2\"[^<]*<is><t>[^<]*'", 0, b"<c r=\"A2\" t=\"inlineStr\"><is><t>nul_x0000_x\n",
             b""),
        ])

    # The synonym in the word's form: rows of (name, words, options, out) on the build's English
    # database, out exact or "*" and a part. The fixture's thesaurus comes without a dictionary,
    # so its database makes no form at all: there --inflect changes nothing.
    def test_inflected(self):
        same = "cmp <(%s--format %%s words.txt) <(%s--format %%s --inflect words.txt) && echo same"
        self.check([("no form: %s as without --inflect" % name, same % (LOOK, LOOK) % (name, name),
                     0, b"same\n", b"") for name in ("rows", "aligned", "csv", "table")] + [
            (name, "printf '%s\\n' | $LEXIGROVE --lookup %s -" % (words, options), 0, out, b"")
            for name, words, options, out in [
                ("a synonym of two words keeps its own form", "asked", "--inflect",
                 b"*ASKED - ask in\n"),
                ("a plural's synonym in the plural", "houses", "--inflect", b"*HOUSES - homes\n"),
                ("an irregular past's through its base", "went", "--inflect", b"*WENT - toured\n"),
                ("the form in a record", "houses", "--format jsonl",
                 b'*"synonym": "home", "pos": "noun", "relation": "synonym", "sense": 4, '
                 b'"note": "", "inflected": "homes"}\n'),
                ("and has none in a record", "asked", "--format jsonl",
                 b'*"synonym": "ask in", "pos": "verb", "relation": "related term", "sense": 2, '
                 b'"note": "", "inflected": null}\n'),
            ]])

    def test_installed_thesauri(self):
        # Debian's mythes-en-us, -de, -pl with their Hunspell dictionaries; one cache for all.
        real = "export XDG_CACHE_HOME=$PWD/real; $LEXIGROVE --lookup - --language "
        self.check([
            ("broader terms answer, named", real + "en_US --format jsonl <<< money | head -1", 0,
             b'{"word": "money", "synonym": "medium of exchange", "pos": "noun", '
             b'"relation": "generic term", "sense": 1, "note": "", '
             b'"inflected": null}\n', b""),
            ("German, broader terms", real + "de_DE --format jsonl <<< Stadt | head -1", 0,
             b'{"word": "Stadt", "synonym": "Areal", "pos": "", "relation": "generic term", '
             b'"sense": 1, "note": "", "inflected": null}\n', b""),
            ("Polish, narrower terms", real + "pl --format jsonl <<< gniew | head -1", 0,
             b'{"word": "gniew", "synonym": "amok", "pos": "", "relation": "narrower term", '
             b'"sense": 1, "note": "", "inflected": null}\n', b""),
            ("dis- reverses satisfy: only dissatisfy's own entry, never satisfy's",
             real + "en_US <<< dissatisfies", 0, b"DISSATISFIES - displease\n", b""),
            ("’ as ', the word as given", "$LEXIGROVE --lookup --database words.mdb - <<< Don’t", 0,
             "DON’T - do not\nDON’T - refrain\n".encode(), b""),
        ], timeout=900)  # each language is built on first use

    # Debian's mythes-en-us, hunspell-en-us and wordnet-base; mythes-it and hunspell-it.
    def test_forms_of_installed_languages(self):
        # Built on first use, which takes minutes on a busy machine: once, before the rows.
        shell("for l in en_US it; do $LEXIGROVE --language $l --lookup - < /dev/null; done",
              timeout=30 * BOUND)
        english = "printf '%s\\n' | $LEXIGROVE --language en_US --lookup -"
        self.check([(word + " through " + synonym, english % word, 0,
                     b"*%s - %s\n" % (word.upper().encode(), synonym.encode()), b"")
                    for word, synonym in [("was", "exist"), ("went", "travel"),
                                          ("children", "kid"), ("mice", "computer mouse"),
                                          ("months", "calendar month")]] + [
            ("an elided word through the word after the apostrophe",
             "printf \"dall'avvio\\n\" | $LEXIGROVE --language it --lookup -", 0,
             b"*DALL'AVVIO - inizio\n", b""),
            ("an elided word through every root: accordo and accordare",
             "printf \"d'accordo\\n\" | $LEXIGROVE --language it --lookup - | grep -c "
             "-e ' - armonia$' -e ' - conciliare$'", 0, b"2\n", b""),
        ])

    def test_output_already_open(self):
        grouped = ("{ echo header; " + LOOK + "--output %s look.txt; echo footer; } > report.txt; "
                   "s=$?; cat report.txt; exit $s")
        self.check([("%s in a group keeps its place" % name, grouped % name, 0,
                     b"header\n" + LOOK_ROWS + b"footer\n", b"")
                    for name in ("-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1")] + [
            (">> appends", "echo earlier > report.txt; " + LOOK +
             "--output /dev/stdout look.txt >> report.txt; cat report.txt", 0,
             b"earlier\n" + LOOK_ROWS, b""),
            ("another descriptor", "echo earlier > report.txt; " + LOOK +
             "--output /dev/fd/3 look.txt 3>> report.txt; cat report.txt", 0,
             b"earlier\n" + LOOK_ROWS, b""),
        ])

    def test_output_that_is_an_input(self):
        # Whatever happens, the inputs are shown as they were.
        after = "; s=$?; cat same.txt; cmp -s words.mdb own.mdb && echo same; exit $s"
        set_up = ("echo look > same.txt; ln -f same.txt hard.txt; ln -sf same.txt soft.txt; "
                  "cp words.mdb own.mdb; ")
        self.check([(name, set_up + "$LEXIGROVE --lookup " + arguments + after, 1,
                     b"look\nsame\n", err) for name, arguments, err in [
            ("itself", "--database own.mdb --output same.txt same.txt",
             b"Cannot write the results to same.txt: it is the word file same.txt itself"),
            ("a symbolic link", "--database own.mdb --output soft.txt look.txt same.txt",
             b"soft.txt: it is the word file same.txt"),
            ("a hard link", "--database own.mdb --output hard.txt same.txt",
             b"hard.txt: it is the word file same.txt"),
            ("standard input", "--database own.mdb --output same.txt - < same.txt",
             b"same.txt: it is the word file standard input"),
            ("standard output appended to", "--database own.mdb look.txt same.txt >> same.txt",
             b"standard output: it is the word file same.txt"),
            ("the database", "--database own.mdb --output ./own.mdb same.txt",
             b"./own.mdb: it is the synonym database own.mdb itself"),
        ]])

    # A file with a second name is written in place; neither name may ever hold
    # a half-written file.
    def test_old_content_stays(self):
        set_up = "echo old > kept.txt; ln -f kept.txt other.txt; "
        after = "; s=$?; cat kept.txt other.txt; ls .lexigrove-* 2>/dev/null; exit $s"
        self.check([
            ("a complete run replaces both names",
             set_up + LOOK + "--output kept.txt look.txt" + after, 0, LOOK_ROWS + LOOK_ROWS, b""),
            ("a failure keeps both", set_up + LOOK + "--output kept.txt look.txt long.txt" + after,
             1, b"old\nold\n", b"line 2 is longer than 1048576 bytes"),
        ])

    def interrupted(self, number, options, ready=lambda: True, **environment):
        """Stops a lookup with a signal once it has read its first word, the input still open."""
        process = start([PROGRAM, "--lookup", "--database", "words.mdb", *options, "-"],
                        env=dict(ENV, **environment), stderr=subprocess.DEVNULL,
                        preexec_fn=lambda: signal.signal(number, signal.SIG_DFL))
        process.stdin.write(b"look\n")
        wait_until(lambda: drained(process.stdin) and ready(), "the first word read")
        process.send_signal(number)
        process.communicate(timeout=BOUND)
        return status(process.returncode)

    def test_signals(self):
        folder = Path(DIR.name)
        for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            with self.subTest("%s before the end keeps both" % number.name):
                for name in ("kept.txt", "other.txt"):
                    folder.joinpath(name).unlink(missing_ok=True)
                write("kept.txt", b"old\n")
                os.link(folder / "kept.txt", folder / "other.txt")
                self.assertGreater(self.interrupted(number, ["--output", "kept.txt"]), 128)
                self.assertEqual(folder.joinpath("kept.txt").read_bytes(), b"old\n")
                self.assertEqual(folder.joinpath("other.txt").read_bytes(), b"old\n")
            # A workbook's temporary folder is there while it is made, and gone after the signal.
            with self.subTest("%s leaves no workbook folder" % number.name):
                temporary = folder / "wtmp"
                temporary.mkdir(exist_ok=True)
                made = lambda: len(os.listdir(temporary)) == 1
                options = ["--format", "xlsx", "--output", "int.xlsx"]
                self.assertEqual(self.interrupted(number, options, made, TMPDIR=str(temporary)),
                                 128 + number)
                self.assertEqual(os.listdir(temporary), [])
        with self.subTest("a file with one name: no copy left behind"):
            write("one.txt", b"old\n")
            self.interrupted(signal.SIGINT, ["--output", "one.txt"])
            self.assertEqual(folder.joinpath("one.txt").read_bytes(), b"old\n")
            self.assertEqual([name for name in os.listdir(folder) if "lexigrove-" in name], [])

    # A file that must keep its identity, on a file system without a free
    # inode and with no temporary folder: nothing can be prepared, so nothing
    # is touched.
    def test_no_room_leaves_the_file_alone(self):
        if shell("unshare -rm true").returncode != 0:
            self.skipTest("unshare -rm cannot make a private mount namespace here")
        run = shell(
            "unshare -rm sh -c 'mkdir -p m && mount -t tmpfs -o size=64k,nr_inodes=8 none m && cd m "
            "&& echo old > a && ln a b && i=0; while touch f$i 2>/dev/null; do i=$((i+1)); done; "
            "TMPDIR=/nonexistent \"$LEXIGROVE\" --lookup --database ../words.mdb --output a "
            "../look.txt; s=$?; cat a b; exit $s'")
        self.assertEqual(run.returncode, 1)
        self.assertEqual(run.stdout, b"old\nold\n")
        self.assertIn(b"Cannot save a: there is no room to prepare its new content, "
                      b"neither beside it nor in /nonexistent", run.stderr)

    def test_hostile_names_values_and_fields(self):
        own_database("crlf.mdb", [("sad", "bitter\r\nsweet")])
        own_database("shape.mdb", [("sad", "bitter")], "field, value")
        own_database("huge.mdb", [("big", "\x07" + "a" * 100_000_000)])
        own_database("hot.mdb", [("w%d" % n, "x" * 100) for n in range(2000)])
        subprocess.run([sys.executable, "-c", "import os, sqlite3; db = sqlite3.connect('hot.mdb'"
                        ", isolation_level=None); db.executescript(\"pragma cache_size = 1; "
                        "begin; update pair set word = 'y'\"); os._exit(0)"], cwd=DIR.name)
        evil = "'evil'$'\\033''[31mRED'$'\\033'']0;TITLE'$'\\a\\n''lexigrove: fake line'"
        write("variants.dat", b"UTF-8\n" + b"".join(b"%s|1\n(noun)|same|v%d\n" % (bytes(
            c - 32 * (n >> i & 1) for i, c in enumerate(b"abcdefghijklmno")), n) for n in range(
            1 << 15)))
        import_thesaurus(Path(DIR.name, "variants.dat"), Path(DIR.name, "variants.mdb"))
        self.check([
            ("a line break in a synonym stays in its row",
             "$LEXIGROVE --lookup --database crlf.mdb - <<< sad", 0, b"SAD - bitter  sweet\n", b""),
            ("control characters in a name quoted as the shell would give them back",
             "$LEXIGROVE --lookup " + evil, 1, b"",
             b"lexigrove: Cannot read " + evil.encode() + b": No such file or directory\n"),
            ("and in an option", "$LEXIGROVE --lookup --format $'x\\ty' look.txt", 2, b"",
             b"unknown format 'x'$'\\t''y' ("),
            ("a table kinds of another shape named with its file",
             "$LEXIGROVE --lookup --database shape.mdb --pos adj - <<< sad", 1, b"",
             b"lexigrove: Cannot look up words in shape.mdb: its table kinds is not the one "
             b"lexigrove-import makes"),
            ("a hot journal", "$LEXIGROVE --lookup --database hot.mdb - <<< w1", 1, b"",
             b"Cannot read the synonym database hot.mdb: a program stopped while writing it, "
             b"and its old content, kept in hot.mdb-journal, must be put back first"),
            ("a folder as the output", "mkdir -p folder; " + LOOK + "--output folder look.txt", 1,
             b"", b"lexigrove: Cannot write folder: it is a folder, not a file; give the name of "
                  b"a file to save into.\n"),
            ("a socket as the output or a word file",
             "rm -f sock; python3 -c \"import socket; socket.socket(socket.AF_UNIX).bind('sock')\""
             "; " + LOOK + "--output sock look.txt; " + LOOK + "sock", 1, b"",
             b"Cannot write sock: it is a socket, not a file; give the name of a file to save "
             b"into.\nlexigrove: Cannot read sock: it is a socket, not a file; give a file, a "
             b"pipe or - for standard input.\n"),
            ("one field past what a JSON document of it could hold under the cap",
             MEMORY_CAP + "$LEXIGROVE --lookup --database huge.mdb --format jsonl - <<< big > "
             "huge.jsonl; wc -c < huge.jsonl; head -c 40 huge.jsonl; rm huge.jsonl", 0,
             b'100000120\n{"word": "big", "synonym": "\\u0007aaaaaa', b""),
            ("a key under thousands of headwords",
             "$LEXIGROVE --lookup --database variants.mdb - <<< abcdefghijklmno | sed -n '1,2p;$p'",
             0, b"ABCDEFGHIJKLMNO - same\nABCDEFGHIJKLMNO - v0\nABCDEFGHIJKLMNO - v32767\n", b""),
        ])

    def test_progress_and_rows_share_a_terminal(self):
        leader, follower = os.openpty()
        process = start([PROGRAM, "--lookup", "--database", "words.mdb", "-"], stdout=follower,
                        stderr=follower)
        os.close(follower)
        screen = bytearray()
        def another_word():
            process.stdin.write(b"look\n")
            while select.select([leader], [], [], 0)[0]:
                screen.extend(os.read(leader, 65536))
            return b"words/s" in screen
        wait_until(another_word, "a progress line")
        process.stdin.close()
        try:
            while part := os.read(leader, 65536):
                screen.extend(part)
        except OSError:  # EIO once the program, the terminal's last writer, has gone
            os.close(leader)
        self.assertIsNone(re.search(rb"words/s[^\r]", screen), bytes(screen[-300:]))

    def test_streams(self):
        for name, options, first in [
            ("rows leave while the input is still open", [], b"LOOK - expression\n"),
            ("tables stream too", ["--format", "jsonl"], b"{\"word\": \"look\", "),
        ]:
            with self.subTest(name):
                process = start([PROGRAM, "--lookup", "--database", "words.mdb", *options, "-"])
                process.stdin.write(b"look\n")
                self.assertTrue(first_line(process).startswith(first))
                out, err = process.communicate(b"xqz\n", BOUND)
                self.assertEqual((process.returncode, err), (0, b""))
        self.check([
            ("an endless line ends with an error, not out of memory",
             MEMORY_CAP + "$LEXIGROVE --lookup --database words.mdb /dev/zero", 1, b"",
             b"Cannot read /dev/zero: line 1 is longer than 1048576"),
            ("endless words in bounded memory",
             MEMORY_CAP + "yes | $LEXIGROVE --lookup --database words.mdb - | head -n 2", 0,
             b"Y - this word not found in the database.\n" * 2, b""),
            ("every file is checked before the first word", "echo look | " + LOOK + "- nosuch.txt",
             1, b"", b"nosuch.txt: No such file or directory"),
            ("a pipe's lines are decided one by one",
             "printf 'caf\\xe9\\ncafé\\n' | " + LOOK + "--format jsonl - | cut -c1-18 | uniq", 0,
             "{\"word\": \"café\", \n".encode(), b""),
        ])

    # A writer that does not wait for its lock would fail at once.
    def test_no_lock_while_waiting(self):
        shutil.copy(Path(DIR.name, "words.mdb"), Path(DIR.name, "locked.mdb"))
        process = start([PROGRAM, "--lookup", "--database", "locked.mdb", "-"])
        process.stdin.write(b"look\n")
        first_line(process)
        writer = sqlite3.connect(Path(DIR.name, "locked.mdb"), timeout=0)
        writer.execute("begin exclusive")
        writer.commit()
        writer.close()
        out, err = process.communicate(b"look\n", BOUND)
        self.assertEqual((process.returncode, err), (0, b""))

    # The second file's word arrives once the first file's rows are out.
    def test_process_substitution(self):
        process = start(["/bin/bash", "-c", LOOK + "<(echo look) <(read -r; printf 'xqz\\r')"])
        rows = first_line(process)
        out, err = process.communicate(b"\n", BOUND)
        self.assertEqual((process.returncode, rows + out, err), (0, LOOK_ROWS + XQZ, b""))

    def test_named_pipe_is_waited_for_as_cat_waits(self):
        fifo = Path(DIR.name, "fifo")
        fifo.unlink(missing_ok=True)
        os.mkfifo(fifo)
        process = start([PROGRAM, "--lookup", "--database", "words.mdb", "fifo"])

        writer = []

        def reader_there():  # a writer can open it only then
            try:
                writer.append(os.open(fifo, os.O_WRONLY | os.O_NONBLOCK))
            except OSError:
                pass
            return writer

        wait_until(reader_there, "the program opens the named pipe")
        os.write(writer[0], b"look\n")
        os.close(writer[0])
        out, err = process.communicate(timeout=BOUND)
        self.assertEqual((process.returncode, out, err), (0, LOOK_ROWS, b""))

    def test_soft_open_file_limit_raised_to_the_hard_one(self):
        hard = resource.getrlimit(resource.RLIMIT_NOFILE)[1]
        process = start([PROGRAM, "--lookup", "--database", "words.mdb", "-"],
                        preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (64, hard)))
        process.stdin.write(b"look\n")
        first_line(process)
        limits = Path("/proc/%d/limits" % process.pid).read_text()
        process.communicate(timeout=BOUND)
        soft = re.search(r"^Max open files +(\S+)", limits, re.M).group(1)
        self.assertEqual(soft, "unlimited" if hard == resource.RLIM_INFINITY else str(hard))

    def test_names_are_bytes(self):
        self.check([
            ("not UTF-8",
             "printf 'look\\n' > $'w\\xff.txt'; cp words.mdb $'d\\xfe.mdb'; rm -f $'o\\xfd.txt'; "
             "$LEXIGROVE --lookup --database $'d\\xfe.mdb' --output $'o\\xfd.txt' $'w\\xff.txt' "
             "&& cat $'o\\xfd.txt'; s=$?; rm $'w\\xff.txt' $'d\\xfe.mdb' $'o\\xfd.txt'; exit $s", 0,
             LOOK_ROWS, b""),
            ("not UTF-8, told quoted", "$LEXIGROVE --lookup --database words.mdb $'n\\xff.txt'",
             1, b"", b"Cannot read 'n'$'\\377''.txt': No such file"),
            ("a colon first is a file, not a resource",
             "cp look.txt :w.txt; cp words.mdb :d.mdb; "
             "$LEXIGROVE --lookup --database :d.mdb --output :o.txt :w.txt && cat :o.txt", 0,
             LOOK_ROWS, b""),
        ])

    def test_errors_name_the_cause(self):
        make_database = ("python3 -c \"import sqlite3, sys; c = sqlite3.connect(sys.argv[1]); "
                         "c.execute(sys.argv[2]); c.commit()\" ")
        self.check([
            ("no qrySynonyms", "rm -f other.mdb; " + make_database + "other.mdb 'create table t(x)'; "
             "$LEXIGROVE --lookup --database other.mdb look.txt", 1, b"",
             b"other.mdb: it is not a synonym database"),
            ("a field missing", "rm -f other.mdb; " + make_database +
             "other.mdb \"create view qrySynonyms as select 'a' word, 'b' synonym\"; "
             "$LEXIGROVE --lookup --database other.mdb look.txt", 1, b"", b"no such column: pos"),
            ("closed standard output", LOOK + "look.txt >&-", 1, b"",
             b"Cannot write standard output: Bad file descriptor"),
            ("closed standard input", LOOK + "- <&-", 1, b"",
             b"Cannot read standard input: Bad file descriptor"),
            ("closed standard output, given by name", LOOK + "--output /dev/stdout look.txt >&-", 1,
             b"", b"Cannot write standard output: Bad file descriptor"),
        ])
        with self.subTest("replaced mid-run"):
            shutil.copy(Path(DIR.name, "words.mdb"), Path(DIR.name, "moving.mdb"))
            process = start([PROGRAM, "--lookup", "--database", "moving.mdb", "-"])
            process.stdin.write(b"look\n")
            first_line(process)
            Path(DIR.name, "other.mdb").unlink()
            other = sqlite3.connect(Path(DIR.name, "other.mdb"))
            other.execute("create table t(x)")
            other.commit()
            other.close()
            shutil.copyfile(Path(DIR.name, "other.mdb"), Path(DIR.name, "moving.mdb"))
            out, err = process.communicate(b"look\n", BOUND)
            self.assertEqual(process.returncode, 1)
            self.assertIn(b"Cannot look up words in moving.mdb: ", err)

    def test_qt_options(self):
        self.check([
            ("taken by the window's QApplication",
             "XDG_RUNTIME_DIR=$(mktemp -d -p .) $LEXIGROVE -platform offscreen -reverse "
             "--style=fusion --version", 0, VERSION_TEXT, b""),
            ("not with --lookup", LOOK + "-platform offscreen look.txt", 2, b"", TRY_HELP[1:]),
            ("a mistake is told as one, without a display",
             "unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM; $LEXIGROVE --bogus", 2, b"",
             b"unknown option '--bogus'" + TRY_HELP),
            ("the help tells of them", "$LEXIGROVE --help", 0, b"*Qt's own options (-platform NAME",
             b""),
            ("a format that is a file name", "$LEXIGROVE --lookup --format look.txt", 2, b"",
             b"unknown format 'look.txt'"),
            ("help on a full disk", "$LEXIGROVE --help > /dev/full", 1, b"",
             b"Cannot write standard output: No space left on device"),
        ])

    # A private language whose thesaurus and dictionary a test may try to overwrite.
    def test_checked_before_any_build(self):
        early = ("export XDG_CACHE_HOME=$PWD/order; $LEXIGROVE --language is --lookup %s; s=$?; "
                 "ls -A order/lexigrove; exit $s")
        language = (
            "mkdir -p data/mythes data/hunspell eo; printf 'UTF-8\\nlook|1\\n(noun)|face\\n' > "
            "data/mythes/th_eo_v2.dat; echo index > data/mythes/th_eo_v2.idx; echo 1 > "
            "data/hunspell/eo.dic; echo 'SET UTF-8' > data/hunspell/eo.aff; md5sum data/*/* > sums; ")
        run = ("XDG_DATA_HOME=$PWD/data XDG_CACHE_HOME=$PWD/eo $LEXIGROVE --language eo --lookup "
               "look.txt --output ")
        unchanged = "; s=$?; md5sum --quiet -c sums && ls -A eo; exit $s"
        folder = DIR.name + "/data/"
        self.check([(name, early % arguments, 1, b"", err) for name, arguments, err in [
            ("a missing word file", "missing.txt",
             b"lexigrove: Cannot read missing.txt: No such file or directory\n"),
            ("an output that is a word file", "--output look.txt look.txt",
             b"it is the word file look.txt itself"),
            ("an output that cannot be written", "--output nodir/out.txt look.txt",
             b"nodir/out.txt: No such file or directory\n"),
        ]] + [(name, language + "ln -sf " + folder + target + " link; " + run + "link" + unchanged,
               1, b"", ("Cannot write the results to link: it is the %s %s%s itself; nothing was "
                        "written." % (kind, folder, target)).encode()) for name, target, kind in [
            ("the thesaurus, through a link", "mythes/th_eo_v2.dat", "thesaurus"),
            ("its index", "mythes/th_eo_v2.idx", "thesaurus"),
            ("the dictionary", "hunspell/eo.dic", "dictionary"),
            ("its affixes", "hunspell/eo.aff", "dictionary"),
        ]])

    def test_closed_pipe_ends_quietly(self):
        # Enough rows to fill the pipe many times over once head has gone.
        run = shell("for i in $(seq 20000); do echo look; done > many.txt; "
                    "$LEXIGROVE --lookup --database words.mdb many.txt | head -c1; "
                    "echo \" ${PIPESTATUS[0]}\"")
        self.assertEqual(run.stdout, b"L 141\n")  # 128 + SIGPIPE, as any filter ends
        self.assertEqual(run.stderr, b"")

    def test_failure_keeps_the_old_file(self):
        for name, arguments in [
            ("unreadable word file", "--database words.mdb words.txt nosuch.txt"),
            ("overlong line", "--database words.mdb words.txt long.txt"),
            ("bad database", "--database words.txt words.txt"),
        ]:
            with self.subTest(name), tempfile.TemporaryDirectory() as out:
                Path(out, "old.txt").write_bytes(b"old content\n")
                run = shell("$LEXIGROVE --lookup --output '%s/old.txt' %s; $LEXIGROVE --lookup "
                            "--output '%s/new.txt' %s" % (out, arguments, out, arguments))
                self.assertEqual((run.returncode, run.stdout), (1, b""))
                self.assertEqual(Path(out, "old.txt").read_bytes(), b"old content\n")
                self.assertEqual(os.listdir(out), ["old.txt"])


class Records(unittest.TestCase):
    def test_read_back_by_standard_readers(self):
        csv_reader = ("import csv, json, sys\n"
                      "records = list(csv.reader(open(0, encoding='utf-8', newline='')))\n"
                      "assert records.pop(0) == ['word', 'synonym', 'pos', 'relation', "
                      "'sense', 'note', 'inflected']\n"
                      "print(json.dumps(records))\n")
        json_reader = ("import json, sys\n"
                       "records = []\n"
                       "for line in open(0, encoding='utf-8', newline=''):\n"
                       "    assert line.endswith('}\\n')\n"
                       "    o = json.loads(line)\n"
                       "    assert list(o) == ['word', 'synonym', 'pos', 'relation', "
                       "'sense', 'note', 'inflected']\n"
                       "    records.append(['' if v is None else str(v) for v in o.values()])\n"
                       "print(json.dumps(records))\n")
        # Besides the shared words: control characters, which JSON must escape.
        words = WORDS + b"tab\there\r\nbell\x07\r\n"
        write("readback.txt", words)
        database = sqlite3.connect("file:%s/words.mdb?mode=ro" % DIR.name, uri=True)
        for name, options, reader, pos, relation in [
            ("table", "--format table", csv_reader, "", ""),
            ("jsonl", "--format jsonl", json_reader, "", ""),
            ("table, filtered", "--format table --pos adj,verb --relation synonym", csv_reader,
             "adj,verb", "synonym"),
            ("jsonl, filtered", "--format jsonl --relation 'similar term'", json_reader, "",
             "similar term"),
        ]:
            with self.subTest(name):
                # What the records must say, straight from the database.
                expected = []
                for line in words.split(b"\n")[:-1]:
                    word = line[:-1].decode()  # without its CR
                    found = database.execute(
                        "select synonym, pos, relation, sense, note from qryRelations where "
                        "word = ?1 and (?2 = '' or instr(',' || ?2 || ',', ',' || pos || ',')) and "
                        "(?3 = '' and relation in ('synonym', 'similar term', 'related term') or "
                        "relation = ?3)", (word, pos, relation)).fetchall()
                    # A thesaurus without a dictionary makes no forms.
                    records = [[word] + ["" if v is None else str(v) for v in record] + [""]
                               for record in found]
                    expected += records or [[word, "", "", "", "", "", ""]]
                write("reader.py", reader.encode())
                run = shell("$LEXIGROVE --lookup --database words.mdb " + options +
                            " readback.txt | python3 reader.py")
                self.assertEqual(run.returncode, 0, run.stderr)
                self.assertEqual(json.loads(run.stdout), expected)
        database.close()

    # A French thesaurus with a combined part of speech and thirty labels no table knows.
    def test_labelled_thesaurus(self):
        thesaurus = b"UTF-8\nmot|31\n(Adjectif Nom)|terme\n" + b"".join(
            b"(lab%c%c)|x\n" % (ord("a") + i // 10, ord("a") + i % 10) for i in range(30))
        write("th_fr_test.dat", thesaurus)
        import_thesaurus(Path(DIR.name, "th_fr_test.dat"), Path(DIR.name, "fr.mdb"))
        for name, options, code, out, err in [
            ("a combined part of speech matches each of its parts", "--pos noun", 0,
             b"MOT - terme\n", b""),
            ("and is one field in table", "--format table --pos adj", 0,
             b"word,synonym,pos,relation,sense,note,inflected\r\nmot,terme,adj noun,synonym,1,,"
             b"\r\n", b""),
            ("a long list of values is cut short", "--pos nosuch", 2, b"",
             b"it holds: noun, adj, labaa, labab, labac, labad, labae, labaf, labag, "
             b"labah, labai, labaj, labba, labbb, labbc, labbd, labbe, labbf, labbg, "
             b"labbh and 12 more" + TRY_HELP),
        ]:
            with self.subTest(name):
                run = shell("printf 'mot\\n' | $LEXIGROVE --lookup --database fr.mdb " + options +
                            " -")
                self.assertEqual((run.returncode, run.stdout), (code, out))
                self.assertTrue(run.stderr.endswith(err), run.stderr)


class Workbooks(unittest.TestCase):
    def test_holds_the_table_records(self):
        # What spreadsheets turn into formulas, numbers, dates and booleans, text
        # that is not ASCII, control characters and what looks like their XML
        # spelling, blanks at the ends, empty lines (the last one too).
        write("sheetwords.txt",
              "007\n=10*10\n=HYPERLINK(\"x\")\n1/2\nJune 23\nfalse\nTRUE\nété\nкот\n夏天\n"
              "x_x0041_y\n_x005F_\ntab\there\nbell\x07 esc\x1b[0m\n\x01\x1f\x7f\n  spaced  \n\n"
              "happy\nlook\nxqz\n\n".encode())
        Path(DIR.name, "sheet").mkdir()
        import_thesaurus(DATA / "spreadsheet.dat", Path(DIR.name, "sheet/words.mdb"))
        fixture = "--database sheet/words.mdb"
        for name, database, options, target in [
            ("spreadsheet-like words, to standard output", fixture, "", "> book.xlsx"),
            ("filtered, through --output", fixture,
             "--pos noun,adj --relation synonym,'similar term'", "--output book.xlsx"),
            # Without --database: words.mdb beside the program.
            ("the build's English database", "", "", "> book.xlsx"),
        ]:
            with self.subTest(name):
                lookup = "$LEXIGROVE --lookup " + database + " " + options
                run = shell(lookup + " --format table sheetwords.txt > table.csv && rm -f book.xlsx"
                            " && " + lookup + " --format xlsx sheetwords.txt " + target +
                            " && /usr/bin/python3 " + str(TESTS / "support/workbook_vs_table.py") +
                            " table.csv book.xlsx")
                self.assertEqual(run.returncode, 0, run.stderr)
                self.assertTrue(run.stdout.endswith(b" records\n"), run.stdout)
                self.assertGreaterEqual(int(run.stdout.split(b" ")[0]), 20, run.stdout)

    def test_cell_limit(self):
        grin = "\U0001F600".encode()  # two UTF-16 code units
        for name, word, err in [
            ("32767 characters fit", b"a" * 32767, b""),
            ("32768 do not", b"a" * 32768,
             b"Cannot write line 2 of long.txt to the workbook: its word is 32768 "
             b"characters long, more than a spreadsheet cell holds (32767).\n"),
            ("beyond the BMP, 32767 code units fit", grin * 16383 + b"a", b""),
            ("beyond the BMP, each character counts twice", grin * 16384,
             b"its word is 32768 characters long"),
        ]:
            with self.subTest(name), tempfile.TemporaryDirectory() as out:
                book = Path(out, "book.xlsx")
                book.write_bytes(b"old content\n")
                # Its own long.txt, beside the one with an overlong line.
                Path(DIR.name, "cell").mkdir(exist_ok=True)
                write("cell/long.txt", b"look\n" + word + b"\nhappy\n")
                run = shell("cd cell && $LEXIGROVE --lookup --database ../words.mdb --format xlsx "
                            "--output '%s' long.txt" % book)
                self.assertEqual(os.listdir(out), ["book.xlsx"])
                if not err:
                    self.assertEqual(run.returncode, 0, run.stderr)
                    self.assertTrue(book.read_bytes().startswith(b"PK\x03\x04"))
                    continue
                # Never cut short: nothing is written, and the old file stays.
                self.assertEqual(run.returncode, 1)
                self.assertIn(err, run.stderr)
                self.assertEqual(book.read_bytes(), b"old content\n")

    def test_continues_on_new_sheets(self):
        # One more record than the first sheet holds, and two beyond: the real
        # limit, since a smaller one for tests would leave that path untried.
        # The sheets' XML is read straight from the file; openpyxl would take
        # minutes over a million rows.
        check = r"""
import re, zipfile
book = zipfile.ZipFile('big.xlsx')
assert re.findall(r'<sheet name="([^"]*)"', book.read('xl/workbook.xml').decode()) == \
    ['Synonyms', 'Synonyms 2']
def rows(sheet, first, last):
    xml = book.read(f'xl/worksheets/sheet{sheet}.xml').decode()
    assert f'<autoFilter ref="A1:G{last - first + 2}"/>' in xml
    assert '<pane ySplit="1" topLeftCell="A2" activePane="bottomLeft" state="frozen"/>' in xml
    found = re.finditer(r'<row r="(\d+)"[^>]*><c r="A\1"[^>]*><is><t>([^<]*)</t>', xml)
    expected = enumerate(['word'] + [f'w{n}' for n in range(first, last + 1)], 1)
    for match, (number, word) in zip(found, expected, strict=True):
        assert match.groups() == (str(number), word), (match.groups(), number, word)
rows(1, 1, 1048575)
rows(2, 1048576, 1048578)
print('ok')
"""
        write("sheets.py", check.encode())
        run = shell("seq -f w%.0f 1048578 > many.txt && $LEXIGROVE --lookup --database "
                    "words.mdb --quiet --format xlsx many.txt > big.xlsx && "
                    "/usr/bin/python3 sheets.py; rm -f big.xlsx many.txt", timeout=600)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stdout, b"ok\n")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
