"""The documentation's check, run by CTest with the corvane-script of the build.

Every relative link in README.md and docs/*.md must name a file that exists and, after '#', one
of its headings as GitHub makes anchors of them. Every line that starts with 'corvane-script ' in
a ```sh or ```bat block runs as shown (a bat block's backslashes read as slashes) in a scratch
folder holding profiles/ and, as x.cmd, the example script of docs/dialog.md, and must end with
status 0, or with N where the line ends in '# exit N'. A page's commands run in order in one
folder, so one may use what an earlier one wrote.
"""

import re
import shlex
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
FENCE = re.compile(r"^```(\w*)\n(.*?)^```", re.M | re.S)
LINK = re.compile(r"\]\(([^)\s]+)\)")
EXAMPLE = "<!-- example script: scripts/screenshots.sh writes this block -->"


def anchors(page):
    headings = re.findall(r"^#+ (.*)$", FENCE.sub("", page.read_text(encoding="utf-8")), re.M)
    return {re.sub(r"[^\w\- ]", "", h.strip().lower()).replace(" ", "-") for h in headings}


def check(page, tool, example, faults):
    text = page.read_text(encoding="utf-8")
    prose = re.sub(r"`[^`\n]*`", "", FENCE.sub("", text))
    for target in LINK.findall(prose):
        path, _, anchor = target.partition("#")
        if re.match(r"[a-z]+:", path):
            continue
        linked = (page.parent / path) if path else page
        if not linked.exists():
            faults.append(f"{page.name}: no file for the link {target}")
        elif anchor and anchor not in anchors(linked):
            faults.append(f"{page.name}: no heading for the link {target}")
    commands = 0
    with tempfile.TemporaryDirectory() as scratch:
        shutil.copytree(REPO / "profiles", Path(scratch, "profiles"))
        Path(scratch, "x.cmd").write_bytes(example.replace("\n", "\r\n").encode())
        for kind, block in FENCE.findall(text):
            for line in block.splitlines():
                if kind not in ("sh", "bat") or not line.startswith("corvane-script "):
                    continue
                command, _, comment = line.partition(" #")
                status = re.search(r"\bexit (\d+)", comment)
                args = command[len("corvane-script"):]
                shell = shlex.quote(tool) + (args.replace("\\", "/") if kind == "bat" else args)
                run = subprocess.run(["bash", "-c", shell], cwd=scratch, stdin=subprocess.DEVNULL,
                                     capture_output=True, text=True, timeout=60)
                if run.returncode != (int(status[1]) if status else 0):
                    faults.append(f"{page.name}: '{line}' ended with {run.returncode}: "
                                  f"{run.stderr.strip()}")
                commands += 1
    return commands


def main(tool):
    faults = []
    pages = [REPO / "README.md", *sorted((REPO / "docs").glob("*.md"))]
    dialog = (REPO / "docs" / "dialog.md").read_text(encoding="utf-8")
    if EXAMPLE not in dialog:
        faults.append("dialog.md: scripts/screenshots.sh finds no example script block to write")
    example = FENCE.search(dialog, dialog.find(EXAMPLE))[2]
    commands = sum(check(page, tool, example, faults) for page in pages)
    if commands == 0:
        faults.append("no corvane-script command found: the blocks are not read as they should")
    print("\n".join(faults) or f"{len(pages)} pages: links resolve, {commands} commands as shown")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(str(Path(sys.argv[1]).resolve())))
