// What a script-driven 3D scene costs over the same picture drawn with plain
// OpenGL calls in the same process: 1,000 small indexed quads, each turned by
// its own envelope-driven rotation and placed by its own translation, each
// drawn under a material of two texture stages and a blend (applied before
// the quad and restored after it).
//
// The engine side is a production parsed from generated script text and
// played by its event list, one Update command per frame, exactly as the
// player does: every envelope and every rotation is updated, then per object
// SetTransform (the place), MultTransform (the turn),
// material Draw, quad Draw, material Disable.
// The plain side computes the same angles and matrices itself and issues
// glLoadMatrixf, glBindTexture, glEnable/glDisable and glDrawElements. Both
// end each frame with glFinish, so the rasterizer's work is in both figures.
//
// The two sides' frames alternate so that load from other processes falls
// on both alike; the figures are the median and the best frame of each side.
// Target: engine / plain <= 1.25 in processor time.
//
// usage: scene_overhead_bench [FRAMES]
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "CheckerTexture.h"
#include "Parser/Exceptions.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/IniCommands.h"
#include "Parser/IniObject.h"
#include "Parser/Parser.h"
#include "Rendering/Common/RenderMachine.h"
#include "Rendering/OpenGL/ExtensionsGL.h"
#include "Rendering/OpenGL/TextureGL.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kColumns = 40;
constexpr int kRows = 25;
constexpr int kObjects = kColumns * kRows;
constexpr float kHalfSize = 0.016f;  // of a quad, in clip space
constexpr float kPeriod = 10.0f;     // seconds per envelope cycle

// Each object's angle: a start and a turn per cycle, both from its index.
float phaseOf(int i) { return float(i % 7) * 0.9f; }
float turnOf(int i) { return float(i % 5 - 2) * 3.1415927f + 1.0f; }
float angleAt(int i, float time) {
    const float cycles = time / kPeriod;
    const float whole = std::floor(cycles);
    return phaseOf(i) + turnOf(i) * whole + turnOf(i) * (cycles - whole);
}
// Each object's place, in units of the quad's half size.
float xOf(int i) { return (-1.0f + (float(i % kColumns) + 0.5f) * 2.0f / kColumns) / kHalfSize; }
float yOf(int i) { return (-1.0f + (float(i / kColumns) + 0.5f) * 2.0f / kRows) / kHalfSize; }

std::string script() {
    std::string s =
        "graphicsSystem = GraphicsSystem { type = \"gl\" width = 640 height = 480 }\n"
        "tex0 = Texture2D { targetable = 1 width = 16 height = 16 }\n"
        "tex1 = Texture2D { targetable = 1 width = 16 height = 16 }\n"
        "m = Material { attributes = ( 0 TextureStage { texture = tex0 stage = 0 }\n"
        "    1 TextureStage { texture = tex1 stage = 1 }\n"
        "    2 Blend { src = \"SRCALPHA\" dest = \"INVSRCALPHA\" } ) }\n"
        "q = SimpleBlit { }\n"
        "clear = ClearScreen { color = < 0.1 0.1 0.2 1 > }\n"
        "flat = Translation < 0 0 0 >\n";
    char line[256];
    std::snprintf(line, sizeof line, "lens = Scale < %.9g %.9g 1 >\n", kHalfSize,
                  kHalfSize * kWidth / kHeight);
    s += line;
    for (int i = 0; i < kObjects; ++i) {
        std::snprintf(line, sizeof line,
                      "a%d = Envelope { type = \"LINEAR\" key = ( 0 %.9g  %.9g %.9g ) "
                      "post = \"CYCLE_RELATIVE\" }\n"
                      "r%d = Rotation { angle = a%d axis = < 0 0 1 > }\n"
                      "p%d = Translation < %.9g %.9g 0 >\n",
                      i, phaseOf(i), kPeriod, phaseOf(i) + turnOf(i), i, i, i, xOf(i), yOf(i));
        s += line;
    }
    s += "events = EventList ( 0 tex0 Load ()  0 tex1 Load ()\n";
    for (int i = 0; i < kObjects; ++i) s += "( 0 1000 0 ) a" + std::to_string(i) + " Update ()\n";
    for (int i = 0; i < kObjects; ++i) s += "( 0 1000 1 ) r" + std::to_string(i) + " Update ()\n";
    s += "( 0 1000 2 ) graphicsSystem clear  ( 0 1000 2 ) graphicsSystem DepthTest ( 0 0 )\n"
         "( 0 1000 2 ) graphicsSystem SetCulling { enable = 0 }\n"
         "( 0 1000 2 ) lens SetProjection ()  ( 0 1000 2 ) flat SetView ()\n";
    for (int i = 0; i < kObjects; ++i) {
        const std::string n = std::to_string(i);
        s += "( 0 1000 3 ) p" + n + " SetTransform ()  ( 0 1000 3 ) r" + n +
             " MultTransform ()  ( 0 1000 3 ) m Draw ()  ( 0 1000 3 ) q Draw ()"
             "  ( 0 1000 3 ) m Disable ()\n";
    }
    return s + ")\n";
}

