#include "Platform/SdlWindow.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "Parser/Exceptions.h"

namespace Vexa {

namespace {

const char* const kUnit = "Platform/SdlWindow";

const char* const kTitle = "RenderMachine Window";

// Construction failures. The texts are those users and scripts know; each
// names the step of setting up a window that the SDL call stands for:
// starting the video subsystem is the once-per-process registration, a GL
// context that cannot be made is a pixel format that cannot be found, and a
// context that cannot be made current on the window is a pixel format that
// cannot be set.
const char* const kVideoFailed =
    "RenderWindowWin32::registerWindowClass: failed to register window class.";
const char* const kFullScreenFailed = "RenderWindowWin32: failed to change to fullscreen mode.";
const char* const kCreateFailed = "RenderWindowWin32: failed to create window.";
const char* const kContextFailed = "RenderWindowWin32: failed to find suitable pixel format .";
const char* const kMakeCurrentFailed =
    "RenderWindowWin32: unable to set the requested pixel format.";

// When the default video driver cannot reach a display, the window opens on
// this one: a real GL context drawing into memory.
const char* const kFallbackDriver = "offscreen";

// The listener hears Escape under this id, on press and on release alike.
constexpr int kEscapeKeyId = 1;
constexpr int kVkEscape = 0x1B;
// Keys the table does not know reach the listener as this plus their SDL
// scancode: stable ids that can never collide with a virtual-key code and
// never touch a key state.
constexpr int kUnmappedKeyBase = 0x100;
constexpr int kKeyStateCount = 256;

constexpr unsigned kWheelAway = 8;
constexpr unsigned kWheelToward = 16;

struct KeyEntry {
    SDL_Keycode sdlKey;
    int virtualKey;
};

// SDL key symbols (layout-dependent, like virtual-key codes) to Windows
// virtual-key codes. Left and right modifiers share the generic code, as
// plain key messages report them.
const KeyEntry kKeyTable[] = {
    {SDLK_BACKSPACE, 0x08},
    {SDLK_TAB, 0x09},
    {SDLK_CLEAR, 0x0C},
    {SDLK_RETURN, 0x0D},
    {SDLK_KP_ENTER, 0x0D},
    {SDLK_LSHIFT, 0x10},
    {SDLK_RSHIFT, 0x10},
    {SDLK_LCTRL, 0x11},
    {SDLK_RCTRL, 0x11},
    {SDLK_LALT, 0x12},
    {SDLK_RALT, 0x12},
    {SDLK_PAUSE, 0x13},
    {SDLK_CAPSLOCK, 0x14},
    {SDLK_ESCAPE, kVkEscape},
    {SDLK_SPACE, 0x20},
    {SDLK_PAGEUP, 0x21},
    {SDLK_PAGEDOWN, 0x22},
    {SDLK_END, 0x23},
    {SDLK_HOME, 0x24},
    {SDLK_LEFT, 0x25},
    {SDLK_UP, 0x26},
    {SDLK_RIGHT, 0x27},
    {SDLK_DOWN, 0x28},
    {SDLK_SELECT, 0x29},
    {SDLK_EXECUTE, 0x2B},
    {SDLK_PRINTSCREEN, 0x2C},
    {SDLK_INSERT, 0x2D},
    {SDLK_DELETE, 0x2E},
    {SDLK_HELP, 0x2F},
    {SDLK_0, '0'},
    {SDLK_1, '1'},
    {SDLK_2, '2'},
    {SDLK_3, '3'},
    {SDLK_4, '4'},
    {SDLK_5, '5'},
    {SDLK_6, '6'},
    {SDLK_7, '7'},
    {SDLK_8, '8'},
    {SDLK_9, '9'},
    {SDLK_a, 'A'},
    {SDLK_b, 'B'},
    {SDLK_c, 'C'},
    {SDLK_d, 'D'},
    {SDLK_e, 'E'},
    {SDLK_f, 'F'},
    {SDLK_g, 'G'},
    {SDLK_h, 'H'},
    {SDLK_i, 'I'},
    {SDLK_j, 'J'},
    {SDLK_k, 'K'},
    {SDLK_l, 'L'},
    {SDLK_m, 'M'},
    {SDLK_n, 'N'},
    {SDLK_o, 'O'},
    {SDLK_p, 'P'},
    {SDLK_q, 'Q'},
    {SDLK_r, 'R'},
    {SDLK_s, 'S'},
    {SDLK_t, 'T'},
    {SDLK_u, 'U'},
    {SDLK_v, 'V'},
    {SDLK_w, 'W'},
    {SDLK_x, 'X'},
    {SDLK_y, 'Y'},
    {SDLK_z, 'Z'},
    {SDLK_LGUI, 0x5B},
    {SDLK_RGUI, 0x5C},
    {SDLK_APPLICATION, 0x5D},
    {SDLK_SLEEP, 0x5F},
    {SDLK_KP_0, 0x60},
    {SDLK_KP_1, 0x61},
    {SDLK_KP_2, 0x62},
    {SDLK_KP_3, 0x63},
    {SDLK_KP_4, 0x64},
    {SDLK_KP_5, 0x65},
    {SDLK_KP_6, 0x66},
    {SDLK_KP_7, 0x67},
    {SDLK_KP_8, 0x68},
    {SDLK_KP_9, 0x69},
    {SDLK_KP_MULTIPLY, 0x6A},
    {SDLK_KP_PLUS, 0x6B},
    {SDLK_KP_MINUS, 0x6D},
    {SDLK_KP_PERIOD, 0x6E},
    {SDLK_KP_DECIMAL, 0x6E},
    {SDLK_KP_DIVIDE, 0x6F},
    {SDLK_F1, 0x70},
    {SDLK_F2, 0x71},
    {SDLK_F3, 0x72},
    {SDLK_F4, 0x73},
    {SDLK_F5, 0x74},
    {SDLK_F6, 0x75},
    {SDLK_F7, 0x76},
    {SDLK_F8, 0x77},
    {SDLK_F9, 0x78},
    {SDLK_F10, 0x79},
    {SDLK_F11, 0x7A},
    {SDLK_F12, 0x7B},
    {SDLK_F13, 0x7C},
    {SDLK_F14, 0x7D},
    {SDLK_F15, 0x7E},
    {SDLK_F16, 0x7F},
    {SDLK_F17, 0x80},
    {SDLK_F18, 0x81},
    {SDLK_F19, 0x82},
    {SDLK_F20, 0x83},
    {SDLK_F21, 0x84},
    {SDLK_F22, 0x85},
    {SDLK_F23, 0x86},
    {SDLK_F24, 0x87},
    {SDLK_NUMLOCKCLEAR, 0x90},
    {SDLK_SCROLLLOCK, 0x91},
    {SDLK_AC_BACK, 0xA6},
    {SDLK_AC_FORWARD, 0xA7},
    {SDLK_AC_REFRESH, 0xA8},
    {SDLK_AC_STOP, 0xA9},
    {SDLK_AC_SEARCH, 0xAA},
    {SDLK_AC_BOOKMARKS, 0xAB},
    {SDLK_AC_HOME, 0xAC},
    {SDLK_MUTE, 0xAD},
    {SDLK_VOLUMEDOWN, 0xAE},
    {SDLK_VOLUMEUP, 0xAF},
    {SDLK_AUDIONEXT, 0xB0},
    {SDLK_AUDIOPREV, 0xB1},
    {SDLK_AUDIOSTOP, 0xB2},
    {SDLK_AUDIOPLAY, 0xB3},
    {SDLK_MAIL, 0xB4},
    {SDLK_MEDIASELECT, 0xB5},
    {SDLK_SEMICOLON, 0xBA},
    {SDLK_EQUALS, 0xBB},
    {SDLK_COMMA, 0xBC},
    {SDLK_MINUS, 0xBD},
    {SDLK_PERIOD, 0xBE},
    {SDLK_SLASH, 0xBF},
    {SDLK_BACKQUOTE, 0xC0},
    {SDLK_LEFTBRACKET, 0xDB},
    {SDLK_BACKSLASH, 0xDC},
    {SDLK_RIGHTBRACKET, 0xDD},
    {SDLK_QUOTE, 0xDE},
};

struct ButtonEntry {
    Uint8 sdlButton;
    unsigned bit;
};

// Buttons the window reports; the side buttons are not among them.
const ButtonEntry kButtonTable[] = {
    {SDL_BUTTON_LEFT, 1},
    {SDL_BUTTON_RIGHT, 2},
    {SDL_BUTTON_MIDDLE, 4},
};

struct PixelFormatEntry {
    int bitsPerPixel;
    Uint32 format;
};

// Display formats asked for by colour depth; any other depth takes the
// desktop's format.
const PixelFormatEntry kDisplayFormats[] = {
    {32, SDL_PIXELFORMAT_RGB888}, {24, SDL_PIXELFORMAT_RGB24}, {16, SDL_PIXELFORMAT_RGB565},
    {15, SDL_PIXELFORMAT_RGB555}, {8, SDL_PIXELFORMAT_INDEX8},
};

struct GlAttributeEntry {
    SDL_GLattr attribute;
    int value;
};

// The framebuffer and context every window asks for.
const GlAttributeEntry kGlAttributes[] = {
    {SDL_GL_RED_SIZE, 8},     {SDL_GL_GREEN_SIZE, 8},
    {SDL_GL_BLUE_SIZE, 8},    {SDL_GL_ALPHA_SIZE, 8},
    {SDL_GL_DEPTH_SIZE, 24},  {SDL_GL_STENCIL_SIZE, 8},
    {SDL_GL_DOUBLEBUFFER, 1}, {SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY},
};

// The key id the listener hears for an SDL key.
int keyIdOf(const SDL_Keysym& keysym) {
    const int code = virtualKeyCode(keysym.sym);
    return code != 0 ? code : kUnmappedKeyBase + static_cast<int>(keysym.scancode);
}

unsigned buttonBitOf(Uint8 sdlButton) {
    for (const ButtonEntry& entry : kButtonTable)
        if (entry.sdlButton == sdlButton) return entry.bit;
    return 0;
}

// The wheel's vertical turn as the user moved it: positive away from the
// user, whatever the system's scrolling direction.
float wheelTurn(const SDL_MouseWheelEvent& wheel) {
    float turn = wheel.preciseY != 0.0f ? wheel.preciseY : static_cast<float>(wheel.y);
    if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED) turn = -turn;
    return turn;
}

bool isHorizontalOnly(const SDL_MouseWheelEvent& wheel) {
    return wheel.y == 0 && wheel.preciseY == 0.0f && (wheel.x != 0 || wheel.preciseX != 0.0f);
}

// The video subsystem is started by the first window and kept for the rest
// of the process: stopping it unloads the OpenGL driver, which cannot be
// loaded again cleanly and loses memory each time. When no display can be
// reached the offscreen driver is forced, over whatever the environment
// names, so a production still plays headless.
bool s_videoStarted = false;

bool acquireVideo() {
    if (s_videoStarted) return true;
    // Interrupt and terminate signals keep ending the process; SDL would
    // turn them into quit events, which the player ignores.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Without any display to reach, go off screen at once instead of letting
    // every display driver try (and complain on standard error).
    if (!SDL_getenv("SDL_VIDEODRIVER") && !SDL_getenv("DISPLAY") && !SDL_getenv("WAYLAND_DISPLAY"))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, kFallbackDriver);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, kFallbackDriver, SDL_HINT_OVERRIDE);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    }
    s_videoStarted = true;
    return true;
}

