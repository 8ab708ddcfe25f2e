#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Imports Debian's thesauri with their Hunspell dictionaries and measures each database.

Usage: import_languages.py LEXIGROVE-IMPORT [LANGUAGE...]

For each language it runs the importer under /usr/bin/time -v (wall time, peak resident
memory), then reads the database it wrote and prints one Markdown table row:

- pairs per relation: as the importer reports them on standard error;
- labels left: synonyms of headwords (every relation) whose text still holds "(...)";
- antonyms in qrySynonyms: rows of qrySynonyms whose (word, synonym) is only an antonym in
  qryRelations, in no meaning one of the synonym kinds ("n/a" for a database without that view);
- parts of speech: distinct pos values of the headwords' synonyms;
- forms: words filed under another headword, as the importer reports them;
- database MB: the size of the database written;
- ratio: the import's wall time over the time the sqlite3 shell takes to .import the rows the
  database holds (exported to CSV) into an empty database with the same schema, with the
  importer's own settings (no journal, no sync).

The headwords' keys are taken as Python's lower() of each headword, close to the importer's
case folding; forms answer with their headwords' synonyms, so these counts cover them too.
"""

import csv
import os
import re
import sqlite3
import subprocess
import sys
import tempfile
import time

MYTHES = "/usr/share/mythes"
HUNSPELL = "/usr/share/hunspell"

# name, thesaurus, dictionary
LANGUAGES = [
    ("en", "th_en_US_v2.dat", "en_US"),
    ("de", "th_de_DE_v2.dat", "de_DE"),
    ("fr", "thes_fr.dat", "fr_FR"),
    ("es", "th_es_ES_v2.dat", "es_ES"),
    ("it", "th_it_IT_v2.dat", "it_IT"),
    ("ru", "th_ru_RU_v2.dat", "ru_RU"),
    ("pt-PT", "th_pt_PT_v2.dat", "pt_PT"),
    ("pt-BR", "th_pt_BR.dat", "pt_BR"),
    ("pl", "th_pl_PL_v2.dat", "pl_PL"),
    ("cs", "th_cs_CZ_v2.dat", "cs_CZ"),
    # Twofold suffixes (verb and clitic pronouns): the most forms per headword.
    ("ca", "th_ca_ES_v3.dat", "ca_ES"),
    ("gl", "th_gl_ES_v2.dat", "gl_ES"),
    # No Ukrainian dictionary in Debian's hunspell packages: headwords alone.
    ("uk", "th_uk_UA_v2.dat", None),
]

LABEL = re.compile(r"\(.+\)")


def timed_import(importer, dat, dic, out):
    forms = ["--hunspell", dic] if dic else []
    result = subprocess.run(
        ["/usr/bin/time", "-v", importer] + forms + [dat, out],
        stderr=subprocess.PIPE, text=True, check=False)
    if result.returncode != 0:
        raise RuntimeError(result.stderr)
    wall = peak = None
    report = ""
    for line in result.stderr.splitlines():
        line = line.strip()
        if line.startswith("lexigrove-import: wrote"):
            report = line
        elif line.startswith("Elapsed (wall clock)"):
            parts = line.rsplit(" ", 1)[1].split(":")
            wall = sum(float(p) * 60 ** i for i, p in enumerate(reversed(parts)))
        elif line.startswith("Maximum resident set size"):
            peak = int(line.rsplit(" ", 1)[1]) / 1024
    return wall, peak, report


def reported(report):
    """(pairs per relation, forms) from 'wrote X: N headwords, n rel, ..., F forms'."""
    fields = report.split(": ", 2)[2].split(", ")
    relations = [f for f in fields[1:] if not f.endswith(" forms")]
    forms = next(f for f in fields if f.endswith(" forms")).split(" ")[0]
    return "; ".join(relations), forms


def has_view(db, name):
    return db.execute("SELECT 1 FROM sqlite_master WHERE type='view' AND name=?",
                      (name,)).fetchone() is not None


def contents(path):
    db = sqlite3.connect(path)
    relations_view = "qryRelations" if has_view(db, "qryRelations") else "qrySynonyms"
    keys = {row[0].lower() for row in db.execute("SELECT word FROM headword")}
    labels = antonyms = 0
    parts = set()
    for key in keys:
        rows = db.execute(f"SELECT synonym, pos, relation FROM {relations_view} WHERE word=?",
                          (key,)).fetchall()
        labels += sum(1 for synonym, _, _ in rows if LABEL.search(synonym))
        parts.update(pos for _, pos, _ in rows)
        if relations_view == "qryRelations":
            # A term the entry gives as an antonym in one meaning and as a synonym in another
            # ("blessed": cursed, both the opposite and, said ironically, the same) belongs in
            # qrySynonyms; an antonym and nothing else never does.
            kinds = {}
            for s, _, relation in rows:
                kinds.setdefault(s, set()).add(relation)
            opposite = {s for s, found in kinds.items() if found == {"antonym"}}
            antonyms += sum(1 for (s,) in db.execute(
                "SELECT synonym FROM qrySynonyms WHERE word=?", (key,)) if s in opposite)
    db.close()
    return labels, (antonyms if relations_view == "qryRelations" else "n/a"), len(parts)


def shell_import_time(path, work):
    """Seconds the sqlite3 shell takes to .import every table's rows into the same schema."""
    db = sqlite3.connect(path)
    schema = [row[0] for row in db.execute(
        "SELECT sql FROM sqlite_master WHERE type IN ('table','index') AND sql IS NOT NULL "
        "ORDER BY type DESC")]
    tables = [row[0] for row in db.execute(
        "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%'")]
    commands = ["PRAGMA journal_mode = OFF;", "PRAGMA synchronous = OFF;"]
    commands += [statement + ";" for statement in schema]
    commands.append(".mode csv")
    for table in tables:
        csv_path = os.path.join(work, table + ".csv")
        with open(csv_path, "w", newline="", encoding="utf-8") as out:
            csv.writer(out).writerows(db.execute(f"SELECT * FROM {table}"))
        commands.append(f".import {csv_path} {table}")
    db.close()
    target = os.path.join(work, "shell.db")
    start = time.monotonic()
    subprocess.run(["sqlite3", target], input="\n".join(commands) + "\n", text=True,
                   check=True, stdout=subprocess.DEVNULL)
    return time.monotonic() - start


