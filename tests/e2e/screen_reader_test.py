#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The real window read over AT-SPI as a screen reader reads it, a row ticked through its action
# and what is heard during a lookup. Argument: the lexigrove executable. Runs on a display and a
# session bus of its own; exits 77 (skipped) only when the accessibility bus cannot start.
import os, subprocess, sys, time
if not os.environ.get("INSIDE_SESSION"):
    os.environ.update(INSIDE_SESSION="1", QT_QPA_PLATFORM="xcb")  # the bridge is xcb's
    sys.exit(subprocess.call(["xvfb-run", "-a", "-s", "-screen 0 1024x768x24", "dbus-run-session",
                              "--", sys.executable, *sys.argv]))
from gi.repository import Gio, GLib
try:  # Switched on as a screen reader does; the bus starts on the way.
    Gio.bus_get_sync(Gio.BusType.SESSION).call_sync("org.a11y.Bus", "/org/a11y/bus",
        "org.freedesktop.DBus.Properties", "Set", GLib.Variant("(ssv)", ("org.a11y.Status",
        "IsEnabled", GLib.Variant("b", True))), None, 0, 20000)
except GLib.Error as error:
    sys.exit(print(f"SKIP: no accessibility bus: {error.message}") or 77)
import pyatspi
heard = []
pyatspi.Registry.registerEventListener(
    lambda e: heard.append((e.type, e.source.getRoleName(), e.detail1)),
    "object:state-changed:checked", "object:property-change:accessible-description")

def wait_for(what, found):
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        while GLib.MainContext.default().iteration(False): pass
        if result := found(): return result
        time.sleep(0.05)
    sys.exit(f"FAIL: {what}")
def find(within, role, name=None):  # among its children: a list's rows are many
    return next((o for o in within if o.getRoleName() == role and name in (None, o.name)), None)
def check(rows):  # where, role, name (None: the first of its role), description, states, not
    for within, role, name, description, have, lack in rows:
        o = wait_for(f"a {role} {name}", lambda: find(within, role, name))
        states = {pyatspi.stateToString(s) for s in o.getState().getStates()}
        if description not in (None, o.description) or not have <= states or lack & states:
            sys.exit(f"FAIL: {role} {o.name!r}: {o.description!r} {sorted(states)}")
        yield o
program = subprocess.Popen([sys.argv[1]])
try:
    app = wait_for("the program on the bus", lambda: next(
        (a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "lexigrove"), None))
    frame = wait_for("its window", lambda: find(app, "frame", "Lexigrove"))
    words, results, *_ = check([
        (frame, "tree", "Word(s)", "", {"focusable", "manages descendants"}, set()),
        (frame, "tree", "Results", None, {"focusable", "manages descendants"}, set()),
        (frame, "progress bar", "Progress", "Progress Bar", {"showing"}, set()),
        (frame, "combo box", "Thesaurus", "", {"focusable"}, set())])
    # A paste of words whose rows make the run outlast a few frames of the progress bar in an
    # optimised build too: a run within one frame changes its text only once, back to where it was.
    subprocess.run(["xsel", "-bi"], input="look\n" * 20000, text=True, check=True)
    subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Lexigrove$", "windowfocus",
                    "--sync"], check=True)
    wait_for("the word list's focus", lambda: words.getState().contains(pyatspi.STATE_FOCUSED))
    subprocess.run(["xdotool", "key", "ctrl+v"], check=True)
    wait_for("the paste", lambda: words.queryTable().nRows == 20000)
    find(frame, "push button", "Start Looking Up Synonyms").queryAction().doAction(0)
    pyatspi.findDescendant(wait_for("Done.", lambda: find(app, "alert")),
                           lambda o: o.name == "OK").queryAction().doAction(0)
    row, = check([(results, "check box", None, None, {"selectable"}, {"checked"})])
    if row.queryAction().getName(0) != "Toggle" or not row.queryAction().doAction(0):
        sys.exit(f"FAIL: {row.name!r} does not toggle")
    list(check([(results, "check box", row.name, row.description, {"checked"}, set())]))
    for event in [("object:state-changed:checked", "check box", 1),
                  ("object:property-change:accessible-description", "progress bar", 0)]:
        wait_for(f"heard {event}", lambda: event in heard)
finally: program.terminate()
print("read as a screen reader reads it")
