#!/usr/bin/python3
"""Keeps the layers true: derives the folder graph from the quoted #include
lines of src/, tools/ and bench/ and fails on every edge the table below does
not allow, naming file:line and the edge. tests/ may include anything and is
not read.

Usage: scripts/check-layers.py [REPO]     check the tree (default: this repo)
       scripts/check-layers.py --self-test  show that a wrong edge fails

An include is resolved as the compiler does: first beside the including file,
then under the include roots src/ and tools/. The folder that holds the
included file is the edge's target; an include that resolves nowhere fails too.
"""

import re
import sys
import tempfile
from pathlib import Path

INCLUDE_ROOTS = ("src", "tools")
SCANNED = ("src", "tools", "bench")
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}

# What each folder may include besides itself, bottom to top. A folder that
# is not listed fails the check until it is given its place here.
ALLOWED = {
    # Platform stand-ins and shared helpers (clock, dates, code page, the
    # activity log): nothing of ours.
    "src/platform": set(),
    # The HTTP client and the maker's REST conventions.
    "src/net": {"src/platform"},
    # Practice databases and credentials. The cloud configuration and the
    # message texts are reached through interfaces that dispatch wires.
    "src/practice": {"src/platform", "src/net"},
    # Cloud REST client and cloud database configurations.
    "src/cloud": {"src/platform", "src/net", "src/practice"},
    # Payment service client and payment links.
    "src/payments": {"src/platform", "src/net", "src/practice"},
    # SMS gateway, WhatsApp senders, confirmation links; they may use the
    # payment links, never the other way round.
    "src/channels": {"src/platform", "src/net", "src/practice", "src/payments"},
    # Email composition and delivery.
    "src/email": {"src/platform", "src/net", "src/practice"},
    # Settings and the daily run: everything below the service host.
    "src/dispatch": {"src/platform", "src/net", "src/practice", "src/cloud", "src/payments",
                     "src/channels", "src/email"},
    # The service host reaches the run only through SendOrchestrator, which
    # src/app implements over dispatch.
    "src/service": {"src/platform"},
    # The composition root: builds every part.
    "src/app": {"src/platform", "src/net", "src/practice", "src/cloud", "src/payments",
                "src/channels", "src/email", "src/dispatch", "src/service"},
    # Practice database generator: the data layer and below, and the email
    # settings document, which it writes as the service reads it.
    "tools/fixture": {"src/platform", "src/net", "src/practice", "src/email"},
    # Simulator of the maker's services: it stands for the remote side, so it
    # never reuses the clients it is there to test.
    "tools/maker-sim": {"src/platform"},
    # The benchmark drives the whole run against the fixture and simulator.
    "bench": {"src/platform", "src/net", "src/practice", "src/cloud", "src/payments",
              "src/channels", "src/email", "src/dispatch", "src/service", "tools/fixture",
              "tools/maker-sim"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def folder_of(path, repo):
    """The layer folder of a file: src/<name>, tools/<name> or bench."""
    parts = path.relative_to(repo).parts
    return "bench" if parts[0] == "bench" else "/".join(parts[:2])


def resolve(included, including, repo):
    """The file a quoted include names, or None."""
    for base in [including.parent] + [repo / root for root in INCLUDE_ROOTS]:
        candidate = (base / included).resolve()
        if candidate.is_file():
            return candidate
    return None


def sources(repo):
    for top in SCANNED:
        for path in sorted((repo / top).rglob("*")):
            if path.suffix in SOURCE_SUFFIXES and path.is_file():
                yield path


def violations(repo):
    """Each offending include as a printable line."""
    repo = repo.resolve()
    found = []
    unlisted = set()
    for path in sources(repo):
        source = folder_of(path, repo)
        where = path.relative_to(repo)
        if source not in ALLOWED:
            unlisted.add(source)
            continue
        lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = resolve(match.group(1), path, repo)
            if target is None or not target.is_relative_to(repo):
                found.append(f'{where}:{number}: "{match.group(1)}" resolves to no file of ours')
                continue
            dest = folder_of(target, repo)
            if dest != source and dest not in ALLOWED[source]:
                found.append(f'{where}:{number}: {source} -> {dest} ("{match.group(1)}")')
    for folder in sorted(unlisted):
        found.append(f"{folder}: folder has no place in the layer table of scripts/check-layers.py")
    return found


def check(repo):
    found = violations(repo)
    for line in found:
        print(f"layers: {line}", file=sys.stderr)
    if found:
        print(f"layers: {len(found)} include(s) against the layers", file=sys.stderr)
        return 1
    print("layers: ok")
    return 0


def self_test():
    """A small tree with one allowed and three wrong edges; all three must be named."""
    with tempfile.TemporaryDirectory() as tmp:
        repo = Path(tmp)
        files = {
            "src/platform/clock.h": "#pragma once\n",
            "src/practice/agenda.h": '#include "platform/clock.h"\n#include "service/loop.h"\n',
            "src/service/loop.h": '#include "platform/clock.h"\n',
            "src/net/http.cpp": '#include "http.h"\n#include "support/fake.h"\n',
            "src/net/http.h": "#pragma once\n",
            "src/mystery/thing.h": "#pragma once\n",
            "bench/main.cpp": '#include "service/loop.h"\n',
        }
        for name, text in files.items():
            (repo / name).parent.mkdir(parents=True, exist_ok=True)
            (repo / name).write_text(text)
        got = violations(repo)
        want = [
            'src/net/http.cpp:2: "support/fake.h" resolves to no file of ours',
            'src/practice/agenda.h:2: src/practice -> src/service ("service/loop.h")',
            "src/mystery: folder has no place in the layer table of scripts/check-layers.py",
        ]
        if got != want:
            print("layers self-test: FAIL", *got, sep="\n  ", file=sys.stderr)
            return 1
    print("layers self-test: ok")
    return 0


if __name__ == "__main__":
    if sys.argv[1:] == ["--self-test"]:
        sys.exit(self_test())
    sys.exit(check(Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent.parent))