void fillTexture(Vexa::Texture& texture, int seed) {
    fillCheckerTexture(texture, seed, seed ? 250 : 160);
}

struct Plain {
    GLuint textures[2] = {};
    GLuint vertexBuffer = 0;
    std::vector<float> angles;
};

const float kQuad[4][5] = {{-1, -1, 0, 0, 1}, {1, -1, 0, 1, 1}, {1, 1, 0, 1, 0}, {-1, 1, 0, 0, 0}};
const GLushort kIndices[6] = {0, 1, 2, 0, 2, 3};

void plainSetup(Plain& plain, Vexa::IniObject* tex0, Vexa::IniObject* tex1) {
    for (int i = 0; i < 2; ++i) {
        auto* texture = static_cast<Vexa::TextureObject*>(i ? tex1 : tex0);
        plain.textures[i] = dynamic_cast<Vexa::BaseTextureGL&>(*texture->getTexture()).name();
    }
    const Vexa::ExtensionsGL& ext = Vexa::gl();
    ext.glGenBuffersARB(1, &plain.vertexBuffer);
    ext.glBindBufferARB(GL_ARRAY_BUFFER_ARB, plain.vertexBuffer);
    ext.glBufferDataARB(GL_ARRAY_BUFFER_ARB, sizeof kQuad, kQuad, GL_STATIC_DRAW_ARB);
    ext.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    plain.angles.resize(kObjects);
}

// The rotation about z, then the translation, for row vectors; the same
// numbers are the column-major matrix OpenGL loads.
void plainFrame(Plain& plain, float time) {
    const Vexa::ExtensionsGL& ext = Vexa::gl();
    for (int i = 0; i < kObjects; ++i) plain.angles[size_t(i)] = angleAt(i, time);
    glClearColor(0.1f, 0.1f, 0.2f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    const float sx = kHalfSize, sy = kHalfSize * kWidth / kHeight;
    const float lens[16] = {sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(lens);
    glMatrixMode(GL_MODELVIEW);
    ext.glBindBufferARB(GL_ARRAY_BUFFER_ARB, plain.vertexBuffer);
    glVertexPointer(3, GL_FLOAT, 5 * sizeof(float), nullptr);
    glEnableClientState(GL_VERTEX_ARRAY);
    ext.glClientActiveTextureARB(GL_TEXTURE0_ARB);
    glTexCoordPointer(2, GL_FLOAT, 5 * sizeof(float), reinterpret_cast<const void*>(12));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    for (int i = 0; i < kObjects; ++i) {
        const float c = std::cos(plain.angles[size_t(i)]), s = std::sin(plain.angles[size_t(i)]);
        const float world[16] = {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, xOf(i), yOf(i), 0, 1};
        glLoadMatrixf(world);
        for (int stage = 0; stage < 2; ++stage) {
            ext.glActiveTextureARB(GL_TEXTURE0_ARB + GLenum(stage));
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, plain.textures[stage]);
        }
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, kIndices);
        for (int stage = 1; stage >= 0; --stage) {
            ext.glActiveTextureARB(GL_TEXTURE0_ARB + GLenum(stage));
            glDisable(GL_TEXTURE_2D);
        }
        glDisable(GL_BLEND);
    }
    ext.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}

double processMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) * 1e-6;
}

std::vector<uint8_t> picture(Vexa::RenderMachine* machine) {
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    machine->readPixels(pixels.data(), 0, 0, kWidth, kHeight);
    return pixels;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

}  // namespace

int main(int argc, char** argv) {
    const int pairs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    int status = 0;
    try {
        auto parser = std::make_unique<Vexa::Parser>();
        parser->parseString(script());
        Vexa::IniObject* events = parser->lookup("events");
        auto* graphics = static_cast<Vexa::GraphicsSystemObject*>(parser->lookup("graphicsSystem"));
        Vexa::RenderMachine* machine = graphics->renderMachine();
        const auto engineFrame = [&](float time) {
            Vexa::SimpleCommand update(time, Vexa::CommandKinds::Update());
            events->execute(update);
        };
        engineFrame(0.0f);  // loads the textures
        Vexa::IniObject* tex0 = parser->lookup("tex0");
        Vexa::IniObject* tex1 = parser->lookup("tex1");
        for (int i = 0; i < 2; ++i)
            fillTexture(*static_cast<Vexa::TextureObject*>(i ? tex1 : tex0)->getTexture(), i);
        Plain plain;
        plainSetup(plain, tex0, tex1);

        // One frame each, untimed: warms the caches and checks that both
        // sides draw the same picture, so the comparison is a fair one.
        const float checkTime = 3.7f;
        engineFrame(checkTime);
        glFinish();
        const std::vector<uint8_t> viaEngine = picture(machine);
        plainFrame(plain, checkTime);
        glFinish();
        const std::vector<uint8_t> viaPlain = picture(machine);
        size_t differing = 0;
        for (size_t i = 0; i < viaEngine.size(); i += 4)
            for (int c = 0; c < 4; ++c)
                if (std::abs(int(viaEngine[i + c]) - int(viaPlain[i + c])) > 2) {
                    ++differing;
                    break;
                }
        if (differing > viaEngine.size() / 4 / 1000) {
            std::fprintf(stderr, "scene_overhead: the pictures differ in %zu pixels\n", differing);
            status = 1;
        } else {
            std::vector<double> engineTimes, plainTimes;
            float time = 1.0f;
            const auto timed = [&](bool engine) {
                const double start = processMilliseconds();
                if (engine)
                    engineFrame(time);
                else
                    plainFrame(plain, time);
                glFinish();
                (engine ? engineTimes : plainTimes).push_back(processMilliseconds() - start);
            };
            for (int pair = 0; pair < pairs; ++pair, time += 0.04f) {
                timed(pair % 2 == 0);
                timed(pair % 2 != 0);
            }
            const double e = median(engineTimes), p = median(plainTimes);
            std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
            std::printf(
                "%d objects, %d frames each side; processor ms per frame, all threads, "
                "median (best)\n",
                kObjects, pairs);
            std::printf("engine %8.3f (%8.3f)\nplain  %8.3f (%8.3f)\n", e,
                        *std::min_element(engineTimes.begin(), engineTimes.end()), p,
                        *std::min_element(plainTimes.begin(), plainTimes.end()));
            std::printf("ratio engine/plain: %.3f (target <= 1.25) %s\n", e / p,
                        e / p <= 1.25 ? "ok" : "MISSED");
        }
        const Vexa::ExtensionsGL& ext = Vexa::gl();
        ext.glDeleteBuffersARB(1, &plain.vertexBuffer);
    } catch (const Exception& e) {
        std::fprintf(stderr, "scene_overhead: %s\n", e.message().c_str());
        return 1;
    }
    return status;
}
