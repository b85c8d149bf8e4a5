"""Capture scripts run by their real consumer: Wine's cmd.exe, with stand-in xperf.exe and reg.exe
first on the search path. Each stand-in logs its command line and the argument vector that
CommandLineToArgvW makes of it, so these tests see exactly what xperf and reg would receive.

The scripts come from make_capture_script.exe, which builds and saves them with the product's own
code (BuildCaptureScript and SaveCaptureScript), or from corvane.exe itself.
"""

import json
import re
import subprocess
from pathlib import Path

import pytest

import harness
from harness import (ETL_OUT, HEAP, HEAP_PROCESS, KERNEL_FLAGS, LOG_STACK, OK, PROVIDERS, SAVE_NAME_EDIT,
                     windows_path)

STANDINS = harness.BUILD / "tests" / "e2e" / "standins"
MAKER = harness.BUILD / "tests" / "e2e" / "make_capture_script.exe"

RUN_LIMIT = 60  # seconds for one script run, Wine's start included, on an idle machine


def run_limit():
    return RUN_LIMIT * harness.wait_scale()
ETL = "C:\\traces\\out.etl"
# What every session gets after its path, from the dialog's defaults.
SIZES = ["-BufferSize", "64", "-MinBuffers", "64", "-MaxBuffers", "320", "-MaxFile", "256",
         "-FileMode", "Sequential"]
HEAP_STACKS = ["-stackwalk", "HeapCreate+HeapAlloc+HeapRealloc+HeapFree+HeapDestroy"]
IFEO = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\"


def kernel_start(flags, path="\\kernel.etl", stackwalk=None):
    walk = ["-stackwalk", stackwalk] if stackwalk else []
    return ("xperf.exe", ["-on", flags, *walk, "-f", path, *SIZES])


def user_start(providers, path="\\user.etl", session=("Vell",)):
    return ("xperf.exe", ["-start", *session, "-on", providers, "-f", path, *SIZES])


def heap_start(pids, path="\\heap.etl", session="VellHeap"):
    return ("xperf.exe", ["-start", session, "-heap", "-pids", pids, *HEAP_STACKS, "-f", path,
                          *SIZES])


def stop(*clauses, etl=ETL):
    return ("xperf.exe", [*clauses, "-d", etl])


def viewer(etl=ETL):
    return ("xperf.exe", [etl])


def reg_add(image):
    return ("reg", ["add", IFEO + image + ".exe", "/v", "TracingFlags", "/t", "REG_DWORD", "/d",
                    "1", "/f"])


def reg_delete(image):
    return ("reg", ["delete", IFEO + image + ".exe", "/v", "TracingFlags", "/f"])


class Call:
    """One logged start of a stand-in."""

    def __init__(self, record):
        self.image = record["image"]
        self.line = record["line"]
        self.argv = record["argv"]
        self.error = record.get("error")  # what the xperf stand-in expected instead

    @property
    def program_and_arguments(self):
        return (self.argv[0], self.argv[1:])

    def __repr__(self):
        return f"<{self.line!r}>"


class ScriptRun:
    """Runs capture scripts with `wine cmd /c` in one folder, the stand-ins first on the path."""

    def __init__(self, screen, folder):
        self.screen = screen
        self.folder = folder
        self.log = folder / "calls.jsonl"
        self.output = folder / "cmd-output.txt"

    def environment(self, extra=None):
        env = dict(self.screen.env)
        env.update(WINEPATH=windows_path(STANDINS), CORVANE_STANDIN_LOG=windows_path(self.log))
        env.update(extra or {})
        return env

    def make(self, settings, name="capture.cmd", expected_status=0):
        """Saves a script for `settings` (field=value lines) as the OK command would; with
        expected_status 1, returns the message of the refusal instead."""
        settings_file = self.folder / (name + ".settings.txt")
        settings_file.write_text("\n".join(settings) + "\n", encoding="utf-8")
        script = self.folder / name
        with open(self.folder / "maker-output.txt", "wb") as output:
            result = subprocess.run(
                ["wine", str(MAKER), windows_path(settings_file), windows_path(script)],
                env=self.screen.env, stdin=subprocess.DEVNULL, stdout=output,
                stderr=subprocess.STDOUT, cwd=self.folder, timeout=run_limit())
        message = (self.folder / "maker-output.txt").read_text(errors="replace")
        assert result.returncode == expected_status, message
        return script if expected_status == 0 else message.strip()

    def command(self, script):
        return ["wine", "cmd", "/c", windows_path(script)]

    def run(self, script, keys=b"ab", extra_environment=None):
        """Runs the script to its end; each pause reads one character of `keys`."""
        keys_file = self.folder / "keys.txt"
        keys_file.write_bytes(keys)
        # Output to a file, not a pipe: Wine's background processes can hold a pipe open forever.
        with open(keys_file, "rb") as keys_in, open(self.output, "wb") as output:
            result = subprocess.run(self.command(script), stdin=keys_in, stdout=output,
                                    stderr=subprocess.STDOUT, cwd=self.folder,
                                    env=self.environment(extra_environment), timeout=run_limit())
        assert result.returncode == 0, self.output.read_text(errors="replace")
        return self.calls()

    def calls(self):
        if not self.log.exists():
            return []
        calls = [Call(json.loads(line)) for line in self.log.read_text().splitlines()]
        for call in calls:
            assert Path(call.image.replace("\\", "/")).parent.name == "standins", call.image
            assert call.error is None, (call, call.error)
        return calls


