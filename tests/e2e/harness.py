"""Drives the built corvane.exe from outside, as a person does: a private Xvfb, Wine in a prefix
of its own, xdotool keys and clicks, and the read-only inspector for what the windows show.

Every wait is bounded, by a time that grows with the machine's load (wait_scale). Only processes started here are ended, each by its id (and the prefix's
own wineserver, which belongs to this suite alone).
"""

import contextlib
import ctypes
import ctypes.util
import fcntl
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("CORVANE_BUILD_DIR", REPO / "build" / "win32")).resolve()
PROGRAM = BUILD / "corvane.exe"
INSPECTOR = BUILD / "tests" / "e2e" / "corvane_inspector.exe"
TDH_DOUBLE = BUILD / "tests" / "providers" / "doubles" / "tdh_fixture.dll"
WORK = BUILD / "e2e"
PREFIX = WORK / "wineprefix"
ARTEFACTS = WORK / "failures"

# Display numbers to try for the private Xvfb, "first-last".
DISPLAYS = os.environ.get("CORVANE_E2E_DISPLAYS", "140-179")

# On an idle machine; every bound is multiplied by wait_scale() when a wait starts.
DEFAULT_WAIT = 15.0
START_WAIT = 60.0
MOST_SCALE = 10.0
# A Wine virtual desktop that holds the dialog with its frame, at the screen's top left.
DESKTOP = "1000x520"
# Wine's own Marlett (Debian's fonts-wine), which draws the caption buttons of a virtual desktop's
# windows; without it they read "0 1 r". This Wine does not load fonts from that folder.
CAPTION_FONT = Path("/usr/share/wine/fonts/marlett.ttf")
MAIN_CAPTION = re.compile(r"^Corvane - ")

# Control ids of the main dialog.
OK, CANCEL, ABOUT = 1, 2, 57664
KERNEL_FLAGS, STACKWALK, FILE_MODE, PROVIDERS = 1001, 1002, 1003, 1010
MAX_FILE, BUFFER_SIZE, MIN_BUFFERS, MAX_BUFFERS = 1004, 1006, 1007, 1008
ETL_OUT, KERNEL_PATH, USER_PATH, SESSION = 1005, 1009, 1013, 1012
LOG_STACK, RESET, HEAP = 1011, 1014, 1015
HEAP_PROCESS, HEAP_SESSION, HEAP_PATH = 1016, 1017, 1018
# Wine's save dialog and message boxes.
SAVE_NAME_EDIT = 1148
MESSAGE_TEXT = 65535
MESSAGE_ICON = 1088
SAVE_FOLDER_MEMORY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\LastVisitedMRU"


class Timeout(AssertionError):
    pass


def wait_scale():
    """How many times longer than on an idle machine Wine and X may take to answer now: the
    CORVANE_E2E_WAIT_SCALE variable when set, else the processes waiting for a CPU over the last
    minute, per CPU; never below 1. Beside builds or other suites they answer late, not wrongly."""
    given = os.environ.get("CORVANE_E2E_WAIT_SCALE")
    if given:
        return max(1.0, float(given))
    try:
        runnable = os.getloadavg()[0]
    except OSError:
        return 1.0
    return min(MOST_SCALE, max(1.0, runnable / (os.cpu_count() or 1)))


