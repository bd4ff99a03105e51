"""A screen reader's walk through kalu-settings over the accessibility bus.

Run by accessibility_e2e.sh with the program already started on the
test's private buses; SIMDEV names the simdev program. Every step waits for
what it needs, with a generous bound against hangs, and says what it saw
when it fails.

Two clients read the tree: pyatspi, long-lived and caching what it read as
screen readers do (kept up to date by the events and the cache's signals),
and a fresh one that asks the cache for every item anew over D-Bus; after
each pane switch both must read every node alike.
"""

import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import Gio, GLib

BOUND = 60.0  # seconds, against hangs only
SIMDEV = os.environ["SIMDEV"]
FOCUS_EVENTS = []
STATE_EVENTS = []
SELECTION_EVENTS = []


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
        ["xdotool", "search", "--sync", "--name", "^Settings$"],
        check=True,
        capture_output=True,
        text=True,
        timeout=BOUND,
    ).stdout.split()[0]
    subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True, timeout=BOUND)
    for _ in range(3):
        before = len(FOCUS_EVENTS)
        subprocess.run(["xdotool", "key", "Tab"], check=True)
        wait_for("a focus event after Tab", lambda: len(FOCUS_EVENTS) > before)
        name, role = FOCUS_EVENTS[-1]
        focused = [n for n in walk(frame) if has(n, pyatspi.STATE_FOCUSED)]
        assert len(focused) == 1 and focused[0].name == name, (name, [f.name for f in focused])
    print("focus events:", ", ".join(f"{n} ({r})" for n, r in FOCUS_EVENTS))


# ---- A fresh client: the cache's items, asked anew over D-Bus ----

ACCESSIBLE = "org.a11y.atspi.Accessible"


class Fresh:
    """Reads the window's nodes straight from its Cache.GetItems, uncached."""

    def __init__(self):
        session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        address = session.call_sync(
            "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
            GLib.VariantType("(s)"), Gio.DBusCallFlags.NONE, -1, None).unpack()[0]
        flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                 | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        self.bus = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)
        self.name = None
        apps = self.call("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root", ACCESSIBLE,
                         "GetChildren", None, "(a(so))")[0]
        for name, path in apps:
            if self.property(name, path, ACCESSIBLE, "Name") == "Settings":
                self.name = name
        assert self.name, f"no Settings among {apps}"
        self.added = []
        self.bus.signal_subscribe(self.name, "org.a11y.atspi.Cache", "AddAccessible",
                                  "/org/a11y/atspi/cache", None, Gio.DBusSignalFlags.NONE,
                                  self.on_added)

    def on_added(self, _bus, _sender, _path, _interface, _signal, parameters):
        item = parameters.unpack()[0]
        self.added.append((item[0][1], item[6], item[7]))  # path, name, role

    def call(self, name, path, interface, method, args, reply):
        return self.bus.call_sync(name, path, interface, method, args, GLib.VariantType(reply),
                                  Gio.DBusCallFlags.NONE, 30000, None).unpack()

    def property(self, name, path, interface, prop):
        return self.call(name, path, "org.freedesktop.DBus.Properties", "Get",
                         GLib.Variant("(ss)", (interface, prop)), "(v)")[0]

    def read(self):
        """{path: (name, role, value)} of every node."""
        items = self.call(self.name, "/org/a11y/atspi/cache", "org.a11y.atspi.Cache", "GetItems",
                          None, "(a((so)(so)(so)iiassusau))")[0]
        by_path = {item[0][1]: item for item in items}
        children = {}
        for item in items:
            children.setdefault(item[2][1], []).append(item[0][1])
        out = {}
        for path, item in by_path.items():
            interfaces, name, role = item[5], item[6], item[7]
            value = None
            if role == int(pyatspi.ROLE_COMBO_BOX):
                value = chosen_of([(by_path[o][6], selected_in(by_path[o][9]))
                                   for menu in children.get(path, [])
                                   for o in children.get(menu, [])])
            elif "org.a11y.atspi.Text" in interfaces:
                value = self.call(self.name, path, "org.a11y.atspi.Text", "GetText",
                                  GLib.Variant("(ii)", (0, -1)), "(s)")[0]
            elif "org.a11y.atspi.Value" in interfaces:
                value = self.property(self.name, path, "org.a11y.atspi.Value", "CurrentValue")
            out[path] = (name, role, value)
        return out


