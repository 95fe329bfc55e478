#pragma once
// A real OpenGL machine on a small window, shared by the texture, loader and
// combiner tests, with a full-window quad drawn through the machine's own
// streams so that combiner programs are applied as in a frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "Rendering/OpenGL/RenderMachineGL.h"
#include "Support/TestKit.h"

namespace Vexa {

class MachineGLTest : public ::testing::Test {
public:
    static constexpr int kSize = 32;

    static void SetUpTestSuite() {
        s_machine = std::make_unique<RenderMachineGL>();
        WindowParameters parameters;
        parameters.width = kSize;
        parameters.height = kSize;
        s_window.reset(s_machine->createWindow(parameters));
        Viewport viewport;
        viewport.target = s_window.get();
        s_machine->setViewport(viewport);
    }
    static RenderMachineGL& machine() { return *s_machine; }
    static Window& window() { return *s_window; }

    static void TearDownTestSuite() {
        s_machine.reset();
        s_window.reset();
    }

protected:
    void SetUp() override {
        machine().setDefaultState();
        machine().setCulling(false);
        machine().setDepthTest(false);
        const Color black{0, 0, 0, 0};
        machine().clear(CLEAR_COLOR, &black, 1, 0);
    }
    void TearDown() override { machine().setDefaultState(); }

    // A rectangle in clip space at depth z, counter-clockwise on screen
    // unless `clockwise`: a fan of two triangles, or two listed triangles when
    // `indices` are given. u runs left to right, v from the top (v = 0) to
    // the bottom (v = 1); `color` is the diffuse colour.
    void drawRect(float x0, float y0, float x1, float y1, const Color& color, float z = 0,
                  bool clockwise = false, IndexStream* indices = nullptr) {
        std::unique_ptr<VertexDeclaration> declaration(machine().createVertexDeclaration());
        declaration->append(VertexElement::POSITION, 2, 0);
        declaration->append(VertexElement::COLOR, 3, 0);
        declaration->append(VertexElement::TEXCOORD, 1, 0);
        float corners[4][4] = {{x0, y0, 0, 1}, {x1, y0, 1, 1}, {x1, y1, 1, 0}, {x0, y1, 0, 0}};
        if (clockwise) std::swap(corners[1], corners[3]);
        std::unique_ptr<VertexStream> stream(
            machine().createVertexStream(4, declaration->stride(), 0));
        float* vertex = static_cast<float*>(stream->lock(0u));
        for (const auto& corner : corners) {
            const float values[9] = {corner[0], corner[1], z,         color.r,  color.g,
                                     color.b,   color.a,   corner[2], corner[3]};
            for (float value : values) *vertex++ = value;
        }
        stream->unlock();
        machine().setVertexDeclaration(declaration.get());
        machine().setVertexStream(stream.get(), 0);
        machine().setIndexStream(indices);
        if (indices)
            machine().drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 4, 0, 2);
        else
            machine().drawPrimitive(TRIANGLE_FAN, 0, 2);
        machine().setIndexStream(nullptr);
        machine().setVertexDeclaration(nullptr);
        machine().setVertexStream(nullptr, 0);
    }
    // A quad over the whole window.
    void drawQuad(const Color& color = Color{1, 1, 1, 1}, float z = 0) {
        drawRect(-1, -1, 1, 1, color, z);
    }

    // RGBA of the window pixel at column x, row y counted from the top.
    static std::array<int, 4> pixel(int x, int y) {
        uint8_t rgba[4] = {};
        machine().readPixels(rgba, x, kSize - 1 - y, 1, 1);
        return {rgba[0], rgba[1], rgba[2], rgba[3]};
    }

private:
    static inline std::unique_ptr<RenderMachineGL> s_machine;
    static inline std::unique_ptr<Window> s_window;
};

inline std::string describe(const std::array<int, 4>& c) {
    return "(" + std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]) +
           " " + std::to_string(c[3]) + ")";
}

// Whether each channel is within `tolerance` of the expected one.
inline bool near(const std::array<int, 4>& actual, const std::array<int, 4>& expected,
                 int tolerance = 2) {
    for (int i = 0; i < 4; ++i)
        if (actual[i] - expected[i] > tolerance || expected[i] - actual[i] > tolerance)
            return false;
    return true;
}

using Testing::messageOf;

}  // namespace Vexa
