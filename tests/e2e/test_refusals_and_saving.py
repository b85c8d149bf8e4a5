"""What OK refuses and how, and Wine's save dialog around the file: the default extension, the
overwrite prompt's Yes and No, and Cancel."""

import pytest

from harness import (BUFFER_SIZE, CANCEL, ETL_OUT, HEAP, HEAP_PROCESS, KERNEL_FLAGS, KERNEL_PATH,
                     LOG_STACK, MAX_FILE, MESSAGE_ICON, MESSAGE_TEXT, OK, PROVIDERS, SAVE_NAME_EDIT,
                     SESSION, STACKWALK, USER_PATH, windows_path, wait_until)


def set_text(app, field, text):
    """Click into the field, select everything in it and type over it."""
    app.click(field)
    app.wait_for_focus(field)
    app.keys("End", "shift+Home", "BackSpace")
    if text:
        app.type(text)
    app.wait_for(f"{text!r} in {field}", lambda look: look.main.control(field).text == text,
                 brief=True)


def expect_message(app, text, whole=True):
    """A message box of ours: owned by the main dialog, empty caption, the text (or text opening
    it), OK only and no icon. Closes it with Enter and returns the look after that."""
    look = app.wait_for_message_box()
    box = look.message_box()
    assert box.owner == look.main.hwnd
    assert not look.main.enabled
    assert box.text == ""
    shown = box.control(MESSAGE_TEXT).text
    assert shown == text if whole else shown.startswith(text), shown
    assert not box.control(MESSAGE_ICON).hasIcon
    assert [w.text for w in box.descendants() if w.data["class"] == "Button" and w.visible] == ["OK"]
    assert look.dialog("Save As") is None
    app.keys("Return")
    return app.wait_without_dialogs()


def test_bad_values_are_refused_one_at_a_time_with_the_focus_on_the_field(corvane):
    app = corvane()
    app.wait_for_focus(OK)
    app.click_item(KERNEL_FLAGS, "PROC_THREAD")

    # Each case: what is typed, where the focus must land; the field is repaired afterwards.
    cases = [
        (BUFFER_SIZE, "3", BUFFER_SIZE, "64"),
        (BUFFER_SIZE, "1025", BUFFER_SIZE, "1024"),
        (MAX_FILE, "", MAX_FILE, "0"),
    ]
    for field, bad, focus, repaired in cases:
        set_text(app, field, bad)
        app.click(OK)
        expect_message(app, "Please input valid data.")
        app.wait_for_focus(focus)
        assert app.control(field).text == bad  # neither changed nor replaced
        set_text(app, field, repaired)

    # Two empty paths: the first in the checking order is named, once.
    set_text(app, USER_PATH, "")
    set_text(app, KERNEL_PATH, "")
    app.click(OK)
    expect_message(app, "Please input valid data.")
    app.wait_for_focus(KERNEL_PATH)
    set_text(app, KERNEL_PATH, " ")  # one blank is a value
    set_text(app, USER_PATH, "\\u.etl")

    # The heap target is required even while Heap is clear and its field disabled. The platform
    # refuses the focus to a disabled control, so it stays where it was and only the message tells.
    app.click(HEAP)
    app.wait_for("the heap fields enabled", lambda look: look.main.control(HEAP_PROCESS).enabled)
    set_text(app, HEAP_PROCESS, "")
    app.click(HEAP)
    app.wait_for("Heap clear", lambda look: look.main.control(HEAP).check == 0)
    app.keys("Return")  # the focus is on the Heap box, so Enter goes to the default button
    expect_message(app, "Please input valid data.")
    app.wait_for_focus(HEAP)
    assert list(app.folder.glob("*.cmd")) == []


def test_nothing_to_trace_is_refused_before_any_save_dialog(corvane):
    app = corvane(providers=["Some-Provider"])
    app.wait_for_focus(OK)
    # Stack walks without a kernel flag or group trace nothing.
    app.click_item(STACKWALK, "CSwitch")
    app.wait_for("CSwitch selected", lambda look: look.main.control(STACKWALK).selected != [])
    app.click(OK)
    look = expect_message(app, "Please input parameters.")
    assert look.main.visible and app.process.poll() is None
    app.click(CANCEL)
    assert app.wait_exit() == 2


def test_a_session_name_that_would_start_a_command_is_refused_before_the_save_dialog(corvane):
    app = corvane()
    app.wait_for_focus(OK)
    app.click_item(KERNEL_FLAGS, "PROC_THREAD")
    set_text(app, SESSION, "Vell&calc")
    app.click(OK)
    look = expect_message(app, 'The "Session name" field holds \'&\', which the command prompt '
                               'reads as the start of another command. Remove it.')
    assert look.main.control(SESSION).text == "Vell&calc"


PLUS_NAME = "Microsoft-Windows-Win32k+Microsoft-Windows-NDIS-PacketCapture"


# Values that read as meant in a clean prompt but not in every prompt that may run the script:
# delayed expansion, another code page, the prompt's environment, and xperf's own splitting.
@pytest.mark.parametrize("providers, fields, opening", [
    ([], [(HEAP, None), (HEAP_PROCESS, r"sethc.exe!Q! /v Debugger /t REG_SZ /f /d "
                                       r"!Q!C:\Windows\System32\cmd.exe /k x!Q!")],
     'The "ProcessName or PID" field holds \'!\', which a command prompt with delayed expansion'),
    ([], [(SESSION, "\u30ddcalc.exe")],
     'The "Session name" field holds \'\u30dd\' (U+30DD), which is not ASCII'),
    # 0x82, not 1252's 0xE9: checked in the code page the script is written in, Wine's OEM 437.
    ([], [(ETL_OUT, "C:\\traces\\caf\u00e9")],
     'The "ETL Out Path" field holds \'\u00e9\' (U+00E9), whose last byte is 0x82 in the script'),
    ([], [(KERNEL_PATH, r"%TEMP%\kernel.etl")],
     'The "Kernel Path" field holds a \'%\' reference, which the command prompt replaces by text '
     "from its environment"),
    ([PLUS_NAME], [(PROVIDERS, PLUS_NAME)], "A provider name holds '+', which xperf reads"),
    ([], [(ETL_OUT, "-stop")], 'The "ETL Out Path" field starts with \'-\', which xperf reads'),
], ids=["1-delayed-expansion", "2-code-page-bare", "2-code-page-quoted", "3-environment", "4-plus",
        "4-dash"])
