#pragma once
// The one on-screen window, over SDL2: an SDL window with an OpenGL context,
// the display-mode change for full-screen play, and keyboard and mouse input
// turned into the values the input listener expects (Windows virtual-key
// codes, mouse bits 1 left, 2 right, 4 middle, wheel 8 away / 16 toward).
//
// Both back ends derive their window from RenderWindowSDL or use it as it is:
// it presents by swapping buffers and is made current with its GL context.
// Only this unit includes SDL; the SDL handles stay in a private record and
// leave it only as opaque pointers.
#include <cstdint>
#include <memory>

#include "Rendering/Common/RenderMachine.h"

union SDL_Event;

namespace Vexa {

// The input state a window keeps between messages. Key states are indexed by
// virtual-key code and are 1 while that key is held.
struct WindowInputState {
    unsigned mouseButtons = 0;
    uint8_t keyStates[256] = {};
    // The last pointer position seen, for wheel events that carry none.
    int mouseX = 0;
    int mouseY = 0;
};

// The Windows virtual-key code of an SDL key symbol, or 0 when the table has
// none for it.
int virtualKeyCode(int32_t sdlKey);

// Handles one SDL event as the window procedure handles a message: updates
// `state` and calls `listener` (which may be null). Quit and close requests
// and events the window does not know are ignored.
void translateWindowEvent(const SDL_Event& event, WindowInputState& state, InputListener* listener);

class RenderWindowSDL : public Window {
public:
    // Opens the window as `parameters` ask and gives it an OpenGL context
    // (compatibility profile, RGBA8, depth 24, stencil 8, double buffered),
    // which is current when the constructor returns. With `sharedContext`
    // (another window's glContext()) no context is created: the window is
    // drawn through that one, which it does not own. Throws
    // RenderMachineException.
    explicit RenderWindowSDL(const WindowParameters& parameters, void* sharedContext = nullptr);
    ~RenderWindowSDL() override;

    RenderWindowSDL(const RenderWindowSDL&) = delete;
    RenderWindowSDL& operator=(const RenderWindowSDL&) = delete;

    int getWidth() const override { return m_width; }
    int getHeight() const override { return m_height; }
    // Swaps the front and back buffers.
    void present() override;
    // Makes the GL context current on this window.
    void makeCurrent() override;
    // As a render target the window is made current the same way; a back
    // end that needs more overrides this.
    void makeCurrent(RenderMachine* machine) override;
    // Handles every waiting event of every window of the process, each by
    // the window it belongs to.
    void processMessages() override;
    void setTitle(const char* text) override;
    void showCursor(bool show) override;

    // The SDL_GLContext the window draws with, and the SDL_Window.
    void* glContext() const;
    void* nativeWindow() const;
    unsigned mouseButtons() const { return m_input.mouseButtons; }
    const uint8_t* keyStates() const { return m_input.keyStates; }
    bool isFullScreen() const { return m_fullScreen; }

private:
    struct Native;

    int m_width = 0;
    int m_height = 0;
    bool m_fullScreen = false;
    WindowInputState m_input;
    std::unique_ptr<Native> m_native;
};

// The address of an OpenGL entry point of the current context's driver, or
// null; valid once a window exists.
void* glProcAddress(const char* name);

}  // namespace Vexa