def main():
    importer = sys.argv[1]
    wanted = set(sys.argv[2:])
    print("| language | thesaurus | pairs per relation | labels left | antonyms in qrySynonyms "
          "| parts of speech | forms | import s | sqlite3 .import s | ratio | peak MB | database MB |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|")
    for name, thesaurus, dictionary in LANGUAGES:
        if wanted and name not in wanted:
            continue
        dat = os.path.join(MYTHES, thesaurus)
        dic = os.path.join(HUNSPELL, dictionary + ".dic") if dictionary else None
        if not (os.path.exists(dat) and (dic is None or os.path.exists(dic))):
            print(f"| {name} | not installed | | | | | | | | | | |")
            continue
        with open(dat, "rb") as f:
            encoding = f.readline().lstrip(b"\xef\xbb\xbf").strip().decode("ascii", "replace")
        with tempfile.TemporaryDirectory() as work:
            out = os.path.join(work, "words.mdb")
            print(f"{name}: importing", file=sys.stderr)
            wall, peak, report = timed_import(importer, dat, dic, out)
            relations, forms = reported(report)
            size = os.path.getsize(out) / 1e6
            labels, antonyms, parts = contents(out)
            shell = shell_import_time(out, work)
        source = f"{thesaurus} ({encoding})" + (f" + {dictionary}" if dictionary else "")
        print(f"| {name} | {source} | {relations} | {labels:,} "
              f"| {antonyms} | {parts:,} | {forms} | {wall:.2f} | {shell:.2f} "
              f"| {wall / shell:.2f} | {peak:.0f} | {size:.0f} |", flush=True)


if __name__ == "__main__":
    main()
