#!/usr/bin/env python3
"""Holds the manual to what `make tools` and `make run` do: every paragraph
of the pages that says "`make tools` ... builds `TOOL`, ... into
`FOLDER/tools/`" is compared with the commands `make -n` prints in the
source tree (nothing is built). Fails naming the page and line.

Usage: check_make_tools.py SOURCE_DIR PAGE.md...
"""

import os
import re
import subprocess
import sys

CLAIM = re.compile(r"`make tools`.*?builds (.*?) into `([^`]*)/tools/`", re.S)


def paragraphs(path):
    """(first line number, text) of each paragraph."""
    start, lines = 1, []
    with open(path, encoding="utf-8") as page:
        for number, line in enumerate(page, 1):
            if line.strip():
                if not lines:
                    start = number
                lines.append(line)
            elif lines:
                yield start, "".join(lines)
                lines = []
    if lines:
        yield start, "".join(lines)


def dry_run(source, target):
    return subprocess.run(["make", "-n", "-C", source, target], capture_output=True,
                          text=True, check=True, env=dict(os.environ, MAKEFLAGS="")).stdout


def main():
    source, pages = sys.argv[1], sys.argv[2:]
    tools = dry_run(source, "tools")
    run = dry_run(source, "run")
    failures, claims = [], 0
    for page in pages:
        for line, text in paragraphs(page):
            match = CLAIM.search(text)
            if not match:
                continue
            claims += 1
            names = re.findall(r"`([a-z-]+)`", match.group(1))
            folder = match.group(2)
            where = "%s:%d" % (os.path.basename(page), line)
            build = [l for l in tools.splitlines() if "cmake --build %s " % folder in l]
            if not build:
                failures.append("%s: make tools builds nothing into %s/" % (where, folder))
                continue
            for name in names:
                if not re.search(r"--target .*\b%s\b" % re.escape(name), build[-1]):
                    failures.append("%s: make tools does not build %s" % (where, name))
            if "make run" in text and "%s/tools/shiori-term" % folder not in run:
                failures.append("%s: make run does not start %s/tools/shiori-term" % (where, folder))
    if claims == 0:
        failures.append("no page says what `make tools` builds where")
    for failure in failures:
        print(failure)
    print("%d statements about make tools checked, %d failed" % (claims, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
