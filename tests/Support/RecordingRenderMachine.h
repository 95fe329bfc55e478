#pragma once
// A render machine that draws nothing and writes one text line for every call
// made on it or on a resource it created, so that tests can assert the exact
// sequence of calls a scene object makes.
//
// Lines:
//   op(arg, arg, ...)                 a call on the machine, arguments in the
//                                     operation's order
//   createX(arg, ...) -> name         a creating call and the new resource
//   name.op(arg, ...)                 a call on a resource
//   delete name                       a resource destroyed
// Arguments:
//   bool 1 or 0; integers in decimal; floats in %g form (six significant
//   digits, so 0.01 is "0.01" and 40 is "40"); enumerated arguments by their
//   script names ("LESS", "ONE", "CCW", "TRIANGLE_LIST", "STENCIL_KEEP",
//   matrix kinds "PROJECTION", "VIEW", "WORLD", texture formats "RGB8",
//   "ARGB8", "L8"), a value outside the names as its number; colours and
//   planes "(r g b a)"; matrices and float arrays "[f f ...]" in storage
//   order; null pointers "null"; resources by name; combiner stages and light
//   records "{field field ...}" in their field order; text unquoted.
// Resource names are a prefix and a number counted per machine from 1:
//   win, target (texture target), mem (render memory), tex, decl, vbuf, ibuf,
//   vsh, psh, loader, state; a target the machine did not create is "external".
//
// Calls are logged before they are checked, so a call that fails is in the
// log too. Queries (getMaxLights, getMaxTextureUnits, getMaxCombinerStages,
// getWidth, getHeight, getMatrix and the resources' getters) and what the
// machine does internally (making a viewport's target current) are not
// logged. Unlike a back end, the machine does not run the default-state
// routine on the first viewport; setDefaultState() called by a test or a
// scene object logs its calls as usual.
//
// Beside the log the machine keeps what tests read back: the three matrices
// (with the "Bad matrix type." check), texture matrices and textures per
// stage, the viewport in pixels, the last point size in pixels, vertex
// constants and the last light records.
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

struct RecordingLog;

// Every fake resource: a name and the log it writes to, shared with the
// machine so that a resource may outlive it.
class RecordedResource {
public:
    RecordedResource(std::shared_ptr<RecordingLog> log, std::string name);
    virtual ~RecordedResource();
    RecordedResource(const RecordedResource&) = delete;
    RecordedResource& operator=(const RecordedResource&) = delete;
    const std::string& name() const { return m_name; }

protected:
    // Writes "name.text".
    void record(const std::string& text) const;
    RecordingLog& log() const { return *m_log; }
    const std::shared_ptr<RecordingLog>& sharedLog() const { return m_log; }

private:
    std::shared_ptr<RecordingLog> m_log;
    std::string m_name;
};

class FakeTexture : public Texture, public RecordedResource {
public:
    FakeTexture(std::shared_ptr<RecordingLog> log, std::string name, int width, int height,
                unsigned format, int mipLevels, bool cube);
    void setPriority(float priority) override;
    void setMinFilter(int filter) override;
    void setMagFilter(int filter) override;
    void setBorderColor(const Color& color) override;
    void setWrapMode(int coordinate, int mode) override;
    void bind(RenderMachine* machine, int stage) override;
    void* lock(int* pitch, unsigned flags) override;
    void* lockRect(int level, int reserved, int x, int y, int* pitch, unsigned flags) override;
    void unlock() override;
    void update(const void* pixels) override;
    void updateRect(const void* pixels, int x, int y, int width, int height) override;
    void* lockFace(int face, int* pitch, unsigned flags) override;
    void unlockFace(int face) override;
    void updateFace(int face, const void* pixels) override;

    int width() const { return m_width; }
    int height() const { return m_height; }
    unsigned format() const { return m_format; }
    int mipLevels() const { return m_mipLevels; }
    bool isCube() const { return m_faces.size() == 6; }
    int bytesPerPixel() const { return m_bytesPerPixel; }
    // Level 0 of a face as last written through lock, update or updateRect.
    const std::vector<uint8_t>& pixels(int face = 0) const { return m_faces.at(face); }

private:
    std::vector<uint8_t>& face(int face);