def programs_and_arguments(calls):
    return [call.program_and_arguments for call in calls]


@pytest.fixture(scope="module", autouse=True)
def built_programs():
    missing = [path for path in (STANDINS / "xperf.exe", STANDINS / "reg.exe", MAKER)
               if not path.exists()]
    assert not missing, f"build the win32 preset first; missing: {missing}"


@pytest.fixture
def scripts(screen, tmp_path):
    """The suite's prefix (and screen, which a script run does not need) with a folder of its
    own."""
    return ScriptRun(screen, tmp_path)


# --- What each kind of job calls, and in which order --------------------------------------------

def test_kernel_only_starts_the_kernel_logger_then_merges_and_opens_the_trace(scripts):
    script = scripts.make(["kernelFlag=PROC_THREAD", "kernelFlag=LOADER", "kernelFlag=Base",
                           "stackwalkEvent=CSwitch", "stackwalkEvent=ProcessCreate",
                           f"etlOutPath={ETL}"])
    calls = scripts.run(script)
    assert programs_and_arguments(calls) == [
        kernel_start("PROC_THREAD+LOADER+Base", stackwalk="CSwitch+ProcessCreate"),
        stop("-stop"),
        viewer(),
    ]
    # cmd hands each line over as written, program name included.
    lines = script.read_bytes().decode("ascii").split("\r\n")
    assert [call.line for call in calls] == [lines[12], lines[24], lines[26]]


def test_each_provider_entry_with_log_stack_arrives_intact(scripts):
    script = scripts.make(["provider=Microsoft-Windows-Shell-Core",
                           "provider=Microsoft-Windows-Win32k", "provider=acme.provider-1",
                           "logStack=1", f"etlOutPath={ETL}"])
    calls = scripts.run(script)
    assert programs_and_arguments(calls) == [
        user_start("Microsoft-Windows-Shell-Core:::'stack'+Microsoft-Windows-Win32k:::'stack'"
                   "+acme.provider-1:::'stack'"),
        stop("-stop", "Vell"),
        viewer(),
    ]
    # The quotes around each name are on the command line that xperf parses itself.
    assert ('-on "Microsoft-Windows-Shell-Core":::\'stack\'+"Microsoft-Windows-Win32k":::\'stack\''
            '+"acme.provider-1":::\'stack\' -f') in calls[0].line


def test_heap_by_pid_touches_no_registry(scripts):
    script = scripts.make(["heapEnabled=1", "heapProcess=1234", f"etlOutPath={ETL}"])
    assert programs_and_arguments(scripts.run(script)) == [
        heap_start("1234"),
        stop("-stop", "VellHeap"),
        viewer(),
    ]


def test_heap_by_name_sets_tracing_flags_before_any_start_and_clears_them_after_the_viewer(scripts):
    script = scripts.make(["kernelFlag=PROC_THREAD", "heapEnabled=1", "heapProcess=notepad",
                           f"etlOutPath={ETL}"])
    assert programs_and_arguments(scripts.run(script)) == [
        reg_add("notepad"),
        kernel_start("PROC_THREAD"),
        heap_start("0"),
        stop("-stop", "VellHeap", "-stop"),
        viewer(),
        reg_delete("notepad"),
    ]