// Once a context exists its OpenGL driver stays loaded for the rest of the
// process, as the video subsystem does: a driver unloaded at exit loses the
// memory it keeps, and leak reports could no longer name its code.
void keepDriverLoaded() {
    static bool kept = false;
    if (kept) return;
    kept = true;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void*) -> int {
            const char* name = info->dlpi_name;
            if (name && std::strstr(name, "_dri.so"))
                dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

// Live windows by SDL window id, oldest first, so that one window's
// processMessages hands every other window its own events.
struct WindowEntry {
    Uint32 id;
    WindowInputState* input;
    RenderWindow* window;
};

std::vector<WindowEntry>& liveWindows() {
    static std::vector<WindowEntry> s_windows;
    return s_windows;
}

Uint32 windowIdOf(const SDL_Event& event) {
    switch (event.type) {
        case SDL_WINDOWEVENT: return event.window.windowID;
        case SDL_KEYDOWN:
        case SDL_KEYUP: return event.key.windowID;
        case SDL_MOUSEMOTION: return event.motion.windowID;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: return event.button.windowID;
        case SDL_MOUSEWHEEL: return event.wheel.windowID;
        default: return 0;
    }
}

// Finds the window an event belongs to; events naming no live window (input
// without focus, requests to the whole application) go to the oldest.
bool findOwner(const SDL_Event& event, WindowEntry& owner) {
    const std::vector<WindowEntry>& windows = liveWindows();
    if (windows.empty()) return false;
    const Uint32 id = windowIdOf(event);
    owner = windows.front();
    for (const WindowEntry& entry : windows)
        if (entry.id == id) owner = entry;
    return true;
}

// Changes the display to exactly width by height at the asked depth and
// makes the window cover it. A size the display does not offer fails.
bool changeToFullScreen(SDL_Window* window, const WindowParameters& parameters) {
    SDL_DisplayMode wanted{};
    wanted.w = parameters.width;
    wanted.h = parameters.height;
    for (const PixelFormatEntry& entry : kDisplayFormats)
        if (entry.bitsPerPixel == parameters.bitsPerPixel) wanted.format = entry.format;
    const int display = SDL_GetWindowDisplayIndex(window);
    SDL_DisplayMode mode{};
    if (display < 0 || SDL_GetClosestDisplayMode(display, &wanted, &mode) == nullptr) return false;
    if (mode.w != wanted.w || mode.h != wanted.h) return false;
    if (SDL_SetWindowDisplayMode(window, &mode) != 0) return false;
    return SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) == 0;
}

