#include "Support/RecordingRenderMachine.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>

#include "Parser/Exceptions.h"

namespace Vexa {

static const char* const kUnit = "Support/RecordingRenderMachine";

// The lines, the per-prefix name counters and the loaders' image size, shared
// by the machine and every resource it made.
struct RecordingLog {
    std::vector<std::string> lines;
    std::map<std::string, int> counters;
    int imageWidth = 1;
    int imageHeight = 1;

    std::string newName(const std::string& prefix) { return prefix + std::to_string(++counters[prefix]); }
};

namespace {

const EnumEntry kPrimitiveNames[] = {
    {"POINT_LIST", POINT_LIST},         {"LINE_LIST", LINE_LIST},
    {"LINE_STRIP", LINE_STRIP},         {"TRIANGLE_LIST", TRIANGLE_LIST},
    {"TRIANGLE_STRIP", TRIANGLE_STRIP}, {"TRIANGLE_FAN", TRIANGLE_FAN},
    {nullptr, 0},
};

const EnumEntry kMatrixKindNames[] = {
    {"PROJECTION", MATRIX_PROJECTION}, {"VIEW", MATRIX_VIEW}, {"WORLD", MATRIX_WORLD}, {nullptr, 0},
};

const EnumEntry kFormatNames[] = {
    {"RGB8", FORMAT_RGB8}, {"ARGB8", FORMAT_ARGB8}, {"L8", FORMAT_L8}, {nullptr, 0},
};

const EnumEntry kStencilOperationNames[] = {
    {"STENCIL_KEEP", STENCIL_KEEP},       {"STENCIL_ZERO", STENCIL_ZERO},
    {"STENCIL_REPLACE", STENCIL_REPLACE}, {"STENCIL_INCRSAT", STENCIL_INCRSAT},
    {"STENCIL_DECRSAT", STENCIL_DECRSAT}, {"STENCIL_INVERT", STENCIL_INVERT},
    {"STENCIL_INCR", STENCIL_INCR},       {"STENCIL_DECR", STENCIL_DECR},
    {nullptr, 0},
};

// Bytes per pixel by texture format.
const int kBytesPerPixel[] = {3, 4, 1};
static_assert(std::size(kBytesPerPixel) == FORMAT_L8 + 1, "one size per texture format");

std::string num(long long value) { return std::to_string(value); }

std::string flag(bool value) { return value ? "1" : "0"; }

std::string real(float value) { return RecordingRenderMachine::format(value); }

std::string named(const EnumEntry* table, long long value) {
    for (const EnumEntry* entry = table; entry->name; ++entry) {
        if (entry->value == value)
            return entry->name;
    }
    return num(value);
}

std::string floats(const float* values, int count) {
    if (values == nullptr)
        return "null";
    std::string text = "[";
    for (int i = 0; i < count; ++i)
        text += (i ? " " : "") + real(values[i]);
    return text + "]";
}

std::string ints(const int* values, int count) {
    if (values == nullptr)
        return "null";
    std::string text = "[";
    for (int i = 0; i < count; ++i)
        text += (i ? " " : "") + num(values[i]);
    return text + "]";
}

std::string group(const char* open, std::initializer_list<std::string> parts, const char* close) {
    std::string text = open;
    bool first = true;
    for (const std::string& part : parts) {
        text += (first ? "" : " ") + part;
        first = false;
    }
    return text + close;
}

std::string call(const std::string& name, std::initializer_list<std::string> arguments) {
    std::string text = name + "(";
    bool first = true;
    for (const std::string& argument : arguments) {
        text += (first ? "" : ", ") + argument;
        first = false;
    }
    return text + ")";
}

// The name of a resource, "null", or "external" for one this machine did not make.
template <typename T>
std::string nameOf(const T* resource) {
    if (resource == nullptr)
        return "null";
    const auto* recorded = dynamic_cast<const RecordedResource*>(resource);
    return recorded ? recorded->name() : "external";
}

std::string describe(const TextureDescription& description) {
    return group("{", {num(description.mipLevels), flag(description.forceSize), num(description.width),
                       num(description.height)},
                 "}");
}

std::string stencilOps(unsigned fail, unsigned depthFail, unsigned pass) {
    return named(kStencilOperationNames, fail) + ", " + named(kStencilOperationNames, depthFail) + ", " +
           named(kStencilOperationNames, pass);
}

[[noreturn]] void fail(const char* message) { VEXA_THROW(RenderMachineException, message); }

}  // namespace

RecordedResource::RecordedResource(std::shared_ptr<RecordingLog> log, std::string name)
    : m_log(std::move(log)), m_name(std::move(name)) {}

RecordedResource::~RecordedResource() { m_log->lines.push_back("delete " + m_name); }

void RecordedResource::record(const std::string& text) const { m_log->lines.push_back(m_name + "." + text); }

FakeTexture::FakeTexture(std::shared_ptr<RecordingLog> log, std::string name, int width, int height,
                         unsigned format, int mipLevels, bool cube)
    : RecordedResource(std::move(log), std::move(name)),
      m_width(width),
      m_height(height),
      m_format(format),
      m_mipLevels(mipLevels) {
    if (format >= std::size(kBytesPerPixel))
        fail("Invalid texture format");
    m_bytesPerPixel = kBytesPerPixel[format];
    const std::size_t size = static_cast<std::size_t>(width) * height * m_bytesPerPixel;
    m_faces.assign(cube ? 6 : 1, std::vector<uint8_t>(size, 0));
}

std::vector<uint8_t>& FakeTexture::face(int face) {
    if (face < 0 || face >= static_cast<int>(m_faces.size()))
        fail("Invalid cube face.");
    return m_faces[face];
}

void FakeTexture::setPriority(float priority) { record(call("setPriority", {real(priority)})); }

void FakeTexture::setMinFilter(int filter) { record(call("setMinFilter", {num(filter)})); }

void FakeTexture::setMagFilter(int filter) { record(call("setMagFilter", {num(filter)})); }

void FakeTexture::setBorderColor(const Color& color) {
    record(call("setBorderColor", {RecordingRenderMachine::format(&color)}));
}

void FakeTexture::setWrapMode(int coordinate, int mode) {
    record(call("setWrapMode", {num(coordinate), named(Enums::textureWrap, mode)}));
}

void FakeTexture::bind(RenderMachine*, int stage) { record(call("bind", {num(stage)})); }

void* FakeTexture::lock(int* pitch, unsigned flags) {
    record(call("lock", {num(flags)}));
    if (pitch)
        *pitch = m_width * m_bytesPerPixel;
    return face(0).data();
}

void* FakeTexture::lockRect(int level, int reserved, int x, int y, int* pitch, unsigned flags) {
    record(call("lockRect", {num(level), num(reserved), num(x), num(y), num(flags)}));
    if (pitch)
        *pitch = m_width * m_bytesPerPixel;
    return face(0).data() + (static_cast<std::size_t>(y) * m_width + x) * m_bytesPerPixel;
}

void FakeTexture::unlock() { record("unlock()"); }

void FakeTexture::update(const void* pixels) {
    record("update()");
    std::vector<uint8_t>& target = face(0);
    std::memcpy(target.data(), pixels, target.size());
}

void FakeTexture::updateRect(const void* pixels, int x, int y, int width, int height) {
    record(call("updateRect", {num(x), num(y), num(width), num(height)}));
    if (x < 0 || y < 0 || width < 0 || height < 0 || x + width > m_width || y + height > m_height)
        fail("updateRect outside the texture.");
    std::vector<uint8_t>& target = face(0);
    const auto* source = static_cast<const uint8_t*>(pixels);
    const std::size_t row = static_cast<std::size_t>(width) * m_bytesPerPixel;
    for (int line = 0; line < height; ++line) {
        const std::size_t at = (static_cast<std::size_t>(y + line) * m_width + x) * m_bytesPerPixel;
        std::memcpy(target.data() + at, source + line * row, row);
    }
}

void* FakeTexture::lockFace(int index, int* pitch, unsigned flags) {
    record(call("lockFace", {num(index), num(flags)}));
    if (pitch)
        *pitch = m_width * m_bytesPerPixel;
    return face(index).data();
}

void FakeTexture::unlockFace(int index) { record(call("unlockFace", {num(index)})); }

void FakeTexture::updateFace(int index, const void* pixels) {
    record(call("updateFace", {num(index)}));
    std::vector<uint8_t>& target = face(index);
    std::memcpy(target.data(), pixels, target.size());
}

FakeVertexStream::FakeVertexStream(std::shared_ptr<RecordingLog> log, std::string name, int count,
                                   int stride)
    : RecordedResource(std::move(log), std::move(name)),
      m_count(count),
      m_stride(stride),
      m_data(static_cast<std::size_t>(count) * stride, 0) {}

void FakeVertexStream::setPriority(float priority) { record(call("setPriority", {real(priority)})); }

void* FakeVertexStream::lock(int first, int count, unsigned flags) {
    record(call("lock", {num(first), num(count), num(flags)}));
    return m_data.data() + static_cast<std::size_t>(first) * m_stride;
}

void* FakeVertexStream::lock(unsigned flags) {
    record(call("lock", {num(flags)}));
    return m_data.data();
}

void FakeVertexStream::unlock() { record("unlock()"); }

FakeIndexStream::FakeIndexStream(std::shared_ptr<RecordingLog> log, std::string name, int count, int format)
    : RecordedResource(std::move(log), std::move(name)), m_count(count), m_size(format == 1 ? 4 : 2) {
    if (format != 0 && format != 1)
        fail("Invalid index stream format.");
    m_data.assign(static_cast<std::size_t>(count) * m_size, 0);
}

void FakeIndexStream::setPriority(float priority) { record(call("setPriority", {real(priority)})); }

void* FakeIndexStream::lock(int first, int count, unsigned flags) {
    record(call("lock", {num(first), num(count), num(flags)}));
    return m_data.data() + static_cast<std::size_t>(first) * m_size;
}

void* FakeIndexStream::lock(unsigned flags) {
    record(call("lock", {num(flags)}));
    return m_data.data();
}

void FakeIndexStream::unlock() { record("unlock()"); }

FakeWindow::FakeWindow(std::shared_ptr<RecordingLog> log, std::string name, const WindowParameters& parameters)
    : RecordedResource(std::move(log), std::move(name)), m_parameters(parameters) {}

void FakeWindow::present() { record("present()"); }

void FakeWindow::makeCurrent() { record("makeCurrent()"); }

void FakeWindow::makeCurrent(RenderMachine*) { record("makeCurrent()"); }

void FakeWindow::processMessages() { record("processMessages()"); }

void FakeWindow::setTitle(const char* text) { record(call("setTitle", {text ? text : "null"})); }

void FakeWindow::showCursor(bool show) { record(call("showCursor", {flag(show)})); }

FakeTextureTarget::FakeTextureTarget(std::shared_ptr<RecordingLog> log, std::string name, int width,
                                     int height, FakeTexture* texture)
    : RecordedResource(std::move(log), std::move(name)), m_width(width), m_height(height), m_texture(texture) {}

void FakeTextureTarget::present() { record("present()"); }

void FakeTextureTarget::makeCurrent(RenderMachine*) { record("makeCurrent()"); }

FakeRenderMemory::FakeRenderMemory(std::shared_ptr<RecordingLog> log, std::string name, int width,
                                   int height, uint8_t* buffer)
    : RecordedResource(std::move(log), std::move(name)), m_width(width), m_height(height), m_buffer(buffer) {
    if (m_buffer == nullptr) {
        m_ownBuffer = std::make_unique<uint8_t[]>(static_cast<std::size_t>(width) * height * 4);
        m_buffer = m_ownBuffer.get();
    }
}

void FakeRenderMemory::present() { record("present()"); }

void FakeRenderMemory::makeCurrent(RenderMachine*) { record("makeCurrent()"); }

Texture* FakeImageLoader::load(const std::string& operation, const std::string& source,
                               const TextureDescription& description, bool cube) {
    std::string name = log().newName("tex");
    record(call(operation, {source, describe(description)}) + " -> " + name);
    const int width = description.forceSize ? description.width : log().imageWidth;
    const int height = description.forceSize ? description.height : log().imageHeight;
    const int levels = description.mipLevels < 0 ? 1 : description.mipLevels;
    return new FakeTexture(sharedLog(), std::move(name), width, cube ? width : height, FORMAT_ARGB8,
                           levels, cube);
}

namespace {

std::string cubeSources(const char* const faces[6]) {
    std::string text = "[";
    for (int i = 0; i < 6; ++i)
        text += (i ? " " : "") + std::string(faces[i] ? faces[i] : "null");
    return text + "]";
}

const char* const kBlockFaces[6] = {"block", "block", "block", "block", "block", "block"};

}  // namespace

Texture* FakeImageLoader::loadTexture(const DataBlock&, const TextureDescription& description) {
    return load("loadTexture", "block", description, false);
}

Texture* FakeImageLoader::loadTexture(const char* fileName, const TextureDescription& description) {
    return load("loadTexture", fileName ? fileName : "null", description, false);
}

Texture* FakeImageLoader::loadTextureEx(const DataBlock&, const TextureDescription& description) {
    return load("loadTextureEx", "block", description, false);
}

Texture* FakeImageLoader::loadTextureEx(const char* fileName, const TextureDescription& description) {
    return load("loadTextureEx", fileName ? fileName : "null", description, false);
}

Texture* FakeImageLoader::loadCubeTexture(const DataBlock* const[6], const TextureDescription& description) {
    return load("loadCubeTexture", cubeSources(kBlockFaces), description, true);
}

Texture* FakeImageLoader::loadCubeTexture(const char* const faces[6], const TextureDescription& description) {
    return load("loadCubeTexture", cubeSources(faces), description, true);
}

Texture* FakeImageLoader::loadCubeTextureEx(const DataBlock* const[6],
                                            const TextureDescription& description) {
    return load("loadCubeTextureEx", cubeSources(kBlockFaces), description, true);
}

Texture* FakeImageLoader::loadCubeTextureEx(const char* const faces[6],
                                            const TextureDescription& description) {
    return load("loadCubeTextureEx", cubeSources(faces), description, true);
}

RecordingRenderMachine::RecordingRenderMachine(RecordingLimits limits)
    : m_log(std::make_shared<RecordingLog>()),
      m_limits(limits),
      m_textureMatrices(static_cast<std::size_t>(limits.textureUnits)),
      m_textures(static_cast<std::size_t>(limits.textureUnits), nullptr),
      m_lights(static_cast<std::size_t>(limits.lights)) {}

RecordingRenderMachine::~RecordingRenderMachine() = default;

const std::vector<std::string>& RecordingRenderMachine::log() const { return m_log->lines; }

std::string RecordingRenderMachine::logText() const {
    std::string text;
    for (const std::string& line : m_log->lines)
        text += line + "\n";
    return text;
}

void RecordingRenderMachine::clearLog() { m_log->lines.clear(); }

std::vector<std::string> RecordingRenderMachine::takeLog() {
    std::vector<std::string> lines;
    lines.swap(m_log->lines);
    return lines;
}

void RecordingRenderMachine::setImageSize(int width, int height) {
    m_log->imageWidth = width;
    m_log->imageHeight = height;
}

std::array<float, 4> RecordingRenderMachine::vertexConstant(int index) const {
    const auto found = m_vertexConstants.find(index);
    return found != m_vertexConstants.end() ? found->second : std::array<float, 4>{};
}

std::string RecordingRenderMachine::format(float value) {
    char text[32] = {};
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

std::string RecordingRenderMachine::format(const Color* color) {
    if (color == nullptr)
        return "null";
    return group("(", {real(color->r), real(color->g), real(color->b), real(color->a)}, ")");
}

std::string RecordingRenderMachine::format(const Matrix& matrix) { return floats(matrix.m, 16); }

void RecordingRenderMachine::record(const std::string& line) { m_log->lines.push_back(line); }

int RecordingRenderMachine::checkStage(int stage) const {
    if (stage < 0 || stage >= m_limits.textureUnits)
        fail("texNum >= maxTextureUnits");
    return stage;
}

void RecordingRenderMachine::beginScene() { record("beginScene()"); }

void RecordingRenderMachine::endScene() { record("endScene()"); }

Window* RecordingRenderMachine::createWindow(const WindowParameters& p) {
    std::string name = m_log->newName("win");
    record(call("createWindow", {group("{", {num(p.x), num(p.y), num(p.width), num(p.height),
                                             num(p.bitsPerPixel), num(p.unusedDepth), flag(p.unusedFlag),
                                             flag(p.fullScreen), flag(p.showCursor)},
                                       "}")}) +
           " -> " + name);
    return new FakeWindow(m_log, std::move(name), p);
}

TextureTarget* RecordingRenderMachine::createTextureTarget(int width, int height, unsigned format,
                                                           Texture** texture) {
    std::string name = m_log->newName("target");
    std::string textureName = m_log->newName("tex");
    record(call("createTextureTarget", {num(width), num(height), named(kFormatNames, format)}) + " -> " + name +
           " " + textureName);
    if (texture == nullptr)
        fail("createTextureTarget: no place for the texture.");
    auto* made = new FakeTexture(m_log, std::move(textureName), width, height, format, 1, false);
    *texture = made;
    return new FakeTextureTarget(m_log, std::move(name), width, height, made);
}

RenderMemory* RecordingRenderMachine::createRenderMemory(int width, int height, uint8_t* buffer) {
    std::string name = m_log->newName("mem");
    record(call("createRenderMemory", {num(width), num(height), buffer ? "buffer" : "null"}) + " -> " + name);
    return new FakeRenderMemory(m_log, std::move(name), width, height, buffer);
}

void RecordingRenderMachine::setViewport(const Viewport& viewport) {
    record(call("setViewport", {nameOf(viewport.target), real(viewport.x), real(viewport.y),
                                real(viewport.width), real(viewport.height)}));
    if (viewport.target == nullptr)
        fail("setViewport: no render target.");
    m_viewport = mapViewport(viewport, viewport.target->getWidth(), viewport.target->getHeight());
    m_target = viewport.target;
}

VertexDeclaration* RecordingRenderMachine::createVertexDeclaration() {
    std::string name = m_log->newName("decl");
    record("createVertexDeclaration() -> " + name);
    return new FakeVertexDeclaration(m_log, std::move(name));
}

VertexStream* RecordingRenderMachine::createVertexStream(int count, int stride, unsigned usage) {
    std::string name = m_log->newName("vbuf");
    record(call("createVertexStream", {num(count), num(stride), num(usage)}) + " -> " + name);
    return new FakeVertexStream(m_log, std::move(name), count, stride);
}

void RecordingRenderMachine::setVertexStream(VertexStream* stream, int index) {
    record(call("setVertexStream", {nameOf(stream), num(index)}));
}

void RecordingRenderMachine::setVertexDeclaration(VertexDeclaration* declaration) {
    record(call("setVertexDeclaration", {nameOf(declaration)}));
}

IndexStream* RecordingRenderMachine::createIndexStream(int count, int format) {
    std::string name = m_log->newName("ibuf");
    record(call("createIndexStream", {num(count), num(format)}) + " -> " + name);
    return new FakeIndexStream(m_log, std::move(name), count, format);
}

void RecordingRenderMachine::setIndexStream(IndexStream* stream) {
    record(call("setIndexStream", {nameOf(stream)}));
}

void RecordingRenderMachine::drawPrimitive(unsigned type, int firstVertex, int primitiveCount) {
    record(call("drawPrimitive", {named(kPrimitiveNames, type), num(firstVertex), num(primitiveCount)}));
    if (primitiveVertexCount(type, primitiveCount) < 0)
        VEXA_THROW(Exception, "Unknown primitive type.");
}

void RecordingRenderMachine::drawIndexedPrimitive(unsigned type, int baseVertex, int minIndex,
                                                  int vertexCount, int firstIndex, int primitiveCount) {
    record(call("drawIndexedPrimitive", {named(kPrimitiveNames, type), num(baseVertex), num(minIndex),
                                         num(vertexCount), num(firstIndex), num(primitiveCount)}));
    if (primitiveVertexCount(type, primitiveCount) < 0)
        VEXA_THROW(Exception, "Unknown primitive type.");
}

void RecordingRenderMachine::setTextureCoordGen(int stage, int mode) {
    record(call("setTextureCoordGen", {num(stage), named(Enums::texCoordGen, mode)}));
}

void RecordingRenderMachine::setMaterial(const Color* diffuse, const Color* ambient, const Color* specular,
                                         float power, const Color* emissive) {
    record(call("setMaterial",
                {format(diffuse), format(ambient), format(specular), real(power), format(emissive)}));
}

void RecordingRenderMachine::setShadeMode(bool smooth) { record(call("setShadeMode", {flag(smooth)})); }

void RecordingRenderMachine::setSpecularSeparate(bool separate) {
    record(call("setSpecularSeparate", {flag(separate)}));
}

void RecordingRenderMachine::setFog(bool enable) { record(call("setFog", {flag(enable)})); }

void RecordingRenderMachine::setFogRangeBased(bool rangeBased) {
    record(call("setFogRangeBased", {flag(rangeBased)}));
}

void RecordingRenderMachine::setFogColor(const Color* color) { record(call("setFogColor", {format(color)})); }

void RecordingRenderMachine::setFogMode(int mode) { record(call("setFogMode", {named(Enums::fogMode, mode)})); }

void RecordingRenderMachine::enableFogVertexMode(bool enable) {
    record(call("enableFogVertexMode", {flag(enable)}));
}

void RecordingRenderMachine::setFogParameters(float start, float end, float density) {
    record(call("setFogParameters", {real(start), real(end), real(density)}));
}

void RecordingRenderMachine::setLighting(bool enable) { record(call("setLighting", {flag(enable)})); }

void RecordingRenderMachine::setColorMaterialEnable(bool enable) {
    record(call("setColorMaterialEnable", {flag(enable)}));
}

void RecordingRenderMachine::setAmbientLight(const Color* color) {
    record(call("setAmbientLight", {format(color)}));
}

void RecordingRenderMachine::setLocalViewer(bool enable) { record(call("setLocalViewer", {flag(enable)})); }

void RecordingRenderMachine::setNormalize(bool enable) { record(call("setNormalize", {flag(enable)})); }

void RecordingRenderMachine::setLightEnable(int light, bool enable) {
    record(call("setLightEnable", {num(light), flag(enable)}));
}

void RecordingRenderMachine::setLight(int light, const LightDesc* d) {
    if (d == nullptr) {
        record(call("setLight", {num(light), "null"}));
        fail("setLight: no light record.");
    }
    record(call("setLight",
                {num(light),
                 group("{",
                       {named(Enums::lightType, d->type), format(&d->diffuse), format(&d->specular),
                        format(&d->ambient), floats(d->position, 3), floats(d->direction, 3),
                        real(d->spotExponent), real(d->attenuation0), real(d->attenuation1),
                        real(d->attenuation2), real(d->spotCutoff)},
                       "}")}));
    m_lights.at(light) = *d;
}

int RecordingRenderMachine::getMaxLights() { return m_limits.lights; }

void RecordingRenderMachine::setColorMaterial(unsigned source) { record(call("setColorMaterial", {num(source)})); }

VertexShader* RecordingRenderMachine::createVertexShader(const char* text) {
    std::string name = m_log->newName("vsh");
    record("createVertexShader() -> " + name);
    return new FakeVertexShader(m_log, std::move(name), text ? text : "");
}

void RecordingRenderMachine::setVertexShader(VertexShader* shader) {
    record(call("setVertexShader", {nameOf(shader)}));
}

void RecordingRenderMachine::setVertexConstantF(int first, const float* values, int count) {
    record(call("setVertexConstantF", {num(first), floats(values, count * 4), num(count)}));
    for (int i = 0; values && i < count; ++i)
        std::memcpy(m_vertexConstants[first + i].data(), values + 4 * i, 4 * sizeof(float));
}

void RecordingRenderMachine::setVertexConstantB(int first, const int* values, int count) {
    record(call("setVertexConstantB", {num(first), ints(values, count), num(count)}));
}

void RecordingRenderMachine::setVertexConstantI(int first, const int* values, int count) {
    record(call("setVertexConstantI", {num(first), ints(values, count * 4), num(count)}));
}

void RecordingRenderMachine::setVertexConstantMatrix(int first, int selector) {
    record(call("setVertexConstantMatrix", {num(first), num(selector)}));
    const Matrix block = m_matrices.vertexProgramMatrix(selector);
    for (int i = 0; i < 4; ++i)
        std::memcpy(m_vertexConstants[first + i].data(), block.m + 4 * i, 4 * sizeof(float));
}

PixelShader* RecordingRenderMachine::createPixelShader(const char* text) {
    std::string name = m_log->newName("psh");
    record("createPixelShader() -> " + name);
    return new FakePixelShader(m_log, std::move(name), text ? text : "");
}

void RecordingRenderMachine::setPixelShader(PixelShader* shader) {
    record(call("setPixelShader", {nameOf(shader)}));
}

void RecordingRenderMachine::setPixelConstantF(int first, const float* values, int count) {
    record(call("setPixelConstantF", {num(first), floats(values, count * 4), num(count)}));
}

void RecordingRenderMachine::setPixelConstantB(int first, const int* values, int count) {
    record(call("setPixelConstantB", {num(first), ints(values, count), num(count)}));
}

void RecordingRenderMachine::setPixelConstantI(int first, const int* values, int count) {
    record(call("setPixelConstantI", {num(first), ints(values, count * 4), num(count)}));
}

Texture* RecordingRenderMachine::createTexture(int width, int height, unsigned format, int mipLevels,
                                               bool targetable) {
    std::string name = m_log->newName("tex");
    record(call("createTexture", {num(width), num(height), named(kFormatNames, format), num(mipLevels),
                                  flag(targetable)}) +
           " -> " + name);
    return new FakeTexture(m_log, std::move(name), width, height, format, mipLevels, false);
}

Texture* RecordingRenderMachine::createCubeTexture(int edge, unsigned format, int mipLevels, int flag) {
    std::string name = m_log->newName("tex");
    record(call("createCubeTexture", {num(edge), named(kFormatNames, format), num(mipLevels), num(flag)}) +
           " -> " + name);
    return new FakeTexture(m_log, std::move(name), edge, edge, format, mipLevels, true);
}

int RecordingRenderMachine::getMaxTextureUnits() { return m_limits.textureUnits; }

void RecordingRenderMachine::setTexture(int stage, Texture* texture) {
    record(call("setTexture", {num(stage), nameOf(texture)}));
    m_textures[checkStage(stage)] = texture;
}

int RecordingRenderMachine::getMaxCombinerStages() { return m_limits.combinerStages; }

void RecordingRenderMachine::setCombinerStage(int stage, const TextureCombinerStage* d) {
    if (d == nullptr) {
        record(call("setCombinerStage", {num(stage), "null"}));
        fail("setCombinerStage: no stage descriptor.");
    }
    const EnumEntry* const sources = Enums::combinerSource;
    record(call("setCombinerStage",
                {num(stage),
                 group("{",
                       {flag(d->enabled), named(sources, d->colorArg1), named(sources, d->colorArg2),
                        named(sources, d->colorArg3), named(sources, d->alphaArg1), named(sources, d->alphaArg2),
                        named(sources, d->alphaArg3), named(Enums::combinerOperation, d->colorOp),
                        named(Enums::combinerOperation, d->alphaOp), named(sources, d->result)},
                       "}")}));
}

void RecordingRenderMachine::setTextureFactor(const Color* color) {
    record(call("setTextureFactor", {format(color)}));
}

void RecordingRenderMachine::setDepthTest(bool enable) {
    record(call("setDepthTest", {flag(enable)}));
    m_depthTest = enable;
}

void RecordingRenderMachine::setDepthWrite(bool enable) { record(call("setDepthWrite", {flag(enable)})); }

void RecordingRenderMachine::setDepthFunc(int func) {
    record(call("setDepthFunc", {named(Enums::compareFunc, func)}));
    m_depthFunc = func;
}

std::vector<RenderState::Entry> RecordingRenderMachine::stateEntries() const {
    return {{"DEPTH_TEST", m_depthTest ? "true" : "false"}, {"DEPTH_FUNC", named(Enums::compareFunc, m_depthFunc)}};
}

void RecordingRenderMachine::setDepthBias(float constant, float linear) {
    record(call("setDepthBias", {real(constant), real(linear)}));
}

void RecordingRenderMachine::setFillMode(int mode) { record(call("setFillMode", {named(Enums::fillMode, mode)})); }

void RecordingRenderMachine::setAlphaTest(bool enable) { record(call("setAlphaTest", {flag(enable)})); }

void RecordingRenderMachine::setAlphaFunc(int func, float reference) {
    record(call("setAlphaFunc", {named(Enums::compareFunc, func), real(reference)}));
}

void RecordingRenderMachine::setBlend(bool enable) { record(call("setBlend", {flag(enable)})); }

void RecordingRenderMachine::setBlendFunc(int source, int destination) {
    record(call("setBlendFunc", {named(Enums::blendFactor, source), named(Enums::blendFactor, destination)}));
}

void RecordingRenderMachine::setBlendOperation(int operation) {
    record(call("setBlendOperation", {named(Enums::blendOperation, operation)}));
}

void RecordingRenderMachine::setBlendColor(const Color* color) { record(call("setBlendColor", {format(color)})); }

void RecordingRenderMachine::setCulling(bool enable) { record(call("setCulling", {flag(enable)})); }

void RecordingRenderMachine::setCullingMode(int mode) {
    record(call("setCullingMode", {named(Enums::cullingMode, mode)}));
}

void RecordingRenderMachine::setClipPlanes(bool enable) { record(call("setClipPlanes", {flag(enable)})); }

void RecordingRenderMachine::setClipPlaneMask(unsigned mask) { record(call("setClipPlaneMask", {num(mask)})); }

void RecordingRenderMachine::setClipPlane(int index, const Plane* plane) {
    record(call("setClipPlane", {num(index), plane ? group("(", {real(plane->a), real(plane->b), real(plane->c),
                                                                 real(plane->d)},
                                                           ")")
                                                   : "null"}));
}

void RecordingRenderMachine::setStencilTest(bool enable) { record(call("setStencilTest", {flag(enable)})); }

void RecordingRenderMachine::setTwoSidedStencil(bool enable) {
    record(call("setTwoSidedStencil", {flag(enable)}));
}

void RecordingRenderMachine::setStencilOp(unsigned fail, unsigned depthFail, unsigned pass) {
    record("setStencilOp(" + stencilOps(fail, depthFail, pass) + ")");
}

void RecordingRenderMachine::setStencilFunc(int func) {
    record(call("setStencilFunc", {named(Enums::compareFunc, func)}));
}

void RecordingRenderMachine::setStencilOpBack(unsigned fail, unsigned depthFail, unsigned pass) {
    record("setStencilOpBack(" + stencilOps(fail, depthFail, pass) + ")");
}

void RecordingRenderMachine::setStencilFuncBack(int func) {
    record(call("setStencilFuncBack", {named(Enums::compareFunc, func)}));
}

void RecordingRenderMachine::setStencilRef(int reference) { record(call("setStencilRef", {num(reference)})); }

void RecordingRenderMachine::setStencilMask(unsigned mask) { record(call("setStencilMask", {num(mask)})); }

void RecordingRenderMachine::setStencilWriteMask(unsigned mask) {
    record(call("setStencilWriteMask", {num(mask)}));
}

void RecordingRenderMachine::setPointSprite(bool enable) { record(call("setPointSprite", {flag(enable)})); }

void RecordingRenderMachine::setPointScaleEnable(bool enable) {
    record(call("setPointScaleEnable", {flag(enable)}));
}

void RecordingRenderMachine::setPointSize(float size) {
    record(call("setPointSize", {real(size)}));
    m_pointSizePixels = pointSizePixels(size, m_viewport.height);
}

void RecordingRenderMachine::setPointSizeMin(float size) { record(call("setPointSizeMin", {real(size)})); }

void RecordingRenderMachine::setPointSizeMax(float size) { record(call("setPointSizeMax", {real(size)})); }

void RecordingRenderMachine::setPointScale(float constant, float linear, float quadratic) {
    record(call("setPointScale", {real(constant), real(linear), real(quadratic)}));
}

void RecordingRenderMachine::clear(unsigned flags, const Color* color, float depth, int stencil) {
    record(call("clear", {num(flags), format(color), real(depth), num(stencil)}));
}

void RecordingRenderMachine::readPixels(void*, int x, int y, int width, int height) {
    record(call("readPixels", {num(x), num(y), num(width), num(height)}));
}

int RecordingRenderMachine::getWidth() { return m_viewport.width; }

int RecordingRenderMachine::getHeight() { return m_viewport.height; }

const Matrix* RecordingRenderMachine::getMatrix(unsigned kind) { return &m_matrices.get(kind); }

void RecordingRenderMachine::setMatrix(const Matrix* matrix, unsigned kind) {
    record(call("setMatrix", {format(*matrix), named(kMatrixKindNames, kind)}));
    m_matrices.set(kind, *matrix);
}

void RecordingRenderMachine::multMatrix(const Matrix* matrix, unsigned kind) {
    record(call("multMatrix", {format(*matrix), named(kMatrixKindNames, kind)}));
    m_matrices.mult(kind, *matrix);
}

void RecordingRenderMachine::setTextureMatrix(int stage, const Matrix* matrix) {
    record(call("setTextureMatrix", {num(stage), format(*matrix)}));
    m_textureMatrices[checkStage(stage)] = *matrix;
}

void RecordingRenderMachine::multTextureMatrix(int stage, const Matrix* matrix) {
    record(call("multTextureMatrix", {num(stage), format(*matrix)}));
    Matrix& stored = m_textureMatrices[checkStage(stage)];
    stored = multiply(stored, *matrix);
}

void RecordingRenderMachine::setColorWriteMask(bool red, bool green, bool blue, bool alpha) {
    record(call("setColorWriteMask", {flag(red), flag(green), flag(blue), flag(alpha)}));
}

void RecordingRenderMachine::setScissorTest(bool enable) { record(call("setScissorTest", {flag(enable)})); }

void RecordingRenderMachine::setPerspectiveHint(bool nicest) {
    record(call("setPerspectiveHint", {flag(nicest)}));
}

ImageLoader* RecordingRenderMachine::createImageLoader() {
    std::string name = m_log->newName("loader");
    record("createImageLoader() -> " + name);
    return new FakeImageLoader(m_log, std::move(name));
}

RenderState* RecordingRenderMachine::createState() {
    std::string name = m_log->newName("state");
    record("createState() -> " + name);
    auto* state = new FakeRenderState(m_log, std::move(name));
    state->set(stateEntries());
    return state;
}

void RecordingRenderMachine::captureState(RenderState* state) {
    record(call("captureState", {nameOf(state)}));
    if (auto* fake = dynamic_cast<FakeRenderState*>(state)) fake->set(stateEntries());
}

}  // namespace Vexa