    int m_width;
    int m_height;
    unsigned m_format;
    int m_mipLevels;
    int m_bytesPerPixel = 0;
    std::vector<std::vector<uint8_t>> m_faces;
};

class FakeVertexStream : public VertexStream, public RecordedResource {
public:
    FakeVertexStream(std::shared_ptr<RecordingLog> log, std::string name, int count, int stride);
    void setPriority(float priority) override;
    void* lock(int first, int count, unsigned flags) override;
    void* lock(unsigned flags) override;
    void unlock() override;
    int vertexCount() const override { return m_count; }
    int stride() const override { return m_stride; }
    const std::vector<uint8_t>& data() const { return m_data; }

private:
    int m_count;
    int m_stride;
    std::vector<uint8_t> m_data;
};

class FakeIndexStream : public IndexStream, public RecordedResource {
public:
    FakeIndexStream(std::shared_ptr<RecordingLog> log, std::string name, int count, int format);
    void setPriority(float priority) override;
    void* lock(int first, int count, unsigned flags) override;
    void* lock(unsigned flags) override;
    void unlock() override;
    int indexCount() const override { return m_count; }
    int indexSize() const override { return m_size; }
    const std::vector<uint8_t>& data() const { return m_data; }

private:
    int m_count;
    int m_size;
    std::vector<uint8_t> m_data;
};

class FakeVertexDeclaration : public VertexDeclaration, public RecordedResource {
public:
    using RecordedResource::RecordedResource;
};

class FakeVertexShader : public VertexShader, public RecordedResource {
public:
    FakeVertexShader(std::shared_ptr<RecordingLog> log, std::string name, std::string text)
        : RecordedResource(std::move(log), std::move(name)), m_text(std::move(text)) {}
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

class FakePixelShader : public PixelShader, public RecordedResource {
public:
    FakePixelShader(std::shared_ptr<RecordingLog> log, std::string name, std::string text)
        : RecordedResource(std::move(log), std::move(name)), m_text(std::move(text)) {}
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

class FakeWindow : public Window, public RecordedResource {
public:
    FakeWindow(std::shared_ptr<RecordingLog> log, std::string name, const WindowParameters& parameters);
    int getWidth() const override { return m_parameters.width; }
    int getHeight() const override { return m_parameters.height; }
    void present() override;
    void makeCurrent() override;
    void makeCurrent(RenderMachine* machine) override;
    void processMessages() override;
    void setTitle(const char* text) override;
    void showCursor(bool show) override;
    const WindowParameters& parameters() const { return m_parameters; }

private:
    WindowParameters m_parameters;
};

class FakeTextureTarget : public TextureTarget, public RecordedResource {
public:
    FakeTextureTarget(std::shared_ptr<RecordingLog> log, std::string name, int width, int height,
                      FakeTexture* texture);
    int getWidth() const override { return m_width; }
    int getHeight() const override { return m_height; }
    void present() override;
    void makeCurrent(RenderMachine* machine) override;
    // Not owned: the creator of the target owns its texture.
    FakeTexture* texture() const { return m_texture; }

private:
    int m_width;
    int m_height;
    FakeTexture* m_texture;
};

class FakeRenderMemory : public RenderMemory, public RecordedResource {
public:
    FakeRenderMemory(std::shared_ptr<RecordingLog> log, std::string name, int width, int height,
                     uint8_t* buffer);
    int getWidth() const override { return m_width; }
    int getHeight() const override { return m_height; }
    void present() override;
    void makeCurrent(RenderMachine* machine) override;
    uint8_t* buffer() override { return m_buffer; }

private:
    int m_width;
    int m_height;
    std::unique_ptr<uint8_t[]> m_ownBuffer;
    uint8_t* m_buffer;
};

// Every load gives an ARGB8 texture of the forced size, or of the size set
// with RecordingRenderMachine::setImageSize, with the described mip levels
// (1 when negative).
class FakeImageLoader : public ImageLoader, public RecordedResource {
public:
    using RecordedResource::RecordedResource;
    Texture* loadTexture(const DataBlock& data, const TextureDescription& description) override;
    Texture* loadTexture(const char* fileName, const TextureDescription& description) override;
    Texture* loadTextureEx(const DataBlock& data, const TextureDescription& description) override;
    Texture* loadTextureEx(const char* fileName, const TextureDescription& description) override;
    Texture* loadCubeTexture(const DataBlock* const faces[6],
                             const TextureDescription& description) override;
    Texture* loadCubeTexture(const char* const faces[6], const TextureDescription& description) override;
    Texture* loadCubeTextureEx(const DataBlock* const faces[6],
                               const TextureDescription& description) override;
    Texture* loadCubeTextureEx(const char* const faces[6],
                               const TextureDescription& description) override;

private:
    Texture* load(const std::string& call, const std::string& source,
                  const TextureDescription& description, bool cube);
};

// A snapshot of the two states the recording machine follows: the depth
// test switch and the depth function.
class FakeRenderState : public RenderState, public RecordedResource {
public:
    using RecordedResource::RecordedResource;
    std::vector<Entry> entries() const override { return m_entries; }
    void set(std::vector<Entry> entries) { m_entries = std::move(entries); }

private:
    std::vector<Entry> m_entries;
};

// What the machine reports through getMaxTextureUnits, getMaxLights and
// getMaxCombinerStages; small numbers keep expected logs short.
struct RecordingLimits {
    int textureUnits = 4;
    int lights = 8;
    int combinerStages = 8;
};

class RecordingRenderMachine : public RenderMachine {
public:
    explicit RecordingRenderMachine(RecordingLimits limits = RecordingLimits());
    ~RecordingRenderMachine() override;

