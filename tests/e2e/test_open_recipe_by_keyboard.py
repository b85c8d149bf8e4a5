"""A recipe opened through the window menu by keyboard and Wine's real open dialog, saved with OK,
and the saved script run by Wine's cmd.exe with the stand-in xperf.exe: the recipe's choices are
what xperf receives."""

import harness
from harness import KERNEL_FLAGS, OK, PROVIDERS, SAVE_NAME_EDIT, windows_path
from test_script_by_cmd import STANDINS, ScriptRun, programs_and_arguments

RECIPE = harness.REPO / "profiles" / "ui-delays.profile"


def test_a_recipe_opened_from_the_window_menu_reaches_xperf(corvane, screen, tmp_path):
    assert (STANDINS / "xperf.exe").exists()
    app = corvane(providers=["Microsoft-Windows-Win32k", "Contoso-Other"])
    app.wait_for_focus(OK)
    app.keys("alt+space")
    app.wait_for("the window menu", lambda look: any(
        w.data["class"] == "#32768" for w in look.visible_top()), brief=True)
    app.keys("o")  # &Open profile or script...
    # Like the save dialog, it opens with its file name field focused.
    look = app.wait_for("the open dialog's file name field", lambda look: look.dialog("Open")
                        is not None and look.focus_id() == SAVE_NAME_EDIT, brief=True)
    assert look.dialog("Open").owner == look.main.hwnd
    app.type(windows_path(RECIPE))
    app.keys("Return")
    look = app.wait_for("the recipe's choices", lambda look: look.main.control(
        KERNEL_FLAGS).selected_texts() == ["PROC_THREAD", "LOADER", "PROFILE", "CSWITCH",
                                           "DISPATCHER"])
    # A provider this machine does not list is added to the list, selected.
    assert look.main.control(PROVIDERS).selected_texts() == ["Microsoft-Windows-DxgKrnl",
                                                             "Microsoft-Windows-Win32k"]
    app.wait_without_dialogs()

    app.click(OK)
    app.wait_for("the file name in the save dialog", lambda look: look.dialog("Save As") is not None
                 and look.focus_id() == SAVE_NAME_EDIT, brief=True)
    script = tmp_path / "from_recipe.cmd"
    app.type(windows_path(script))
    app.keys("Return")
    app.wait_without_dialogs()
    harness.wait_until("the saved script", script.exists)

    calls = programs_and_arguments(ScriptRun(screen, tmp_path).run(script))
    assert {program for program, _ in calls} == {"xperf.exe"}
    kernel = next(arguments for _, arguments in calls if arguments[0] == "-on")
    assert kernel[:4] == ["-on", "PROC_THREAD+LOADER+PROFILE+CSWITCH+DISPATCHER", "-stackwalk",
                          "CSwitch+Profile+ReadyThread"]  # in the list's order
    user = next(arguments for _, arguments in calls if arguments[0] == "-start")
    assert user[2:4] == ["-on", "Microsoft-Windows-DxgKrnl:0xffff:5"
                         "+Microsoft-Windows-Win32k:0xfdffffffefffffff"]
    assert ["-d", "C:\\traces\\ui-delays.etl"] == calls[-2][1][-2:]
