#!/usr/bin/env python3
"""Installs the build into a scratch prefix and checks what a desktop reads
from it: the program, a launcher entry whose Exec and Icon name what is
installed, a description that names that entry, the manual page, and the
icon at every hicolor size as a real picture of that size.
    check_install.py BUILD_DIR PREFIX"""
import configparser
import pathlib
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET
import zlib

APP_ID = "example.tessaroon.Tessaroon"
SIZES = [16, 22, 24, 32, 48, 64, 128, 256]

build, prefix = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
shutil.rmtree(prefix, ignore_errors=True)
subprocess.run(["cmake", "--install", str(build), "--prefix", str(prefix)],
               check=True, stdout=subprocess.DEVNULL)
faults = []


def fault(text):
    faults.append(text)


def png_pixels(path):
    """Width, height and the decompressed scanlines, filter bytes included."""
    data = path.read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, width, height = 8, b"", None, None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height = struct.unpack(">II", body[:8])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    return width, height, zlib.decompress(idat)


program = prefix / "bin" / "tessaroon"
if not program.is_file() or not program.stat().st_mode & 0o111:
    fault(f"{program} is not an executable file")

# Only the program is installed: no build tools, no sample engine, no
# static libraries.
for extra in sorted(p for p in prefix.rglob("*") if p.is_file()):
    rel = extra.relative_to(prefix).as_posix()
    if rel.startswith(("lib", "include")) or (rel.startswith("bin/") and rel != "bin/tessaroon"):
        fault(f"{rel} is installed but is not part of the program")

desktop = prefix / "share" / "applications" / f"{APP_ID}.desktop"
entry = configparser.RawConfigParser(strict=True, interpolation=None)
entry.optionxform = str
entry.read(desktop, encoding="utf-8")
if not entry.has_section("Desktop Entry"):
    fault(f"{desktop} has no [Desktop Entry]")
else:
    e = entry["Desktop Entry"]
    exec_words = e.get("Exec", "").split()
    if not exec_words or not (prefix / "bin" / exec_words[0]).is_file():
        fault(f"Exec={e.get('Exec')} does not start the installed program")
    if any(w.startswith("%") for w in exec_words):
        fault("Exec passes files, but the window program takes none")
    for key, want in [("Type", "Application"), ("Terminal", "false"), ("Categories", "Network;")]:
        if e.get(key) != want:
            fault(f"{key}={e.get(key)}, not {want}")
    if not e.get("Comment") or not e.get("Comment[zh_CN]"):
        fault("the entry needs an English and a Chinese Comment")
    icon = e.get("Icon", "")
    if not (prefix / "share/icons/hicolor/scalable/apps" / f"{icon}.svg").is_file():
        fault(f"Icon={icon} is not in the hicolor theme")

metainfo = prefix / "share" / "metainfo" / f"{APP_ID}.metainfo.xml"
try:
    root = ET.parse(metainfo).getroot()
    if root.findtext("id") != APP_ID:
        fault(f"{metainfo}: id is {root.findtext('id')}")
    if root.findtext("launchable") != desktop.name:
        fault(f"{metainfo}: launchable {root.findtext('launchable')} is not {desktop.name}")
    if root.findtext("provides/binary") != "tessaroon":
        fault(f"{metainfo}: does not provide the tessaroon binary")
except (OSError, ET.ParseError) as err:
    fault(f"{metainfo}: {err}")

man = prefix / "share" / "man" / "man1" / "tessaroon.1"
try:
    page = man.read_text(encoding="utf-8")
    for needed in [".TH TESSAROON 1", "--engine-host", "merge", "tessaroon.ini",
                   "mirovadel.tmp", "tessaroon.lock", "EXIT STATUS"]:
        if needed.replace("-", "\\-") not in page and needed not in page:
            fault(f"{man} does not mention {needed}")
    if "@PROJECT_VERSION@" in page:
        fault(f"{man} still holds the version placeholder")
except OSError as err:
    fault(f"{man}: {err}")

for size in SIZES:
    png = prefix / f"share/icons/hicolor/{size}x{size}/apps/tessaroon.png"
    try:
        width, height, raw = png_pixels(png)
        if (width, height) != (size, size):
            fault(f"{png} is {width}x{height}")
        # Every scanline starts with a filter byte; a blank (fully
        # transparent) picture leaves nothing else but zeros.
        stride = len(raw) // height
        if not any(raw[i] for i in range(len(raw)) if i % stride):
            fault(f"{png} is blank")
    except (OSError, ValueError, zlib.error) as err:
        fault(f"{png}: {err}")

svg = prefix / "share/icons/hicolor/scalable/apps/tessaroon.svg"
try:
    root = ET.parse(svg).getroot()
    if not root.tag.endswith("svg") or not root.get("viewBox"):
        fault(f"{svg} is not an SVG picture with a viewBox")
    if sum(1 for el in root.iter() if el.tag.rsplit("}", 1)[-1] in ("path", "rect", "ellipse", "circle")) < 3:
        fault(f"{svg} holds too few shapes to be the icon")
except (OSError, ET.ParseError) as err:
    fault(f"{svg}: {err}")

for f in faults:
    print(f, file=sys.stderr)
if faults:
    sys.exit(1)
print("install tree: the program, launcher entry, description, manual page and icons are in place")
