// What the render machine costs over plain OpenGL: one frame of 10,000
// small textured quads with render-state changes between them, drawn once
// through the OpenGL machine and once with direct OpenGL calls on the same
// window and context.
//
// Both sides draw the same picture with the same OpenGL work: the quads'
// vertices (position and one texture coordinate) sit in one buffer object,
// each quad has its own six 16-bit indices in client memory (the machine's
// index streams, whose data the plain side reads too), the texture alternates
// between two 16x16 textures, blending is switched on and off and the depth
// comparison cycles through three functions. The plain side sets the arrays
// once per frame and otherwise issues only glBindTexture, glEnable/glDisable,
// glDepthFunc and glDrawElements; the difference is the machine's own work
// (virtual calls, conversions, error checks, rebinding the arrays and the
// fragment stage at every draw). Every frame ends with glFinish, so the
// rasterizer's work is in both figures.
//
// The two sides' frames alternate so that load from other processes on a
// shared machine falls on both alike; the figures are the median and the
// best frame of each side. Target: machine / plain <= 1.25.
//
// usage: render_overhead_bench [FRAMES] [QUADS]
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "CheckerTexture.h"
#include "Parser/Exceptions.h"
#include "Rendering/Common/RenderMachine.h"
#include "Rendering/OpenGL/ExtensionsGL.h"
#include "Rendering/OpenGL/TextureGL.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kStride = 5 * sizeof(float);

struct Scene {
    std::unique_ptr<Vexa::RenderMachine> machine;
    std::unique_ptr<Vexa::Window> window;
    std::unique_ptr<Vexa::Texture> textures[2];
    GLuint textureNames[2] = {};
    std::unique_ptr<Vexa::VertexDeclaration> declaration;
    std::unique_ptr<Vexa::VertexStream> vertices;
    GLuint vertexBuffer = 0;
    std::vector<std::unique_ptr<Vexa::IndexStream>> indices;
    std::vector<const GLushort*> indexData;
    int quads = 0;

    ~Scene() {
        // Resources before the machine, the machine before its window.
        indices.clear();
        vertices.reset();
        declaration.reset();
        for (auto& texture : textures) texture.reset();
        machine.reset();
        window.reset();
    }
};

// Per-quad state: texture every quad, blending every second pair, depth
// function in a cycle of three, so the changes do not line up.
int textureOf(int quad) { return quad & 1; }
bool blendOf(int quad) { return (quad >> 1) & 1; }
int depthFuncOf(int quad) {
    static const int kFuncs[3] = {Vexa::LESSEQUAL, Vexa::LESS, Vexa::ALWAYS};
    return kFuncs[quad % 3];
}
GLenum depthFuncGL(int quad) {
    static const GLenum kFuncs[3] = {GL_LEQUAL, GL_LESS, GL_ALWAYS};
    return kFuncs[quad % 3];
}

void fillTexture(Vexa::Texture& texture, int seed) {
    fillCheckerTexture(texture, seed, seed ? 160 : 220);
}