def selected_in(words):
    bit = int(pyatspi.STATE_SELECTED)
    return bool((words[bit // 32] >> (bit % 32)) & 1)


def chosen_of(options):
    """The names of the selected options of (name, selected) pairs."""
    return tuple(name for name, selected in options if selected)


def value_of(node):
    """What a caching client reads as a node's value."""
    role = node.getRole()
    if role == pyatspi.ROLE_COMBO_BOX:
        menus = children(node)
        return chosen_of([(o.name, has(o, pyatspi.STATE_SELECTED)) for m in menus for o in children(m)])
    interfaces = node.get_interfaces()
    if "Text" in interfaces:
        return node.queryText().getText(0, -1)
    if "Value" in interfaces:
        return node.queryValue().currentValue
    return None


def read_cached(frame):
    return {n.path: (n.name, int(n.getRole()), value_of(n)) for n in walk(frame) if n is not None}


def differences(cached, fresh):
    out = []
    for path in sorted(set(cached) | set(fresh)):
        if cached.get(path) != fresh.get(path):
            out.append((path, cached.get(path), fresh.get(path)))
    return out


def check_cache_follows_pane_switches(frame, fresh):
    # Every object event, so that the long-lived client keeps its cache.
    pyatspi.Registry.registerEventListener(lambda e: None, "object:")
    panes = ["Network", "Power", "Users", "Bluetooth", "Displays", "Sound", "Notifications",
             "Time & Date", "Keyboard Shortcuts", "Network", "Users"]
    for title in panes:
        open_pane(frame, title)
        last = []

        def alike():
            try:
                last[:] = differences(read_cached(frame), fresh.read())
            except Exception as error:  # a node may go while the page is rebuilt
                last[:] = [("(walk)", repr(error), None)]
            return not last

        # A whole walk of a page with long lists takes a while under the
        # sanitizers: three bounds, against hangs only.
        deadline = time.monotonic() + 3 * BOUND
        while not alike():
            pump()
            if time.monotonic() > deadline:
                sys.exit(f"FAILED: after {title} the caching client reads {len(last)} nodes "
                         f"unlike a fresh one: {last[:8]!r}")
            time.sleep(0.2)
    assert fresh.added, "no Cache.AddAccessible over ten pane switches"
    print(f"cache: alike after {len(panes)} pane switches, {len(fresh.added)} items added")


def group_of(node):
    up = node.parent
    while up is not None and up.getRole() != pyatspi.ROLE_FRAME:
        if up.getRole() in (pyatspi.ROLE_GROUPING, pyatspi.ROLE_PANEL, pyatspi.ROLE_LIST_ITEM):
            if up.name:
                return up.name
        up = up.parent
    return None


def on_selection(event):
    SELECTION_EVENTS.append((event.type, event.source.name, event.detail1))


def focused_node(frame):
    found = [n for n in walk(frame) if n is not None and has(n, pyatspi.STATE_FOCUSED)]
    return found[0] if found else None


def on_the_page(frame):
    """The focused node, when it is a control of the page (not the sidebar)."""
    node = focused_node(frame)
    if node is None or node.getRole() == pyatspi.ROLE_LIST_ITEM:
        return None
    if node.get_accessible_id() == "settings.search":
        return None
    return node


def button(frame, name, within=None):
    found = [n for n in nodes(frame, pyatspi.ROLE_PUSH_BUTTON, name)
             if within is None or group_of(n) == within]
    return found[0] if found else None


def check_display_scale(frame):
    pyatspi.Registry.registerEventListener(on_selection, "object:selection-changed")
    pyatspi.Registry.registerEventListener(on_selection, "object:state-changed:selected")
    open_pane(frame, "Displays")
    scales = wait_for("two Scale dropdowns",
                      lambda: (lambda s: s if len(s) >= 2 else None)(
                          nodes(frame, pyatspi.ROLE_COMBO_BOX, "Scale")))
    groups = [group_of(s) for s in scales]
    assert all(groups) and len(set(groups)) == len(groups), f"Scale groups: {groups}"
    combo = scales[0]
    path = combo.path
    before = value_of(combo)
    assert len(before) == 1, f"the Scale dropdown reads {before!r}"
    options = [o for m in children(combo) for o in children(m)]
    other = next(o for o in options if o.name != before[0])
    del SELECTION_EVENTS[:]
    other.queryAction().doAction(0)

    def scale():
        found = [c for c in nodes(frame, pyatspi.ROLE_COMBO_BOX, "Scale") if c.path == path]
        return found[0] if found else None

    wait_for(f"the Scale dropdown reads {other.name}", lambda: value_of(scale()) == (other.name,))
    wait_for("a selection-changed event and the option selected",
             lambda: any(t.startswith("object:selection-changed") for t, _, _ in SELECTION_EVENTS)
             and any(n == other.name and d == 1 for t, n, d in SELECTION_EVENTS
                     if t.startswith("object:state-changed:selected")))
    print(f"displays: Scale in {groups} reads {before} then {other.name}; events {SELECTION_EVENTS[:4]}")

    # Applied, the safety test asks; Keep answers, and the focus stays on the page.
    apply = wait_for("the Apply button", lambda: button(frame, "Apply"))
    apply.queryAction().doAction(0)
    keep = wait_for("the Keep button", lambda: button(frame, "Keep"))
    assert "seconds" in keep.description, f"Keep is described as {keep.description!r}"
    keep.queryAction().doAction(0)
    wait_for("Keep gone", lambda: button(frame, "Keep") is None)
    node = wait_for("the focus on a control of the page after Keep", lambda: on_the_page(frame))
    print(f"displays: after Keep the focus is on {node.name} ({node.getRoleName()})")


def check_users(frame):
    open_pane(frame, "Users")
    make = wait_for("a Make administrator button", lambda: button(frame, "Make administrator"))
    account = group_of(make)
    assert account, "the account's buttons have no group"
    make.queryAction().doAction(0)
    wait_for("Make standard in the account's group",
             lambda: button(frame, "Make standard", within=account))
    node = wait_for("the focus on a control of the page after Make administrator",
                    lambda: on_the_page(frame))
    print(f"users: {account} made administrator, the focus is on {node.name}")

    add = wait_for("the Add user button", lambda: button(frame, "Add user"))
    add.queryAction().doAction(0)
    field = wait_for("the focus on Full name", lambda: (lambda f: f if f is not None and f.name == "Full name" else None)(focused_node(frame)))
    assert field.getRole() == pyatspi.ROLE_ENTRY
    password = [n for n in nodes(frame, pyatspi.ROLE_PASSWORD_TEXT)]
    assert password and password[0].description, "the password's hint describes nothing"
    create = wait_for("the Create button", lambda: button(frame, "Create"))
    # Created with empty fields, the platform refuses; either way the focus
    # stays on a control of the page.
    create.queryAction().doAction(0)
    node = wait_for("the focus on a control of the page after Create", lambda: on_the_page(frame))
    print(f"users: after Create the focus is on {node.name} ({node.getRoleName()})")


def main():
    frame = wait_for("the Settings window on the accessibility bus", settings_window)
    check_sidebar(frame)
    check_bluetooth(frame)
    check_displays(frame)
    check_focus_follows_tab(frame)
    fresh = Fresh()
    check_cache_follows_pane_switches(frame, fresh)
    check_display_scale(frame)
    check_users(frame)
    print("ok")


main()