bool setGlAttributes() {
    SDL_GL_ResetAttributes();
    for (const GlAttributeEntry& entry : kGlAttributes)
        if (SDL_GL_SetAttribute(entry.attribute, entry.value) != 0) return false;
    return true;
}

}  // namespace

int virtualKeyCode(int32_t sdlKey) {
    for (const KeyEntry& entry : kKeyTable)
        if (entry.sdlKey == sdlKey) return entry.virtualKey;
    return 0;
}

// Keys: the listener hears the key first, then its state byte changes (codes
// below 256 only). Escape is heard as key(true, 1) both ways. A held key's
// repeats arrive as further presses. Buttons: the bit changes first, then the
// listener hears the new state. The wheel adds 8 or 16 to the state it
// reports without storing it.
void translateWindowEvent(const SDL_Event& event, WindowInputState& state,
                          InputListener* listener) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const bool down = event.type == SDL_KEYDOWN;
            const int code = keyIdOf(event.key.keysym);
            if (listener) {
                if (code == kVkEscape)
                    listener->key(true, kEscapeKeyId);
                else
                    listener->key(down, code);
            }
            if (code >= 0 && code < kKeyStateCount) state.keyStates[code] = down ? 1 : 0;
            break;
        }
        case SDL_MOUSEMOTION:
            state.mouseX = event.motion.x;
            state.mouseY = event.motion.y;
            if (listener) listener->mouseMove(state.mouseButtons, state.mouseX, state.mouseY);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const unsigned bit = buttonBitOf(event.button.button);
            if (bit == 0) break;
            if (event.type == SDL_MOUSEBUTTONDOWN)
                state.mouseButtons |= bit;
            else
                state.mouseButtons &= ~bit;
            state.mouseX = event.button.x;
            state.mouseY = event.button.y;
            if (listener) listener->mouseButton(state.mouseButtons, state.mouseX, state.mouseY);
            break;
        }
        case SDL_MOUSEWHEEL: {
            if (isHorizontalOnly(event.wheel)) break;
            const unsigned added = wheelTurn(event.wheel) > 0.0f ? kWheelAway : kWheelToward;
            state.mouseX = event.wheel.mouseX;
            state.mouseY = event.wheel.mouseY;
            if (listener)
                listener->mouseButton(state.mouseButtons + added, state.mouseX, state.mouseY);
            break;
        }
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED && listener)
                listener->resized(event.window.data1, event.window.data2);
            break;
        default:
            // Quit and close requests included: closing the window does not
            // end the program.
            break;
    }
}

