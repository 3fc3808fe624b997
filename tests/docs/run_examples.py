#!/usr/bin/env python3
"""Runs every example of the author's manual (docs/*.md) through the real
programs and libraries, and fails on any difference.

An example is a fenced block of one of the kinds below; the blocks before a
run block describe the ghost folder it runs in (docs/examples.md explains
them for people who write pages):

  ```dic [NAME] [OPTIONS]     a dictionary file (default name dic.txt)
  ```list [OPTIONS]           the list file tamune.ini (default: every dic
                              block of the ghost, in order)
  ```file NAME [OPTIONS]      any other file of the ghost folder
  ```table 0|1                a plain translation table, written as
                              makoto0.nft or makoto1.nft by makoto-table
  ```session [OPTIONS]        a shiori-term transcript: its commands are run
                              and every answer compared
  ```console                  "$ TOOL ARGS" lines and their output

File options: utf-8 (write the text as UTF-8 instead of Shift_JIS), lf (LF
line ends instead of CR LF), noeol (no line end after the last line), add
(add to the ghost of the previous run block instead of starting a new one),
append (add the lines at the end of that ghost's file of the same name),
dir=NAME (the ghost folder's name, default "ghost").
Session options: seed=N, clock="YYYY-MM-DD hh:mm:ss", raw, no-makoto,
args="..." (further shiori-term options); lines before a session's first
prompt are what shiori-term shows before it. A console line may begin
with NAME=VALUE words for the program's environment (LANG=C.UTF-8 else).
A table headed "| Code | Level |" must list the codes and levels that
`shiori-check --help` prints. A block that needs an option
the built shiori-term lacks (or a tool that is not built) is reported as
skipped, never as passed.

Prints "N examples ran, M failed, K skipped" and, for each failure,
"docs/PAGE.md:LINE: ..." with the expected and the actual lines.
"""

import argparse
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

FILE_KINDS = ("dic", "list", "file", "table")
RUN_KINDS = ("session", "console")
PROMPT = "shiori> "
RAW_PROMPT = "raw> "
BEFORE = "(before the first prompt)"
BANNER = re.compile(r"^shiori-term: (loaded .*|unloaded|seed \d+|clock .*)$")
RAW_STARTERS = ("raw", "GET", "NOTIFY", "TEACH")
SYSTEM_COMMANDS = ("ls", "cat", "cp", "mv", "rm", "mkdir")
TIMEOUT = 60


class DocError(Exception):
    """A block the runner cannot read: the page itself is wrong."""

    def __init__(self, line, message):
        super().__init__(message)
        self.line = line


class Block:
    def __init__(self, page, line, kind, options, flags, lines):
        self.page = page
        self.line = line          # line number of the opening fence
        self.kind = kind
        self.options = options    # key=value options
        self.flags = flags        # bare words (the first may be a name)
        self.lines = lines        # [(line number, text)]

    def where(self, line=None):
        return "%s:%d" % (self.page, self.line if line is None else line)


def read_blocks(path, shown_name):
    """Every fenced block of a known kind, in page order."""
    blocks = []
    with open(path, encoding="utf-8") as handle:
        text = handle.read().split("\n")
    i = 0
    while i < len(text):
        match = re.match(r"^(`{3,})(.*)$", text[i])
        if not match:
            i += 1
            continue
        fence, info = match.group(1), match.group(2).strip()
        start = i + 1
        body = []
        i += 1
        while i < len(text) and not text[i].startswith(fence):
            body.append((i + 1, text[i]))
            i += 1
        if i >= len(text):
            raise DocError(start, "fenced block not closed")
        i += 1
        try:
            words = shlex.split(info)
        except ValueError as error:
            raise DocError(start, "cannot read the block's options: %s" % error)
        if not words or words[0] not in FILE_KINDS + RUN_KINDS:
            continue
        options, flags = {}, []
        for word in words[1:]:
            if "=" in word:
                key, value = word.split("=", 1)
                options[key] = value
            else:
                flags.append(word)
        blocks.append(Block(shown_name, start, words[0], options, flags, body))
    return blocks


