#!/usr/bin/env python3
"""Fails when an #include crosses the layers the wrong way.

Usage: check_layering.py SOURCE_ROOT      checks the tree, lists every violation
       check_layering.py --self-test      shows that each rule catches what it should

Rules, for the program's code (src/, tools/, fuzz/):
- Dependencies point downwards only (see LAYERS); nothing outside src/app includes "app/".
- Qt headers only in src/ui, src/app and src/platform/qt; "platform/qt/" only from src/ui
  and src/app.
"""
import os
import re
import sys
import tempfile

# src folder -> rank; a folder may include folders of its own rank or below, never above.
# Folders of equal rank do not include each other either.
LAYERS = {
    "crypto": 0,
    "platform": 1,
    "mailformat": 2,
    "store": 3,
    "core": 4,
    "validation": 5,
    "transport": 6,
    "cycle": 7,
    "import": 7,
    "ui": 8,
    "app": 9,
}
QT_ALLOWED = ("src/ui/", "src/app/", "src/platform/qt/")
QT_PORTS_ALLOWED = ("src/ui/", "src/app/", "src/platform/qt/")
CHECKED_TREES = ("src", "tools", "fuzz")
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc")

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
QT_HEADER = re.compile(r"^(Qt[A-Za-z]*/|Q[A-Z][A-Za-z]*$|q[a-z]+\.h$)")


def source_files(root):
    for tree in CHECKED_TREES:
        for folder, _, names in os.walk(os.path.join(root, tree)):
            for name in sorted(names):
                if name.endswith(SOURCE_SUFFIXES):
                    path = os.path.join(folder, name)
                    yield os.path.relpath(path, root).replace(os.sep, "/"), path


def layer_of(relative):
    """The src folder a file belongs to, or None outside src/ or in an unknown folder."""
    parts = relative.split("/")
    if parts[0] != "src" or len(parts) < 3:
        return None
    return parts[1] if parts[1] in LAYERS else None


def violations_of(relative, text):
    found = []
    own = layer_of(relative)
    for number, line in enumerate(text.splitlines(), 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        bracket, header = match.groups()
        where = f"{relative}:{number}: {line.strip()}"
        if bracket == "<":
            if QT_HEADER.match(header) and not relative.startswith(QT_ALLOWED):
                found.append(f"{where}: Qt outside src/ui, src/app, src/platform/qt")
            continue
        target = header.split("/")[0]
        if target not in LAYERS or "/" not in header:
            continue
        if header.startswith("platform/qt/") and not relative.startswith(QT_PORTS_ALLOWED):
            found.append(f"{where}: the Qt ports are for src/ui and src/app only")
        elif target == "app" and own != "app":
            found.append(f"{where}: only src/app includes app/")
        elif own is not None and target != own and LAYERS[target] >= LAYERS[own]:
            found.append(f"{where}: {own}/ may not include {target}/ (not below it)")
    return found


def check(root):
    found = []
    for relative, path in source_files(root):
        with open(path, encoding="utf-8", errors="replace") as source:
            found.extend(violations_of(relative, source.read()))
    return found


def self_test():
    """Each planted fault must be reported, and only those."""
    planted = {
        "src/store/uses_core.cpp": '#include "core/preferences.h"\n',
        "src/core/uses_validation.h": '#include "validation/quarantine.h"\n',
        "src/core/uses_transport.cpp": '#include "transport/connection.h"\n',
        "src/validation/uses_app.cpp": '#include "app/stores.h"\n',
        "tools/pelrion-db/uses_app.cpp": '#include "app/startup.h"\n',
        "src/store/uses_qt.cpp": "#include <QString>\n",
        "src/core/uses_qt_module.cpp": "#include <QtCore/QObject>\n",
        "src/validation/uses_qt_ports.cpp": '#include "platform/qt/qt_dialogs.h"\n',
        "src/store/uses_import.cpp": '#include "import/vcard.h"\n',
        "src/import/uses_cycle.cpp": '#include "cycle/mail_cycle.h"\n',
        "src/import/uses_ui.cpp": '#include "ui/main_window.h"\n',
    }
    clean = {
        "src/store/fine.cpp": '#include "platform/fatal_stop.h"\n#include <vector>\n',
        "src/core/fine.cpp": '#include "store/message_table.h"\n',
        "src/app/fine.cpp": '#include "app/stores.h"\n#include <QObject>\n'
                            '#include "platform/qt/qt_main_thread.h"\n',
        "src/platform/qt/fine.cpp": '#include "platform/qt/qt_dialogs.h"\n#include <QWidget>\n',
        "src/ui/fine.cpp": "#include <QtWidgets/QLabel>\n",
        "src/import/fine.cpp": '#include "store/address_calls.h"\n',
        "tools/common/fine.cpp": '#include "store/message_table.h"\n',
    }
    with tempfile.TemporaryDirectory() as root:
        for relative, text in {**planted, **clean}.items():
            path = os.path.join(root, relative)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as out:
                out.write(text)
        found = check(root)
    reported = {line.split(":")[0] for line in found}
    missed = sorted(set(planted) - reported)
    wrong = sorted(reported - set(planted))
    for name in missed:
        print(f"not caught: {name}")
    for name in wrong:
        print(f"reported though clean: {name}")
    return not missed and not wrong


def main(argv):
    if argv[1:] == ["--self-test"]:
        return 0 if self_test() else 1
    if len(argv) != 2:
        print(__doc__)
        return 2
    found = check(argv[1])
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
