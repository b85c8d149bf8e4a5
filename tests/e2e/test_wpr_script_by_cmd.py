"""The WPR pair of corvane-script --recorder wpr run by Wine's cmd.exe, with a stand-in wpr.exe
that takes only wpr's calls and starts only a profile that the named file defines, and a stand-in
wpa.exe in a folder of its own that is on the search path only where a test puts it.
"""

import json
import subprocess

import pytest

import harness
from harness import windows_path
from test_script_by_cmd import RUN_LIMIT, STANDINS, ScriptRun, programs_and_arguments

VIEWER = STANDINS / "viewer"
TOOL = harness.BUILD / "corvane-script.exe"
START_FAILS = "0x80070005"  # E_ACCESSDENIED, what an unelevated start gives; -2147024891 to cmd


@pytest.fixture(scope="module", autouse=True)
def built_programs():
    missing = [path for path in (STANDINS / "wpr.exe", VIEWER / "wpa.exe", TOOL)
               if not path.exists()]
    assert not missing, f"build the win32 preset first; missing: {missing}"


@pytest.fixture
def scripts(screen, tmp_path):
    return ScriptRun(screen, tmp_path)


def make_pair(scripts, profile_text, script):
    profile = scripts.folder / "capture.profile"
    profile.write_text(profile_text, encoding="utf-8")
    return make_pair_from(scripts, profile, script)


def make_pair_from(scripts, profile, script):
    script.parent.mkdir(parents=True, exist_ok=True)
    made = subprocess.run(["wine", str(TOOL), windows_path(profile), "--recorder", "wpr", "-o",
                           windows_path(script)], env=scripts.screen.env, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=RUN_LIMIT)
    assert made.returncode == 0, made.stderr.decode(errors="replace")
    assert script.with_suffix(".wprp").exists()
    return script


def run_to_end(scripts, script, extra=None, delayed_expansion=False):
    """Runs the script through a wrapper that shows the exit code cmd keeps for it whole (Wine's
    own exit status keeps only its low byte); returns that code and cmd's output."""
    # Run by its name from its own folder: the wrapper's line holds nothing that a prompt with
    # delayed expansion would change, only the script's own %~dp0 does. A cmd of its own, since
    # Wine's "call" loses the code of "exit /b".
    wrapper = scripts.folder / "wrapper.cmd"
    switch = b"/V:ON " if delayed_expansion else b""
    wrapper.write_bytes(b'@cmd ' + switch + b'/c "' + script.name.encode() + b'"\r\n'
                        b"@echo exit=%errorlevel%\r\n")
    keys = scripts.folder / "keys.txt"
    keys.write_bytes(b"ab")
    with open(keys, "rb") as keys_in, open(scripts.output, "wb") as output:
        subprocess.run(["wine", "cmd", "/c", windows_path(wrapper)], stdin=keys_in,
                       stdout=output, stderr=subprocess.STDOUT, cwd=script.parent,
                       env=scripts.environment(extra), timeout=RUN_LIMIT)
    text = scripts.output.read_text(errors="replace")
    return int(text.rsplit("exit=", 1)[1].split()[0]), text


def wpr(*arguments):
    return ("wpr", list(arguments))


def started(script):
    return wpr("-start", windows_path(script.with_suffix(".wprp")) + "!Corvane", "-filemode")


def recipe_values(recipe):
    values = {}
    for line in recipe.read_text(encoding="utf-8").splitlines():
        if line.strip() and not line.startswith("#"):
            key, _, value = line.partition("=")
            values[key.strip()] = value.strip()
    return values


@pytest.mark.parametrize("recipe", sorted((harness.REPO / "profiles").glob("*.profile")),
                         ids=lambda path: path.stem)
def test_each_recipes_pair_runs_to_its_end(scripts, recipe):
    script = make_pair_from(scripts, recipe, scripts.folder / (recipe.stem + ".cmd"))
    values = recipe_values(recipe)
    status, output = run_to_end(scripts, script)
    process = values.get("process-name-or-pid", "0")
    switch = [] if values.get("heap") != "yes" or process.isdigit() else [process + ".exe"]
    assert programs_and_arguments(scripts.calls()) == (
        [wpr("-heaptracingconfig", name, "enable") for name in switch]
        + [started(script), wpr("-stop", values["etl-out-path"])]
        + [wpr("-heaptracingconfig", name, "disable") for name in switch])
    assert status == 0 and f'The trace is in "{values["etl-out-path"]}"' in output


def test_a_failed_start_says_why_undoes_the_heap_switch_and_returns_wprs_code(scripts):
    script = make_pair(scripts, "etl-out-path = C:\\traces\\out.etl\nkernel-flag = PROC_THREAD\n"
                                "heap = yes\nprocess-name-or-pid = notepad\n",
                       scripts.folder / "capture.cmd")
    status, output = run_to_end(scripts, script, {"CORVANE_WPR_START_FAILS": START_FAILS})
    assert programs_and_arguments(scripts.calls()) == [
        wpr("-heaptracingconfig", "notepad.exe", "enable"),
        started(script),
        wpr("-heaptracingconfig", "notepad.exe", "disable"),
    ]
    assert status == -2147024891
    assert "could not start the recording: exit code -2147024891" in output
    assert "elevated" in output and "wpr -cancel" in output
    # No second key is waited for as though a trace were running.
    assert "when you want to stop" not in output and "...Stopping..." not in output


def test_hostile_values_reach_wpr_and_wpa_as_meant_from_a_folder_with_bangs(scripts):
    # Delayed expansion on, as a prompt may have it: the script turns it off before any value.
    etl = "C:\\R&D 100%\\my  traces\\out (1)^.etl"
    script = make_pair(scripts, "etl-out-path = C:\\R&D 100%%\\my  traces\\out (1)^.etl\n"
                                "provider = acme\nheap = yes\nprocess-name-or-pid = R&D tool\n",
                       scripts.folder / "kit !x! R&D" / "run it.cmd")
    viewer = {"WINEPATH": windows_path(STANDINS) + ";" + windows_path(VIEWER)}
    status, _ = run_to_end(scripts, script, viewer, delayed_expansion=True)
    calls = [json.loads(line) for line in scripts.log.read_text().splitlines()]
    assert [call.get("error") for call in calls] == [None] * 5
    assert [(call["argv"][0], call["argv"][1:]) for call in calls] == [
        wpr("-heaptracingconfig", "R&D tool.exe", "enable"),
        started(script),
        wpr("-stop", etl),
        wpr("-heaptracingconfig", "R&D tool.exe", "disable"),
        (windows_path(VIEWER / "wpa.exe"), ["-i", etl]),
    ]
    assert status == 0
