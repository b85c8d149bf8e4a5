"""The window as it opens, its keyboard interface, the About box and every way to close it."""

import re

import pytest

from harness import (ABOUT, BUFFER_SIZE, CANCEL, ETL_OUT, FILE_MODE, HEAP, HEAP_PATH,
                     HEAP_PROCESS, HEAP_SESSION, KERNEL_FLAGS, KERNEL_PATH, LOG_STACK, MAX_BUFFERS,
                     MAX_FILE, MIN_BUFFERS, OK, PROVIDERS, RESET, SESSION, STACKWALK, USER_PATH)

# The tab stops in the order Tab visits them while Heap is clear.
TAB_ORDER = [OK, CANCEL, ABOUT, KERNEL_FLAGS, STACKWALK, FILE_MODE, MAX_FILE, BUFFER_SIZE,
             MIN_BUFFERS, MAX_BUFFERS, ETL_OUT, KERNEL_PATH, PROVIDERS, LOG_STACK, SESSION,
             USER_PATH, RESET, HEAP]


def test_opens_with_the_defaults_and_the_focus_on_ok(corvane):
    app = corvane(providers=["Beta-Provider", "Alpha-Provider"])
    app.wait_for_focus(OK)
    look = app.look()
    main = look.main
    texts = {control_id: main.control(control_id).text for control_id in
             (MAX_FILE, BUFFER_SIZE, MAX_BUFFERS, MIN_BUFFERS, KERNEL_PATH, USER_PATH, SESSION,
              HEAP_PROCESS, HEAP_SESSION, HEAP_PATH)}
    assert texts == {MAX_FILE: "256", BUFFER_SIZE: "64", MAX_BUFFERS: "320", MIN_BUFFERS: "64",
                     KERNEL_PATH: "\\kernel.etl", USER_PATH: "\\user.etl", SESSION: "Vell",
                     HEAP_PROCESS: "0", HEAP_SESSION: "VellHeap", HEAP_PATH: "\\heap.etl"}
    assert re.fullmatch(r"C:\\users\\[^\\]+\\Desktop\\\d{8}_\d{6}\.etl",
                        main.control(ETL_OUT).text, re.IGNORECASE)
    file_mode = main.control(FILE_MODE)
    assert file_mode.items == ["Sequential", "Circular", "Append", "NewFile"]
    assert file_mode.current == 0
    assert len(main.control(KERNEL_FLAGS).items) == 61
    assert main.control(KERNEL_FLAGS).items[:2] == ["PROC_THREAD", "LOADER"]
    assert len(main.control(STACKWALK).items) == 127
    assert main.control(PROVIDERS).items == ["Alpha-Provider", "Beta-Provider"]
    for list_id in (KERNEL_FLAGS, STACKWALK, PROVIDERS):
        assert main.control(list_id).selected == []
    assert (main.control(LOG_STACK).check, main.control(HEAP).check) == (0, 0)
    assert [main.control(i).enabled for i in (HEAP_PROCESS, HEAP_SESSION, HEAP_PATH)] == [False] * 3
    assert main.control(OK).default


def test_tab_order_and_heap_by_space_and_by_click(corvane):
    app = corvane()
    app.wait_for_focus(OK)
    # Tab walks the stops in template order, skipping the disabled heap fields, and wraps.
    for expected in TAB_ORDER[1:] + [OK]:
        app.keys("Tab")
        app.wait_for_focus(expected)
    app.keys("shift+Tab")
    app.wait_for_focus(HEAP)

    # Space on the focused Heap box checks it and enables the three heap fields, which Tab
    # then reaches.
    app.keys("space")
    look = app.wait_for("Heap checked", lambda look: look.main.control(HEAP).check == 1)
    assert [look.main.control(i).enabled for i in (HEAP_PROCESS, HEAP_SESSION, HEAP_PATH)] == [True] * 3
    for expected in (HEAP_PROCESS, HEAP_SESSION, HEAP_PATH, OK):
        app.keys("Tab")
        app.wait_for_focus(expected)

    # A click clears it again and disables them; a second click enables them.
    app.click(HEAP)
    look = app.wait_for("Heap clear", lambda look: look.main.control(HEAP).check == 0)
    assert [look.main.control(i).enabled for i in (HEAP_PROCESS, HEAP_SESSION, HEAP_PATH)] == [False] * 3
    app.click(HEAP)
    look = app.wait_for("Heap checked", lambda look: look.main.control(HEAP).check == 1)
    assert [look.main.control(i).enabled for i in (HEAP_PROCESS, HEAP_SESSION, HEAP_PATH)] == [True] * 3


def test_alt_a_opens_about_over_the_dialog_and_escape_closes_only_it(corvane):
    app = corvane()
    app.wait_for_focus(OK)
    app.keys("alt+a")
    look = app.wait_for_dialog("About")
    about = look.dialog("About")
    assert about.owner == look.main.hwnd
    assert not look.main.enabled
    assert any(w.text.startswith("Corvane Application v1.0\n\n") for w in about.descendants())
    # Centred over its owner.
    main_x, main_y = look.main.center()
    about_x, about_y = about.center()
    assert abs(main_x - about_x) <= 2 and abs(main_y - about_y) <= 2

    app.keys("Escape")
    look = app.wait_without_dialogs()
    assert look.dialog("About") is None
    assert app.process.poll() is None


@pytest.mark.parametrize("how", ["Escape", "alt+F4", "Cancel clicked", "Cancel by Space",
                                 "system menu Close"])
def test_every_way_of_closing_exits_with_2(corvane, how):
    app = corvane()
    app.wait_for_focus(OK)
    if how == "system menu Close":
        app.keys("alt+space")
        app.wait_for("the system menu", lambda look: any(
            w.data["class"] == "#32768" for w in look.visible_top()), brief=True)
        app.keys("c")
    elif how == "Cancel clicked":
        app.click(CANCEL)
    elif how == "Cancel by Space":
        app.keys("Tab")
        app.wait_for_focus(CANCEL)
        app.keys("space")
    else:
        app.keys(how)
    assert app.wait_exit() == 2


def test_the_close_box_exits_with_2(framed_corvane):
    app = framed_corvane
    look = app.wait_for_focus(OK)
    app.click_at(*look.main.close_box())
    assert app.wait_exit() == 2
