"""A screen reader's walk through kalu-settings over the accessibility bus.

Run by accessibility_e2e.sh with the program already started on the
test's private buses; SIMDEV names the simdev program. Every step waits for
what it needs, with a generous bound against hangs, and says what it saw
when it fails.
"""

import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

BOUND = 60.0  # seconds, against hangs only
SIMDEV = os.environ["SIMDEV"]
FOCUS_EVENTS = []
STATE_EVENTS = []


def pump():
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_for(what, probe):
    """Polls probe() until it answers something true; fails after BOUND."""
    deadline = time.monotonic() + BOUND
    last = None
    while time.monotonic() < deadline:
        pump()
        try:
            last = probe()
        except Exception as error:  # a node may go while a page is rebuilt
            last = error
        if last and not isinstance(last, Exception):
            return last
        time.sleep(0.1)
    sys.exit(f"FAILED: {what} (last seen: {last!r})")


def children(node):
    return [node.getChildAtIndex(i) for i in range(node.childCount)]


def walk(node):
    yield node
    for child in children(node):
        if child is not None:
            yield from walk(child)


def has(node, state):
    return node.getState().contains(state)


def settings_window():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        if app is not None and app.name == "Settings":
            frames = children(app)
            if frames and frames[0].getRole() == pyatspi.ROLE_FRAME:
                return frames[0]
    return None


def nodes(frame, role=None, name=None):
    return [
        n
        for n in walk(frame)
        if (role is None or n.getRole() == role) and (name is None or n.name == name)
    ]


def open_pane(frame, title):
    row = wait_for(f"a sidebar row {title}", lambda: nodes(frame, pyatspi.ROLE_LIST_ITEM, title))[0]
    row.queryAction().doAction(0)
    wait_for(
        f"the {title} row selected",
        lambda: any(has(r, pyatspi.STATE_SELECTED) for r in nodes(frame, pyatspi.ROLE_LIST_ITEM, title)),
    )


def simdev(*args):
    return subprocess.run([SIMDEV, *args], check=True, capture_output=True, text=True).stdout.strip()


def on_focus(event):
    if event.detail1 == 1:
        FOCUS_EVENTS.append((event.source.name, event.source.getRole()))


def on_checked(event):
    STATE_EVENTS.append((event.source.name, event.detail1))


def check_sidebar(frame):
    rows = wait_for("22 sidebar rows", lambda: [r for r in nodes(frame, pyatspi.ROLE_LIST_ITEM)] if len(nodes(frame, pyatspi.ROLE_LIST_ITEM)) == 22 else None)
    names = [r.name for r in rows]
    assert all(names), f"a sidebar row has no name: {names}"
    assert names[0] == "Network" and "Bluetooth" in names and "Displays" in names, names
    selected = [r.name for r in rows if has(r, pyatspi.STATE_SELECTED)]
    assert selected == ["Network"], f"selected rows: {selected}"
    print("sidebar:", ", ".join(names))


def check_bluetooth(frame):
    pyatspi.Registry.registerEventListener(on_checked, "object:state-changed:checked")
    open_pane(frame, "Bluetooth")
    switch = wait_for(
        "the Bluetooth power switch",
        lambda: [n for n in nodes(frame, pyatspi.ROLE_TOGGLE_BUTTON, "Bluetooth")],
    )[0]
    assert has(switch, pyatspi.STATE_CHECKED) == (simdev("get", "bluetooth.powered") == "true")
    path = switch.path

    def power_switch():
        found = [n for n in nodes(frame, pyatspi.ROLE_TOGGLE_BUTTON, "Bluetooth")]
        return found[0] if found else None

    # The device turned off from outside: the switch follows.
    simdev("set", "bluetooth.powered", "false")
    wait_for("the switch unchecked after simdev", lambda: not has(power_switch(), pyatspi.STATE_CHECKED) or None)
    # Clicked through its action: on again, on the device too.
    power_switch().queryAction().doAction(0)
    wait_for("the switch checked after a click", lambda: has(power_switch(), pyatspi.STATE_CHECKED))
    wait_for("the device powered after a click", lambda: simdev("get", "bluetooth.powered") == "true")
    assert power_switch().path == path, "the switch changed its object path"
    wait_for("checked-state events off and on", lambda: ("Bluetooth", 0) in STATE_EVENTS and ("Bluetooth", 1) in STATE_EVENTS)
    print("bluetooth: the switch follows simdev and a click, checked-state events:", STATE_EVENTS)


def check_displays(frame):
    open_pane(frame, "Displays")
    combos = wait_for("the Displays dropdowns", lambda: nodes(frame, pyatspi.ROLE_COMBO_BOX))
    unnamed = [c.path for c in combos if not c.name]
    assert not unnamed, f"unnamed dropdowns: {unnamed}"
    print("displays:", ", ".join(c.name for c in combos))


def check_focus_follows_tab(frame):
    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    window = subprocess.run(
        ["xdotool", "search", "--sync", "--name", "^Settings$"], check=True, capture_output=True, text=True
    ).stdout.split()[0]
    subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)
    for _ in range(3):
        before = len(FOCUS_EVENTS)
        subprocess.run(["xdotool", "key", "Tab"], check=True)
        wait_for("a focus event after Tab", lambda: len(FOCUS_EVENTS) > before)
        name, role = FOCUS_EVENTS[-1]
        focused = [n for n in walk(frame) if has(n, pyatspi.STATE_FOCUSED)]
        assert len(focused) == 1 and focused[0].name == name, (name, [f.name for f in focused])
    print("focus events:", ", ".join(f"{n} ({r})" for n, r in FOCUS_EVENTS))


def main():
    frame = wait_for("the Settings window on the accessibility bus", settings_window)
    check_sidebar(frame)
    check_bluetooth(frame)
    check_displays(frame)
    check_focus_follows_tab(frame)
    print("ok")


main()
