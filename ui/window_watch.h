// Lets one owner see the messages of a few windows before the windows do, by swapping in its own
// window procedure and handing every message on to the one it replaced.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>

namespace corvane {

// comctl32's SetWindowSubclass, which a tooltip's TTF_SUBCLASS uses too, looks the window's
// properties up for every message it passes on; under Wine that is a call into the server, and it
// made each entry added to a watched list box cost about four times as much. A plain swap of the
// window procedure costs nothing per message. Only one owner may watch a window: the owner is
// kept in the window's GWLP_USERDATA, which the dialog's controls leave unused.
class CWindowWatch {
public:
    CWindowWatch() noexcept = default;
    ~CWindowWatch() { UnwatchAll(); }
    CWindowWatch(const CWindowWatch&) = delete;
    CWindowWatch& operator=(const CWindowWatch&) = delete;

    // From now on `procedure` gets the window's messages first; it hands them on with
    // CallPrevious. False when the window is watched already, the table is full or the platform
    // refuses.
    [[nodiscard]] bool Watch(HWND window, WNDPROC procedure, void* owner) noexcept;
    // Gives every watched window its own procedure back.
    void UnwatchAll() noexcept;

    // The owner given to Watch, or null once the window is no longer watched.
    [[nodiscard]] static void* OwnerOf(HWND window) noexcept;
    [[nodiscard]] LRESULT CallPrevious(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) const noexcept;

private:
    static constexpr std::size_t kMostWindows = 32;
    struct Watched {
        HWND window = nullptr;
        WNDPROC previous = nullptr;
    };
    std::array<Watched, kMostWindows> watched_{};
    std::size_t count_ = 0;
};

} // namespace corvane