def test_all_three_sessions_start_only_after_the_first_key_and_stop_only_after_the_second(scripts):
    script = scripts.make(["kernelFlag=PROC_THREAD", "kernelFlag=LOADER",
                           "stackwalkEvent=CSwitch", "provider=Microsoft-Windows-Win32k",
                           "provider=acme", "logStack=1", "heapEnabled=1", "heapProcess=notepad",
                           f"etlOutPath={ETL}"])
    starts = [
        reg_add("notepad"),
        kernel_start("PROC_THREAD+LOADER", stackwalk="CSwitch"),
        user_start("Microsoft-Windows-Win32k:::'stack'+acme:::'stack'"),
        heap_start("0"),
    ]
    ends = [stop("-stop", "Vell", "-stop", "VellHeap", "-stop"), viewer(), reg_delete("notepad")]

    # Keys go through a pipe held open, one at a time, so each pause really has to wait.
    with open(scripts.output, "wb") as output:
        cmd = subprocess.Popen(scripts.command(script), stdin=subprocess.PIPE, stdout=output,
                               stderr=subprocess.STDOUT, cwd=scripts.folder,
                               env=scripts.environment())
    try:
        # The line echoed before the first pause: nothing may have run by then.
        harness.wait_until("the first pause", lambda: "ready to start" in scripts.output.read_text(
            errors="replace"))
        assert scripts.calls() == []
        cmd.stdin.write(b"\n")
        cmd.stdin.flush()
        harness.wait_until("the four starts", lambda: len(scripts.calls()) >= len(starts),
                           timeout=30)
        # Nothing more may run from here until the second key.
        harness.wait_until("the second pause", lambda: "want to stop" in scripts.output.read_text(
            errors="replace"))
        assert programs_and_arguments(scripts.calls()) == starts
        assert cmd.poll() is None
        cmd.stdin.write(b"\n")
        cmd.stdin.close()
        assert cmd.wait(timeout=run_limit()) == 0
    finally:
        if cmd.poll() is None:
            cmd.kill()
            cmd.wait()
    assert programs_and_arguments(scripts.calls()) == starts + ends
    text = scripts.output.read_text(errors="replace")
    assert text.index("...Capturing...") < text.index("...Stopping...")


def test_a_job_saved_by_corvane_itself_calls_the_tools_as_chosen(corvane, scripts):
    # A provider name outside ASCII goes the whole way: test double, list, saved file, cmd, xperf.
    app = corvane(providers=["Beta-Provider", "Alpha-Cafés"])
    app.wait_for_focus(OK)
    app.click_item(KERNEL_FLAGS, "PROC_THREAD")
    app.click_item(PROVIDERS, "Beta-Provider")
    app.click_item(PROVIDERS, "Alpha-Cafés")
    app.click(LOG_STACK)
    app.click(HEAP)
    app.wait_for("the heap fields enabled", lambda look: look.main.control(HEAP_PROCESS).enabled)
    app.click(HEAP_PROCESS)
    app.keys("End", "BackSpace")
    app.type("notepad")
    look = app.wait_for("the job chosen", lambda look: (
        look.main.control(HEAP_PROCESS).text == "notepad"
        and look.main.control(LOG_STACK).check == 1
        and look.main.control(PROVIDERS).selected_texts() == ["Alpha-Cafés", "Beta-Provider"]
        and look.main.control(KERNEL_FLAGS).selected_texts() == ["PROC_THREAD"]))
    etl = look.main.control(ETL_OUT).text

    app.click(OK)
    app.wait_for("the file name in the save dialog", lambda look: look.dialog("Save As") is not None
                 and look.focus_id() == SAVE_NAME_EDIT)
    script = scripts.folder / "saved_by_corvane.cmd"
    app.type(windows_path(script))  # replaces the selected default name
    app.keys("Return")
    app.wait_without_dialogs()
    harness.wait_until("the saved script", script.exists)

    assert programs_and_arguments(scripts.run(script)) == [
        reg_add("notepad"),
        kernel_start("PROC_THREAD"),
        user_start("Alpha-Cafés:::'stack'+Beta-Provider:::'stack'"),
        heap_start("0"),
        stop("-stop", "Vell", "-stop", "VellHeap", "-stop", etl=etl),
        viewer(etl),
        reg_delete("notepad"),
    ]


