"""The Providers list as the test Tdh.dll fills it, and with Wine's own library."""

from harness import (KERNEL_FLAGS, LOG_STACK, OK, PROVIDERS, RESET, SAVE_NAME_EDIT, windows_path,
                     wait_until)


def test_sorted_with_duplicates_log_stack_and_late_providers_only_after_reset(corvane):
    app = corvane(providers=["zeta-Provider", "Alpha", "beta", "Alpha", "Gamma"])
    app.wait_for_focus(OK)
    look = app.look()
    # Sorted ignoring case, the duplicate kept.
    assert look.main.control(PROVIDERS).items == ["Alpha", "Alpha", "beta", "Gamma", "zeta-Provider"]

    for name in ("Gamma", "beta"):
        app.click_item(PROVIDERS, name)
    app.click(LOG_STACK)
    app.wait_for("two providers and Log Stack", lambda look: look.main.control(LOG_STACK).check
                 == 1 and len(look.main.control(PROVIDERS).selected) == 2)
    app.click(OK)
    app.wait_for("the name field focused", lambda look: look.focus_id() == SAVE_NAME_EDIT,
                 brief=True)
    app.type(windows_path(app.folder / "providers"))
    app.keys("Return")
    saved = app.folder / "providers.cmd"
    wait_until("providers.cmd", saved.exists)
    app.wait_without_dialogs()
    lines = saved.read_bytes().split(b"\r\n")
    # List order, each entry with its stack suffix before the "+".
    assert lines[14] == (b"xperf.exe -start Vell -on \"beta\":::'stack'+\"Gamma\":::'stack' -f "
                         b'"\\user.etl" -BufferSize 64 -MinBuffers 64 -MaxBuffers 320 '
                         b"-MaxFile 256 -FileMode Sequential")
    assert lines[12] == b" " and lines[24].startswith(b"xperf.exe -stop Vell -d ")

    # A provider registered now is not listed until Reset enumerates again; Reset also clears
    # the selections and Log Stack.
    with app.provider_script.open("a", encoding="utf-8") as script:
        script.write("provider Late-Provider\n")
    app.click_item(KERNEL_FLAGS, "PROC_THREAD")  # any round trip through the dialog
    look = app.wait_for("PROC_THREAD selected",
                        lambda look: look.main.control(KERNEL_FLAGS).selected == [0])
    assert "Late-Provider" not in look.main.control(PROVIDERS).items
    app.click(RESET)
    look = app.wait_for("the providers enumerated again",
                        lambda look: "Late-Provider" in look.main.control(PROVIDERS).items)
    main = look.main
    assert main.control(PROVIDERS).items == ["Alpha", "Alpha", "beta", "Gamma", "Late-Provider",
                                             "zeta-Provider"]
    assert main.control(PROVIDERS).selected == [] and main.control(KERNEL_FLAGS).selected == []
    assert main.control(LOG_STACK).check == 0


def test_wine_builtin_library_gives_an_empty_list_and_no_crash(corvane):
    app = corvane(providers=["Not-Used"], builtin_tdh=True)
    app.wait_for_focus(OK)
    look = app.look()
    assert look.main.control(PROVIDERS).items == []
    app.click(RESET)  # enumerates again
    app.click_item(KERNEL_FLAGS, "LOADER")
    look = app.wait_for("LOADER selected", lambda look: look.main.control(KERNEL_FLAGS).selected
                        == [1])
    assert look.main.control(PROVIDERS).items == []
    # No crash report from winedbg anywhere on the screen.
    assert not [w for w in look.others if "Program Error" in w["window"]["text"]]
    app.keys("Escape")
    assert app.wait_exit() == 2
