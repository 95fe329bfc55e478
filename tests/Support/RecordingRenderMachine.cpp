#include "Support/RecordingRenderMachine.h"

#include <cstdio>
#include <initializer_list>
#include <map>
#include <type_traits>

#include "Parser/Exceptions.h"

namespace Vexa {

static const char* const kUnit = "Support/RecordingRenderMachine";

namespace {

// An enumerated value, written by its name in `table`.
struct Named {
    const EnumEntry* table;
    long long value;
};
// An array of `count` values.
template <typename T>
struct List {
    const T* values;
    int count;
};

std::string text(bool value) { return value ? "1" : "0"; }
std::string text(int value) { return std::to_string(value); }
std::string text(unsigned value) { return std::to_string(value); }
std::string text(const char* value) { return value ? value : "null"; }
std::string text(const std::string& value) { return value; }

std::string text(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(value));
    return buffer;
}

std::string text(const Named& named) {
    for (const EnumEntry* entry = named.table; entry->name; ++entry)
        if (entry->value == named.value) return entry->name;
    return std::to_string(named.value);
}

template <typename T>
std::string text(const List<T>& list) {
    if (list.values == nullptr) return "null";
    std::string out = "[";
    for (int i = 0; i < list.count; ++i) out += (i ? " " : "") + text(list.values[i]);
    return out + "]";
}

std::string text(const Matrix& matrix) { return text(List<float>{matrix.m, 16}); }

std::string text(const Color& color);
// Any other pointer: a colour, a plane, or a resource by its name.
template <typename T>
std::string text(const T* pointer);

template <typename... Args>
std::string joined(const char* separator, const Args&... args) {
    std::string out;
    [[maybe_unused]] int i = 0;
    ((out += std::string(i++ ? separator : "") + text(args)), ...);
    return out;
}

std::string text(const Color& c) { return "(" + joined(" ", c.r, c.g, c.b, c.a) + ")"; }

// "{a b c}", a record's fields.
template <typename... Args>
std::string record(const Args&... args) {
    return "{" + joined(" ", args...) + "}";
}

template <typename... Args>
std::string call(const std::string& name, const Args&... args) {
    return name + "(" + joined(", ", args...) + ")";
}

// The lines and the per-prefix counters, shared by the machine and every
// resource it made so that a resource may outlive the machine.
struct Log {
    std::vector<std::string> lines;
    std::map<std::string, int> counters;
    std::string newName(const std::string& prefix) {
        return prefix + std::to_string(++counters[prefix]);
    }
};

class Resource {
public:
    Resource(std::shared_ptr<Log> log, std::string name)
        : m_log(std::move(log)), m_name(std::move(name)) {}
    virtual ~Resource() { m_log->lines.push_back("delete " + m_name); }
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;
    const std::string& name() const { return m_name; }

protected:
    template <typename... Args>
    void log(const char* operation, const Args&... args) const {
        m_log->lines.push_back(m_name + "." + call(operation, args...));
    }
    const std::shared_ptr<Log>& sharedLog() const { return m_log; }

private:
    std::shared_ptr<Log> m_log;
    std::string m_name;
};

template <typename T>
std::string text(const T* pointer) {
    if (pointer == nullptr) return "null";
    if constexpr (std::is_same_v<T, Color>) {
        return text(*pointer);
    } else if constexpr (std::is_same_v<T, Plane>) {
        return "(" + joined(" ", pointer->a, pointer->b, pointer->c, pointer->d) + ")";
    } else {
        const auto* recorded = dynamic_cast<const Resource*>(pointer);
        return recorded ? recorded->name() : "external";
    }
}

using LogPointer = std::shared_ptr<Log>;

// Storage for what scene code writes through lock: four bytes a texel,
// whatever the format, so any layout fits.
class FakeTexture : public Texture, public Resource {
public:
    FakeTexture(LogPointer log, std::string name, int width, int height, int faces)
        : Resource(std::move(log), std::move(name)),
          m_width(width),
          m_bytes(std::size_t(width) * height * 4 * faces) {}
    void setPriority(float priority) override { log("setPriority", priority); }
    void setMinFilter(int filter) override { log("setMinFilter", filter); }
    void setMagFilter(int filter) override { log("setMagFilter", filter); }
    void setBorderColor(const Color& color) override { log("setBorderColor", color); }
    void setWrapMode(int coordinate, int mode) override {
        log("setWrapMode", coordinate, Named{Enums::textureWrap, mode});
    }
    void bind(RenderMachine*, int stage) override { log("bind", stage); }
    void* lock(int* pitch, unsigned flags) override {
        log("lock", flags);
        return at(0, 0, pitch);
    }
    void* lockRect(int level, int reserved, int x, int y, int* pitch, unsigned flags) override {
        log("lockRect", level, reserved, x, y, flags);
        return at(x, y, pitch);
    }
    void unlock() override { log("unlock"); }
    void update(const void*) override { log("update"); }
    void updateRect(const void*, int x, int y, int width, int height) override {
        log("updateRect", x, y, width, height);
    }
    void* lockFace(int face, int* pitch, unsigned flags) override {
        log("lockFace", face, flags);
        return at(0, 0, pitch) + std::size_t(face) * m_bytes.size() / 6;
    }
    void unlockFace(int face) override { log("unlockFace", face); }
    void updateFace(int face, const void*) override { log("updateFace", face); }

private:
    uint8_t* at(int x, int y, int* pitch) {
        if (pitch) *pitch = m_width * 4;
        return m_bytes.data() + (std::size_t(y) * m_width + x) * 4;
    }
    int m_width;
    std::vector<uint8_t> m_bytes;
};

// A vertex or index stream; the size is the vertex stride or the index size.
template <typename Base>
class FakeStream : public Base, public Resource {
public:
    FakeStream(LogPointer log, std::string name, int count, int size)
        : Resource(std::move(log), std::move(name)),
          m_count(count),
          m_size(size),
          m_bytes(std::size_t(count) * size) {}
    void setPriority(float priority) override { log("setPriority", priority); }
    void* lock(int first, int count, unsigned flags) override {
        log("lock", first, count, flags);
        return m_bytes.data() + std::size_t(first) * m_size;
    }
    void* lock(unsigned flags) override {
        log("lock", flags);
        return m_bytes.data();
    }
    void unlock() override { log("unlock"); }

protected:
    int m_count;
    int m_size;
    std::vector<uint8_t> m_bytes;
};

class FakeVertexStream : public FakeStream<VertexStream> {
public:
    using FakeStream::FakeStream;
    int vertexCount() const override { return m_count; }
    int stride() const override { return m_size; }
};

class FakeIndexStream : public FakeStream<IndexStream> {
public:
    using FakeStream::FakeStream;
    int indexCount() const override { return m_count; }
    int indexSize() const override { return m_size; }
};

// Any plain resource: a declaration, a shader.
template <typename Base>
class FakeResource : public Base, public Resource {
public:
    using Resource::Resource;
};

// A window, a texture target or a render memory of a fixed size.
template <typename Base>
class FakeTarget : public Base, public Resource {
public:
    FakeTarget(LogPointer log, std::string name, int width, int height)
        : Resource(std::move(log), std::move(name)), m_width(width), m_height(height) {}
    int getWidth() const override { return m_width; }
    int getHeight() const override { return m_height; }
    void present() override { log("present"); }
    void makeCurrent(RenderMachine*) override { log("makeCurrent"); }

private:
    int m_width;
    int m_height;
};

class FakeWindow : public FakeTarget<Window> {
public:
    using FakeTarget::FakeTarget;
    void makeCurrent() override { log("makeCurrent"); }
    void processMessages() override { log("processMessages"); }
    void setTitle(const char* title) override { log("setTitle", title); }
    void showCursor(bool show) override { log("showCursor", show); }
};

class FakeRenderMemory : public FakeTarget<RenderMemory> {
public:
    FakeRenderMemory(LogPointer log, std::string name, int width, int height, uint8_t* buffer)
        : FakeTarget(std::move(log), std::move(name), width, height),
          m_own(buffer ? 0 : std::size_t(width) * height * 4),
          m_buffer(buffer ? buffer : m_own.data()) {}
    uint8_t* buffer() override { return m_buffer; }

private:
    std::vector<uint8_t> m_own;
    uint8_t* m_buffer;
};

class FakeImageLoader : public ImageLoader, public Resource {
public:
    using Resource::Resource;
#define LOADER(name, Source, source, count)                       \
    Texture* name(Source, const TextureDescription& d) override { \
        return load(#name, source, d, count);                     \
    }
    // clang-format off
    LOADER(loadTexture, const DataBlock&, "block", 1)
    LOADER(loadTexture, const char* file, file, 1)
    LOADER(loadTextureEx, const DataBlock&, "block", 1)
    LOADER(loadTextureEx, const char* file, file, 1)
    LOADER(loadCubeTexture, const DataBlock* const[6], "blocks", 6)
    LOADER(loadCubeTexture, const char* const files[6], faces(files), 6)
    LOADER(loadCubeTextureEx, const DataBlock* const[6], "blocks", 6)
    LOADER(loadCubeTextureEx, const char* const files[6], faces(files), 6);
    // clang-format on
#undef LOADER

private:
    static std::string faces(const char* const files[6]) {
        return "[" + joined(" ", files[0], files[1], files[2], files[3], files[4], files[5]) + "]";
    }
    Texture* load(const char* operation, const std::string& source, const TextureDescription& d,
                  int faces) {
        const int width = d.forceSize ? d.width : 1;
        const int height = d.forceSize ? d.height : 1;
        std::string name = sharedLog()->newName("tex");
        log(operation, source, record(d.mipLevels, d.forceSize, d.width, d.height));
        sharedLog()->lines.back() += " -> " + name;
        return new FakeTexture(sharedLog(), std::move(name), width, faces == 6 ? width : height,
                               faces);
    }
};

// A snapshot of the depth test switch and the depth function.
class FakeRenderState : public RenderState, public Resource {
public:
    using Resource::Resource;
    std::vector<Entry> entries() const override { return m_entries; }
    std::vector<Entry> m_entries;
};

class Recorder final : public RecordingRenderMachine {
public:
    static constexpr int kTextureUnits = 4;
    static constexpr int kLights = 8;
    static constexpr int kCombinerStages = 8;