def test_a_longest_line_of_exactly_8191_characters_reaches_xperf_whole(scripts):
    # Typical names with call stacks, the last one lengthened so that the user session's line
    # holds exactly as much as cmd reads (26 + 178 * 44 + 177 + 95 + 61), which the product's own
    # check must still accept.
    names = [f"Microsoft-Windows-Kernel-P{i:06d}" for i in range(178)]
    names[-1] += "x" * 61
    script = scripts.make(["kernelFlag=PROC_THREAD", "logStack=1", f"etlOutPath={ETL}"]
                          + [f"provider={name}" for name in names])
    lines = script.read_bytes().decode("ascii").split("\r\n")
    assert max(len(line) for line in lines) == len(lines[14]) == 8191
    assert programs_and_arguments(scripts.run(script)) == [
        kernel_start("PROC_THREAD"),
        user_start("+".join(f"{name}:::'stack'" for name in names)),
        stop("-stop", "Vell", "-stop"),
        viewer(),
    ]


# --- Values that reach the tools as they were typed ---------------------------------------------

def test_log_paths_with_spaces_arrive_as_one_argument_each(scripts):
    script = scripts.make([
        "kernelFlag=PROC_THREAD", "provider=acme", "heapEnabled=1", "heapProcess=my app",
        "kernelPath=C:\\my traces\\kernel log.etl", "userPath=D:\\a  b\\user.etl",
        "heapPath=\\\\server\\share name\\heap.etl", "etlOutPath=C:\\Documents and Settings\\x.etl",
    ])
    etl = "C:\\Documents and Settings\\x.etl"
    assert programs_and_arguments(scripts.run(script)) == [
        reg_add("my app"),
        kernel_start("PROC_THREAD", path="C:\\my traces\\kernel log.etl"),
        user_start("acme", path="D:\\a  b\\user.etl"),
        heap_start("0", path="\\\\server\\share name\\heap.etl"),
        stop("-stop", "Vell", "-stop", "VellHeap", "-stop", etl=etl),
        viewer(etl),
        reg_delete("my app"),
    ]


def test_a_kit_folder_named_like_a_variable_stays_part_of_the_paths_under_delayed_expansion(
        scripts):
    # Windows's CMDCMDLINE of a double-clicked script, which Wine's cmd lacks, so it is given; its
    # quotes would end the quoted path and " -d evil..." would be an argument of its own.
    kit = scripts.folder / "kit !CMDCMDLINE! -d evil"
    kit.mkdir()
    script = scripts.make(["kernelFlag=PROC_THREAD", "kernelPath=%~dp0k.etl",
                           "etlOutPath=%~dp0out.etl"], name=f"{kit.name}/capture.cmd")
    lines = script.read_bytes().split(b"\r\n")
    assert lines[4] == b"setlocal DisableDelayedExpansion"
    # Started by its bare name from its folder: a /V:ON prompt would read the '!' of a full path.
    run = ScriptRun(scripts.screen, kit)
    run.command = lambda script: ["wine", "cmd", "/V:ON", "/c", script.name]
    cmdcmdline = {"CMDCMDLINE": 'C:\\Windows\\system32\\cmd.exe /c ""C:\\kit\\capture.cmd" "'}
    folder = windows_path(kit) + "\\"
    assert programs_and_arguments(run.run(script, extra_environment=cmdcmdline)) == [
        kernel_start("PROC_THREAD", path=folder + "k.etl"),
        stop("-stop", etl=folder + "out.etl"),
        viewer(folder + "out.etl"),
    ]

    # Without that line the same prompt hands xperf a second -d: the test reaches the danger.
    lines[4] = b""
    script.write_bytes(b"\r\n".join(lines))
    run.log.unlink()
    with open(kit / "keys.txt", "rb") as keys, open(run.output, "wb") as output:
        subprocess.run(run.command(script), stdin=keys, stdout=output, stderr=subprocess.STDOUT,
                       cwd=kit, env=run.environment(cmdcmdline), timeout=RUN_LIMIT)
    stop_call = json.loads(run.log.read_text().splitlines()[1])
    assert stop_call["argv"][:3] == ["xperf.exe", "-stop", "-d"]
    assert stop_call["argv"].count("-d") == 2, stop_call["argv"]


def test_non_ascii_provider_paths_and_heap_process_arrive_exactly(scripts):
    # Letters that the command prompt's code page holds (437 and 850 alike), at other byte values
    # than in the ANSI code page 1252, which cmd would misread.
    etl = "C:\\Users\\Müller\\Desktop\\Spur ä.etl"
    script = scripts.make([
        "kernelFlag=PROC_THREAD", "provider=acme-Café", "logStack=1", "heapEnabled=1",
        "heapProcess=Grüße", "kernelPath=C:\\Users\\José\\kernel.etl", f"etlOutPath={etl}",
    ])
    assert programs_and_arguments(scripts.run(script)) == [
        reg_add("Grüße"),
        kernel_start("PROC_THREAD", path="C:\\Users\\José\\kernel.etl"),
        user_start("acme-Café:::'stack'"),
        heap_start("0"),
        stop("-stop", "Vell", "-stop", "VellHeap", "-stop", etl=etl),
        viewer(etl),
        reg_delete("Grüße"),
    ]


