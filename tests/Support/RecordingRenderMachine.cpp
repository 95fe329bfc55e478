#include "Support/RecordingRenderMachine.h"

#include <cstdio>

#include "Parser/Exceptions.h"

namespace Vexa {

static const char* const kUnit = "Support/RecordingRenderMachine";

namespace Recording {

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

std::string text(const Color& c) { return "(" + joined(" ", c.r, c.g, c.b, c.a) + ")"; }
std::string text(const Color* color) { return color ? text(*color) : "null"; }
std::string text(const Plane* p) {
    return p ? "(" + joined(" ", p->a, p->b, p->c, p->d) + ")" : "null";
}
std::string text(const Matrix& matrix) { return text(Floats{matrix.m, 16}); }

std::string text(const Named& named) {
    for (const EnumEntry* entry = named.table; entry->name; ++entry)
        if (entry->value == named.value) return entry->name;
    return std::to_string(named.value);
}

template <typename T>
std::string list(const T* values, int count) {
    if (values == nullptr) return "null";
    std::string out = "[";
    for (int i = 0; i < count; ++i) out += (i ? " " : "") + text(values[i]);
    return out + "]";
}
std::string text(const Floats& floats) { return list(floats.values, floats.count); }
std::string text(const Ints& ints) { return list(ints.values, ints.count); }

std::string resourceName(const void* resource, const std::string* name) {
    return resource == nullptr ? "null" : name ? *name : "external";
}

std::string Log::newName(const std::string& prefix) {
    for (auto& [known, count] : counters)
        if (known == prefix) return prefix + std::to_string(++count);
    counters.emplace_back(prefix, 1);
    return prefix + "1";
}

}  // namespace Recording

namespace {

using Recording::Log;
using Recording::Resource;
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
        log("setWrapMode", coordinate, Recording::Named{Enums::textureWrap, mode});
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
        return "[" +
               Recording::joined(" ", files[0], files[1], files[2], files[3], files[4], files[5]) +
               "]";
    }
    Texture* load(const char* operation, const std::string& source, const TextureDescription& d,
                  int faces) {
        const Log& shared = *sharedLog();
        const int width = d.forceSize ? d.width : shared.imageWidth;
        const int height = d.forceSize ? d.height : shared.imageHeight;
        std::string name = sharedLog()->newName("tex");
        log(operation, source, Recording::record(d.mipLevels, d.forceSize, d.width, d.height));
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

}  // namespace

RecordingRenderMachine::RecordingRenderMachine() = default;

std::vector<std::string> RecordingRenderMachine::takeLog() {
    std::vector<std::string> lines;
    lines.swap(m_log->lines);
    return lines;
}

void RecordingRenderMachine::setImageSize(int width, int height) {
    m_log->imageWidth = width;
    m_log->imageHeight = height;
}

Window* RecordingRenderMachine::createWindow(const WindowParameters& p) {
    const std::string parameters =
        Recording::record(p.x, p.y, p.width, p.height, p.bitsPerPixel, p.unusedDepth, p.unusedFlag,
                          p.fullScreen, p.showCursor);
    return new FakeWindow(m_log, made("win", "createWindow", parameters), p.width, p.height);
}

TextureTarget* RecordingRenderMachine::createTextureTarget(int width, int height, unsigned format,
                                                           Texture** texture) {
    std::string name = made("target", "createTextureTarget", width, height, textureFormat(format));
    std::string textureName = m_log->newName("tex");
    m_log->lines.back() += " " + textureName;
    *texture = new FakeTexture(m_log, std::move(textureName), width, height, 1);
    return new FakeTarget<TextureTarget>(m_log, std::move(name), width, height);
}

RenderMemory* RecordingRenderMachine::createRenderMemory(int width, int height, uint8_t* buffer) {
    std::string name = made("mem", "createRenderMemory", width, height, buffer ? "buffer" : "null");
    return new FakeRenderMemory(m_log, std::move(name), width, height, buffer);
}

void RecordingRenderMachine::setViewport(const Viewport& v) {
    log("setViewport", v.target, v.x, v.y, v.width, v.height);
    if (v.target == nullptr) VEXA_THROW(RenderMachineException, "setViewport: no render target.");
    m_viewport = mapViewport(v, v.target->getWidth(), v.target->getHeight());
}

VertexDeclaration* RecordingRenderMachine::createVertexDeclaration() {
    return new FakeResource<VertexDeclaration>(m_log, made("decl", "createVertexDeclaration"));
}

VertexStream* RecordingRenderMachine::createVertexStream(int count, int stride, unsigned usage) {
    return new FakeVertexStream(m_log, made("vbuf", "createVertexStream", count, stride, usage),
                                count, stride);
}

IndexStream* RecordingRenderMachine::createIndexStream(int count, int format) {
    return new FakeIndexStream(m_log, made("ibuf", "createIndexStream", count, format), count,
                               format == 1 ? 4 : 2);
}

void RecordingRenderMachine::setLight(int light, const LightDesc* d) {
    if (d == nullptr) return log("setLight", light, "null");
    log("setLight", light,
        Recording::record(Recording::Named{Enums::lightType, d->type}, d->diffuse, d->specular,
                          d->ambient, Recording::Floats{d->position, 3},
                          Recording::Floats{d->direction, 3}, d->spotExponent, d->attenuation0,
                          d->attenuation1, d->attenuation2, d->spotCutoff));
}

VertexShader* RecordingRenderMachine::createVertexShader(const char*) {
    return new FakeResource<VertexShader>(m_log, made("vsh", "createVertexShader"));
}

PixelShader* RecordingRenderMachine::createPixelShader(const char*) {
    return new FakeResource<PixelShader>(m_log, made("psh", "createPixelShader"));
}

Texture* RecordingRenderMachine::createTexture(int width, int height, unsigned format,
                                               int mipLevels, bool targetable) {
    std::string name =
        made("tex", "createTexture", width, height, textureFormat(format), mipLevels, targetable);
    return new FakeTexture(m_log, std::move(name), width, height, 1);
}

Texture* RecordingRenderMachine::createCubeTexture(int edge, unsigned format, int mipLevels,
                                                   int flag) {
    std::string name =
        made("tex", "createCubeTexture", edge, textureFormat(format), mipLevels, flag);
    return new FakeTexture(m_log, std::move(name), edge, edge, 6);
}

void RecordingRenderMachine::setCombinerStage(int stage, const TextureCombinerStage* d) {
    if (d == nullptr) return log("setCombinerStage", stage, "null");
    auto source = [](int value) { return Recording::Named{Enums::combinerSource, value}; };
    auto operation = [](int value) { return Recording::Named{Enums::combinerOperation, value}; };
    log("setCombinerStage", stage,
        Recording::record(d->enabled, source(d->colorArg1), source(d->colorArg2),
                          source(d->colorArg3), source(d->alphaArg1), source(d->alphaArg2),
                          source(d->alphaArg3), operation(d->colorOp), operation(d->alphaOp),
                          source(d->result)));
}

ImageLoader* RecordingRenderMachine::createImageLoader() {
    return new FakeImageLoader(m_log, made("loader", "createImageLoader"));
}

RenderState* RecordingRenderMachine::createState() {
    auto* state = new FakeRenderState(m_log, made("state", "createState"));
    state->m_entries = stateEntries();
    return state;
}

void RecordingRenderMachine::captureState(RenderState* state) {
    log("captureState", state);
    if (auto* fake = dynamic_cast<FakeRenderState*>(state)) fake->m_entries = stateEntries();
}

std::vector<RenderState::Entry> RecordingRenderMachine::stateEntries() const {
    return {{"DEPTH_TEST", m_depthTest ? "true" : "false"},
            {"DEPTH_FUNC", Recording::text(compare(m_depthFunc))}};
}

Recording::Named RecordingRenderMachine::primitive(unsigned type) {
    static const EnumEntry kNames[] = {{"POINT_LIST", POINT_LIST},
                                       {"LINE_LIST", LINE_LIST},
                                       {"LINE_STRIP", LINE_STRIP},
                                       {"TRIANGLE_LIST", TRIANGLE_LIST},
                                       {"TRIANGLE_STRIP", TRIANGLE_STRIP},
                                       {"TRIANGLE_FAN", TRIANGLE_FAN},
                                       {nullptr, 0}};
    return {kNames, type};
}

Recording::Named RecordingRenderMachine::matrixKind(unsigned kind) {
    static const EnumEntry kNames[] = {{"PROJECTION", MATRIX_PROJECTION},
                                       {"VIEW", MATRIX_VIEW},
                                       {"WORLD", MATRIX_WORLD},
                                       {nullptr, 0}};
    return {kNames, kind};
}

Recording::Named RecordingRenderMachine::textureFormat(unsigned format) {
    static const EnumEntry kNames[] = {
        {"RGB8", FORMAT_RGB8}, {"ARGB8", FORMAT_ARGB8}, {"L8", FORMAT_L8}, {nullptr, 0}};
    return {kNames, format};
}

Recording::Named RecordingRenderMachine::stencil(unsigned operation) {
    static const EnumEntry kNames[] = {{"STENCIL_KEEP", STENCIL_KEEP},
                                       {"STENCIL_ZERO", STENCIL_ZERO},
                                       {"STENCIL_REPLACE", STENCIL_REPLACE},
                                       {"STENCIL_INCRSAT", STENCIL_INCRSAT},
                                       {"STENCIL_DECRSAT", STENCIL_DECRSAT},
                                       {"STENCIL_INVERT", STENCIL_INVERT},
                                       {"STENCIL_INCR", STENCIL_INCR},
                                       {"STENCIL_DECR", STENCIL_DECR},
                                       {nullptr, 0}};
    return {kNames, operation};
}

}  // namespace Vexa
