"""The pair of corvane-script --recorder wpr run by Wine's cmd.exe, with stand-ins for wpr.exe and
the elevation probe fltmc.exe copied into the prefix's System32, where the script names them (Wine
gives every new process its own SystemRoot back, so no other folder can pass for it). The wpr
stand-in keeps wpr's one recording as a file beside the log and fails as wpr does."""

import json
import shutil
import subprocess
from pathlib import PureWindowsPath

import pytest

import harness
from harness import windows_path
from test_script_by_cmd import RUN_LIMIT, STANDINS, ScriptRun

SYSTEM = STANDINS / "system32"
TOOL = harness.BUILD / "corvane-script.exe"
# A 64-bit cmd reads System32 as system32, a 32-bit one as syswow64.
PREFIX_SYSTEM = [harness.PREFIX / "drive_c" / "windows" / folder for folder in ("system32", "syswow64")]
HEAP_PROFILE = "etl-out-path = C:\\t\\out.etl\nkernel-flag = PROC_THREAD\nheap = yes\nprocess-name-or-pid = notepad\n"


@pytest.fixture(scope="module")
def system_programs(screen):
    placed = [folder / name for folder in PREFIX_SYSTEM for name in ("wpr.exe", "fltmc.exe")]
    assert not any(path.exists() for path in placed), "the prefix has a wpr.exe or fltmc.exe of its own"
    for path in placed:
        shutil.copyfile(SYSTEM / path.name, path)
    yield
    for path in placed:
        path.unlink()


@pytest.fixture
def scripts(screen, system_programs, tmp_path):
    assert TOOL.exists()
    return ScriptRun(screen, tmp_path)


def make_pair(scripts, profile, script):
    (scripts.folder / "capture.profile").write_text(profile, encoding="utf-8")
    script.parent.mkdir(parents=True, exist_ok=True)
    made = subprocess.run(["wine", str(TOOL), windows_path(scripts.folder / "capture.profile"), "--recorder", "wpr", "-o",
                           windows_path(script)], env=scripts.screen.env, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=RUN_LIMIT)
    assert made.returncode == 0 and script.with_suffix(".wprp").exists(), made.stderr
    return script


def run_to_end(scripts, script, extra=None, switch=b"", argument=b""):
    """Its exit code whole (not Wine's one byte; "call" drops it there) and cmd's output."""
    wrapper = scripts.folder / "wrapper.cmd"
    wrapper.write_bytes(b"@cmd " + switch + b' /c ""' + script.name.encode() + b'"' + argument + b'"\r\n'
                        b"@echo exit=%errorlevel%\r\n")
    (scripts.folder / "keys.txt").write_bytes(b"ab")
    with open(scripts.folder / "keys.txt", "rb") as keys, open(scripts.output, "wb") as output:
        subprocess.run(["wine", "cmd", "/c", windows_path(wrapper)], stdin=keys, stdout=output,
                       stderr=subprocess.STDOUT, cwd=script.parent, env=scripts.environment(extra),
                       timeout=RUN_LIMIT)
    text = scripts.output.read_text(errors="replace")
    return int(text.rsplit("exit=", 1)[1].split()[0]), text


def calls(scripts):
    """(program, arguments) of each call; every program is named by its path in System32."""
    if not scripts.log.exists():
        return []
    records = [json.loads(line) for line in scripts.log.read_text().splitlines()]
    for record in records:
        named = PureWindowsPath(record["argv"][0])
        assert named.parent == PureWindowsPath("C:\\windows\\system32") and "error" not in record, record
    return [(PureWindowsPath(r["argv"][0]).name.lower(), r["argv"][1:]) for r in records]


def wpr(*arguments):
    return ("wpr.exe", list(arguments))


PROBE = ("fltmc.exe", [])


def heap_switch(image, state):
    return [wpr("-heaptracingconfig", image, state)] if image else []


def started(script):
    return wpr("-start", windows_path(script.with_suffix(".wprp")) + "!Corvane", "-filemode")


def signed(code):
    return code - (1 << 32) if code >= 1 << 31 else code


@pytest.mark.parametrize("recipe", sorted((harness.REPO / "profiles").glob("*.profile")),
                         ids=lambda path: path.stem)
def test_each_recipes_pair_runs_to_its_end(scripts, recipe):
    script = make_pair(scripts, recipe.read_text(encoding="utf-8"), scripts.folder / (recipe.stem + ".cmd"))
    values = dict(line.split(" = ", 1) for line in recipe.read_text().splitlines()
                  if " = " in line and not line.startswith("#"))
    process = values.get("process-name-or-pid", "0")
    image = process + ".exe" if values.get("heap") == "yes" and not process.isdigit() else None
    status, output = run_to_end(scripts, script)
    assert calls(scripts) == (
        [PROBE, started(script)] + heap_switch(image, "enable") + [wpr("-stop", values["etl-out-path"])]
        + heap_switch(image, "disable"))
    etl = values["etl-out-path"]
    assert status == 0 and f'The trace is in "{etl}"' in output and f'wpa "{etl}"' in output


