"""Saves the screen of $DISPLAY as a PNG, through libX11 alone.

xgrab.py OUT.png [WINDOW]: with a window id, only that window is saved, with
the frame the window manager has put round it."""
import ctypes
import struct
import sys
import zlib

x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XGetPixel.restype = ctypes.c_ulong
x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
x11.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]

x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                           ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p),
                           ctypes.POINTER(ctypes.c_uint)]
x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p]
x11.XFree.argtypes = [ctypes.c_void_p]

dpy = x11.XOpenDisplay(None)
if not dpy:
    sys.exit("no display")
root = x11.XDefaultRootWindow(dpy)
left, top = 0, 0
w, h = x11.XDisplayWidth(dpy, 0), x11.XDisplayHeight(dpy, 0)
if len(sys.argv) > 2:
    # The window's frame is its ancestor whose parent is the root window.
    win = int(sys.argv[2], 0)
    while True:
        r, parent, children, n = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p(), ctypes.c_uint()
        if not x11.XQueryTree(dpy, win, ctypes.byref(r), ctypes.byref(parent), ctypes.byref(children),
                              ctypes.byref(n)):
            sys.exit("no such window")
        if children:
            x11.XFree(children)
        if parent.value in (0, root):
            break
        win = parent.value
    attrs = ctypes.create_string_buffer(256)  # XWindowAttributes begins x, y, width, height, border
    x11.XGetWindowAttributes(dpy, win, attrs)
    x, y, fw, fh, border = struct.unpack_from("5i", attrs.raw)
    # Within the screen only.
    left, top = max(x, 0), max(y, 0)
    w = min(x + fw + 2 * border, w) - left
    h = min(y + fh + 2 * border, h) - top
img = x11.XGetImage(dpy, root, left, top, w, h, 0xFFFFFFFF, 2)  # ZPixmap
rows = bytearray()
for y in range(h):
    rows.append(0)
    for x in range(w):
        p = x11.XGetPixel(img, x, y)
        rows += bytes(((p >> 16) & 255, (p >> 8) & 255, p & 255))


def chunk(kind, data):
    c = kind + data
    return struct.pack(">I", len(data)) + c + struct.pack(">I", zlib.crc32(c) & 0xFFFFFFFF)


png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")
with open(sys.argv[1], "wb") as f:
    f.write(png)
