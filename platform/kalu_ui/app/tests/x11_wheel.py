#!/usr/bin/env python3
"""Turns the mouse wheel over a point of an X display, with the X library alone.

The pointer is warped to the point, so the server itself reports the motion to
the window there, and each notch of the wheel is a press and a release of its
button (4 up, 5 down) sent to the window under the pointer.

usage: x11_wheel.py DISPLAY X Y STEPS   (STEPS > 0 scrolls down, < 0 up)
"""

import ctypes
import sys

BUTTON_PRESS, BUTTON_RELEASE = 4, 5
BUTTON_PRESS_MASK, BUTTON_RELEASE_MASK = 1 << 2, 1 << 3


class XButtonEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("window", ctypes.c_ulong),
        ("root", ctypes.c_ulong),
        ("subwindow", ctypes.c_ulong),
        ("time", ctypes.c_ulong),
        ("x", ctypes.c_int),
        ("y", ctypes.c_int),
        ("x_root", ctypes.c_int),
        ("y_root", ctypes.c_int),
        ("state", ctypes.c_uint),
        ("button", ctypes.c_uint),
        ("same_screen", ctypes.c_int),
    ]


class XEvent(ctypes.Union):
    # The library's event union is 24 longs whatever the event.
    _fields_ = [("xbutton", XButtonEvent), ("pad", ctypes.c_long * 24)]


def main(argv):
    if len(argv) != 5:
        sys.exit(__doc__)
    name, x, y, steps = argv[1].encode(), int(argv[2]), int(argv[3]), int(argv[4])
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XDefaultRootWindow.restype = ctypes.c_ulong
    xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    xlib.XWarpPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong] + [
        ctypes.c_int
    ] * 2 + [ctypes.c_uint] * 2 + [ctypes.c_int] * 2
    ulong_p, int_p, uint_p = (
        ctypes.POINTER(ctypes.c_ulong),
        ctypes.POINTER(ctypes.c_int),
        ctypes.POINTER(ctypes.c_uint),
    )
    xlib.XQueryPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ulong_p, ulong_p] + [
        int_p
    ] * 4 + [uint_p]
    xlib.XSendEvent.argtypes = [
        ctypes.c_void_p,
        ctypes.c_ulong,
        ctypes.c_int,
        ctypes.c_long,
        ctypes.POINTER(XEvent),
    ]
    xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]

    display = xlib.XOpenDisplay(name)
    if not display:
        sys.exit(f"cannot open display {argv[1]}")
    root = xlib.XDefaultRootWindow(display)
    xlib.XWarpPointer(display, 0, root, 0, 0, 0, 0, x, y)
    xlib.XSync(display, 0)

    # The deepest window under the pointer, and the point in its coordinates.
    window = root
    root_ret, child = ctypes.c_ulong(), ctypes.c_ulong()
    rx, ry, wx, wy, mask = ctypes.c_int(), ctypes.c_int(), ctypes.c_int(), ctypes.c_int(), ctypes.c_uint()
    while True:
        xlib.XQueryPointer(display, window, root_ret, child, rx, ry, wx, wy, mask)
        if not child.value:
            break
        window = child.value
    if window == root:
        sys.exit(f"no window at {x},{y}")

    button = 5 if steps > 0 else 4
    for _ in range(abs(steps)):
        for kind, event_mask in (
            (BUTTON_PRESS, BUTTON_PRESS_MASK),
            (BUTTON_RELEASE, BUTTON_RELEASE_MASK),
        ):
            event = XEvent()
            b = event.xbutton
            b.type, b.send_event, b.display = kind, 1, display
            b.window, b.root, b.subwindow = window, root, 0
            b.x, b.y, b.x_root, b.y_root = wx.value, wy.value, rx.value, ry.value
            b.button, b.same_screen = button, 1
            xlib.XSendEvent(display, window, 1, event_mask, ctypes.byref(event))
    # The application takes each notch as a wheel event of its own, however
    # close together they come: no pause between them is needed.
    xlib.XSync(display, 0)
    xlib.XCloseDisplay(display)


if __name__ == "__main__":
    main(sys.argv)
