"""Help under the pointer, read from the tooltip as it shows: a field's and a kernel group's."""

from harness import BUFFER_SIZE, KERNEL_FLAGS, OK


def shown_tip(look):
    return next((window.tipText for window in look.visible_top("tooltips_class32")
                 if window.tipText), "")


def test_a_field_and_a_kernel_group_show_their_help(corvane):
    app = corvane()
    app.wait_for_focus(OK)
    app.screen.xdotool("mousemove", *app.control(BUFFER_SIZE, brief=True).center())
    look = app.wait_for("the Buffer Size tip", shown_tip, brief=True)
    # Buffer Size's own limits, not another field's help.
    assert "4 to 1024" in shown_tip(look)

    # The groups follow the flags: End brings them into view and selects nothing.
    app.keys("Tab", "Tab", "Tab", "End")
    kernel = app.wait_for("the end of the kernel list in view",
                          lambda look: look.main.control(KERNEL_FLAGS).topIndex > 0
                          ).main.control(KERNEL_FLAGS)
    app.screen.xdotool("mousemove", *kernel.item_point(kernel.items.index("SysProf")))
    look = app.wait_for("the SysProf tip", lambda look: "\n" in shown_tip(look))
    description, members = shown_tip(look).split("\n")
    assert description and "Members" not in description
    assert members == "Members: PROC_THREAD, LOADER, PROFILE"
    assert look.main.control(KERNEL_FLAGS).selected == []