# ---- The ghost folder -------------------------------------------------------

def encode_text(block, lines):
    eol = "\n" if "lf" in block.flags else "\r\n"
    text = eol.join(lines)
    if lines and "noeol" not in block.flags:
        text += eol
    codec = "utf-8" if "utf-8" in block.flags else "cp932"
    try:
        return text.encode(codec)
    except UnicodeEncodeError as error:
        raise DocError(block.line, "text has no %s form: %s" % (codec, error))


class Ghost:
    """The files of one ghost folder, written when a run block needs them."""

    def __init__(self, name):
        self.name = name
        self.files = []          # [(name, bytes, is a dictionary)]
        self.tables = []         # [(number, plain bytes)]
        self.list_given = None
        self.root = None         # the temporary parent folder, once written
        self.written = False

    def add(self, block):
        lines = [text for _, text in block.lines]
        names = [f for f in block.flags if f not in ("utf-8", "lf", "noeol", "add", "append")]
        if block.kind == "table":
            if names not in (["0"], ["1"]):
                raise DocError(block.line, "a table block is \"table 0\" or \"table 1\"")
            self.tables = [t for t in self.tables if t[0] != names[0]]
            self.tables.append((names[0], encode_text(block, lines)))
        elif block.kind == "list":
            self.list_given = encode_text(block, lines)
        else:
            if block.kind == "file" and not names:
                raise DocError(block.line, "a file block needs a file name")
            name = names[0] if names else "dic.txt"
            data = encode_text(block, lines)
            if "append" in block.flags:
                old = [f for f in self.files if f[0] == name]
                if not old:
                    raise DocError(block.line, "nothing to append to: no file %s above" % name)
                data = old[0][1] + data
            self.files = [f for f in self.files if f[0] != name]
            self.files.append((name, data, block.kind == "dic"))
        self.written = False

    def folder(self):
        return os.path.join(self.root, self.name)

    def write(self, tools):
        if self.root is None:
            self.root = tempfile.mkdtemp(prefix="shiori-docs-")
        folder = self.folder()
        os.makedirs(folder, exist_ok=True)
        if self.written:
            return
        for name, data, _ in self.files:
            path = os.path.join(folder, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as handle:
                handle.write(data)
        listing = self.list_given
        if listing is None:
            listing = b"".join(n.encode("cp932") + b"\r\n" for n, _, dic in self.files if dic)
        with open(os.path.join(folder, "tamune.ini"), "wb") as handle:
            handle.write(listing)
        for number, plain in self.tables:
            if "makoto-table" not in tools:
                raise Skip("needs makoto-table")
            source = os.path.join(self.root, "makoto%s.txt" % number)
            with open(source, "wb") as handle:
                handle.write(plain)
            target = os.path.join(folder, "makoto%s.nft" % number)
            subprocess.run([tools["makoto-table"], "encode", source, target], check=True,
                           stdout=subprocess.DEVNULL, timeout=TIMEOUT)
        self.written = True

    def remove(self):
        if self.root is not None:
            shutil.rmtree(self.root, ignore_errors=True)


class Skip(Exception):
    """The example needs something the built programs lack."""


# ---- Running -----------------------------------------------------------------

def decode_output(data):
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        text = data.decode("cp932", errors="backslashreplace")
    return text.replace("\r\n", "\n").split("\n")


def strip_trailing(lines):
    lines = [line.rstrip() for line in lines]
    while lines and lines[-1] == "":
        lines.pop()
    return lines


class Runner:
    def __init__(self, args):
        self.tools = {}
        for item in args.tool:
            name, path = item.split("=", 1)
            if path and os.path.exists(path):
                self.tools[name] = os.path.abspath(path)
        self.lib = os.path.abspath(args.lib) if args.lib else ""
        self.makoto_lib = os.path.abspath(args.makoto_lib) if args.makoto_lib else ""
        self.show = args.show
        self.term_help = ""
        if "shiori-term" in self.tools:
            self.term_help = subprocess.run([self.tools["shiori-term"], "--help"],
                                            capture_output=True, timeout=TIMEOUT).stdout.decode()
        # Messages in English whatever the caller's locale; a console line
        # may set another (LANG=ja_JP.UTF-8 shiori-check ...).
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith("LC_") and k != "LANGUAGE"}
        self.env["LANG"] = "C.UTF-8"
        self.locales = set()
        try:
            listing = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout
        except OSError:
            listing = ""
        for name in listing.split():
            self.locales.add(name.lower().replace("utf-8", "utf8"))
        self.ran = self.failed = 0
        self.block_failed = False
        self.skipped = []        # (where, reason)
        self.failures = []
        self.commands = 0

    def term_command(self, options):
        """shiori-term with the libraries under test, and the options' needs."""
        if "shiori-term" not in self.tools:
            raise Skip("needs shiori-term")
        # The conversation module is linked into shiori-term (the library's
        # own core), which --seed and --clock need; --lib would load the
        # library through its exports instead.
        command = [self.tools["shiori-term"]]
        if self.makoto_lib:
            command += ["--makoto-lib", self.makoto_lib]
        return command + self.check_options(options)

    def check_options(self, words):
        missing = [w.split("=", 1)[0] for w in words if w.startswith("--")
                   and not re.search(r"(^|\s)" + re.escape(w.split("=", 1)[0]) + r"\b",
                                     self.term_help, re.M)]
        if missing:
            raise Skip("needs shiori-term " + " ".join(missing))
        return words

    def check_locale(self, lang, program):
        """A locale other than C needs the system's locale and, for a tool of
        ours, its compiled message catalog beside it."""
        if lang in ("", "C", "POSIX", "C.UTF-8"):
            return
        if lang.lower().replace("utf-8", "utf8") not in self.locales:
            raise Skip("needs the locale " + lang)
        if program in self.tools:
            catalog = os.path.join(os.path.dirname(self.tools[program]), "locale",
                                   lang.split("_")[0].split(".")[0])
            if not os.path.isdir(catalog):
                raise Skip("needs the %s messages of %s (msgfmt)" % (lang, program))

    def fail(self, block, line, message, expected, actual):
        self.block_failed = True
        text = ["%s: %s" % (block.where(line), message)]
        text.append("  expected:")
        text += ["    " + l for l in expected] or ["    (nothing)"]
        text.append("  actual:")
        text += ["    " + l for l in actual] or ["    (nothing)"]
        self.failures.append("\n".join(text))
        print("\n".join(text), flush=True)

    # A session: commands in, answers compared one command at a time.
    def session(self, block, ghost):
        options = []
        if "seed" in block.options:
            options += ["--seed", block.options["seed"]]
        if "clock" in block.options:
            options += ["--clock", block.options["clock"]]
        if "raw" in block.flags:
            options.append("--raw")
        if "no-makoto" in block.flags:
            options.append("--no-makoto")
        if "args" in block.options:
            options += shlex.split(block.options["args"])
        command = self.term_command(options)

        expected = []            # [(line, prompt line, [(line, text)])]
        before = []              # [(line, text)] shown before the first prompt
        for number, text in block.lines:
            if BANNER.match(text):
                continue
            if text.startswith(PROMPT) or text.startswith(RAW_PROMPT) or text in ("shiori>", "raw>"):
                expected.append((number, text, []))
            elif not expected:
                if text.strip() or before:
                    before.append((number, text))
            else:
                expected[-1][2].append((number, text))
        if not expected:
            raise DocError(block.line, "a session without commands")
        startup_shown = expected[0][1] == PROMPT + "OnLoad"

        inputs, raw_mode = [], False
        for _, prompt, _ in (expected[1:] if startup_shown else expected):
            if prompt.startswith("raw>"):
                inputs.append(prompt[len(RAW_PROMPT):])
                continue
            if raw_mode:
                inputs.append("")
            line = prompt[len(PROMPT):]
            inputs.append(line)
            words = line.split()
            raw_mode = bool(words) and words[0] in RAW_STARTERS
        if raw_mode:
            inputs.append("")

        ghost.write(self.tools)
        result = subprocess.run(command + [ghost.name + "/"],
                                input=("\n".join(inputs) + "\n").encode("utf-8"),
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                cwd=ghost.root, timeout=TIMEOUT, env=self.env)
        actual = []
        for text in decode_output(result.stdout):
            if BANNER.match(text):
                continue
            if text.startswith(PROMPT) or text.startswith(RAW_PROMPT):
                actual.append((text, []))
            elif actual:
                actual[-1][1].append(text)
            elif text.strip():
                actual.append((BEFORE, [text]))
        if self.show:
            print("--- %s" % block.where())
            for prompt, answer in actual:
                print("\n".join([prompt] + answer))
        self.commands += len(expected)
        ok = True
        # What comes before the first prompt (the checks at load, --check).
        shown_before = actual[0][1] if actual and actual[0][0] == BEFORE else []
        actual = actual[1:] if shown_before else actual
        want, have = strip_trailing([t for _, t in before]), strip_trailing(shown_before)
        if want != have:
            first = next((i for i, (w, h) in enumerate(zip(want, have)) if w != h),
                         min(len(want), len(have)))
            line = before[first][0] if first < len(before) else expected[0][0]
            self.fail(block, line, "what is shown before the first prompt differs", want, have)
            ok = False
        if not startup_shown and actual and actual[0][0] == PROMPT + "OnLoad":
            answer = strip_trailing(actual[0][1])
            if answer not in (["204 No Content"],
                              ["SHIORI/2.5 204 No Content<CR><LF>", "<CR><LF>"]):
                self.fail(block, block.line, "the ghost talks at OnLoad; show it with a first "
                          "line \"shiori> OnLoad\" and its answer", ["204 No Content"], answer)
                return
            actual = actual[1:]
        for index, (number, prompt, lines) in enumerate(expected):
            if index >= len(actual):
                self.fail(block, number, "no answer to `%s`" % prompt, [prompt], [])
                return
            got_prompt, got = actual[index]
            if got_prompt.rstrip() != prompt.rstrip():
                self.fail(block, number, "the session went out of step", [prompt], [got_prompt])
                return
            want = strip_trailing([t for _, t in lines])
            have = strip_trailing(got)
            if want != have:
                first = next((i for i, (w, h) in enumerate(zip(want, have)) if w != h),
                             min(len(want), len(have)))
                line = lines[first][0] if first < len(lines) else number
                self.fail(block, line, "the answer to `%s` differs" % prompt, want, have)
                ok = False
        if len(actual) > len(expected):
            extra = [p for p, _ in actual[len(expected):]]
            self.fail(block, expected[-1][0], "more answers than the page shows", [], extra)
            ok = False
        return ok

    # A console: each "$ " line is run in the folder that holds the ghost.
    def console(self, block, ghost):
        steps = []               # [(line, command text, [(line, text)])]
        for number, text in block.lines:
            if text.startswith("$ "):
                steps.append((number, text[2:], []))
            elif not steps:
                if text.strip():
                    raise DocError(number, "a console block begins with a \"$ \" line")
            else:
                steps[-1][2].append((number, text))
        prepared = []
        for number, text, lines in steps:
            words = shlex.split(text)
            env = dict(self.env)
            while words and re.match(r"^[A-Z_][A-Z0-9_]*=", words[0]):
                key, value = words.pop(0).split("=", 1)
                env[key] = value
            if not words:
                raise DocError(number, "an empty command")
            name = words[0]
            self.check_locale(env.get("LANG", ""), name)
            if name == "shiori-term":
                argv = self.term_command([]) + self.check_options(words[1:])
            elif name in self.tools:
                argv = [self.tools[name]] + words[1:]
            elif name in SYSTEM_COMMANDS:
                argv = words
            elif name.startswith("shiori-") or name.startswith("makoto-"):
                raise Skip("needs %s" % name)
            else:
                raise DocError(number, "unknown program %s" % name)
            prepared.append((number, text, lines, argv, env))
        ghost.write(self.tools)
        for number, text, lines, argv, env in prepared:
            result = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, cwd=ghost.root, timeout=TIMEOUT,
                                    env=env)
            have = decode_output(result.stdout)
            if result.returncode != 0:
                have = strip_trailing(have) + ["[exit %d]" % result.returncode]
            have = strip_trailing(have)
            if self.show:
                print("--- %s\n$ %s\n%s" % (block.where(number), text, "\n".join(have)))
            want = strip_trailing([t for _, t in lines])
            self.commands += 1
            if want != have:
                first = next((i for i, (w, h) in enumerate(zip(want, have)) if w != h),
                             min(len(want), len(have)))
                line = lines[first][0] if first < len(lines) else number
                self.fail(block, line, "the output of `%s` differs" % text, want, have)

    def page(self, path, shown):
        try:
            blocks = read_blocks(path, shown)
        except DocError as error:
            self.doc_error(shown, error)
            return []
        ghost, fresh = None, True
        ran_blocks = []
        for block in blocks:
            try:
                if block.kind in FILE_KINDS:
                    if ghost is None or (fresh and "add" not in block.flags
                                         and "append" not in block.flags):
                        if ghost is not None:
                            ghost.remove()
                        ghost = Ghost(block.options.get("dir", "ghost"))
                        fresh = False
                    ghost.add(block)
                    continue
                fresh = True
                if ghost is None:
                    raise DocError(block.line, "a %s block with no ghost above it" % block.kind)
                self.block_failed = False
                try:
                    if block.kind == "session":
                        self.session(block, ghost)
                    else:
                        self.console(block, ghost)
                except subprocess.TimeoutExpired:
                    self.fail(block, block.line, "timed out after %d s" % TIMEOUT, [], [])
                self.ran += 1
                if self.block_failed:
                    self.failed += 1
                ran_blocks.append((block, not self.block_failed))
            except Skip as reason:
                self.skipped.append((block.where(), str(reason)))
                print("%s: skipped: %s" % (block.where(), reason), flush=True)
                ran_blocks.append((block, None))
            except DocError as error:
                self.doc_error(shown, error)
        if ghost is not None:
            ghost.remove()
        return blocks, ran_blocks

    def doc_error(self, shown, error):
        self.failed += 1
        message = "%s:%d: %s" % (shown, error.line, error)
        self.failures.append(message)
        print(message, flush=True)


