"""The pair of corvane-script --recorder wpr run by Wine's cmd.exe and a stand-in wpr.exe with
wpr's grammar; a stand-in wpa.exe is on the search path only where a test puts its folder."""

import json
import subprocess

import pytest

import harness
from harness import windows_path
from test_script_by_cmd import RUN_LIMIT, STANDINS, ScriptRun, programs_and_arguments

VIEWER = STANDINS / "viewer"
TOOL = harness.BUILD / "corvane-script.exe"


@pytest.fixture
def scripts(screen, tmp_path):
    assert (STANDINS / "wpr.exe").exists() and (VIEWER / "wpa.exe").exists() and TOOL.exists()
    return ScriptRun(screen, tmp_path)


def make_pair(scripts, profile, script):
    (scripts.folder / "capture.profile").write_text(profile, encoding="utf-8")
    script.parent.mkdir(parents=True, exist_ok=True)
    made = subprocess.run(["wine", str(TOOL), windows_path(scripts.folder / "capture.profile"), "--recorder", "wpr", "-o",
                           windows_path(script)], env=scripts.screen.env, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=RUN_LIMIT)
    assert made.returncode == 0 and script.with_suffix(".wprp").exists(), made.stderr
    return script


def run_to_end(scripts, script, extra=None, switch=b""):
    """Its exit code whole (not Wine's one byte; "call" drops it there) and cmd's output."""
    wrapper = scripts.folder / "wrapper.cmd"
    wrapper.write_bytes(b"@cmd " + switch + b' /c "' + script.name.encode() + b'"\r\n'
                        b"@echo exit=%errorlevel%\r\n")
    (scripts.folder / "keys.txt").write_bytes(b"ab")
    with open(scripts.folder / "keys.txt", "rb") as keys, open(scripts.output, "wb") as output:
        subprocess.run(["wine", "cmd", "/c", windows_path(wrapper)], stdin=keys, stdout=output,
                       stderr=subprocess.STDOUT, cwd=script.parent, env=scripts.environment(extra),
                       timeout=RUN_LIMIT)
    text = scripts.output.read_text(errors="replace")
    return int(text.rsplit("exit=", 1)[1].split()[0]), text


def wpr(*arguments):
    return ("wpr", list(arguments))


def heap_switch(image, state):
    return [wpr("-heaptracingconfig", image, state)] if image else []


def started(script):
    return wpr("-start", windows_path(script.with_suffix(".wprp")) + "!Corvane", "-filemode")


@pytest.mark.parametrize("recipe", sorted((harness.REPO / "profiles").glob("*.profile")),
                         ids=lambda path: path.stem)
def test_each_recipes_pair_runs_to_its_end(scripts, recipe):
    script = make_pair(scripts, recipe.read_text(encoding="utf-8"), scripts.folder / (recipe.stem + ".cmd"))
    values = dict(line.split(" = ", 1) for line in recipe.read_text().splitlines()
                  if " = " in line and not line.startswith("#"))
    process = values.get("process-name-or-pid", "0")
    image = process + ".exe" if values.get("heap") == "yes" and not process.isdigit() else None
    status, output = run_to_end(scripts, script)
    assert programs_and_arguments(scripts.calls()) == (
        heap_switch(image, "enable") + [started(script), wpr("-stop", values["etl-out-path"])]
        + heap_switch(image, "disable"))
    assert status == 0 and f'The trace is in "{values["etl-out-path"]}"' in output


def test_a_failed_start_says_why_undoes_the_heap_switch_and_returns_wprs_code(scripts):
    script = make_pair(scripts, "etl-out-path = C:\\t\\out.etl\nkernel-flag = PROC_THREAD\n"
                                "heap = yes\nprocess-name-or-pid = notepad\n",
                       scripts.folder / "capture.cmd")
    # E_ACCESSDENIED, what an unelevated start gives, which cmd reads as -2147024891.
    status, output = run_to_end(scripts, script, {"CORVANE_WPR_START_FAILS": "0x80070005"})
    assert programs_and_arguments(scripts.calls()) == (
        heap_switch("notepad.exe", "enable") + [started(script)]
        + heap_switch("notepad.exe", "disable"))
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
    status, _ = run_to_end(scripts, script, viewer, switch=b"/V:ON")
    calls = [json.loads(line) for line in scripts.log.read_text().splitlines()]
    assert [call.get("error") for call in calls] == [None] * 5
    assert [(call["argv"][0], call["argv"][1:]) for call in calls] == (
        heap_switch("R&D tool.exe", "enable") + [started(script), wpr("-stop", etl)]
        + heap_switch("R&D tool.exe", "disable") + [(windows_path(VIEWER / "wpa.exe"), ["-i", etl])])
    assert status == 0