void build(Scene& scene, int quads) {
    using namespace Vexa;
    scene.quads = quads;
    scene.machine = RenderMachineCreator("gl");
    WindowParameters parameters;
    parameters.width = kWidth;
    parameters.height = kHeight;
    scene.window.reset(scene.machine->createWindow(parameters));
    Viewport viewport;
    viewport.target = scene.window.get();
    RenderMachine& machine = *scene.machine;
    machine.setViewport(viewport);

    for (int i = 0; i < 2; ++i) {
        scene.textures[i].reset(
            machine.createTexture(kTextureSize, kTextureSize, FORMAT_ARGB8, 1, false));
        fillTexture(*scene.textures[i], i);
        scene.textureNames[i] = dynamic_cast<BaseTextureGL&>(*scene.textures[i]).name();
    }

    scene.declaration.reset(machine.createVertexDeclaration());
    scene.declaration->append(VertexElement::POSITION, 2, 0);
    scene.declaration->append(VertexElement::TEXCOORD, 1, 0);

    // A grid of quads over the whole window, each filling 80% of its cell,
    // at depths that vary so every depth function passes some and fails some.
    const int columns = 100;
    const int rows = (quads + columns - 1) / columns;
    const float cellWidth = 2.0f / columns, cellHeight = 2.0f / float(rows);
    scene.vertices.reset(machine.createVertexStream(quads * 4, kStride, 0));
    float* vertex = static_cast<float*>(scene.vertices->lock(0u));
    for (int quad = 0; quad < quads; ++quad) {
        const float x0 = -1.0f + float(quad % columns) * cellWidth;
        const float y0 = -1.0f + float(quad / columns) * cellHeight;
        const float x1 = x0 + 0.8f * cellWidth, y1 = y0 + 0.8f * cellHeight;
        const float z = float((quad * 7) % 11) / 11.0f - 0.5f;
        const float corners[4][4] = {
            {x0, y0, 0, 1}, {x1, y0, 1, 1}, {x1, y1, 1, 0}, {x0, y1, 0, 0}};
        for (const auto& c : corners) {
            const float values[5] = {c[0], c[1], z, c[2], c[3]};
            for (float value : values) *vertex++ = value;
        }
    }
    scene.vertices->unlock();
    GLint bound = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &bound);
    scene.vertexBuffer = GLuint(bound);  // lock/unlock leave the stream's buffer bound

    for (int quad = 0; quad < quads; ++quad) {
        std::unique_ptr<IndexStream> stream(machine.createIndexStream(6, 0));
        auto* index = static_cast<GLushort*>(stream->lock(0u));
        const GLushort first = GLushort(quad * 4);
        const GLushort order[6] = {0, 1, 2, 0, 2, 3};
        for (int i = 0; i < 6; ++i) index[i] = GLushort(first + order[i]);
        stream->unlock();
        scene.indexData.push_back(index);
        scene.indices.push_back(std::move(stream));
    }

    machine.setCulling(false);
    machine.setDepthTest(true);
    machine.setDepthWrite(true);
    machine.setBlendFunc(SRCALPHA, INVSRCALPHA);
}

const Vexa::Color kClearColor{0.1f, 0.1f, 0.2f, 1.0f};

// One frame: wall time until the last draw call returns and until glFinish
// returns, and the processor time all threads of the process spent on it
// (the rasterizer's threads included). The processor time hardly changes
// when other processes compete for the cores; wall time does.
struct FrameTime {
    double submit = 0;
    double total = 0;
    double cpu = 0;
};

double since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double processMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) * 1e-6;
}

FrameTime machineFrame(Scene& scene) {
    const Clock::time_point start = Clock::now();
    const double cpuStart = processMilliseconds();
    using namespace Vexa;
    RenderMachine& machine = *scene.machine;
    machine.clear(CLEAR_COLOR | CLEAR_DEPTH, &kClearColor, 1.0f, 0);
    machine.setVertexDeclaration(scene.declaration.get());
    machine.setVertexStream(scene.vertices.get(), 0);
    for (int quad = 0; quad < scene.quads; ++quad) {
        machine.setTexture(0, scene.textures[textureOf(quad)].get());
        machine.setBlend(blendOf(quad));
        machine.setDepthFunc(depthFuncOf(quad));
        machine.setIndexStream(scene.indices[size_t(quad)].get());
        machine.drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 4, 0, 2);
    }
    FrameTime time;
    time.submit = since(start);
    glFinish();
    time.total = since(start);
    time.cpu = processMilliseconds() - cpuStart;
    // Leave the stage empty, so that the plain frame's own binding is not
    // mistaken for the machine's.
    machine.setTexture(0, nullptr);
    return time;
}

FrameTime plainFrame(Scene& scene) {
    const Clock::time_point start = Clock::now();
    const double cpuStart = processMilliseconds();
    glClearColor(kClearColor.r, kClearColor.g, kClearColor.b, kClearColor.a);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const Vexa::ExtensionsGL& ext = Vexa::gl();
    ext.glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    ext.glBindBufferARB(GL_ARRAY_BUFFER_ARB, scene.vertexBuffer);
    glVertexPointer(3, GL_FLOAT, kStride, nullptr);
    glEnableClientState(GL_VERTEX_ARRAY);
    ext.glClientActiveTextureARB(GL_TEXTURE0_ARB);
    glTexCoordPointer(2, GL_FLOAT, kStride, reinterpret_cast<const void*>(3 * sizeof(float)));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    for (int quad = 0; quad < scene.quads; ++quad) {
        glBindTexture(GL_TEXTURE_2D, scene.textureNames[textureOf(quad)]);
        if (blendOf(quad))
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        glDepthFunc(depthFuncGL(quad));
        glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, scene.indexData[size_t(quad)]);
    }
    FrameTime time;
    time.submit = since(start);
    glFinish();
    time.total = since(start);
    time.cpu = processMilliseconds() - cpuStart;
    glDisable(GL_TEXTURE_2D);
    return time;
}