# ---- Coverage: every entry kind, operator, system value and built-in --------

ENTRY_KINDS = {
    "Option": r"^Option,", "$ (macro)": r"^\$", "\\ft": r"^\\ft,", "\\re": r"^\\re,",
    "\\hl": r"^\\hl,", "\\ch": r"^\\ch,", "\\e": r"^\\e(,|$)", "@": r"^@",
    "\\ev": r"^\\ev,", "*": r"^\*", "\\id": r"^\\id,", "+": r"^\+",
    "word list": r"^\\(?!ft,|re,|hl,|ch,|e,|e$|ev,|id,|ms\[|mz\[|ml\[|mc\[|mh\[|mt\[|me\[|mp\[|d\[|k\[|\[)[^,]+,",
    "tag word list": r"^\\(ms|mz|ml|mc|mh|mt|me|mp|d|k)?\[",
}
SYSTEM_VALUES = ["responsecount", "bunsyocount", "chaincount", "hellocount", "eventcount",
                 "wordcount", "tagscount", "sender", "event", "ref0", "ref1", "ref2", "ref3",
                 "ref4", "ref5", "ref6", "ref7", "year", "month", "week", "day", "hour",
                 "minute", "second", "sentence", "age", "rand"]
BUILTINS = ["timestamp", "_timestamp", "_save", "_load", "_instr", "_substr", "_length",
            "_countword", "_registword", "_upcase", "_locase", "_replace", "_isval",
            "_wordtype"]