struct RenderWindowSDL::Native {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool ownsContext = false;
    bool registered = false;

    // Undoes whatever construction got to, also after a failure.
    ~Native() {
        if (registered) {
            std::vector<WindowEntry>& windows = liveWindows();
            const Uint32 id = SDL_GetWindowID(window);
            windows.erase(std::remove_if(windows.begin(), windows.end(),
                                         [id](const WindowEntry& entry) { return entry.id == id; }),
                          windows.end());
        }
        if (ownsContext) {
            if (SDL_GL_GetCurrentContext() == context) SDL_GL_MakeCurrent(nullptr, nullptr);
            SDL_GL_DeleteContext(context);
        }
        if (window) SDL_DestroyWindow(window);
    }
};

RenderWindowSDL::RenderWindowSDL(const WindowParameters& parameters, void* sharedContext)
    : m_width(parameters.width), m_height(parameters.height), m_native(std::make_unique<Native>()) {
    Native& native = *m_native;
    if (!acquireVideo()) VEXA_THROW(RenderMachineException, kVideoFailed);
    SDL_DisableScreenSaver();
    SDL_StopTextInput();
    showCursor(parameters.showCursor);

    if (!sharedContext && !setGlAttributes()) VEXA_THROW(RenderMachineException, kContextFailed);
    native.window = SDL_CreateWindow(kTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                     m_width, m_height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!native.window) VEXA_THROW(RenderMachineException, kCreateFailed);
    if (parameters.fullScreen) {
        if (!changeToFullScreen(native.window, parameters))
            VEXA_THROW(RenderMachineException, kFullScreenFailed);
        m_fullScreen = true;
    }
    liveWindows().push_back({SDL_GetWindowID(native.window), &m_input, this});
    native.registered = true;

    if (sharedContext) {
        native.context = static_cast<SDL_GLContext>(sharedContext);
    } else {
        native.context = SDL_GL_CreateContext(native.window);
        if (!native.context) VEXA_THROW(RenderMachineException, kContextFailed);
        native.ownsContext = true;
        keepDriverLoaded();
    }
    if (SDL_GL_MakeCurrent(native.window, native.context) != 0)
        VEXA_THROW(RenderMachineException, kMakeCurrentFailed);

    SDL_ShowWindow(native.window);
    SDL_RaiseWindow(native.window);
}

RenderWindowSDL::~RenderWindowSDL() {
    // Destroying the window gives the display its own mode back.
    if (m_fullScreen) SDL_ShowCursor(SDL_ENABLE);
}

// The drawing is handed to the driver before the swap: an off-screen swap
// does not do it by itself, and unflushed frames would pile up in memory.
void RenderWindowSDL::present() {
    glFlush();
    SDL_GL_SwapWindow(m_native->window);
}

void RenderWindowSDL::makeCurrent() { SDL_GL_MakeCurrent(m_native->window, m_native->context); }

void RenderWindowSDL::makeCurrent(RenderMachine*) { makeCurrent(); }

void RenderWindowSDL::processMessages() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        WindowEntry owner{};
        if (findOwner(event, owner))
            translateWindowEvent(event, *owner.input, owner.window->listener());
    }
}

void RenderWindowSDL::setTitle(const char* text) { SDL_SetWindowTitle(m_native->window, text); }

void RenderWindowSDL::showCursor(bool show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

void* RenderWindowSDL::glContext() const { return m_native->context; }

void* RenderWindowSDL::nativeWindow() const { return m_native->window; }

void* glProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

}  // namespace Vexa
