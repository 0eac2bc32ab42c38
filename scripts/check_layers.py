#!/usr/bin/env python3
"""Fails the build when a source file includes a header of a layer it must not depend on.

Usage: check_layers.py SOURCE_ROOT [STAMP DEPFILE]

Every library exports the repository root as its include path, so the compiler alone would let
engine/ include ui/. The layers, lowest first:

  engine, res  ->  rhythm, store  ->  export  ->  dialog  ->  ui (Qt), ui/win32  ->  app

A folder may include its own headers and those of the layers below it that its library links
(see the CMakeLists); a test folder what the code it tests may include, plus the shared test
doubles. Each forbidden include is printed as "file:line: ..." and the exit status is 1.

With STAMP and DEPFILE (the build's custom command), a clean check touches STAMP and writes
DEPFILE naming every file and folder read, so the check runs again once any of them changes
or a file is added or removed.
"""

import os
import re
import sys

ENGINE = {"engine"}
RHYTHM = ENGINE | {"rhythm"}
STORE = RHYTHM | {"store"}
EXPORT = STORE | {"export"}
DIALOG = EXPORT | {"res", "dialog"}
UI = DIALOG | {"ui"}
UI_WIN32 = DIALOG | {"ui/win32"}
APP = UI | UI_WIN32 | {"app"}
TESTS = {"tests", "support"}

# Folder (longest match first) -> the layers its files may include.
ALLOWED = {
    "engine": ENGINE,
    "res": {"res"},
    "rhythm": RHYTHM,
    "store": STORE,
    "export": EXPORT,
    "dialog": DIALOG,
    "ui": UI,
    "ui/win32": UI_WIN32,
    "app": APP,
    "bench": EXPORT,
    "tests": TESTS,
    "tests/support": ENGINE | TESTS,
    "tests/engine": ENGINE | TESTS,
    "tests/synth": ENGINE | TESTS,
    "tests/rhythm": RHYTHM | TESTS,
    "tests/store": STORE | TESTS,
    # The command line (app/command_line) is tested and fuzzed without the window.
    "tests/export": EXPORT | {"app"} | TESTS,
    "tests/fuzz": EXPORT | {"app"} | TESTS,
    "tests/dialog": DIALOG | TESTS,
    "tests/ui": UI | TESTS,
    "tests/windows": UI_WIN32 | TESTS,
}
LAYERS = {name for allowed in ALLOWED.values() for name in allowed}
SOURCE_ENDINGS = (".cpp", ".h", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s*["<]([^">]+)[">]')


def layer_of_include(path, including):
    """The layer a project header belongs to, or None for a system or folder-local header.
    A path that climbs out of the including file's folder ("../ui/x.h") counts from there."""
    if path.startswith("../"):
        path = os.path.normpath(os.path.join(os.path.dirname(including), path)).replace(os.sep, "/")
    parts = path.split("/")
    if len(parts) < 2:
        return None
    if parts[0] == "ui" and parts[1] == "win32" and len(parts) > 2:
        return "ui/win32"
    return parts[0] if parts[0] in LAYERS else None


def folder_rule(relative):
    """The ALLOWED entry for a file, by the longest folder that holds it."""
    folder = os.path.dirname(relative)
    while folder:
        if folder in ALLOWED:
            return folder
        folder = os.path.dirname(folder)
    return None


def violations(root, read):
    """Yields (file, line, header, folder rule) per forbidden include; appends each path read."""
    top_folders = sorted({name.split("/")[0] for name in ALLOWED})
    for top in top_folders:
        for directory, subdirs, files in os.walk(os.path.join(root, top)):
            subdirs.sort()
            read.append(directory)
            for name in sorted(files):
                if not name.endswith(SOURCE_ENDINGS):
                    continue
                path = os.path.join(directory, name)
                relative = os.path.relpath(path, root).replace(os.sep, "/")
                rule = folder_rule(relative)
                if rule is None:
                    continue
                read.append(path)
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        layer = layer_of_include(match.group(1), relative)
                        if layer is not None and layer not in ALLOWED[rule]:
                            yield relative, number, match.group(1), rule


def depfile_path(path):
    return os.path.abspath(path).replace("\\", "/").replace(" ", "\\ ")


def main(argv):
    if len(argv) not in (2, 4):
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    read = []
    found = list(violations(argv[1], read))
    for relative, number, header, rule in found:
        allowed = ", ".join(sorted(name + "/" for name in ALLOWED[rule]))
        print(f'{relative}:{number}: error: forbidden include "{header}": files in {rule}/ '
              f"may include only {allowed}", file=sys.stderr)
    if found:
        return 1
    if len(argv) == 4:
        stamp, depfile = argv[2], argv[3]
        with open(depfile, "w", encoding="utf-8") as out:
            out.write(depfile_path(stamp) + ":")
            for path in read:
                out.write(" \\\n  " + depfile_path(path))
            out.write("\n")
        with open(stamp, "w", encoding="utf-8"):
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