def test_hard_but_allowed_values_reach_xperf_and_reg_as_meant(scripts):
    script = scripts.make(["kernelFlag=PROC_THREAD", "kernelPath=C:\\R&D 100%%\\k.etl",
                           "provider=IIS WWW Server", "logStack=1", "heapEnabled=1",
                           "heapProcess=R&D tool", f"etlOutPath={ETL}"])
    assert programs_and_arguments(scripts.run(script)) == [
        reg_add("R&D tool"),
        kernel_start("PROC_THREAD", path="C:\\R&D 100%\\k.etl"),
        user_start("IIS WWW Server:::'stack'"),
        heap_start("0"),
        stop("-stop", "Vell", "-stop", "VellHeap", "-stop"),
        viewer(),
        reg_delete("R&D tool"),
    ]


# --- What cmd does to values the dialog accepts, and the bare values it refuses ---------------

def test_cmd_halves_a_doubled_percent_sign(scripts):
    # A variable's text ("%TEMP%") is the prompt's, not Corvane's: such a value is refused below.
    script = scripts.make([
        "kernelFlag=PROC_THREAD", "provider=acme", "heapEnabled=1", "heapProcess=1",
        "kernelPath=C:\\logs\\100%%.etl", "heapPath=C:\\50%%\\heap.etl", f"etlOutPath={ETL}",
    ])
    calls = scripts.run(script)
    assert programs_and_arguments(calls)[:3] == [
        kernel_start("PROC_THREAD", path="C:\\logs\\100%.etl"),
        user_start("acme"),
        heap_start("1", path="C:\\50%\\heap.etl"),
    ]


@pytest.mark.parametrize("setting, problem", [
    ("sessionName=My Session", "holds a space, which splits it into two arguments for xperf"),
    ("sessionName=A&echo second command",
     "holds '&', which the command prompt reads as the start of another command"),
    ("heapSessionName=H^eap", "holds '^', which the command prompt reads as an escape, and drops it"),
])
def test_a_bare_value_that_cmd_would_split_or_run_is_refused(scripts, setting, problem):
    field = {"sessionName": "Session name", "heapSessionName": "Heap Session Name"}
    message = scripts.make(["provider=acme", setting, f"etlOutPath={ETL}"], expected_status=1)
    assert message == f'The "{field[setting.split("=")[0]]}" field {problem}. Remove it.'


@pytest.mark.parametrize("key, field, value", [
    ("session-name", "sessionName", "Vell&mkdir C:\\pwned"),
    ("provider", "provider", 'A" & calc & "'),
    ("process-name-or-pid", "heapProcess", "12 & calc"),
    ("process-name-or-pid", "heapProcess", 'note" & calc & rem "'),
    ("etl-out-path", "etlOutPath", "D:\\traces\\"),
    # What a prompt with delayed expansion, another code page or a hostile environment would read
    # otherwise, and provider lists that xperf would split otherwise.
    ("process-name-or-pid", "heapProcess",
     "sethc.exe!Q! /v Debugger /t REG_SZ /f /d !Q!C:\\Windows\\System32\\cmd.exe /k x!Q!"),
    ("session-name", "sessionName", "\u30ddcalc.exe"),
    ("kernel-path", "kernelPath", "%TEMP%\\kernel.etl"),
    ("provider", "provider",
     "Microsoft-Windows-Win32k+Microsoft-Windows-NDIS-PacketCapture:0xFFFFFFFFFFFFFFFF:5"),
    ("provider", "provider", "IIS: WWW Server"),
    ("etl-out-path", "etlOutPath", "-stop"),
])
def test_a_value_that_would_run_or_mislead_is_refused_by_both_programs(scripts, key, field, value):
    profile = scripts.folder / "base.profile"
    profile.write_text("etl-out-path = C:\\o.etl\nprovider = acme\nheap = yes\n")
    script, output = scripts.folder / "tool.cmd", scripts.folder / "tool-output.txt"
    with open(output, "wb") as out:
        made = subprocess.run(["wine", str(harness.BUILD / "corvane-script.exe"),
                               windows_path(profile), "--set", f"{key}={value}",
                               "-o", windows_path(script)],
                              env=scripts.screen.env, stdin=subprocess.DEVNULL, stdout=out,
                              stderr=subprocess.STDOUT, timeout=run_limit())
    assert made.returncode == 1 and not script.exists()
    assert f"--set {key} " in output.read_text(errors="replace")
    assert scripts.make(["provider=acme", "heapEnabled=1", f"{field}={value}"], expected_status=1)
    assert not (scripts.folder / "capture.cmd").exists()