OPERATORS = [";", ":=", "?", "|", "&", ">=", "<=", "<>", ">", "<", "=", "+", "-", "% ",
             "*", "/"]


def formula_texts(text):
    """The formulas of a dictionary: %( ) forms and conditions."""
    found = []
    for match in re.finditer(r"%\(", text):
        depth, i = 1, match.end()
        while i < len(text) and depth:
            depth += {"(": 1, ")": -1}.get(text[i], 0)
            i += 1
        found.append(text[match.end():i - 1])
    for line in text.split("\n"):
        line = line.strip()
        match = re.match(r"^@[^,&]*&([^,]*)", line) or re.match(r"^\\(re|hl),([^,]*)", line)
        if match:
            found.append(match.group(match.lastindex))
    return found


def coverage(pages):
    """What kinds of thing an example shows: {thing: "ran" | "skipped"}."""
    shown = {}
    for blocks, ran_blocks in pages:
        for block, passed in ran_blocks:
            state = "skipped" if passed is None else "ran"
            index = blocks.index(block)
            texts = []
            for earlier in reversed(blocks[:index]):
                if earlier.kind in RUN_KINDS and texts:
                    break
                if earlier.kind == "dic":
                    texts.append("\n".join(t for _, t in earlier.lines))
            for text in texts:
                lines = [l.strip() for l in text.split("\n")]
                things = [k for k, p in ENTRY_KINDS.items()
                          if any(re.match(p, l) for l in lines)]
                things += ["%" + v for v in SYSTEM_VALUES if "%" + v in text]
                things += [b for b in BUILTINS if re.search(r"\\" + b + r"\s*:=", text)]
                formulas = " ".join(formula_texts(text))
                things += ["operator " + o for o in OPERATORS if o in formulas]
                for thing in things:
                    if shown.get(thing) != "ran":
                        shown[thing] = state
    return shown


