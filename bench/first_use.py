#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""How long a language takes the first time it is chosen, and what it costs.

Usage: first_use.py LEXIGROVE [LABEL=LEXIGROVE...] [--only CODE...]

For every installed language (`lexigrove --languages`) it runs each program given as
`lexigrove --language CODE --lookup -` with a word on standard input and an empty cache, under
/usr/bin/time -v: wall time, CPU time (user and system, both cores counted) and peak resident
memory, then the size of the database it wrote. The reference is the time the sqlite3 shell
takes to load the same tables from CSV into the same schema in one transaction with the
journal off (import_languages.py's shell_import_time). Prints one Markdown table row a
language; programs are measured one after the other, language by language, so that each row's
figures meet the same load of the machine.
"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from import_languages import shell_import_time  # noqa: E402


def languages(program):
    with tempfile.TemporaryDirectory() as cache:
        listing = subprocess.run([program, "--languages"], env=dict(os.environ,
                                 XDG_CACHE_HOME=cache), capture_output=True, text=True,
                                 check=True).stdout
    return [line.split("\t")[0] for line in listing.splitlines() if line]


def first_use(program, code, cache):
    """(wall s, CPU s, peak MB, database path) of the first lookup in an empty cache."""
    result = subprocess.run(
        ["/usr/bin/time", "-v", program, "--language", code, "--lookup", "-"],
        input="x\n", stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
        env=dict(os.environ, XDG_CACHE_HOME=cache), check=False)
    if result.returncode != 0:
        raise RuntimeError(f"{code}: {result.stderr}")
    figures = {}
    for line in result.stderr.splitlines():
        name, _, value = line.strip().rpartition(": ")
        figures[name] = value
    parts = figures["Elapsed (wall clock) time (h:mm:ss or m:ss)"].split(":")
    wall = sum(float(p) * 60 ** i for i, p in enumerate(reversed(parts)))
    cpu = float(figures["User time (seconds)"]) + float(figures["System time (seconds)"])
    peak = int(figures["Maximum resident set size (kbytes)"]) / 1024
    return wall, cpu, peak, os.path.join(cache, "lexigrove", code + ".mdb")


def main():
    args = sys.argv[1:]
    only = []
    if "--only" in args:
        at = args.index("--only")
        args, only = args[:at], args[at + 1:]
    programs = [arg.partition("=")[::2] if "=" in arg else ("", arg) for arg in args]
    header = "| language | sqlite3 .import s |"
    for label, _ in programs:
        suffix = f" ({label})" if label else ""
        header += (f" first use s{suffix} | ratio{suffix} | CPU s{suffix} | peak MB{suffix} "
                   f"| database MB{suffix} |")
    print(header)
    print("|---" * (header.count("|") - 1) + "|")
    for code in languages(programs[0][1]):
        if only and code not in only:
            continue
        print(f"{code}: building", file=sys.stderr)
        with tempfile.TemporaryDirectory() as work:
            measured = []
            for index, (_, program) in enumerate(programs):
                measured.append(first_use(program, code, os.path.join(work, f"cache{index}")))
            shell = shell_import_time(measured[0][3], work)
            row = f"| {code} | {shell:.2f} |"
            for wall, cpu, peak, path in measured:
                row += (f" {wall:.2f} | {wall / shell:.2f} | {cpu:.2f} | {peak:.0f} "
                        f"| {os.path.getsize(path) / 1e6:.1f} |")
        print(row, flush=True)


if __name__ == "__main__":
    main()
