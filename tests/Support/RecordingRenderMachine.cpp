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
    Texture* loadTexture(const DataBlock&, const TextureDescription& d) override {
        return load("loadTexture", "block", d, 1);
    }
    Texture* loadTexture(const char* file, const TextureDescription& d) override {
        return load("loadTexture", file, d, 1);
    }
    Texture* loadTextureEx(const DataBlock&, const TextureDescription& d) override {
        return load("loadTextureEx", "block", d, 1);
    }
    Texture* loadTextureEx(const char* file, const TextureDescription& d) override {
        return load("loadTextureEx", file, d, 1);
    }
    Texture* loadCubeTexture(const DataBlock* const[6], const TextureDescription& d) override {
        return load("loadCubeTexture", "blocks", d, 6);
    }
    Texture* loadCubeTexture(const char* const files[6], const TextureDescription& d) override {
        return load("loadCubeTexture", faces(files), d, 6);
    }
    Texture* loadCubeTextureEx(const DataBlock* const[6], const TextureDescription& d) override {
        return load("loadCubeTextureEx", "blocks", d, 6);
    }
    Texture* loadCubeTextureEx(const char* const files[6], const TextureDescription& d) override {
        return load("loadCubeTextureEx", faces(files), d, 6);
    }

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
    void setVertexStream(VertexStream* s, int index) override { log("setVertexStream", s, index); }
    void setVertexDeclaration(VertexDeclaration* d) override { log("setVertexDeclaration", d); }
    void setIndexStream(IndexStream* stream) override { log("setIndexStream", stream); }
    void drawPrimitive(unsigned type, int first, int count) override {
        log("drawPrimitive", primitive(type), first, count);
    }
    void drawIndexedPrimitive(unsigned type, int base, int minIndex, int vertices, int first,
                              int count) override {
        log("drawIndexedPrimitive", primitive(type), base, minIndex, vertices, first, count);
    }
    void setTextureCoordGen(int stage, int mode) override {
        log("setTextureCoordGen", stage, Named{Enums::texCoordGen, mode});
    }
    void setMaterial(const Color* diffuse, const Color* ambient, const Color* specular, float power,
                     const Color* emissive) override {
        log("setMaterial", diffuse, ambient, specular, power, emissive);
    }
    void setShadeMode(bool smooth) override { log("setShadeMode", smooth); }
    void setSpecularSeparate(bool separate) override { log("setSpecularSeparate", separate); }
    void setFog(bool enable) override { log("setFog", enable); }
    void setFogRangeBased(bool rangeBased) override { log("setFogRangeBased", rangeBased); }
    void setFogColor(const Color* color) override { log("setFogColor", color); }
    void setFogMode(int mode) override { log("setFogMode", Named{Enums::fogMode, mode}); }
    void enableFogVertexMode(bool enable) override { log("enableFogVertexMode", enable); }
    void setFogParameters(float start, float end, float density) override {
        log("setFogParameters", start, end, density);
    }
    void setLighting(bool enable) override { log("setLighting", enable); }
    void setColorMaterialEnable(bool enable) override { log("setColorMaterialEnable", enable); }
    void setAmbientLight(const Color* color) override { log("setAmbientLight", color); }
    void setLocalViewer(bool enable) override { log("setLocalViewer", enable); }
    void setNormalize(bool enable) override { log("setNormalize", enable); }
    void setLightEnable(int light, bool enable) override { log("setLightEnable", light, enable); }
    int getMaxLights() override { return kLights; }
    void setColorMaterial(unsigned source) override { log("setColorMaterial", source); }
    void setVertexShader(VertexShader* shader) override { log("setVertexShader", shader); }
    void setVertexConstantF(int first, const float* values, int count) override {
        log("setVertexConstantF", first, List<float>{values, 4 * count}, count);
    }
    void setVertexConstantB(int first, const int* values, int count) override {
        log("setVertexConstantB", first, List<int>{values, count}, count);
    }
    void setVertexConstantI(int first, const int* values, int count) override {
        log("setVertexConstantI", first, List<int>{values, 4 * count}, count);
    }
    void setVertexConstantMatrix(int first, int selector) override {
        log("setVertexConstantMatrix", first, selector);
        m_matrices.vertexProgramMatrix(selector);
    }
    void setPixelShader(PixelShader* shader) override { log("setPixelShader", shader); }
    void setPixelConstantF(int first, const float* values, int count) override {
        log("setPixelConstantF", first, List<float>{values, 4 * count}, count);
    }
    void setPixelConstantB(int first, const int* values, int count) override {
        log("setPixelConstantB", first, List<int>{values, count}, count);
    }
    void setPixelConstantI(int first, const int* values, int count) override {
        log("setPixelConstantI", first, List<int>{values, 4 * count}, count);
    }
    int getMaxTextureUnits() override { return kTextureUnits; }
    void setTexture(int stage, Texture* texture) override { log("setTexture", stage, texture); }
    int getMaxCombinerStages() override { return kCombinerStages; }
    void setTextureFactor(const Color* color) override { log("setTextureFactor", color); }
    void setDepthTest(bool enable) override {
        log("setDepthTest", enable);
        m_depthTest = enable;
    }
    void setDepthWrite(bool enable) override { log("setDepthWrite", enable); }
    void setDepthFunc(int func) override {
        log("setDepthFunc", compare(func));
        m_depthFunc = func;
    }
    void setDepthBias(float constant, float linear) override {
        log("setDepthBias", constant, linear);
    }
    void setFillMode(int mode) override { log("setFillMode", Named{Enums::fillMode, mode}); }
    void setAlphaTest(bool enable) override { log("setAlphaTest", enable); }
    void setAlphaFunc(int func, float reference) override {
        log("setAlphaFunc", compare(func), reference);
    }
    void setBlend(bool enable) override { log("setBlend", enable); }
    void setBlendFunc(int source, int destination) override {
        log("setBlendFunc", Named{Enums::blendFactor, source},
            Named{Enums::blendFactor, destination});
    }
    void setBlendOperation(int operation) override {
        log("setBlendOperation", Named{Enums::blendOperation, operation});
    }
    void setBlendColor(const Color* color) override { log("setBlendColor", color); }
    void setCulling(bool enable) override { log("setCulling", enable); }
    void setCullingMode(int mode) override {
        log("setCullingMode", Named{Enums::cullingMode, mode});
    }
    void setClipPlanes(bool enable) override { log("setClipPlanes", enable); }
    void setClipPlaneMask(unsigned mask) override { log("setClipPlaneMask", mask); }
    void setClipPlane(int index, const Plane* plane) override { log("setClipPlane", index, plane); }
    void setStencilTest(bool enable) override { log("setStencilTest", enable); }
    void setTwoSidedStencil(bool enable) override { log("setTwoSidedStencil", enable); }
    void setStencilOp(unsigned fail, unsigned depthFail, unsigned pass) override {
        log("setStencilOp", stencil(fail), stencil(depthFail), stencil(pass));
    }
    void setStencilFunc(int func) override { log("setStencilFunc", compare(func)); }
    void setStencilOpBack(unsigned fail, unsigned depthFail, unsigned pass) override {
        log("setStencilOpBack", stencil(fail), stencil(depthFail), stencil(pass));
    }
    void setStencilFuncBack(int func) override { log("setStencilFuncBack", compare(func)); }
    void setStencilRef(int reference) override { log("setStencilRef", reference); }
    void setStencilMask(unsigned mask) override { log("setStencilMask", mask); }
    void setStencilWriteMask(unsigned mask) override { log("setStencilWriteMask", mask); }
    void setPointSprite(bool enable) override { log("setPointSprite", enable); }
    void setPointScaleEnable(bool enable) override { log("setPointScaleEnable", enable); }
    void setPointSize(float size) override { log("setPointSize", size); }
    void setPointSizeMin(float size) override { log("setPointSizeMin", size); }
    void setPointSizeMax(float size) override { log("setPointSizeMax", size); }
    void setPointScale(float constant, float linear, float quadratic) override {
        log("setPointScale", constant, linear, quadratic);
    }
    void clear(unsigned flags, const Color* color, float depth, int stencil) override {
        log("clear", flags, color, depth, stencil);
    }
    void readPixels(void*, int x, int y, int width, int height) override {
        log("readPixels", x, y, width, height);
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
    void setTextureMatrix(int stage, const Matrix* m) override {
        log("setTextureMatrix", stage, *m);
    }
    void multTextureMatrix(int stage, const Matrix* m) override {
        log("multTextureMatrix", stage, *m);
    }
    void setColorWriteMask(bool red, bool green, bool blue, bool alpha) override {
        log("setColorWriteMask", red, green, blue, alpha);
    }
    void setScissorTest(bool enable) override { log("setScissorTest", enable); }
    void setPerspectiveHint(bool nicest) override { log("setPerspectiveHint", nicest); }

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
