#pragma once
// The one on-screen window and the listener that receives its input.
namespace Vexa {

class InputListener {
public:
    virtual ~InputListener() = default;
    virtual void key(bool isDown, int keyCode) = 0;
    virtual void mouseMove(unsigned buttons, int x, int y) = 0;
    virtual void mouseButton(unsigned buttons, int x, int y) = 0;
    virtual void resized(int width, int height) = 0;
};

class RenderWindow {
public:
    virtual ~RenderWindow() = default;
    virtual int getWidth() const = 0;
    virtual int getHeight() const = 0;
    virtual void present() = 0;
    virtual void makeCurrent() = 0;
    // Dispatches every waiting message; input reaches the listener here.
    virtual void processMessages() = 0;
    virtual void setTitle(const char* text) = 0;
    virtual void showCursor(bool show) = 0;
    virtual void unused(int) {}

    void setListener(InputListener* listener) { m_listener = listener; }
    InputListener* listener() const { return m_listener; }

private:
    InputListener* m_listener = nullptr;
};

}  // namespace Vexa
