#pragma once
// A render machine that draws nothing and writes one text line for every call
// made on it or on a resource it created, so that tests can assert the exact
// sequence of calls a scene object makes:
//   op(arg, arg, ...)            a call on the machine
//   createX(arg, ...) -> name    a creating call and the new resource
//   name.op(arg, ...)            a call on a resource
//   delete name                  a resource destroyed
// Arguments: bool 1 or 0; integers in decimal; floats in %g form; enumerated
// values by their script names ("LESS", "TRIANGLE_LIST", "WORLD", "ARGB8"),
// or their number outside the names; colours and planes "(r g b a)";
// matrices and float arrays "[f f ...]"; records "{field field ...}"; null
// pointers "null"; resources by name (a prefix and a count per machine:
// win, target, mem, tex, decl, vbuf, ibuf, vsh, psh, loader, state), or
// "external" for one this machine did not make. Queries are not logged.
//
// Beside the log the machine keeps the matrices, the viewport in pixels and
// the depth test and function (the two states its snapshots hold). Image
// loaders give ARGB8 textures of the forced size, or of setImageSize's.
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

namespace Recording {

// An enumerated value, written by its name in `table`.
struct Named {
    const EnumEntry* table;
    long long value;
};
struct Floats {
    const float* values;
    int count;
};
struct Ints {
    const int* values;
    int count;
};

std::string text(bool value);
std::string text(int value);
std::string text(unsigned value);
std::string text(float value);
std::string text(const char* value);
std::string text(const std::string& value);
std::string text(const Color* color);
std::string text(const Color& color);
std::string text(const Plane* plane);
std::string text(const Matrix& matrix);
std::string text(const Named& named);
std::string text(const Floats& floats);
std::string text(const Ints& ints);
std::string resourceName(const void* resource, const std::string* name);

// Any resource: its name, or "null" / "external".
template <typename T, typename = std::enable_if_t<std::is_polymorphic_v<T>>>
std::string text(const T* resource);

template <typename... Args>
std::string joined(const char* separator, const Args&... args) {
    std::string out;
    [[maybe_unused]] int i = 0;
    ((out += std::string(i++ ? separator : "") + text(args)), ...);
    return out;
}

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
    std::vector<std::pair<std::string, int>> counters;
    int imageWidth = 1;
    int imageHeight = 1;
    std::string newName(const std::string& prefix);
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

template <typename T, typename>
std::string text(const T* resource) {
    const auto* recorded = dynamic_cast<const Resource*>(resource);
    return resourceName(resource, recorded ? &recorded->name() : nullptr);
}

}  // namespace Recording

class RecordingRenderMachine : public RenderMachine {
    using Named = Recording::Named;
    using Floats = Recording::Floats;
    using Ints = Recording::Ints;

public:
    static constexpr int kTextureUnits = 4;
    static constexpr int kLights = 8;
    static constexpr int kCombinerStages = 8;

    RecordingRenderMachine();

    // The lines recorded since construction or the last clear.
    const std::vector<std::string>& log() const { return m_log->lines; }
    void clearLog() { m_log->lines.clear(); }
    std::vector<std::string> takeLog();
    void setImageSize(int width, int height);
    const ViewportPixels& viewportPixels() const { return m_viewport; }
    // A matrix as the log writes it.
    static std::string format(const Matrix& matrix) { return Recording::text(matrix); }

    void beginScene() override { log("beginScene"); }
    void endScene() override { log("endScene"); }
    Window* createWindow(const WindowParameters& p) override;
    TextureTarget* createTextureTarget(int width, int height, unsigned format,
                                       Texture** texture) override;
    RenderMemory* createRenderMemory(int width, int height, uint8_t* buffer) override;
    void setViewport(const Viewport& viewport) override;
    VertexDeclaration* createVertexDeclaration() override;
    VertexStream* createVertexStream(int count, int stride, unsigned usage) override;
    void setVertexStream(VertexStream* s, int index) override { log("setVertexStream", s, index); }
    void setVertexDeclaration(VertexDeclaration* d) override { log("setVertexDeclaration", d); }
    IndexStream* createIndexStream(int count, int format) override;
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
    void setLight(int light, const LightDesc* description) override;
    int getMaxLights() override { return kLights; }
    void setColorMaterial(unsigned source) override { log("setColorMaterial", source); }
    VertexShader* createVertexShader(const char* text) override;
    void setVertexShader(VertexShader* shader) override { log("setVertexShader", shader); }
    void setVertexConstantF(int first, const float* values, int count) override {
        log("setVertexConstantF", first, Floats{values, 4 * count}, count);
    }
    void setVertexConstantB(int first, const int* values, int count) override {
        log("setVertexConstantB", first, Ints{values, count}, count);
    }
    void setVertexConstantI(int first, const int* values, int count) override {
        log("setVertexConstantI", first, Ints{values, 4 * count}, count);
    }
    void setVertexConstantMatrix(int first, int selector) override {
        log("setVertexConstantMatrix", first, selector);
        m_matrices.vertexProgramMatrix(selector);
    }
    PixelShader* createPixelShader(const char* text) override;
    void setPixelShader(PixelShader* shader) override { log("setPixelShader", shader); }
    void setPixelConstantF(int first, const float* values, int count) override {
        log("setPixelConstantF", first, Floats{values, 4 * count}, count);
    }
    void setPixelConstantB(int first, const int* values, int count) override {
        log("setPixelConstantB", first, Ints{values, count}, count);
    }
    void setPixelConstantI(int first, const int* values, int count) override {
        log("setPixelConstantI", first, Ints{values, 4 * count}, count);
    }
    Texture* createTexture(int width, int height, unsigned format, int mipLevels,
                           bool targetable) override;
    Texture* createCubeTexture(int edge, unsigned format, int mipLevels, int flag) override;
    int getMaxTextureUnits() override { return kTextureUnits; }
    void setTexture(int stage, Texture* texture) override { log("setTexture", stage, texture); }
    int getMaxCombinerStages() override { return kCombinerStages; }
    void setCombinerStage(int stage, const TextureCombinerStage* descriptor) override;
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
    ImageLoader* createImageLoader() override;
    RenderState* createState() override;
    void captureState(RenderState* state) override;

private:
    template <typename... Args>
    void log(const char* operation, const Args&... args) {
        m_log->lines.push_back(Recording::call(operation, args...));
    }
    // Logs a creating call and answers the new resource's name.
    template <typename... Args>
    std::string made(const char* prefix, const char* operation, const Args&... args) {
        std::string name = m_log->newName(prefix);
        m_log->lines.push_back(Recording::call(operation, args...) + " -> " + name);
        return name;
    }
    static Named primitive(unsigned type);
    static Named matrixKind(unsigned kind);
    static Named textureFormat(unsigned format);
    static Named stencil(unsigned operation);
    static Named compare(int func) { return {Enums::compareFunc, func}; }
    std::vector<RenderState::Entry> stateEntries() const;

    std::shared_ptr<Recording::Log> m_log = std::make_shared<Recording::Log>();
    MatrixSet m_matrices;
    ViewportPixels m_viewport;
    bool m_depthTest = true;
    int m_depthFunc = LESS;
};

}  // namespace Vexa
