#!/usr/bin/env python3
"""Checks that every #include "folder/..." follows the layer order:

    framework -> routines -> archive -> engine -> {net, system, translate,
    dialogs} -> project

Each folder may include its own files and those of the layers before it;
of the four after engine, only dialogs may include translate (its forms are
translated). The programs in tools/ use framework, routines and archive only;
the benchmarks anything below project. Tests of a folder obey its rule; the
fuzz programs feed every reader of outside data, the tools' included, and
may use anything.

Usage: layers.py ROOT        check the tree at ROOT; exit 1 naming each fault
       layers.py --self-test show that a wrong-way include is caught
"""
import os
import re
import sys
import tempfile

ORDER = ["framework", "routines", "archive", "engine"]
BELOW_ENGINE = set(ORDER)
ALLOWED = {
    "framework": {"framework"},
    "routines": {"framework", "routines"},
    "archive": {"framework", "routines", "archive"},
    "engine": BELOW_ENGINE,
    "net": BELOW_ENGINE | {"net"},
    "system": BELOW_ENGINE | {"system"},
    "translate": BELOW_ENGINE | {"translate"},
    "dialogs": BELOW_ENGINE | {"translate", "dialogs"},
    "project": BELOW_ENGINE | {"net", "system", "translate", "dialogs", "project"},
    "tools": {"framework", "routines", "archive", "tools"},
    "bench": BELOW_ENGINE | {"net", "system", "translate", "dialogs", "bench"},
}
ANYTHING = set(ALLOWED)
FOLDERS = set(ALLOWED)
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]*"')
SOURCES = (".h", ".hpp", ".cpp", ".c", ".rc", ".rc.in")


def rule_of(rel):
    """The folder whose rule governs a file (tests/X/... obey X)."""
    parts = rel.split(os.sep)
    if parts[0] == "tests" and len(parts) > 2 and parts[1] == "fuzz":
        return "fuzz"
    if parts[0] == "tests" and len(parts) > 2 and parts[1] in FOLDERS:
        return parts[1]
    if parts[0] == "tests":
        return "project"  # shared test helpers may use anything
    return parts[0] if parts[0] in FOLDERS else None


def check(root):
    faults = []
    for top in sorted(FOLDERS | {"tests"}):
        base = os.path.join(root, top)
        for dirpath, dirnames, filenames in os.walk(base):
            dirnames.sort()
            for name in sorted(filenames):
                if not name.endswith(SOURCES):
                    continue
                path = os.path.join(dirpath, name)
                rel = os.path.relpath(path, root)
                rule = rule_of(rel)
                if rule is None:
                    continue
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or m.group(1) not in FOLDERS:
                            continue
                        if m.group(1) not in (ANYTHING if rule == "fuzz" else ALLOWED[rule]):
                            faults.append(f"{rel}:{number}: {rule}/ may not include {m.group(1)}/: {line.strip()}")
    return faults


def self_test():
    with tempfile.TemporaryDirectory() as root:
        def put(rel, text):
            path = os.path.join(root, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(text)

        put("archive/good.cpp", '#include "routines/routines_API.h"\n#include <zlib.h>\n')
        put("engine/good.cpp", '#include "archive/cmp_TWdrlCompress.h"\n')
        put("dialogs/good.cpp", '#include "translate/cmp_TTranslator.h"\n')
        assert check(root) == [], check(root)
        put("archive/bad.cpp", '// one\n#include "engine/cmp_TInstall.h"\n')
        put("tools/bad.cpp", '#include "engine/cmp_TInstall.h"\n')
        put("tests/framework/bad.cpp", '#include "routines/routines_API.h"\n')
        put("system/bad.h", '#include "dialogs/dlgcmp_TBaseDlg.h"\n')
        faults = check(root)
        expected = [
            "archive/bad.cpp:2: archive/ may not include engine/",
            "system/bad.h:1: system/ may not include dialogs/",
            "tests/framework/bad.cpp:1: framework/ may not include routines/",
            "tools/bad.cpp:1: tools/ may not include engine/",
        ]
        got = [f.split(": #")[0] for f in faults]
        assert got == expected, got
    print("self-test: 4 wrong-way includes caught, 3 allowed ones passed")


def main():
    if sys.argv[1:] == ["--self-test"]:
        self_test()
        return 0
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    faults = check(sys.argv[1])
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the layer order")
        return 1
    print("every include follows the layer order")
    return 0


if __name__ == "__main__":
    sys.exit(main())
