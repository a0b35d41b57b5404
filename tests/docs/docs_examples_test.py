#!/usr/bin/python3
"""Runs the command examples of README.md and docs/*.md and checks what the pages show as exact.

    docs_examples_test.py RUNNER SOURCE_DIR BUILD_DIR [PAGE ...]

Every ```sh block of a page runs, in the page's order, in a folder of its own for that page
(BUILD_DIR/docs-examples/<page>/, made afresh). The folder looks like the project folder to the
commands: build/kinklab-run is RUNNER, build/python the built Python module (a block that uses
it is skipped, and says so, where the module is not built), docs/examples/ is a copy of the source's, and a bare
`kinklab-run` is found on the PATH. A block starts in the folder where the one before it ended
(a `cd` carries over, as in a terminal), runs under `set -e -o pipefail`, and must succeed.

What a page says about its blocks, in HTML comments that stand right before the block or table
they are about (blank lines between are allowed, text is not):

  <!-- docs-test: skip REASON -->              the next ```sh block is not run; REASON is printed
  <!-- docs-test: shrunk REASON                the next ```sh block runs as these commands instead
  COMMANDS                                      (a smaller scan, fewer velocities); the page says so
  -->
  <!-- docs-test: in FILE... [lines A-B] -->   the lines of the next plain ``` block (or A to B of
                                                them), but for lines that are only "...", are lines of
                                                each FILE in the same order (whitespace at their ends
                                                aside). FILE is a path or a glob in the folder where
                                                the marker stands, or stdout / stderr of the last
                                                block. A file that no block has made yet is checked
                                                as soon as a later block makes it.
  <!-- docs-test: table of PATTERN -->          the next table: in each row, the first column's value
                                                put for {HEADER} in PATTERN names a file, and every
                                                other non-empty cell is the line "HEADER: cell" in it
  <!-- docs-test: check                         wherever it stands, one check a line on what the
                                                blocks so far have made:
  line FILE = TEXT                                FILE has the line TEXT
  lines FILE = N                                  FILE has N lines
  frames FILE = N                                 the GIF FILE has N frames
  size FILE = WxH                                 the GIF or PNG FILE is W by H pixels
  shape FILE DATASET = A x B                      the HDF5 dataset's shape
  megabytes FILE = X                              FILE's size in 10^6 bytes, rounded as X is written
  made-by FILE = TEXT                             the PNG FILE's Software text begins with TEXT
  -->

Besides the pages, CITATION.cff must give the version of CMakeLists.txt's project(), and the
runner must print it.

Exit status 0 when everything ran and matched, 1 otherwise; a summary names every failure.
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import time

BLOCK_TIMEOUT = 300  # seconds; no example comes near it
FENCE = re.compile(r"^(\s*)```\s*(\S*)\s*$")
MARKER = re.compile(r"^\s*<!--\s*docs-test:\s*(.*)$")


class Page:
    """The fenced blocks, tables and markers of one markdown page, in order."""

    def __init__(self, path, name):
        self.name = name
        self.items = []  # dicts: kind "code" / "table" / "marker", line, ...
        lines = open(path, encoding="utf-8").read().split("\n")
        i = 0
        while i < len(lines):
            line = lines[i]
            fence = FENCE.match(line)
            marker = MARKER.match(line)
            if fence:
                indent = len(fence.group(1))
                j = i + 1
                while j < len(lines) and not re.match(r"^\s*```\s*$", lines[j]):
                    j += 1
                if j == len(lines):
                    raise SystemExit(f"{name}:{i + 1}: a fenced block that does not end")
                body = [l[indent:] if l[:indent].strip() == "" else l for l in lines[i + 1 : j]]
                self.items.append({"kind": "code", "line": i + 1, "lang": fence.group(2), "body": body})
                i = j + 1
            elif marker:
                text = marker.group(1)
                j = i
                while "-->" not in lines[j]:
                    j += 1
                    if j == len(lines):
                        raise SystemExit(f"{name}:{i + 1}: a docs-test marker without -->")
                    text += "\n" + lines[j]
                text = text[: text.rindex("-->")].strip()
                self.items.append({"kind": "marker", "line": i + 1, "text": text})
                i = j + 1
            elif line.lstrip().startswith("|"):
                j = i
                while j < len(lines) and lines[j].lstrip().startswith("|"):
                    j += 1
                self.items.append({"kind": "table", "line": i + 1, "rows": lines[i:j]})
                i = j
            elif line.strip() == "":
                self.items.append({"kind": "blank", "line": i + 1})
                i += 1
            else:
                self.items.append({"kind": "text", "line": i + 1})
                i += 1


def table_cells(row):
    cells = row.strip().strip("|").split("|")
    return [c.strip().strip("`").strip() for c in cells]


def gif_frames_and_size(path):
    data = open(path, "rb").read()
    if data[:6] not in (b"GIF87a", b"GIF89a"):
        raise ValueError("not a GIF")
    width, height = int.from_bytes(data[6:8], "little"), int.from_bytes(data[8:10], "little")
    pos = 13 + (3 * (2 << (data[10] & 7)) if data[10] & 0x80 else 0)
    frames = 0
    while data[pos] != 0x3B:  # the trailer
        if data[pos] == 0x21:  # an extension: label, then sub-blocks
            pos += 2
        elif data[pos] == 0x2C:  # an image: descriptor, local colour table, LZW size, sub-blocks
            frames += 1
            flags = data[pos + 9]
            pos += 10 + (3 * (2 << (flags & 7)) if flags & 0x80 else 0) + 1
        else:
            raise ValueError(f"unexpected byte {data[pos]:#x} at {pos}")
        while data[pos]:
            pos += data[pos] + 1
        pos += 1
    return frames, width, height


def png_size(path):
    data = open(path, "rb").read(24)
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    return int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")


def png_software(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos = 8
    while pos + 8 <= len(data):
        length = int.from_bytes(data[pos : pos + 4], "big")
        if data[pos + 4 : pos + 8] == b"tEXt":
            key, _, value = data[pos + 8 : pos + 8 + length].partition(b"\0")
            if key == b"Software":
                return value.decode("latin-1")
        pos += 12 + length
    return "no Software text"


def read_lines(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return [l.rstrip() for l in f.read().split("\n")]


class Runner:
    def __init__(self, runner, source, build):
        self.runner = os.path.abspath(runner)
        self.source = os.path.abspath(source)
        self.build = os.path.abspath(build)
        self.work_root = os.path.join(self.build, "docs-examples")
        self.failures = []
        self.skipped = []
        self.shrunk = []

    def fail(self, where, message):
        self.failures.append(f"{where}: {message}")
        print(f"  FAIL {where}: {message}")

    # --- running blocks ---------------------------------------------------------------------

    def prepare(self, page_name):
        folder = os.path.join(self.work_root, re.sub(r"[^A-Za-z0-9_.-]", "_", page_name))
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(os.path.join(folder, "build"))
        os.symlink(self.runner, os.path.join(folder, "build", "kinklab-run"))
        if os.path.isdir(os.path.join(self.build, "python")):  # the Python module, when built
            os.symlink(os.path.join(self.build, "python"), os.path.join(folder, "build", "python"))
        shutil.copytree(os.path.join(self.source, "docs", "examples"), os.path.join(folder, "docs", "examples"))
        os.makedirs(os.path.join(folder, ".blocks"))
        return folder

    def run_block(self, folder, cwd, line, commands):
        """Runs the commands from cwd; returns (ok, new cwd, stdout path, stderr path, seconds)."""
        stem = os.path.join(folder, ".blocks", f"line{line}")
        with open(stem + ".sh", "w") as script:
            script.write("set -e -o pipefail\n")
            script.write(f"trap 'pwd > {stem}.cwd' EXIT\n")
            script.write(f"cd '{cwd}'\n")
            script.write("\n".join(commands) + "\n")
        env = dict(os.environ)
        env["PATH"] = os.path.join(folder, "build") + os.pathsep + env.get("PATH", "")
        env["LC_ALL"] = "C"
        env["MPLCONFIGDIR"] = os.path.join(folder, ".blocks", "matplotlib")
        env.pop("SLURM_CPUS_PER_TASK", None)
        start = time.monotonic()
        with open(stem + ".out", "w") as out, open(stem + ".err", "w") as err:
            try:
                status = subprocess.run(["bash", stem + ".sh"], stdout=out, stderr=err, env=env,
                                        timeout=BLOCK_TIMEOUT).returncode
            except subprocess.TimeoutExpired:
                status = "timeout"
        seconds = time.monotonic() - start
        new_cwd = open(stem + ".cwd").read().strip() if os.path.exists(stem + ".cwd") else cwd
        return status, new_cwd, stem + ".out", stem + ".err", seconds

    # --- checks -----------------------------------------------------------------------------

    def resolve(self, where, name, cwd, last):
        """The files a check names: stdout / stderr of the last block, or a path or glob; None
        (a failure) for stdout / stderr before any block has run."""
        if name in ("stdout", "stderr"):
            if last is None:
                self.fail(where, f"{name}: no block has run before this check")
                return None
            return [last[0] if name == "stdout" else last[1]]
        return sorted(glob.glob(os.path.join(cwd, name)))

    @staticmethod
    def shown(path):
        """A file's name in a message: the block's stdout / stderr by the block's line."""
        match = re.fullmatch(r"line(\d+)\.(out|err)", os.path.basename(path))
        if match and os.path.basename(os.path.dirname(path)) == ".blocks":
            return f"the {'stdout' if match.group(2) == 'out' else 'stderr'} of the block at line {match.group(1)}"
        return os.path.basename(path)

    def lines_in_order(self, where, expected, files):
        for path in files:
            got = read_lines(path)
            k = 0
            for want in expected:
                while k < len(got) and got[k] != want:
                    k += 1
                if k == len(got):
                    anywhere = want in got
                    self.fail(where, f"{self.shown(path)} lacks the line {want!r}"
                              + (" after the lines before it" if anywhere else ""))
                    break
                k += 1

    def check_in(self, where, marker_text, body, cwd, last, pending):
        words = marker_text.split()
        lines = [l.rstrip() for l in body]
        if len(words) >= 3 and words[-2] == "lines":
            a, _, b = words[-1].partition("-")
            lines = lines[int(a) - 1 : int(b or a)]
            words = words[:-2]
        expected = [l for l in lines if l.strip() not in ("...", "…")]
        if not words or not expected:
            self.fail(where, "an 'in' marker needs a file and a block with lines")
            return
        for name in words:
            files = self.resolve(where, name, cwd, last)
            if files is None:
                continue
            if files:
                self.lines_in_order(where, expected, files)
                print(f"  {where}: {len(expected)} lines found in {name}")
            else:
                pending.append((where, name, cwd, expected))

    def retry_pending(self, pending, final):
        for entry in list(pending):
            where, name, cwd, expected = entry
            files = self.resolve(where, name, cwd, None)
            if files:
                pending.remove(entry)
                self.lines_in_order(where, expected, files)
                print(f"  {where}: {len(expected)} lines found in {name} (made by a later block)")
            elif final:
                self.fail(where, f"no block made {name}")

    def check_table(self, where, pattern, rows, cwd):
        header = table_cells(rows[0])
        placeholder = "{" + header[0] + "}"
        if placeholder not in pattern:
            self.fail(where, f"the pattern {pattern!r} lacks {placeholder}")
            return
        count = 0
        for row in rows[2:]:
            cells = table_cells(row)
            path = os.path.join(cwd, pattern.replace(placeholder, cells[0]))
            if not os.path.exists(path):
                self.fail(where, f"no file {os.path.basename(path)} for the row {cells[0]}")
                continue
            got = read_lines(path)
            for key, value in zip(header[1:], cells[1:]):
                if value and f"{key}: {value}" not in got:
                    actual = [l for l in got if l.startswith(key + ": ")]
                    self.fail(where, f"row {cells[0]}: the page says {key}: {value}, "
                              f"{os.path.basename(path)} has {actual[0] if actual else 'no such key'}")
                count += 1
        print(f"  {where}: {count} table cells found")

    def check_facts(self, where, text, cwd, last):
        for fact in text.split("\n")[1:]:
            fact = fact.strip()
            if not fact:
                continue
            probe, _, want = fact.partition(" = ")
            words = probe.split()
            if len(words) < 2 or not want:
                self.fail(where, f"cannot read the check {fact!r}")
                continue
            files = self.resolve(where, words[1], cwd, last)
            if files is None:
                continue
            if len(files) != 1:
                self.fail(where, f"{fact}: {words[1]} names {len(files)} files")
                continue
            path = files[0]
            try:
                if words[0] == "line":
                    got = want if want in read_lines(path) else "no such line"
                elif words[0] == "lines":
                    got = str(len(open(path, encoding="utf-8", errors="replace").read().splitlines()))
                elif words[0] == "frames":
                    got = str(gif_frames_and_size(path)[0])
                elif words[0] == "size":
                    w, h = gif_frames_and_size(path)[1:] if path.endswith(".gif") else png_size(path)
                    got = f"{w}x{h}"
                elif words[0] == "shape":
                    import h5py

                    with h5py.File(path, "r") as record:
                        got = " x ".join(str(n) for n in record[words[2]].shape)
                elif words[0] == "made-by":
                    software = png_software(path)
                    got = want if software.startswith(want) else software
                elif words[0] == "megabytes":
                    decimals = len(want.partition(".")[2])
                    got = f"{os.path.getsize(path) / 1e6:.{decimals}f}"
                else:
                    self.fail(where, f"unknown check {words[0]!r}")
                    continue
            except (OSError, ValueError, KeyError, IndexError) as error:
                self.fail(where, f"{fact}: {error}")
                continue
            if got != want:
                self.fail(where, f"{fact}: the page says {want}, the file gives {got}")
            else:
                print(f"  {where}: {fact}")

    # --- a page -----------------------------------------------------------------------------

    def page(self, path, name):
        print(f"{name}")
        page = Page(path, name)
        folder = self.prepare(name)
        cwd, last, pending = folder, None, []
        directives = []  # (line, text) waiting for their block or table
        for item in page.items:
            where = f"{name}:{item['line']}"
            if item["kind"] == "blank":
                continue
            if item["kind"] == "marker":
                if item["text"].startswith("check"):  # on what the blocks so far have made
                    self.check_facts(where, item["text"], cwd, last)
                else:
                    directives.append((item["line"], item["text"]))
                continue
            if item["kind"] == "text":
                for line, text in directives:
                    self.fail(f"{name}:{line}", f"the marker {text.split()[0]!r} stands before text, not a block")
                directives = []
                continue
            mine, directives = directives, []
            if item["kind"] == "table":
                for line, text in mine:
                    if text.startswith("table of "):
                        self.check_table(f"{name}:{line}", text[len("table of ") :].strip(), item["rows"], cwd)
                    else:
                        self.fail(f"{name}:{line}", f"the marker {text.split()[0]!r} does not belong before a table")
                continue
            # A fenced block.
            if item["lang"] == "sh":
                commands, how = item["body"], "ran"
                run = True
                for line, text in mine:
                    if text.startswith("skip"):
                        reason = text[len("skip") :].strip()
                        print(f"  {where}: skipped: {reason}")
                        self.skipped.append(f"{where}: {reason}")
                        run = False
                    elif text.startswith("shrunk"):
                        head, _, rest = text.partition("\n")
                        commands = rest.split("\n")
                        how = f"ran shrunk ({head[len('shrunk') :].strip()})"
                        self.shrunk.append(f"{where}: {head[len('shrunk') :].strip()}")
                    else:
                        self.fail(f"{name}:{line}", f"the marker {text.split()[0]!r} does not belong before a sh block")
                if run and any("build/python" in c for c in commands) and \
                        not os.path.isdir(os.path.join(self.build, "python")):
                    reason = "the Python module is not built in this build folder (KINKLAB_PYTHON=OFF)"
                    print(f"  {where}: skipped: {reason}")
                    self.skipped.append(f"{where}: {reason}")
                    run = False
                if not run:
                    continue
                status, cwd, out, err, seconds = self.run_block(folder, cwd, item["line"], commands)
                last = (out, err)
                if status != 0:
                    tail = "".join(open(err).readlines()[-5:])
                    self.fail(where, f"exit status {status}; the end of its standard error:\n{tail}")
                else:
                    print(f"  {where}: {seconds:.1f} s, {how}")
                self.retry_pending(pending, final=False)
            else:
                for line, text in mine:
                    if text.startswith("in "):
                        self.check_in(f"{name}:{line}", text[3:], item["body"], cwd, last, pending)
                    else:
                        self.fail(f"{name}:{line}", f"the marker {text.split()[0]!r} does not belong before a "
                                  f"{item['lang'] or 'plain'} block")
        for line, text in directives:
            self.fail(f"{name}:{line}", f"the marker {text.split()[0]!r} stands at the end of the page")
        self.retry_pending(pending, final=True)

    def citation(self):
        """CITATION.cff, CMakeLists.txt and the runner give one version."""
        cmake = open(os.path.join(self.source, "CMakeLists.txt")).read()
        project = re.search(r"project\(\s*KinkLab\s+VERSION\s+([0-9.]+)", cmake)
        cff = re.search(r"^version:\s*\"?([^\"\s]+)\"?\s*$",
                        open(os.path.join(self.source, "CITATION.cff")).read(), re.M)
        printed = subprocess.run([self.runner, "--version"], capture_output=True, text=True).stdout.split()
        versions = {"CMakeLists.txt": project and project.group(1), "CITATION.cff": cff and cff.group(1),
                    "kinklab-run --version": printed[-1] if printed else None}
        if None in versions.values() or len(set(versions.values())) != 1:
            self.fail("CITATION.cff", f"the versions differ: {versions}")
        else:
            print(f"CITATION.cff: version {versions['CITATION.cff']}, as CMakeLists.txt and the runner give it")


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    runner, source, build = sys.argv[1:4]
    pages = sys.argv[4:] or ["README.md"] + sorted(
        os.path.relpath(p, source) for p in glob.glob(os.path.join(source, "docs", "*.md")))
    test = Runner(runner, source, build)
    start = time.monotonic()
    for name in pages:
        test.page(os.path.join(source, name), name)
    test.citation()
    print(f"\n{len(test.skipped)} blocks skipped, {len(test.shrunk)} run shrunk, "
          f"{time.monotonic() - start:.0f} s in all")
    if test.failures:
        print(f"{len(test.failures)} failures:")
        for failure in test.failures:
            print(f"  {failure}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