def test_a_value_an_unclean_prompt_would_misread_is_refused_and_nothing_written(
        corvane, providers, fields, opening):
    app = corvane(providers=providers)
    app.wait_for_focus(OK)
    app.click_item(KERNEL_FLAGS, "PROC_THREAD")
    for field, value in fields:
        if field == HEAP:
            app.click(HEAP)
            app.wait_for("Heap on", lambda look: look.main.control(HEAP_PROCESS).enabled)
        elif field == PROVIDERS:
            app.click_item(PROVIDERS, value)
        else:
            set_text(app, field, value)
    app.wait_for("the providers selected",
                 lambda look: len(look.main.control(PROVIDERS).selected) == len(providers))
    app.click(OK)
    expect_message(app, opening, whole=False)
    assert list(app.folder.glob("*.cmd")) == []


def test_a_selection_too_long_for_cmd_is_refused_before_the_save_dialog_and_fewer_save(corvane):
    # 64 providers of 120 characters with call stacks make a user session's line of 8,632.
    names = [f"Contoso-Tracing-Provider-{i:02d}-" + "x" * 92 for i in range(64)]
    app = corvane(providers=names)
    app.wait_for_focus(OK)
    app.click(LOG_STACK)
    app.click_item(PROVIDERS, names[0])
    app.keys(*["Down", "space"] * 63)
    app.wait_for("every provider selected",
                 lambda look: len(look.main.control(PROVIDERS).selected) == 64)
    app.click(OK)
    look = expect_message(app, "The user session's command line would be 8,632 characters long; "
                               "the command prompt reads at most 8,191. Select fewer providers, "
                               "or use a shorter User Path or Session name.")
    providers = look.main.control(PROVIDERS)
    assert len(providers.selected) == 64 and look.main.control(LOG_STACK).check == 1

    for index in range(providers.topIndex, providers.topIndex + 8):
        app.click_at(*providers.item_point(index))
    app.wait_for("56 selected", lambda look: len(look.main.control(PROVIDERS).selected) == 56)
    open_save_dialog(app)
    save_as(app, app.folder / "fewer.cmd")
    wait_until("fewer.cmd", (app.folder / "fewer.cmd").exists)
    assert (app.folder / "fewer.cmd").read_bytes().count(b":::'stack'") == 56


def open_save_dialog(app):
    app.click(OK)
    look = app.wait_for_dialog("Save As")
    app.wait_for("the name field focused", lambda look: look.focus_id() == SAVE_NAME_EDIT,
                 brief=True)
    return look.dialog("Save As")


def save_as(app, path_typed):
    """Types a name into the open save dialog and presses Enter."""
    app.type(windows_path(path_typed))
    app.keys("Return")


def answer_overwrite(app, save_dialog, button_id):
    look = app.wait_for("the overwrite prompt", lambda look: look.dialog("Error") is not None)
    prompt = look.dialog("Error")
    assert prompt.owner == save_dialog.hwnd
    assert "already exists" in prompt.control(MESSAGE_TEXT).text
    app.click_at(*prompt.control(button_id).center())
    app.wait_for("the prompt gone", lambda look: look.dialog("Error") is None)


def test_save_dialog_extension_overwrite_yes_and_no_and_cancel(corvane):
    app = corvane()
    app.wait_for_focus(OK)
    app.click_item(KERNEL_FLAGS, "LOADER")
    app.wait_for("LOADER selected", lambda look: look.main.control(KERNEL_FLAGS).selected == [1])

    # A name without extension gets ".cmd"; this file is the reference for the two below.
    open_save_dialog(app)
    save_as(app, app.folder / "fresh")
    wait_until("fresh.cmd", (app.folder / "fresh.cmd").exists)
    app.wait_without_dialogs()
    expected = (app.folder / "fresh.cmd").read_bytes()
    assert expected.startswith(b"@echo off\r\n") and expected.endswith(b'.etl"\r\n')

    # Yes replaces a longer file completely: nothing of the old tail is left.
    longer = app.folder / "longer.cmd"
    longer.write_bytes(b"x" * 50000)
    dialog = open_save_dialog(app)
    save_as(app, app.folder / "longer")
    answer_overwrite(app, dialog, 6)
    app.wait_without_dialogs()
    assert longer.read_bytes() == expected

    # No keeps the file and returns to the save dialog; Cancel there writes nothing either.
    kept = app.folder / "kept.cmd"
    kept.write_bytes(b"old content\r\n" * 1000)
    dialog = open_save_dialog(app)
    save_as(app, app.folder / "kept")
    answer_overwrite(app, dialog, 7)
    look = app.wait_for_dialog("Save As")
    assert look.dialog("Save As").hwnd == dialog.hwnd
    app.keys("Escape")
    look = app.wait_without_dialogs()
    assert look.message_box() is None
    assert kept.read_bytes() == b"old content\r\n" * 1000
    assert sorted(p.name for p in app.folder.glob("*.cmd")) == ["fresh.cmd", "kept.cmd",
                                                                  "longer.cmd"]
