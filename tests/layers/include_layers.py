#!/usr/bin/env python3
"""Fails when a file under src includes one from a folder above its own.

The order is README.md's list under "## Where things are": one bullet a level, top first, naming
its folders in backquotes before the first colon. A file may include from its own folder and from
any level below; folders of one level are peers and include nothing of each other. A folder of
src that the list does not name fails too, so that a new room is given its place.

    include_layers.py [ROOT]     ROOT holds README.md and src (default: this file's project)
"""
import pathlib
import re
import sys

SECTION = "## Where things are"
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)


def levels(readme):
    """Folder name -> level, 0 at the bottom."""
    text = readme.read_text(encoding="utf-8")
    if SECTION not in text:
        raise SystemExit(f"{readme}: no section {SECTION!r}")
    section = text.split(SECTION, 1)[1].split("\n## ", 1)[0]
    bullets = [line for line in section.splitlines() if line.startswith("- ")]
    order = []
    for bullet in bullets:
        head = bullet.split(":", 1)[0]
        folders = re.findall(r"`src/([A-Za-z0-9_]+)`", head)
        if folders:
            order.append(folders)
    if not order:
        raise SystemExit(f"{readme}: the section {SECTION!r} lists no folder of src")
    rank = {}
    for index, folders in enumerate(reversed(order)):
        for folder in folders:
            if folder in rank:
                raise SystemExit(f"{readme}: src/{folder} is listed twice")
            rank[folder] = index
    return rank


def violations(root):
    rank = levels(root / "README.md")
    src = root / "src"
    found = []
    for folder in sorted(p for p in src.iterdir() if p.is_dir()):
        if folder.name not in rank:
            found.append(f"src/{folder.name}: not in README's list under {SECTION!r}")
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".rc") or not path.is_file():
            continue
        own = path.relative_to(src).parts[0]
        if own not in rank:
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            target = match.group(1)
            if "/" not in target:
                continue  # beside the file, or generated into the build folder
            room = target.split("/", 1)[0]
            if room == own or room not in rank:
                continue
            if rank[room] >= rank[own]:
                line = text.count("\n", 0, match.start()) + 1
                where = "above" if rank[room] > rank[own] else "beside"
                found.append(f"{path.relative_to(root)}:{line}: includes \"{target}\", "
                             f"from src/{room}, {where} src/{own}")
    return found


def main():
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2]
    found = violations(root)
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) against the order of the folders")
        return 1
    print("includes follow the order of the folders")
    return 0


if __name__ == "__main__":
    sys.exit(main())