    // The lines recorded since construction or the last clearLog().
    const std::vector<std::string>& log() const;
    // The lines joined, each followed by a line feed.
    std::string logText() const;
    void clearLog();
    // The log's lines, clearing it.
    std::vector<std::string> takeLog();

    // The size of the images the fake image loaders pretend to read.
    void setImageSize(int width, int height);

    const Matrix& textureMatrix(int stage) const { return m_textureMatrices.at(stage); }
    Texture* texture(int stage) const { return m_textures.at(stage); }
    const ViewportPixels& viewportPixels() const { return m_viewport; }
    RenderTarget* currentTarget() const { return m_target; }
    // The size the device would get from the last setPointSize.
    float pointSizeInPixels() const { return m_pointSizePixels; }
    // The four floats of a vertex register (zeros when never written).
    std::array<float, 4> vertexConstant(int index) const;
    const LightDesc& light(int index) const { return m_lights.at(index); }

    // The argument formats of the log, for building expected lines.
    static std::string format(float value);
    static std::string format(const Color* color);
    static std::string format(const Matrix& matrix);

    void beginScene() override;
    void endScene() override;
    Window* createWindow(const WindowParameters& parameters) override;
    TextureTarget* createTextureTarget(int width, int height, unsigned format, Texture** texture) override;
    RenderMemory* createRenderMemory(int width, int height, uint8_t* buffer) override;
    void setViewport(const Viewport& viewport) override;
    VertexDeclaration* createVertexDeclaration() override;
    VertexStream* createVertexStream(int count, int stride, unsigned usage) override;
    void setVertexStream(VertexStream* stream, int index) override;
    void setVertexDeclaration(VertexDeclaration* declaration) override;
    IndexStream* createIndexStream(int count, int format) override;
    void setIndexStream(IndexStream* stream) override;
    void drawPrimitive(unsigned type, int firstVertex, int primitiveCount) override;
    void drawIndexedPrimitive(unsigned type, int baseVertex, int minIndex, int vertexCount,
                              int firstIndex, int primitiveCount) override;
    void setTextureCoordGen(int stage, int mode) override;
    void setMaterial(const Color* diffuse, const Color* ambient, const Color* specular, float power,
                     const Color* emissive) override;
    void setShadeMode(bool smooth) override;
    void setSpecularSeparate(bool separate) override;
    void setFog(bool enable) override;
    void setFogRangeBased(bool rangeBased) override;
    void setFogColor(const Color* color) override;
    void setFogMode(int mode) override;
    void enableFogVertexMode(bool enable) override;
    void setFogParameters(float start, float end, float density) override;
    void setLighting(bool enable) override;
    void setColorMaterialEnable(bool enable) override;
    void setAmbientLight(const Color* color) override;
    void setLocalViewer(bool enable) override;
    void setNormalize(bool enable) override;
    void setLightEnable(int light, bool enable) override;
    void setLight(int light, const LightDesc* description) override;
    int getMaxLights() override;
    void setColorMaterial(unsigned source) override;
    VertexShader* createVertexShader(const char* text) override;
    void setVertexShader(VertexShader* shader) override;
    void setVertexConstantF(int first, const float* values, int count) override;
    void setVertexConstantB(int first, const int* values, int count) override;
    void setVertexConstantI(int first, const int* values, int count) override;
    void setVertexConstantMatrix(int first, int selector) override;
    PixelShader* createPixelShader(const char* text) override;
    void setPixelShader(PixelShader* shader) override;
    void setPixelConstantF(int first, const float* values, int count) override;
    void setPixelConstantB(int first, const int* values, int count) override;
    void setPixelConstantI(int first, const int* values, int count) override;
    Texture* createTexture(int width, int height, unsigned format, int mipLevels, bool targetable) override;
    Texture* createCubeTexture(int edge, unsigned format, int mipLevels, int flag) override;
    int getMaxTextureUnits() override;
    void setTexture(int stage, Texture* texture) override;
    int getMaxCombinerStages() override;
    void setCombinerStage(int stage, const TextureCombinerStage* descriptor) override;
    void setTextureFactor(const Color* color) override;
    void setDepthTest(bool enable) override;
    void setDepthWrite(bool enable) override;
    void setDepthFunc(int func) override;
    void setDepthBias(float constant, float linear) override;
    void setFillMode(int mode) override;
    void setAlphaTest(bool enable) override;
    void setAlphaFunc(int func, float reference) override;
    void setBlend(bool enable) override;
    void setBlendFunc(int source, int destination) override;
    void setBlendOperation(int operation) override;
    void setBlendColor(const Color* color) override;
    void setCulling(bool enable) override;
    void setCullingMode(int mode) override;
    void setClipPlanes(bool enable) override;
    void setClipPlaneMask(unsigned mask) override;
    void setClipPlane(int index, const Plane* plane) override;
    void setStencilTest(bool enable) override;
    void setTwoSidedStencil(bool enable) override;
    void setStencilOp(unsigned fail, unsigned depthFail, unsigned pass) override;
    void setStencilFunc(int func) override;
    void setStencilOpBack(unsigned fail, unsigned depthFail, unsigned pass) override;
    void setStencilFuncBack(int func) override;
    void setStencilRef(int reference) override;
    void setStencilMask(unsigned mask) override;
    void setStencilWriteMask(unsigned mask) override;
    void setPointSprite(bool enable) override;
    void setPointScaleEnable(bool enable) override;
    void setPointSize(float size) override;
    void setPointSizeMin(float size) override;
    void setPointSizeMax(float size) override;
    void setPointScale(float constant, float linear, float quadratic) override;
    void clear(unsigned flags, const Color* color, float depth, int stencil) override;
    void readPixels(void* destination, int x, int y, int width, int height) override;
    int getWidth() override;
    int getHeight() override;
    const Matrix* getMatrix(unsigned kind) override;
    void setMatrix(const Matrix* matrix, unsigned kind) override;
    void multMatrix(const Matrix* matrix, unsigned kind) override;
    void setTextureMatrix(int stage, const Matrix* matrix) override;
    void multTextureMatrix(int stage, const Matrix* matrix) override;
    void setColorWriteMask(bool red, bool green, bool blue, bool alpha) override;
    void setScissorTest(bool enable) override;
    void setPerspectiveHint(bool nicest) override;
    ImageLoader* createImageLoader() override;
    RenderState* createState() override;
    void captureState(RenderState* state) override;

private:
    void record(const std::string& line);
    int checkStage(int stage) const;

    std::shared_ptr<RecordingLog> m_log;
    RecordingLimits m_limits;
    MatrixSet m_matrices;
    std::vector<Matrix> m_textureMatrices;
    std::vector<Texture*> m_textures;
    std::vector<LightDesc> m_lights;
    std::map<int, std::array<float, 4>> m_vertexConstants;
    ViewportPixels m_viewport;
    RenderTarget* m_target = nullptr;
    float m_pointSizePixels = 0.0f;
    bool m_depthTest = true;
    int m_depthFunc = LESS;
    std::vector<RenderState::Entry> stateEntries() const;
};

}  // namespace Vexa