def slug(heading):
    text = re.sub(r"[^\w\- ]", "", heading.strip().lower())
    return text.replace(" ", "-")


def check_links(folder, names):
    """Every page is linked from README.md; every link to a page or a
    heading of this manual leads somewhere."""
    problems = []
    anchors, links = {}, {}
    for name in names:
        with open(os.path.join(folder, name), encoding="utf-8") as handle:
            lines = handle.read().split("\n")
        anchors[name], links[name], fenced = set(), [], False
        for number, line in enumerate(lines, 1):
            if line.startswith("```"):
                fenced = not fenced
                continue
            if fenced:
                continue
            match = re.match(r"^#+\s+(.*)$", line)
            if match:
                anchors[name].add(slug(match.group(1)))
            for target in re.findall(r"\]\(([^)\s]+)\)", line):
                links[name].append((number, target))
    base = os.path.basename(os.path.normpath(folder))
    for name in names:
        for number, target in links[name]:
            if re.match(r"^[a-z]+:", target):
                continue
            page, _, anchor = target.partition("#")
            page = page or name
            if page not in anchors:
                if not os.path.exists(os.path.normpath(os.path.join(folder, page))):
                    problems.append("%s/%s:%d: no such page: %s" % (base, name, number, target))
                continue
            if anchor and anchor not in anchors[page]:
                problems.append("%s/%s:%d: no such heading: %s" % (base, name, number, target))
    if "README.md" in links:
        linked = {t.partition("#")[0] for _, t in links["README.md"]}
        for name in names:
            if name != "README.md" and name not in linked:
                problems.append("%s/README.md: does not link %s" % (base, name))
    return problems