def wait_until(what, probe, timeout=DEFAULT_WAIT, interval=0.05):
    """Calls probe until it returns something true and returns that; fails after timeout, scaled
    by the machine's load."""
    timeout *= wait_scale()
    deadline = time.monotonic() + timeout
    last = None
    while True:
        last = probe()
        if last:
            return last
        if time.monotonic() > deadline:
            raise Timeout(f"gave up after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def windows_path(path):
    """The path as Wine's drive Z: shows it."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def wine_environment(display, overrides="", prefix=PREFIX):
    env = dict(os.environ)
    env.update(
        WINEPREFIX=str(prefix),
        WINEDEBUG="-all",
        WINEDLLOVERRIDES="mscoree,mshtml=" + (";" + overrides if overrides else ""),
        DISPLAY=display,
    )
    return env


def _end(process, grace=5.0):
    """Ends one process we started, by its id: politely first, then for sure."""
    if process.poll() is not None:
        return
    with contextlib.suppress(ProcessLookupError):
        process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        with contextlib.suppress(ProcessLookupError):
            process.kill()
        process.wait(timeout=grace)


class _KeyboardMap:
    """Gives characters without a key of their own in the X server's keyboard map a spare
    keycode each, kept for the screen's life. xdotool would bind one for a single key press and
    unbind it at once; Wine reads the map when it hears of the change, and when the machine is
    busy it reads it after the unbinding and the character is lost."""

    def __init__(self, display):
        self.display = display
        self.mapped = set()

    def add(self, text):
        wanted = sorted({c for c in text if ord(c) > 0x7E} - self.mapped)
        if not wanted:
            return
        x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XGetKeyboardMapping.restype = ctypes.POINTER(ctypes.c_ulong)
        x11.XGetKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_ubyte, ctypes.c_int,
                                            ctypes.POINTER(ctypes.c_int)]
        x11.XChangeKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                               ctypes.POINTER(ctypes.c_ulong), ctypes.c_int]
        for name in ("XDisplayKeycodes", "XSync", "XFree", "XCloseDisplay"):
            getattr(x11, name).argtypes = None
        connection = x11.XOpenDisplay(self.display.encode())
        assert connection, f"cannot open {self.display}"
        try:
            low, high, per = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
            x11.XDisplayKeycodes(ctypes.c_void_p(connection), ctypes.byref(low), ctypes.byref(high))
            count = high.value - low.value + 1
            symbols = x11.XGetKeyboardMapping(connection, low.value, count, ctypes.byref(per))
            spare = [low.value + i for i in range(count)
                     if not any(symbols[i * per.value + j] for j in range(per.value))]
            x11.XFree(symbols)
            assert len(spare) >= len(wanted), "no spare keycodes left for " + "".join(wanted)
            for character, keycode in zip(wanted, spare):
                # Latin-1 keysyms are the code points; the others are 0x01000000 more.
                code = ord(character)
                keysym = (ctypes.c_ulong * 1)(code if code <= 0xFF else 0x01000000 + code)
                x11.XChangeKeyboardMapping(connection, keycode, 1, keysym, 1)
            x11.XSync(ctypes.c_void_p(connection), 0)
        finally:
            x11.XCloseDisplay(ctypes.c_void_p(connection))
        self.mapped.update(wanted)


class Window:
    """One window of a look: a dict from the inspector, with the tree's helpers."""

    def __init__(self, data, owner=0, pid=0):
        self.data = data
        self.owner = owner
        self.pid = pid

    def __getattr__(self, name):
        try:
            return self.data[name]
        except KeyError:
            raise AttributeError(name) from None

    def __repr__(self):
        return f"<{self.data['class']} {self.data['id']} {self.data['text']!r}>"

    @property
    def children(self):
        return [Window(child) for child in self.data.get("children", [])]

    def descendants(self):
        for child in self.children:
            yield child
            yield from child.descendants()

    def find(self, control_id=None, cls=None):
        for window in self.descendants():
            if control_id is not None and window.id != control_id:
                continue
            if cls is not None and window.data["class"] != cls:
                continue
            return window
        return None

    def control(self, control_id):
        found = self.find(control_id)
        assert found is not None, f"no control {control_id} in {self!r}"
        return found

    def center(self):
        left, top, right, bottom = self.rect
        return (left + right) // 2, (top + bottom) // 2

    def close_box(self):
        """Centre of the caption's close button, for a top-level window without a menu whose
        frame Wine draws: the caption band lies between the frame and the client area, and the
        button is its square at the right end."""
        left, top, right, _ = self.rect
        client_left, client_top, _, _ = self.clientRect
        frame = client_left - left
        caption = client_top - top - frame
        assert frame >= 0 and caption > 0, f"{self!r} shows no caption"
        return right - frame - caption // 2, top + frame + caption // 2

    def item_point(self, index):
        """Screen point of a visible list entry."""
        left, top, right, _ = self.clientRect
        row = index - self.topIndex
        return left + min(40, (right - left) // 2), top + row * self.itemHeight + self.itemHeight // 2

    def selected_texts(self):
        return [self.items[index] for index in self.selected]


class Look:
    """What the inspector saw at one moment."""

    def __init__(self, document):
        self.document = document
        self.processes = document["processes"]
        self.windows = [
            Window(entry["window"], entry["owner"], entry["pid"])
            for entry in document["windows"]
            if entry["pid"] in self.processes
        ]
        self.others = [entry for entry in document["windows"] if entry["pid"] not in self.processes]
        threads = document.get("threads", [])
        self.focus_hwnd = threads[0]["focus"] if threads else 0
        self.active_hwnd = threads[0]["active"] if threads else 0

    def visible_top(self, cls=None):
        return [w for w in self.windows if w.visible and (cls is None or w.data["class"] == cls)]

    @property
    def main(self):
        for window in self.windows:
            if window.data["class"] == "#32770" and MAIN_CAPTION.match(window.text):
                return window
        return None

    def dialog(self, caption):
        for window in self.visible_top("#32770"):
            if window.text == caption:
                return window
        return None

    def message_box(self):
        """A visible message box: a dialog with the text static; None if none is open."""
        for window in self.visible_top("#32770"):
            if window.find(MESSAGE_TEXT, "Static") is not None and window.find(2) is None:
                if window.text not in ("Save As", "About") and not MAIN_CAPTION.match(window.text):
                    return window
        return None

    def focused(self):
        for top in self.windows:
            if top.hwnd == self.focus_hwnd:
                return top
            for window in top.descendants():
                if window.hwnd == self.focus_hwnd:
                    return window
        return None

    def focus_id(self):
        window = self.focused()
        return None if window is None else window.id

    def top_of(self, window_hwnd):
        for top in self.windows:
            if top.hwnd == window_hwnd or any(w.hwnd == window_hwnd for w in top.descendants()):
                return top
        return None


class Screen:
    """A private Xvfb, the prefix's server and the inspector serving looks."""

    def __init__(self, prefix=PREFIX, desktop=None, tdh_double=True, dpi=None, size="1280x1024"):
        """desktop: "WIDTHxHEIGHT" runs every program of the prefix (so the inspector sees what
        corvane.exe shows) in a Wine virtual desktop of that size at the screen's top left, where
        Wine draws the window frame and caption itself, with Marlett when fonts-wine is there.
        Give such a prefix to nothing else. dpi: the prefix's LogPixels (Wine's 96 when None);
        size: the Xvfb screen's."""
        self.prefix = Path(prefix)
        self.desktop = desktop
        self.tdh_double = tdh_double
        self.dpi = dpi
        self.size = size
        self.display = None
        self.keyboard = None
        self.env = None
        self.xvfb = None
        self.inspector = None
        self.serve_dir = None

    def start(self):
        self.prefix.parent.mkdir(parents=True, exist_ok=True)
        self._start_xvfb()
        self.env = wine_environment(self.display, prefix=self.prefix)
        self._prepare_prefix()
        self._start_inspector()
        return self

    def _start_xvfb(self):
        first, last = (int(n) for n in DISPLAYS.split("-"))
        for number in range(first, last + 1):
            if Path(f"/tmp/.X{number}-lock").exists() or Path(f"/tmp/.X11-unix/X{number}").exists():
                continue
            process = subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", f"{self.size}x24", "-nolisten", "tcp"],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            )
            display = f":{number}"
            try:
                wait_until(f"Xvfb on {display}", lambda: process.poll() is not None or subprocess.run(
                    ["xdpyinfo", "-display", display], stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL).returncode == 0, timeout=10)
            except Timeout:
                _end(process)
                continue
            if process.poll() is None:
                self.xvfb, self.display = process, display
                self.keyboard = _KeyboardMap(display)
                return
        raise RuntimeError(f"no free display in {DISPLAYS}")

    def _prepare_prefix(self):
        # Create the prefix once (about 20 s), then keep its server up for the whole suite with
        # closed standard handles, so no Wine program holds a pipe of ours open.
        with open(str(self.prefix) + ".lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if not (self.prefix / "system.reg").exists():
                subprocess.run(["wineboot", "-i"], env=self.env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        subprocess.run(["wineserver", "-p"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        subprocess.run(["wineboot"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        # The test Tdh.dll where the program looks for the system's; WINEDLLOVERRIDES picks it
        # (tdh=n,b) or Wine's builtin (tdh=b) per start.
        if self.tdh_double:
            shutil.copyfile(TDH_DOUBLE, self.prefix / "drive_c" / "windows" / "syswow64" / "tdh.dll")
        if self.desktop and CAPTION_FONT.exists():
            shutil.copyfile(CAPTION_FONT, self.prefix / "drive_c" / "windows" / "Fonts" / "marlett.ttf")
        settings = []
        if self.desktop:
            settings += [(r"HKCU\Software\Wine\Explorer", "Desktop", "REG_SZ", "Corvane"),
                         (r"HKCU\Software\Wine\Explorer\Desktops", "Corvane", "REG_SZ", self.desktop)]
        if self.dpi:  # Wine 8 reads the DPI here first, then from HKLM's Hardware Profiles key
            settings.append((r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", str(self.dpi)))
        for key, name, kind, value in settings:
            subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f"],
                           env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60, check=True)

    def _start_inspector(self):
        self.serve_dir = Path(tempfile.mkdtemp(prefix="inspector-", dir=self.prefix.parent))
        self.inspector_log = open(self.prefix.parent / "inspector.log", "ab")
        self.inspector = subprocess.Popen(
            ["wine", str(INSPECTOR), "corvane.exe", "--serve", windows_path(self.serve_dir)],
            env=self.env, stdin=subprocess.DEVNULL, stdout=self.inspector_log,
            stderr=subprocess.STDOUT)
        self.look()  # the first answer also proves it runs

    def look(self, timeout=DEFAULT_WAIT, brief=False):
        """One look at every window; the program's windows in full, but when brief without the
        texts of list entries (the fast look for waits on focus and dialogs)."""
        output = self.serve_dir / f"look-{time.monotonic_ns()}.json"
        request = self.serve_dir / "request.part"
        request.write_text(windows_path(output) + ("\nbrief" if brief else ""), encoding="utf-8")
        request.rename(self.serve_dir / "request")

        def answered():
            if self.inspector.poll() is not None:
                raise RuntimeError(f"the inspector ended with code {self.inspector.returncode}")
            return output.exists()

        wait_until("the inspector's answer", answered, timeout=timeout, interval=0.02)
        document = json.loads(output.read_text(encoding="utf-8"))
        output.unlink()
        return Look(document)

    def screenshot(self, path, window=None):
        """The whole screen, or the rectangle of one window."""
        command = ["import", "-display", self.display, "-window", "root"]
        if window is not None:
            left, top, right, bottom = window.rect
            command += ["-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage"]
        # No time stamps in the file: the same window gives the same bytes.
        command += ["-define", "png:exclude-chunk=date,time"]
        subprocess.run(command + [str(path)], timeout=30, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def xdotool(self, *arguments):
        subprocess.run(["xdotool", *map(str, arguments)], env={**os.environ, "DISPLAY": self.display},
                       check=True, timeout=30, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)

    def stop(self):
        """Ends what start started, also after a start that failed half-way."""
        if self.inspector is not None:
            (self.serve_dir / "stop").write_text("")
            try:
                self.inspector.wait(timeout=10)
            except subprocess.TimeoutExpired:
                _end(self.inspector)
        # The prefix is ours alone: end its server and whatever still runs in it.
        if self.env is not None:
            subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        if self.serve_dir is not None:
            shutil.rmtree(self.serve_dir, ignore_errors=True)
            self.inspector_log.close()
        if self.xvfb is not None:
            _end(self.xvfb)


class Corvane:
    """One run of corvane.exe on the suite's screen."""

    def __init__(self, screen, folder, providers=None, builtin_tdh=False, forget_save_folder=False):
        self.screen = screen
        self.folder = Path(folder)
        self.provider_script = self.folder / "providers.txt"
        self.provider_script.write_text("".join(f"provider {name}\n" for name in providers or []),
                                        encoding="utf-8")
        double = screen.tdh_double and not builtin_tdh
        env = wine_environment(screen.display, "tdh=n,b" if double else "tdh=b", screen.prefix)
        env["CORVANE_TDH_FIXTURE_SCRIPT"] = windows_path(self.provider_script)
        self.log = open(self.folder / "corvane.log", "wb")
        if forget_save_folder:
            # Wine's save dialog reopens the folder it last saved to for this program.
            subprocess.run(["wine", "reg", "delete", SAVE_FOLDER_MEMORY, "/f"], env=env,
                           stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT,
                           timeout=60)
        # The working folder is where the save dialog opens when it has nothing to remember.
        self.process = subprocess.Popen(["wine", str(PROGRAM)], env=env, cwd=self.folder,
                                        stdin=subprocess.DEVNULL, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        # A first start in a new prefix or virtual desktop takes longest.
        self.main = self.wait_for("the main dialog", lambda look: look.main is not None and
                                  look.main.visible and look.main, timeout=START_WAIT).main

    # Observing
    def look(self, brief=False):
        if self.process.poll() is not None:
            raise AssertionError(f"corvane.exe ended with code {self.process.returncode}")
        return self.screen.look(brief=brief)

    def wait_for(self, what, condition, timeout=DEFAULT_WAIT, brief=False):
        """Waits until condition(look) is true; returns that look."""
        def probe():
            look = self.look(brief)
            return look if condition(look) else None
        return wait_until(what, probe, timeout=timeout)

    def control(self, control_id, brief=False):
        return self.look(brief).main.control(control_id)

    def wait_for_focus(self, control_id, timeout=DEFAULT_WAIT):
        return self.wait_for(f"the focus on {control_id}",
                             lambda look: look.focus_id() == control_id
                             and look.top_of(look.focus_hwnd) is not None
                             and look.top_of(look.focus_hwnd).hwnd == look.main.hwnd,
                             timeout=timeout, brief=True)

    def wait_for_message_box(self):
        return self.wait_for("a message box", lambda look: look.message_box() is not None,
                             brief=True)

    def wait_for_dialog(self, caption):
        return self.wait_for(f"the dialog {caption!r}", lambda look: look.dialog(caption) is not None,
                             brief=True)

    def wait_without_dialogs(self):
        """Until only the main dialog is open and has the keyboard again."""
        return self.wait_for("the main dialog alone and active", lambda look: look.main.enabled
                             and len(look.visible_top("#32770")) == 1
                             and look.active_hwnd == look.main.hwnd, brief=True)

    # Acting
    def point_into(self, window=None):
        """No window manager: keys go to the window under the pointer. Wine's X window covers
        only the client area (it draws no frame), so point there."""
        left, top, _, _ = (window or self.main).clientRect
        self.screen.xdotool("mousemove", left + 4, top + 4)

    def keys(self, *names):
        self.point_into()
        self.screen.xdotool("key", "--delay", "60", *names)

    def type(self, text):
        self.screen.keyboard.add(text)
        self.point_into()
        self.screen.xdotool("type", "--delay", "40", "--", text)

    def click_at(self, x, y):
        # A help tip still up from the last pointer stop takes a click on it (Wine passes none
        # through); the pointer moving onto it hides it.
        self.screen.xdotool("mousemove", x, y)
        self.wait_for("no tip under the pointer", lambda look: not any(
            w.rect[0] <= x < w.rect[2] and w.rect[1] <= y < w.rect[3]
            for w in look.visible_top("tooltips_class32")), brief=True)
        self.screen.xdotool("click", "1")

    def click(self, control_id):
        self.click_at(*self.control(control_id, brief=True).center())

    def click_item(self, list_id, text):
        listbox = self.control(list_id)
        index = listbox.items.index(text)
        self.click_at(*listbox.item_point(index))

    def wait_exit(self, timeout=DEFAULT_WAIT):
        timeout *= wait_scale()
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Timeout(f"corvane.exe still runs after {timeout:.0f} s") from None

    def close(self):
        _end(self.process)
        self.log.close()


@contextlib.contextmanager
def framed_corvane(place):
    """One corvane.exe (Wine's own Tdh.dll) in a virtual desktop of a screen and prefix of its
    own under place, so that Wine draws its frame and caption. Yields (screen, app); ends
    both, by their ids, however the block ends."""
    screen = Screen(prefix=Path(place) / "wineprefix", desktop=DESKTOP, tdh_double=False)
    app = None
    try:
        screen.start()
        folder = Path(place) / "work"
        folder.mkdir(parents=True, exist_ok=True)
        app = Corvane(screen, folder)
        yield screen, app
    finally:
        if app is not None:
            app.close()
        screen.stop()