def test_caret_and_ampersand_reach_the_tools_unchanged_inside_quotes(scripts):
    script = scripts.make([
        "provider=acme", "heapEnabled=1", "heapProcess=7", "heapPath=C:\\a^b&c\\heap.etl",
        f"etlOutPath={ETL}",
    ])
    assert programs_and_arguments(scripts.run(script))[1] == heap_start(
        "7", path="C:\\a^b&c\\heap.etl")


# --- The recipes in profiles/: corvane-script takes each one, and cmd runs its script whole -----

def names_after(option, arguments):
    """The names joined by "+" after an option, without a provider's :KEYWORDS:LEVEL:'stack'."""
    if option not in arguments:
        return set()
    names = arguments[arguments.index(option) + 1].split("+")
    return {re.sub(r":(0x[0-9a-f]+)?(:[0-9]*)?(:'stack')?$", "", name) for name in names}


@pytest.mark.parametrize("recipe", sorted((harness.REPO / "profiles").glob("*.profile")),
                         ids=lambda path: path.stem)
def test_each_recipe_makes_a_script_that_hands_all_its_choices_to_xperf(scripts, recipe):
    values = {}
    for line in recipe.read_text(encoding="utf-8").splitlines():
        if line.strip() and not line.startswith("#"):
            key, _, value = line.partition("=")
            # A provider's name may be quoted and followed by its options.
            value = re.sub(r'^"([^"]*)"( .*)?$', r"\1", value.strip())
            values.setdefault(key.strip(), set()).add(value)
    values = {"heap": {"no"}, "process-name-or-pid": {"0"}, **values}
    script = scripts.folder / (recipe.stem + ".cmd")
    with open(scripts.folder / "tool-output.txt", "wb") as output:
        made = subprocess.run(["wine", str(harness.BUILD / "corvane-script.exe"),
                               windows_path(recipe), "-o", windows_path(script)],
                              env=scripts.screen.env, stdin=subprocess.DEVNULL, stdout=output,
                              stderr=subprocess.STDOUT, timeout=run_limit())
    assert made.returncode == 0, (scripts.folder / "tool-output.txt").read_text(errors="replace")
    calls = programs_and_arguments(scripts.run(script))

    # Whole: merged into the ETL Out Path and opened, then the registry put back for a heap
    # traced by name.
    (etl,), (process,) = values["etl-out-path"], values["process-name-or-pid"]
    ends = [viewer(etl)] + ([] if process.isdigit() else [reg_delete(process)])
    assert calls[-len(ends):] == ends and calls[-len(ends) - 1][1][-2:] == ["-d", etl]
    # The user session's entries as they are, and once it runs, the same for their state.
    starts = [i for i, (_, arguments) in enumerate(calls) if arguments[0] == "-start"]
    states = [(program, arguments) for program, arguments in calls if "-capturestate" in arguments]
    if values.get("capture-state") == {"yes"}:
        user = calls[starts[0]][1]
        assert calls[starts[0] + 1] == ("xperf.exe", ["-capturestate", user[1], user[3]])
        assert states == [calls[starts[0] + 1]]
    else:
        assert states == []
    if recipe.stem == "ui-delays":
        assert calls[starts[0]][1][3] == ("Microsoft-Windows-DxgKrnl:0xffff:5+"
                                          "Microsoft-Windows-Win32k:0xfdffffffefffffff")
    seen = {"kernel-flag": set(), "stackwalk": set(), "provider": set(), "heap": {"no"}}
    for _, arguments in calls:
        if arguments[0] == "-on":
            seen["kernel-flag"] |= names_after("-on", arguments)
            seen["stackwalk"] |= names_after("-stackwalk", arguments)
        elif "-heap" in arguments:
            seen["heap"] = {"yes"}
        elif arguments[0] == "-start":
            seen["provider"] |= names_after("-on", arguments)
    assert seen == {key: values.get(key, set()) for key in seen}