def check_code_tables(folder, names, checker):
    """A table of the checker's codes (header "| Code | Level |") lists every
    code `shiori-check --help` prints, each at the level it prints."""
    help_text = subprocess.run([checker, "--help"], capture_output=True, text=True,
                               timeout=TIMEOUT).stdout
    tool = dict(re.findall(r"^\s+([A-Z]\d{3})\s+(error|warning|note)\b",
                           help_text.partition("Codes:")[2], re.M))
    problems, tables = [], 0
    base = os.path.basename(os.path.normpath(folder))
    for name in names:
        with open(os.path.join(folder, name), encoding="utf-8") as handle:
            lines = handle.read().split("\n")
        for start, line in enumerate(lines, 1):
            if not re.match(r"^\|\s*Code\s*\|\s*Level\s*\|", line):
                continue
            tables += 1
            page = {}
            for number in range(start + 2, len(lines) + 1):
                row = re.match(r"^\|\s*`?([A-Z]\d{3})`?\s*\|\s*(\w+)\s*\|", lines[number - 1])
                if not row:
                    break
                page[row.group(1)] = (number, row.group(2))
                if tool.get(row.group(1), row.group(2)) != row.group(2):
                    problems.append("%s/%s:%d: %s is a %s, shiori-check says %s" % (
                        base, name, number, row.group(1), row.group(2), tool[row.group(1)]))
            for code in sorted(set(page) - set(tool)):
                problems.append("%s/%s:%d: shiori-check has no code %s" % (
                    base, name, page[code][0], code))
            for code in sorted(set(tool) - set(page)):
                problems.append("%s/%s:%d: the table lacks %s (%s)" % (
                    base, name, start, code, tool[code]))
    if not tables:
        problems.append("%s: no page has a table of the checker's codes (| Code | Level |)" % base)
    return tables, len(tool), problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--docs", required=True, help="the folder of the manual")
    parser.add_argument("--tool", action="append", default=[],
                        help="NAME=PATH of a program the examples use (may repeat)")
    parser.add_argument("--lib", default="", help="the conversation library")
    parser.add_argument("--makoto-lib", default="", help="the translation library")
    parser.add_argument("--page", action="append", default=[],
                        help="run only this page (file name, may repeat)")
    parser.add_argument("--show", action="store_true", help="print what every example answers")
    args = parser.parse_args()

    runner = Runner(args)
    base = os.path.basename(os.path.normpath(args.docs))
    names = sorted(n for n in os.listdir(args.docs) if n.endswith(".md"))
    if args.page:
        names = [n for n in names if n in args.page]
    pages = []
    for name in names:
        result = runner.page(os.path.join(args.docs, name), "%s/%s" % (base, name))
        if result:
            pages.append(result)

    if not args.page:
        problems = check_links(args.docs, names)
        for problem in problems:
            print(problem)
        runner.failed += len(problems)
        print("links: %d pages, %s" % (len(names), "%d broken" % len(problems)
                                        if problems else "every page linked from README.md"))
        if "shiori-check" in runner.tools:
            tables, codes, problems = check_code_tables(args.docs, names,
                                                        runner.tools["shiori-check"])
            for problem in problems:
                print(problem)
            runner.failed += len(problems)
            print("check codes: %d tables against the %d codes of shiori-check --help, %s" % (
                tables, codes, "%d differences" % len(problems) if problems else "all match"))
        else:
            print("check codes: skipped, needs shiori-check")
        shown = coverage(pages)
        wanted = (list(ENTRY_KINDS) + ["%" + v for v in SYSTEM_VALUES] + BUILTINS
                  + ["operator " + o for o in OPERATORS])
        missing = [w for w in wanted if w not in shown]
        only_skipped = [w for w in wanted if shown.get(w) == "skipped"]
        print("coverage: %d of %d entry kinds, system values, built-ins and operators have an "
              "example that ran" % (len(wanted) - len(missing) - len(only_skipped), len(wanted)))
        if only_skipped:
            print("  only in skipped examples: " + ", ".join(only_skipped))
        if missing:
            runner.failed += 1
            print("  FAILED: no example at all for: " + ", ".join(missing))

    reasons = {}
    for _, reason in runner.skipped:
        reasons[reason] = reasons.get(reason, 0) + 1
    print("%d examples ran (%d commands), %d failed, %d skipped" %
          (runner.ran, runner.commands, runner.failed, len(runner.skipped)))
    for reason, count in sorted(reasons.items()):
        print("  skipped, %s: %d" % (reason, count))
    return 1 if runner.failed else 0


if __name__ == "__main__":
    sys.exit(main())
