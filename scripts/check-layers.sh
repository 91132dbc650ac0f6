#!/usr/bin/env bash
# Fails when a unit includes a header of a unit it may not use: the core
# never reaches the windows or the browser engine, and no unit reaches a
# higher one (src/app is the top; src/ui sits under every window). Prints
# each stray include.
set -euo pipefail
cd "$(dirname "$0")/.."

python3 - <<'PY'
import pathlib, re, sys

# Each unit and the units whose headers it may include (its own always).
# Longer paths are matched first, so "browser/cleaner/ui" is not "browser".
allowed = {
    "text": [],
    "io": ["text"],
    "components/urlencoder": [],
    "components/tray": ["text"],
    "browser": ["text"],
    "browser/cleaner": ["browser"],
    "sites": ["text", "io"],
    "harvest": ["text", "io", "browser", "components/urlencoder", "sites"],
    "tools/import": ["text", "io"],
    "tools/merge": ["text", "io"],
    "tools/list": ["text", "io", "sites", "tools/merge"],
    "tools/mining": ["text", "io", "tools/merge"],
    # Widgets and the browser engine from here on.
    "ui": ["text"],
    "components/tray/qt": ["components/tray", "ui", "text"],
    "components/hyperlink": ["ui", "text"],
    "browser/webengine": ["browser", "text"],
    "browser/cleaner/ui": ["browser/cleaner", "browser", "ui", "text"],
    "tools/builder": ["ui", "text", "io"],
    "tools/list/ui": ["tools/list", "sites", "ui", "text", "io"],
    "tools/about": ["components/hyperlink", "ui", "text"],
    "app": None,  # the program: may use every unit
}
units = sorted(allowed, key=len, reverse=True)

def unit_of(path):
    for u in units:
        if path == u or path.startswith(u + "/"):
            return u
    return None

bad = []
for f in sorted(pathlib.Path("src").rglob("*")):
    if f.suffix not in (".h", ".cpp"):
        continue
    rel = f.relative_to("src").as_posix()
    own = unit_of(rel)
    for n, line in enumerate(f.read_text(encoding="utf-8").splitlines(), 1):
        m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
        if not m:
            continue
        target = unit_of(m.group(1))
        if target is None or target == own or allowed[own] is None:
            continue
        if target not in allowed[own]:
            bad.append(f"{f}:{n}: {own} may not include {m.group(1)} ({target})")

if bad:
    print("\n".join(bad))
    sys.exit(1)
print("Layers: no unit includes a unit above it")
PY
