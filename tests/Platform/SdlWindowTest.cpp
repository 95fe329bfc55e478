#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Parser/Exceptions.h"
#include "Platform/SdlWindow.h"

namespace Vexa {
namespace {

// Every listener call as one line of text, in order.
class RecordingListener : public InputListener {
public:
    void key(bool isDown, int keyCode) override { record("key", isDown, keyCode); }
    void mouseMove(unsigned buttons, int x, int y) override { record("move", buttons, x, y); }
    void mouseButton(unsigned buttons, int x, int y) override { record("button", buttons, x, y); }
    void resized(int width, int height) override { record("resized", width, height); }

    std::vector<std::string> calls;

private:
    template <typename... Values>
    void record(const char* name, Values... values) {
        std::string call = name;
        ((call += " " + std::to_string(values)), ...);
        calls.push_back(call);
    }
};

SDL_Event keyEvent(Uint32 type, SDL_Keycode sym, SDL_Scancode scancode, Uint8 repeat = 0) {
    SDL_Event event{};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat;
    event.key.keysym.sym = sym;
    event.key.keysym.scancode = scancode;
    return event;
}

SDL_Event moveEvent(int x, int y) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = x;
    event.motion.y = y;
    return event;
}

SDL_Event buttonEvent(Uint32 type, Uint8 button, int x, int y) {
    SDL_Event event{};
    event.type = type;
    event.button.button = button;
    event.button.x = x;
    event.button.y = y;
    return event;
}

SDL_Event wheelEvent(int dy, int x, int y, Uint32 direction = SDL_MOUSEWHEEL_NORMAL, int dx = 0) {
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.x = dx;
    event.wheel.y = dy;
    event.wheel.preciseX = static_cast<float>(dx);
    event.wheel.preciseY = static_cast<float>(dy);
    event.wheel.direction = direction;
    event.wheel.mouseX = x;
    event.wheel.mouseY = y;
    return event;
}

SDL_Event windowEvent(Uint8 kind, int data1 = 0, int data2 = 0) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = kind;
    event.window.data1 = data1;
    event.window.data2 = data2;
    return event;
}

bool allKeysUp(const WindowInputState& state) {
    for (uint8_t byte : state.keyStates)
        if (byte != 0) return false;
    return true;
}

// Each key press and release reaches the listener as a virtual key code and
// sets and clears that code's state byte. Escape is heard as the same press
// twice; auto-repeat as further presses.
TEST(SdlWindowEvents, KeysReachTheListenerAsVirtualKeyCodesAndHoldTheirStateByte) {
    const struct {
        SDL_Keycode sym;
        SDL_Scancode scancode;
        int code;
        const char* calls;
    } cases[] = {
        {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0x1B, "key 1 1|key 1 1"},
        {SDLK_a, SDL_SCANCODE_A, 'A', "key 1 65|key 0 65"},
        {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, 0x0D, "key 1 13|key 0 13"},
        {SDLK_F12, SDL_SCANCODE_F12, 0x7B, "key 1 123|key 0 123"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(SDL_GetKeyName(c.sym));
        WindowInputState state;
        RecordingListener listener;
        translateWindowEvent(keyEvent(SDL_KEYDOWN, c.sym, c.scancode), state, &listener);
        EXPECT_EQ(state.keyStates[c.code], 1);
        translateWindowEvent(keyEvent(SDL_KEYUP, c.sym, c.scancode), state, &listener);
        EXPECT_TRUE(allKeysUp(state));
        EXPECT_EQ(listener.calls.at(0) + "|" + listener.calls.at(1), c.calls);
    }

    // Without a listener the state still changes.
    WindowInputState state;
    translateWindowEvent(keyEvent(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A), state, nullptr);
    translateWindowEvent(buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 1, 1), state, nullptr);
    EXPECT_EQ(state.keyStates[0x41], 1);
    EXPECT_EQ(state.mouseButtons, 4u);
}

TEST(SdlWindowEvents, KeysWithoutVirtualCodeReachTheListenerAbove255AndTouchNoState) {
    WindowInputState state;
    RecordingListener listener;
    for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP})
        translateWindowEvent(keyEvent(type, SDLK_KP_EQUALS, SDL_SCANCODE_KP_EQUALS), state,
                             &listener);
    ASSERT_EQ(listener.calls.size(), 2u);
    const int code = std::stoi(listener.calls[0].substr(std::strlen("key 1 ")));
    EXPECT_GE(code, 256);
    EXPECT_EQ(listener.calls[1], "key 0 " + std::to_string(code));
    EXPECT_TRUE(allKeysUp(state));
}