    void clearLog() override { m_log->lines.clear(); }
    const ViewportPixels& viewportPixels() const override { return m_viewport; }

    void beginScene() override { log("beginScene"); }
    void endScene() override { log("endScene"); }
    int getMaxLights() override { return kLights; }
    void setVertexConstantMatrix(int first, int selector) override {
        log("setVertexConstantMatrix", first, selector);
        m_matrices.vertexProgramMatrix(selector);
    }
    int getMaxTextureUnits() override { return kTextureUnits; }
    int getMaxCombinerStages() override { return kCombinerStages; }
    void setDepthTest(bool enable) override {
        log("setDepthTest", enable);
        m_depthTest = enable;
    }
    void setDepthFunc(int func) override {
        log("setDepthFunc", compare(func));
        m_depthFunc = func;
    }
    int getWidth() override { return m_viewport.width; }
    int getHeight() override { return m_viewport.height; }
    const Matrix* getMatrix(unsigned kind) override { return &m_matrices.get(kind); }
    void setMatrix(const Matrix* matrix, unsigned kind) override {
        log("setMatrix", *matrix, matrixKind(kind));
        m_matrices.set(kind, *matrix);
    }
    void multMatrix(const Matrix* matrix, unsigned kind) override {
        log("multMatrix", *matrix, matrixKind(kind));
        m_matrices.mult(kind, *matrix);
    }