@pytest.mark.parametrize("code, cause", [
    (0xC5585011, "not elevated"), (0x80070005, "not elevated"),
    (0x800700B7, 'xperf -stop or logman stop "NT Kernel Logger" -ets'),
    (0x80070008, "Too little memory"), (0x8007001F, "0x8007001F.  See troubleshooting.md")])
def test_a_failed_start_names_its_cause_in_hex_and_never_touches_the_heap_switch(scripts, code, cause):
    script = make_pair(scripts, HEAP_PROFILE, scripts.folder / "capture.cmd")
    status, output = run_to_end(scripts, script, {"CORVANE_WPR_START_FAILS": hex(code)})
    assert calls(scripts) == [PROBE, started(script)]
    assert status == signed(code)
    failure = next(line for line in output.splitlines() if "could not start" in line)
    assert f"error 0x{code:08X}." in failure and cause in failure and "troubleshooting.md" in failure
    # No second key is waited for as though a trace were running.
    assert "when you want to stop" not in output and "...Stopping..." not in output


def test_a_second_run_while_one_records_leaves_the_first_runs_heap_switch_on(scripts):
    script = make_pair(scripts, HEAP_PROFILE, scripts.folder / "capture.cmd")
    # A first run of the pair records, with heap tracing of notepad.exe switched on.
    scripts.log.with_name(scripts.log.name + ".recording").write_text("")
    status, output = run_to_end(scripts, script)
    assert calls(scripts) == [PROBE, started(script)]
    assert status == signed(0xC5583001) and "wpr -cancel ends it" in output


def test_a_failed_stop_says_the_recording_may_run_and_cancel_ends_it_with_the_heap_switch(scripts):
    script = make_pair(scripts, HEAP_PROFILE, scripts.folder / "capture.cmd")
    status, output = run_to_end(scripts, script, {"CORVANE_WPR_STOP_FAILS": "0x80070070"})
    assert status == signed(0x80070070)
    failure = next(line for line in output.splitlines() if "could not stop" in line)
    assert "error 0x80070070" in failure and "may still run" in failure
    assert '"capture.cmd" cancel' in failure and "troubleshooting.md" in failure
    done = len(calls(scripts))
    status, output = run_to_end(scripts, script, argument=b" cancel")
    assert calls(scripts)[done:] == [PROBE, wpr("-cancel")] + heap_switch("notepad.exe", "disable")
    assert status == 0 and "cancelled" in output
    # Once more: nothing runs now, which is no failure.
    status, output = run_to_end(scripts, script, argument=b" cancel")
    assert status == 0 and "No WPR recording was running" in output


def test_before_any_start_it_asks_for_elevation_and_makes_the_trace_folder(scripts, tmp_path):
    (tmp_path / "a file").write_text("")
    made, blocked = tmp_path / "new" / "deep", tmp_path / "a file" / "deep"
    for run, (folder, extra, expected) in enumerate([
            (made, {"CORVANE_STANDIN_NOT_ELEVATED": "1"}, "elevated"),
            (blocked, {}, "cannot be made"), (made, {}, "The trace is in")]):
        profile = f"etl-out-path = {windows_path(folder / 'out.etl')}\nkernel-flag = PROC_THREAD\n"
        script = make_pair(scripts, profile, scripts.folder / f"capture{run}.cmd")
        scripts.log.unlink(missing_ok=True)
        status, output = run_to_end(scripts, script, extra)
        assert expected in output and folder.is_dir() == (expected == "The trace is in")
        assert (calls(scripts) == [PROBE]) == (status == 1)


def test_hostile_values_reach_wpr_as_meant_from_a_folder_with_bangs(scripts):
    # Delayed expansion on, as a prompt may have it: the script turns it off before any value.
    etl = "C:\\R&D 100%\\my  traces\\out (1)^.etl"
    script = make_pair(scripts, "etl-out-path = C:\\R&D 100%%\\my  traces\\out (1)^.etl\n"
                                "provider = acme\nheap = yes\nprocess-name-or-pid = R&D tool\n",
                       scripts.folder / "kit !x! R&D" / "run it.cmd")
    status, output = run_to_end(scripts, script, switch=b"/V:ON")
    assert calls(scripts) == (
        [PROBE, started(script)] + heap_switch("R&D tool.exe", "enable") + [wpr("-stop", etl)]
        + heap_switch("R&D tool.exe", "disable"))
    assert status == 0 and f'wpa "{etl}"' in output
