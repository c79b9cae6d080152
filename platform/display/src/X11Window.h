#pragma once
// The X11 window that shows the screen, scaled by a whole factor, and turns its mouse and key events into
// stylus and key input.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "display/Display.h"

namespace display {

class X11Window {
public:
    // Null, with the reason in error, when the display cannot be opened or is not true-colour. Scale 0
    // takes the largest that fits the display's work area.
    static std::unique_ptr<X11Window> Open(const std::string& displayName, int width, int height, int scale,
                                           const std::string& title, std::string& error);
    ~X11Window();
    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    // Copies an area of the screen's pixels into the window.
    void Show(const uint16_t* pixels, size_t stride, const RECT& area);
    int Fd() const;
    // Hands the waiting events on; an exposed window is shown again whole through expose.
    int Pump(const InputHandler& handler, const std::function<void()>& expose);
    unsigned long WindowId() const;

    struct State;

private:
    explicit X11Window(std::unique_ptr<State> state);

    std::unique_ptr<State> m_state;
};

} // namespace display