    std::vector<std::string> takeLog() override {
        std::vector<std::string> lines;
        lines.swap(m_log->lines);
        return lines;
    }
    Window* createWindow(const WindowParameters& p) override {
        const std::string parameters =
            record(p.x, p.y, p.width, p.height, p.bitsPerPixel, p.unusedDepth, p.unusedFlag,
                   p.fullScreen, p.showCursor);
        return new FakeWindow(m_log, made("win", "createWindow", parameters), p.width, p.height);
    }
    TextureTarget* createTextureTarget(int width, int height, unsigned format,
                                       Texture** texture) override {
        std::string name =
            made("target", "createTextureTarget", width, height, textureFormat(format));
        std::string textureName = m_log->newName("tex");
        m_log->lines.back() += " " + textureName;
        *texture = new FakeTexture(m_log, std::move(textureName), width, height, 1);
        return new FakeTarget<TextureTarget>(m_log, std::move(name), width, height);
    }
    RenderMemory* createRenderMemory(int width, int height, uint8_t* buffer) override {
        std::string name =
            made("mem", "createRenderMemory", width, height, buffer ? "buffer" : "null");
        return new FakeRenderMemory(m_log, std::move(name), width, height, buffer);
    }
    void setViewport(const Viewport& v) override {
        log("setViewport", v.target, v.x, v.y, v.width, v.height);
        if (v.target == nullptr)
            VEXA_THROW(RenderMachineException, "setViewport: no render target.");
        m_viewport = mapViewport(v, v.target->getWidth(), v.target->getHeight());
    }
    VertexDeclaration* createVertexDeclaration() override {
        return new FakeResource<VertexDeclaration>(m_log, made("decl", "createVertexDeclaration"));
    }
    VertexStream* createVertexStream(int count, int stride, unsigned usage) override {
        return new FakeVertexStream(m_log, made("vbuf", "createVertexStream", count, stride, usage),
                                    count, stride);
    }
    IndexStream* createIndexStream(int count, int format) override {
        return new FakeIndexStream(m_log, made("ibuf", "createIndexStream", count, format), count,
                                   format == 1 ? 4 : 2);
    }
    void setLight(int light, const LightDesc* d) override {
        if (d == nullptr) return log("setLight", light, "null");
        log("setLight", light,
            record(Named{Enums::lightType, d->type}, d->diffuse, d->specular, d->ambient,
                   List<float>{d->position, 3}, List<float>{d->direction, 3}, d->spotExponent,
                   d->attenuation0, d->attenuation1, d->attenuation2, d->spotCutoff));
    }
    VertexShader* createVertexShader(const char*) override {
        return new FakeResource<VertexShader>(m_log, made("vsh", "createVertexShader"));
    }
    PixelShader* createPixelShader(const char*) override {
        return new FakeResource<PixelShader>(m_log, made("psh", "createPixelShader"));
    }
    Texture* createTexture(int width, int height, unsigned format, int mipLevels,
                           bool targetable) override {
        std::string name = made("tex", "createTexture", width, height, textureFormat(format),
                                mipLevels, targetable);
        return new FakeTexture(m_log, std::move(name), width, height, 1);
    }
    Texture* createCubeTexture(int edge, unsigned format, int mipLevels, int flag) override {
        std::string name =
            made("tex", "createCubeTexture", edge, textureFormat(format), mipLevels, flag);
        return new FakeTexture(m_log, std::move(name), edge, edge, 6);
    }
    void setCombinerStage(int stage, const TextureCombinerStage* d) override {
        if (d == nullptr) return log("setCombinerStage", stage, "null");
        auto source = [](int value) { return Named{Enums::combinerSource, value}; };
        auto operation = [](int value) { return Named{Enums::combinerOperation, value}; };
        log("setCombinerStage", stage,
            record(d->enabled, source(d->colorArg1), source(d->colorArg2), source(d->colorArg3),
                   source(d->alphaArg1), source(d->alphaArg2), source(d->alphaArg3),
                   operation(d->colorOp), operation(d->alphaOp), source(d->result)));
    }
    ImageLoader* createImageLoader() override {
        return new FakeImageLoader(m_log, made("loader", "createImageLoader"));
    }
    RenderState* createState() override {
        auto* state = new FakeRenderState(m_log, made("state", "createState"));
        state->m_entries = stateEntries();
        return state;
    }
    void captureState(RenderState* state) override {
        log("captureState", state);
        if (auto* fake = dynamic_cast<FakeRenderState*>(state)) fake->m_entries = stateEntries();
    }
    std::vector<RenderState::Entry> stateEntries() const {
        return {{"DEPTH_TEST", m_depthTest ? "true" : "false"},
                {"DEPTH_FUNC", text(compare(m_depthFunc))}};
    }

