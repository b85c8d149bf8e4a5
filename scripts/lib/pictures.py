"""Pictures of the real corvane.exe, taken on a private Xvfb inside a Wine virtual desktop so
that Wine draws the window's frame and caption, each cropped to the window.

  pictures.py run PICTURE      scripts/run.sh without a screen: one picture, then Escape
  pictures.py docs             scripts/screenshots.sh: the pictures and example script of docs/

Every wait is bounded; only the processes started here are ended, by their ids.
"""

import contextlib
import re
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

import harness  # noqa: E402
from harness import (DESKTOP, ETL_OUT, HEAP, HEAP_PROCESS, KERNEL_FLAGS, LOG_STACK, OK,  # noqa: E402
                     PROVIDERS, SAVE_NAME_EDIT, STACKWALK, windows_path, wait_until)

DOCS = REPO / "docs"
# Room for the dialog at 144 DPI, half as large again as at 96.
DESKTOP_144_DPI = "1540x800"
EXAMPLE_PAGE = DOCS / "dialog.md"
SCRIPT_START = "<!-- example script: scripts/screenshots.sh writes this block -->"
SCRIPT_END = "<!-- end of example script -->"

# Names as a Windows machine registers them; here they come from the test Tdh.dll.
SAMPLE_PROVIDERS = [
    "Microsoft-Windows-Kernel-Process", "Microsoft-Windows-Kernel-File",
    "Microsoft-Windows-DotNETRuntime", "Microsoft-Windows-DxgKrnl", "Microsoft-Windows-Win32k",
    "Microsoft-Windows-Shell-Core", "Microsoft-Windows-TCPIP", "Microsoft-Windows-WinINet",
    "Microsoft-Windows-Kernel-Power", "Microsoft-Windows-Diagnosis-PCW",
    "Microsoft-Windows-RPC", "Microsoft-Windows-Search-Core", "Microsoft-JScript",
    "Microsoft-Windows-MediaFoundation-Performance", "Microsoft-Windows-Audio",
    "Microsoft-Windows-DirectComposition", "Microsoft-Windows-Dwm-Core",
]


def picture(screen, app, path):
    look = app.wait_for("the main dialog painted", lambda look: look.main.visible)
    screen.screenshot(path, look.main)
    return path


def run(picture_path):
    """Returns the program's exit code after one picture and Escape."""
    with harness.framed_corvane(harness.BUILD / "run") as (screen, app):
        app.wait_for_focus(OK)
        picture(screen, app, picture_path)
        app.keys("Escape")
        return app.wait_exit(timeout=15)


def set_text(app, field, text):
    app.click(field)
    app.wait_for_focus(field)
    app.keys("End", "shift+Home", "BackSpace")
    app.type(text)
    app.wait_for(f"{text!r} typed", lambda look: look.main.control(field).text == text,
                 brief=True)


@contextlib.contextmanager
def started(screen):
    try:
        yield screen.start()
    finally:
        screen.stop()


def as_it_opens(screen, folder, path, **options):
    """One picture of the dialog as it opens, then Escape."""
    app = harness.Corvane(screen, folder, **options)
    try:
        app.wait_for_focus(OK)
        picture(screen, app, path)
        app.keys("Escape")
        app.wait_exit()
    finally:
        app.close()


def docs():
    DOCS.mkdir(exist_ok=True)
    folder = harness.BUILD / "pictures" / "work"
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.glob("*.cmd"):
        old.unlink()
    with started(harness.Screen(prefix=harness.BUILD / "pictures" / "wineprefix",
                                desktop=DESKTOP)) as screen:
        # Without the test library Wine lists no providers: the window as it opens anywhere.
        as_it_opens(screen, folder, DOCS / "main-dialog.png", builtin_tdh=True)

        app = harness.Corvane(screen, folder, providers=SAMPLE_PROVIDERS)
        try:
            app.wait_for_focus(OK)
            for list_id, name in ((KERNEL_FLAGS, "PROC_THREAD"), (KERNEL_FLAGS, "LOADER"),
                                  (KERNEL_FLAGS, "CSWITCH"), (STACKWALK, "CSwitch"),
                                  (PROVIDERS, "Microsoft-Windows-DxgKrnl"),
                                  (PROVIDERS, "Microsoft-Windows-Win32k")):
                app.click_item(list_id, name)
                app.wait_for(f"{name} selected",
                             lambda look: name in look.main.control(list_id).selected_texts())
            app.click(LOG_STACK)
            app.click(HEAP)
            app.wait_for("Heap checked", lambda look: look.main.control(HEAP).check == 1)
            set_text(app, HEAP_PROCESS, "notepad")
            set_text(app, ETL_OUT, r"C:\traces\capture.etl")
            app.click(OK)  # the focus leaves the edit, so no caret shows in the picture
            app.wait_for("the save dialog", lambda look: look.focus_id() == SAVE_NAME_EDIT,
                         brief=True)
            saved = folder / "example.cmd"
            app.type(windows_path(saved))
            app.keys("Return")
            wait_until("the example script", saved.exists)
            app.wait_without_dialogs()
            picture(screen, app, DOCS / "dialog-with-providers.png")
            app.keys("Escape")
            app.wait_exit()
        finally:
            app.close()

    # The same dialog on a screen at 150 % (144 DPI), in a prefix of its own with that LogPixels.
    with started(harness.Screen(prefix=harness.BUILD / "pictures" / "wineprefix-144dpi",
                                desktop=DESKTOP_144_DPI, dpi=144, size="1600x1024")) as screen:
        as_it_opens(screen, folder, DOCS / "dialog-at-144-dpi.png", providers=SAMPLE_PROVIDERS)

    text = saved.read_bytes().decode("cp1252").replace("\r\n", "\n")
    page = EXAMPLE_PAGE.read_text(encoding="utf-8")
    block = f"{SCRIPT_START}\n```bat\n{text}```\n{SCRIPT_END}"
    pattern = re.compile(re.escape(SCRIPT_START) + ".*?" + re.escape(SCRIPT_END), re.DOTALL)
    if not pattern.search(page):
        raise SystemExit(f"{EXAMPLE_PAGE} has no block between {SCRIPT_START!r} and {SCRIPT_END!r}")
    EXAMPLE_PAGE.write_text(pattern.sub(lambda _: block, page), encoding="utf-8")
    for name in ("main-dialog.png", "dialog-with-providers.png", "dialog-at-144-dpi.png"):
        print(f"Picture: {DOCS / name}")
    print(f"Example script: {EXAMPLE_PAGE} (from {saved})")


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "run":
        code = run(Path(sys.argv[2]))
        meaning = "a normal close" if code == 2 else "not a normal close: that is 2"
        print(f"Corvane closed with exit code {code} ({meaning})")
    elif len(sys.argv) == 2 and sys.argv[1] == "docs":
        docs()
    else:
        raise SystemExit(__doc__)