std::vector<uint8_t> picture(Scene& scene) {
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    scene.machine->readPixels(pixels.data(), 0, 0, kWidth, kHeight);
    return pixels;
}

struct Summary {
    double total, bestTotal, submit, bestSubmit, cpu, bestCpu;
};

Summary summarize(const std::vector<FrameTime>& times) {
    std::vector<double> totals, submits, cpus;
    for (const FrameTime& time : times) {
        totals.push_back(time.total);
        submits.push_back(time.submit);
        cpus.push_back(time.cpu);
    }
    std::sort(totals.begin(), totals.end());
    std::sort(submits.begin(), submits.end());
    std::sort(cpus.begin(), cpus.end());
    const auto median = [](const std::vector<double>& sorted) {
        const size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : 0.5 * (sorted[n / 2 - 1] + sorted[n / 2]);
    };
    return {median(totals),  totals.front(), median(submits),
            submits.front(), median(cpus),   cpus.front()};
}

int argument(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::max(1, std::atoi(argv[index])) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const int pairs = argument(argc, argv, 1, 40);
    const int quads = std::min(argument(argc, argv, 2, 10000), 16384);  // 16-bit indices
    setenv("SDL_VIDEODRIVER", "offscreen", 0);

    try {
        Scene scene;
        build(scene, quads);

        // One frame each, untimed: warms the caches and checks that both
        // sides draw the same picture, so the comparison is a fair one.
        machineFrame(scene);
        const std::vector<uint8_t> viaMachine = picture(scene);
        plainFrame(scene);
        const std::vector<uint8_t> viaPlain = picture(scene);
        size_t differing = 0;
        for (size_t i = 0; i < viaMachine.size(); i += 4)
            if (std::memcmp(&viaMachine[i], &viaPlain[i], 4) != 0) ++differing;
        if (differing) {
            std::fprintf(stderr, "render_overhead: the pictures differ in %zu pixels\n", differing);
            return 1;
        }

        // Frames alternate one by one, the side going first swapping every
        // pair (machine, plain, plain, machine, ...).
        std::vector<FrameTime> machineTimes, plainTimes;
        for (int pair = 0; pair < pairs; ++pair) {
            if (pair % 2 == 0) {
                machineTimes.push_back(machineFrame(scene));
                plainTimes.push_back(plainFrame(scene));
            } else {
                plainTimes.push_back(plainFrame(scene));
                machineTimes.push_back(machineFrame(scene));
            }
        }
        const Summary machine = summarize(machineTimes);
        const Summary plain = summarize(plainTimes);
        std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
        std::printf("%d quads per frame, %d frames each side; ms per frame, median (best)\n", quads,
                    pairs);
        std::printf(
            "         wall, whole frame    wall, until last draw  processor, all threads\n");
        const auto row = [](const char* name, const Summary& s) {
            std::printf("%-8s %8.3f (%8.3f)   %8.3f (%8.3f)    %8.3f (%8.3f)\n", name, s.total,
                        s.bestTotal, s.submit, s.bestSubmit, s.cpu, s.bestCpu);
        };
        row("machine", machine);
        row("plain", plain);
        std::printf("machine/plain %8.3f (%8.3f)   %8.3f (%8.3f)    %8.3f (%8.3f)\n",
                    machine.total / plain.total, machine.bestTotal / plain.bestTotal,
                    machine.submit / plain.submit, machine.bestSubmit / plain.bestSubmit,
                    machine.cpu / plain.cpu, machine.bestCpu / plain.bestCpu);
        // Wall-time medians swing with the load of a shared machine; the
        // best frames and the processor time do not, so they decide.
        const double ratio = std::max(machine.bestTotal / plain.bestTotal, machine.cpu / plain.cpu);
        std::printf(
            "ratio machine/plain: %.3f (worse of best wall frame and median processor time; "
            "target <= 1.25) %s\n",
            ratio, ratio <= 1.25 ? "ok" : "MISSED");
    } catch (const Exception& e) {
        std::fprintf(stderr, "render_overhead: %s\n", e.message().c_str());
        return 1;
    }
    return 0;
}