    // Names for values that have no script enumeration, counted from `first`.
    static std::string name(unsigned value, std::initializer_list<const char*> names,
                            unsigned first = 0) {
        const unsigned index = value - first;
        return index < names.size() ? names.begin()[index] : std::to_string(value);
    }
    static std::string primitive(unsigned type) {
        return name(type, {"POINT_LIST", "LINE_LIST", "LINE_STRIP", "TRIANGLE_LIST",
                           "TRIANGLE_STRIP", "TRIANGLE_FAN"});
    }
    static std::string matrixKind(unsigned kind) {
        return name(kind, {"PROJECTION", "VIEW", "WORLD"});
    }
    static std::string textureFormat(unsigned format) {
        return name(format, {"RGB8", "ARGB8", "L8"});
    }
    static std::string stencil(unsigned operation) {
        return name(operation,
                    {"STENCIL_KEEP", "STENCIL_ZERO", "STENCIL_REPLACE", "STENCIL_INCRSAT",
                     "STENCIL_DECRSAT", "STENCIL_INVERT", "STENCIL_INCR", "STENCIL_DECR"},
                    STENCIL_KEEP);
    }

    // The calls that only log their arguments.
#define LOGGED(name, Type) \
    void name(Type value) override { log(#name, value); }
#define LOGGED2(name, A, B) \
    void name(A a, B b) override { log(#name, a, b); }
#define LOGGED3(name, A, B, C) \
    void name(A a, B b, C c) override { log(#name, a, b, c); }
#define LOGGED_WITH(name, parameters, ...) \
    void name parameters override { log(#name, __VA_ARGS__); }
#define LOGGED_AS(name, table) \
    void name(int value) override { log(#name, Named{Enums::table, value}); }
#define CONSTANTS(name, Type, width)                                 \
    void name(int first, const Type* values, int count) override {   \
        log(#name, first, List<Type>{values, width * count}, count); \
    }
#define STENCIL_OP(name)                                                   \
    void name(unsigned fail, unsigned depthFail, unsigned pass) override { \
        log(#name, stencil(fail), stencil(depthFail), stencil(pass));      \
    }
    // clang-format off
    LOGGED(setShadeMode, bool) LOGGED(setSpecularSeparate, bool) LOGGED(setFog, bool)
    LOGGED(setFogRangeBased, bool) LOGGED(enableFogVertexMode, bool) LOGGED(setLighting, bool)
    LOGGED(setColorMaterialEnable, bool) LOGGED(setLocalViewer, bool) LOGGED(setNormalize, bool)
    LOGGED(setAlphaTest, bool) LOGGED(setBlend, bool) LOGGED(setCulling, bool)
    LOGGED(setClipPlanes, bool) LOGGED(setStencilTest, bool) LOGGED(setTwoSidedStencil, bool)
    LOGGED(setPointSprite, bool) LOGGED(setPointScaleEnable, bool) LOGGED(setScissorTest, bool)
    LOGGED(setPerspectiveHint, bool) LOGGED(setDepthWrite, bool) LOGGED(setPointSize, float)
    LOGGED(setPointSizeMin, float) LOGGED(setPointSizeMax, float) LOGGED(setStencilRef, int)
    LOGGED(setColorMaterial, unsigned) LOGGED(setClipPlaneMask, unsigned)
    LOGGED(setStencilMask, unsigned) LOGGED(setStencilWriteMask, unsigned)
    LOGGED(setFogColor, const Color*) LOGGED(setAmbientLight, const Color*)
    LOGGED(setTextureFactor, const Color*) LOGGED(setBlendColor, const Color*)
    LOGGED(setVertexDeclaration, VertexDeclaration*) LOGGED(setIndexStream, IndexStream*)
    LOGGED(setVertexShader, VertexShader*) LOGGED(setPixelShader, PixelShader*)
    LOGGED_AS(setFogMode, fogMode) LOGGED_AS(setFillMode, fillMode)
    LOGGED_AS(setBlendOperation, blendOperation) LOGGED_AS(setCullingMode, cullingMode)
    LOGGED_AS(setStencilFunc, compareFunc) LOGGED_AS(setStencilFuncBack, compareFunc)
    CONSTANTS(setVertexConstantF, float, 4) CONSTANTS(setVertexConstantB, int, 1)
    CONSTANTS(setVertexConstantI, int, 4) CONSTANTS(setPixelConstantF, float, 4)
    CONSTANTS(setPixelConstantB, int, 1) CONSTANTS(setPixelConstantI, int, 4)
    STENCIL_OP(setStencilOp) STENCIL_OP(setStencilOpBack)
    LOGGED2(setVertexStream, VertexStream*, int) LOGGED2(setLightEnable, int, bool)
    LOGGED2(setTexture, int, Texture*) LOGGED2(setClipPlane, int, const Plane*)
    LOGGED2(setDepthBias, float, float) LOGGED3(setFogParameters, float, float, float)
    LOGGED3(setPointScale, float, float, float)
    LOGGED_WITH(drawPrimitive, (unsigned type, int first, int count), primitive(type), first, count)
    LOGGED_WITH(drawIndexedPrimitive,
                (unsigned type, int base, int minIndex, int vertices, int first, int count),
                primitive(type), base, minIndex, vertices, first, count)
    LOGGED_WITH(setTextureCoordGen, (int stage, int mode), stage, Named{Enums::texCoordGen, mode})
    LOGGED_WITH(setMaterial, (const Color* diffuse, const Color* ambient, const Color* specular,
                float power, const Color* emissive), diffuse, ambient, specular, power, emissive)
    LOGGED_WITH(setAlphaFunc, (int func, float reference), compare(func), reference)
    LOGGED_WITH(setBlendFunc, (int source, int destination), Named{Enums::blendFactor, source},
                Named{Enums::blendFactor, destination})
    LOGGED_WITH(clear, (unsigned flags, const Color* color, float depth, int stencil), flags,
                color, depth, stencil)
    LOGGED_WITH(readPixels, (void*, int x, int y, int width, int height), x, y, width, height)
    LOGGED_WITH(setTextureMatrix, (int stage, const Matrix* m), stage, *m)
    LOGGED_WITH(multTextureMatrix, (int stage, const Matrix* m), stage, *m)
    LOGGED_WITH(setColorWriteMask, (bool red, bool green, bool blue, bool alpha), red, green,
                blue, alpha);
    // clang-format on
#undef STENCIL_OP
#undef CONSTANTS
#undef LOGGED_AS
#undef LOGGED_WITH
#undef LOGGED3
#undef LOGGED2
#undef LOGGED

private:
    template <typename... Args>
    void log(const char* operation, const Args&... args) {
        m_log->lines.push_back(call(operation, args...));
    }
    // Logs a creating call and answers the new resource's name.
    template <typename... Args>
    std::string made(const char* prefix, const char* operation, const Args&... args) {
        std::string name = m_log->newName(prefix);
        m_log->lines.push_back(call(operation, args...) + " -> " + name);
        return name;
    }
    static Named compare(int func) { return {Enums::compareFunc, func}; }

    std::shared_ptr<Log> m_log = std::make_shared<Log>();
    MatrixSet m_matrices;
    ViewportPixels m_viewport;
    bool m_depthTest = true;
    int m_depthFunc = LESS;
};

}  // namespace

std::unique_ptr<RenderMachine> RecordingRenderMachine::create() {
    return std::make_unique<Recorder>();
}

std::string RecordingRenderMachine::format(const Matrix& matrix) { return text(matrix); }

}  // namespace Vexa