// Each step's event and the one listener call it should make ("" for none).
TEST(SdlWindowEvents, ButtonsWheelResizesAndRepeatsReachTheListener) {
    const struct {
        SDL_Event event;
        const char* call;
    } steps[] = {
        {buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20), "button 1 10 20"},
        {buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 11, 20), "button 3 11 20"},
        {moveEvent(-5, 30), "move 3 -5 30"},
        {wheelEvent(-1, 12, 13), "button 19 12 13"},
        {moveEvent(6, 7), "move 3 6 7"},
        {wheelEvent(2, 6, 7), "button 11 6 7"},
        {wheelEvent(0, 6, 7), "button 19 6 7"},
        {wheelEvent(-1, 6, 7, SDL_MOUSEWHEEL_FLIPPED), "button 11 6 7"},
        {wheelEvent(0, 6, 7, SDL_MOUSEWHEEL_NORMAL, 1), ""},
        {buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 6, 7), ""},
        {buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 6, 7), "button 7 6 7"},
        {buttonEvent(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 6, 7), "button 6 6 7"},
        {buttonEvent(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 6, 7), "button 4 6 7"},
        {moveEvent(8, 9), "move 4 8 9"},
        {SDL_Event{SDL_QUIT}, ""},
        {windowEvent(SDL_WINDOWEVENT_CLOSE), ""},
        {windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 800, 600), "resized 800 600"},
        {keyEvent(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A), "key 1 65"},
        {keyEvent(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A, 1), "key 1 65"},  // auto-repeat
    };
    WindowInputState state;
    RecordingListener listener;
    for (size_t i = 0; i < sizeof(steps) / sizeof(steps[0]); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        listener.calls.clear();
        translateWindowEvent(steps[i].event, state, &listener);
        if (*steps[i].call)
            EXPECT_EQ(listener.calls, std::vector<std::string>{steps[i].call});
        else
            EXPECT_TRUE(listener.calls.empty());
    }
    EXPECT_EQ(state.mouseButtons, 4u);
}

WindowParameters smallWindow() {
    WindowParameters parameters;
    parameters.width = 64;
    parameters.height = 48;
    return parameters;
}

// Real windows on the offscreen driver: both draw through the first one's
// context, and events reach the window they name while quit requests leave
// the windows open.
TEST(SdlWindowDisplay, WindowsShareOneContextAndHearTheirOwnEvents) {
    RenderWindowSDL first(smallWindow());
    RenderWindowSDL second(smallWindow(), first.glContext());
    EXPECT_EQ(first.getWidth(), 64);
    EXPECT_EQ(first.getHeight(), 48);
    ASSERT_NE(first.glContext(), nullptr);
    EXPECT_EQ(second.glContext(), first.glContext());
    for (RenderWindowSDL* window : {&first, &second}) {
        window->makeCurrent();
        GLint stencilBits = 0, depthBits = 0;
        glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
        glGetIntegerv(GL_DEPTH_BITS, &depthBits);
        EXPECT_GE(stencilBits, 8);
        EXPECT_GE(depthBits, 24);
        glClear(GL_COLOR_BUFFER_BIT);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        window->present();
    }

    RecordingListener firstListener, secondListener;
    first.setListener(&firstListener);
    second.setListener(&secondListener);
    SDL_Event quit{SDL_QUIT};
    SDL_Event key = keyEvent(SDL_KEYDOWN, SDLK_b, SDL_SCANCODE_B);
    key.key.windowID = SDL_GetWindowID(static_cast<SDL_Window*>(second.nativeWindow()));
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    ASSERT_EQ(SDL_PushEvent(&key), 1);
    first.processMessages();
    EXPECT_TRUE(firstListener.calls.empty());
    EXPECT_EQ(secondListener.calls, std::vector<std::string>{"key 1 66"});
    EXPECT_EQ(second.keyStates()[0x42], 1);
}

// With a video driver that cannot start, the window still opens offscreen;
// checked in a fresh process, as video started earlier would hide it.
TEST(SdlWindowDisplay, FallsBackToTheOffscreenDriverWhenNoDisplayCanBeReached) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            if (SDL_WasInit(SDL_INIT_VIDEO) != 0) std::_Exit(2);
            setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
            RenderWindowSDL window(smallWindow());
            std::_Exit(std::strcmp(SDL_GetCurrentVideoDriver(), "offscreen") == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace Vexa
