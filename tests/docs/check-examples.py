#!/usr/bin/env python3
"""Reads every configuration the manual shows, with the real launcher.

A configuration is an indented block of the README or a page of docs/ whose
lines begin with directives, or a directive's one-line example in
docs/directives.md. Each is written beside a copy of the launcher, which is
run with -o: it must end with 0, write its command file, say nothing of a
line it ignored or skipped, and the command must hold what the lines ask
for (each vmparam option, the main class, the arguments, a heap limit).

    check-examples.py TARVIK SOURCE_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

launcher, top = sys.argv[1], sys.argv[2]
pages = [os.path.join(top, "README.md")] + sorted(
    os.path.join(top, "docs", name)
    for name in os.listdir(os.path.join(top, "docs")) if name.endswith(".md"))
keywords = re.findall(r"^### `([A-Za-z]+)`$",
                      open(os.path.join(top, "docs", "directives.md")).read(), re.M)


def directive_of(line):
    word = line.split(" ", 1)[0]
    return word if word in keywords and " " in line else None


def examples():
    """(where, lines) of each configuration shown."""
    for page in pages:
        name = os.path.relpath(page, top)
        block, start = [], 0
        lines = open(page, encoding="utf-8").read().split("\n") + [""]
        for number, line in enumerate(lines, 1):
            inline = re.match(r"^- \*\*Example:\*\* `(.*)`$", line)
            if inline and directive_of(inline.group(1)):
                yield f"{name}:{number}", [inline.group(1)]
            indented = line.startswith("    ")
            if indented and directive_of(line.strip()):
                if not block:
                    start = number
                block.append(line.strip())
            elif block and (line.strip() and not indented or
                            not line.strip() and not lines[number].startswith("    ")):
                # The block ends at text, or at a blank line before text.
                yield f"{name}:{start}", block
                block = []


def expected_words(lines):
    wanted = []
    for line in lines:
        keyword, value = line.split(" ", 1)
        if keyword == "vmparam" and "$" not in value and "%" not in value:
            wanted.append(value)
        elif keyword in ("mainclass", "argument", "leadingArgument"):
            wanted.append(value)
        elif keyword == "percentRam":
            wanted.append("-Xmx")
        elif keyword == "rmvmparam":
            wanted.append("!" + value)
    return wanted


failed = passed = 0
for where, lines in examples():
    work = tempfile.mkdtemp(prefix="tarvik-example-")
    try:
        os.mkdir(os.path.join(work, "lib"))
        shutil.copy(launcher, os.path.join(work, "app"))
        with open(os.path.join(work, "app.config"), "w") as config:
            config.write("\n".join(lines) + "\n")
        env = dict(os.environ, TARVIK_REGISTRY=os.path.join(work, "no-registry"),
                   XDG_CACHE_HOME=os.path.join(work, "cache"))
        run = subprocess.run([os.path.join(work, "app"), "-o"], cwd=work, env=env,
                             stdin=subprocess.DEVNULL, capture_output=True, text=True,
                             timeout=60)
        said = run.stdout + run.stderr
        out_path = os.path.join(work, "app.out")
        command = open(out_path).read() if os.path.exists(out_path) else ""
        problems = []
        if run.returncode != 0:
            problems.append(f"exit code {run.returncode}")
        if not command:
            problems.append("no command file")
        for word in ("ignored", "Skipped", "Stopped", "Error", "follows javaVersion"):
            if word in said:
                problems.append(f"it said: {said.strip()}")
                break
        for word in expected_words(lines):
            if word.startswith("!"):
                if word[1:] in command:
                    problems.append(f"{word[1:]} was not taken away")
            elif word not in command:
                problems.append(f"the command lacks {word}")
        if problems:
            failed += 1
            print(f"FAIL {where}: " + "; ".join(problems))
            print("  " + "\n  ".join(lines))
            print("  " + command.replace("\n", "\n  "))
        else:
            passed += 1
    finally:
        shutil.rmtree(work, ignore_errors=True)

print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed or passed == 0 else 0)
