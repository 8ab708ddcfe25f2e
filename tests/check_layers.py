#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The core stands on its own: every project header a file under src/core includes lies under
src/core, it includes no Qt GUI or Widgets header, and its libraries link no front end's."""
import pathlib, re, sys

root = pathlib.Path(sys.argv[1])
core = root / "src" / "core"
headers = {}
for f in (root / "src").rglob("*.h"):
    headers.setdefault(f.name, []).append(f)

bad = []
for f in sorted(core.rglob("*")):
    if f.suffix not in (".h", ".cpp"):
        continue
    text = f.read_text(encoding="utf-8", errors="replace")
    for name in re.findall(r'#\s*include\s*"([^"]+)"', text):
        places = headers.get(pathlib.Path(name).name, [])
        if any(core not in p.parents for p in places):
            bad.append("%s includes %s" % (f.relative_to(root), name))
    for name in re.findall(r"#\s*include\s*<(Qt(?:Gui|Widgets)/\w+|Q\w+)>", text):
        if name.startswith(("QtGui", "QtWidgets")) or name in ("QWidget", "QApplication", "QGuiApplication",
                                                                "QPixmap", "QImage", "QColor", "QFont"):
            bad.append("%s includes <%s>" % (f.relative_to(root), name))

front_ends = {"desktop", "platform", "lookup", "wordlist", "results", "app", "cli", "Qt6::Gui", "Qt6::Widgets"}
for cm in core.rglob("CMakeLists.txt"):
    text = re.sub(r"#[^\n]*", "", cm.read_text(encoding="utf-8"))
    for m in re.finditer(r"target_link_libraries\(\s*[\w-]+([^)]*)\)", text):
        for t in set(m.group(1).split()) & front_ends:
            bad.append("%s links %s" % (cm.relative_to(root), t))

for line in bad:
    print(line)
sys.exit(1 if bad else 0)
