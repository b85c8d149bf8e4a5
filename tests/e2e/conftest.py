"""Fixtures of the end-to-end suite: one screen for the session, one program run per scenario,
and on failure a screenshot and an inspector dump in the build folder."""

import json
import re
import shutil

import pytest

import harness


def pytest_configure(config):
    missing = [path for path in (harness.PROGRAM, harness.INSPECTOR, harness.TDH_DOUBLE)
               if not path.exists()]
    if missing:
        raise pytest.UsageError("build the win32 preset first; missing: "
                                + ", ".join(str(path) for path in missing))


@pytest.fixture(scope="session")
def screen():
    shutil.rmtree(harness.ARTEFACTS, ignore_errors=True)
    started = harness.Screen()
    try:
        yield started.start()
    finally:
        started.stop()


@pytest.hookimpl(tryfirst=True, hookwrapper=True)
def pytest_runtest_protocol(item):
    """The ini's bound on a whole scenario grows with the machine's load as its waits do; set
    before pytest-timeout's own wrapper reads it."""
    if item.get_closest_marker("timeout") is None:
        limit = float(item.config.getini("timeout")) * harness.wait_scale()
        item.add_marker(pytest.mark.timeout(limit))
    yield


@pytest.hookimpl(tryfirst=True, hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    setattr(item, "report_" + report.when, report)


@pytest.fixture
def corvane(request, screen, tmp_path):
    """Starts corvane.exe: corvane(providers=[...], builtin_tdh=False). Each run has its own
    working folder; whatever still runs at the end is ended by its id."""
    runs = []

    def start(**options):
        folder = tmp_path / f"run{len(runs)}"
        folder.mkdir()
        runs.append(harness.Corvane(screen, folder, **options))
        return runs[-1]

    yield start

    if _failed(request.node):
        _leave_evidence(request.node.name, screen)
    for run in runs:
        run.close()


@pytest.fixture
def framed_corvane(request):
    """corvane.exe alone in a Wine virtual desktop on a screen and prefix of its own, where Wine
    draws the frame and caption that the suite's bare screen lacks."""
    with harness.framed_corvane(harness.WORK / "framed") as (screen, app):
        yield app
        if _failed(request.node):
            _leave_evidence(request.node.name, screen)


def _failed(node):
    return any(getattr(node, "report_" + phase, None) is not None
               and getattr(node, "report_" + phase).failed for phase in ("setup", "call"))


def _leave_evidence(test_name, screen):
    harness.ARTEFACTS.mkdir(parents=True, exist_ok=True)
    stem = harness.ARTEFACTS / re.sub(r"[^\w.-]+", "_", test_name)
    screen.screenshot(stem.with_suffix(".png"))
    try:
        look = screen.look(timeout=10)
        stem.with_suffix(".json").write_text(json.dumps(look.document, indent=1))
    except Exception as error:  # the evidence must not hide the failure itself
        stem.with_suffix(".json").write_text(json.dumps({"inspector failed": str(error)}))
