#pragma once
// The one abstract rendering interface. Every drawing object reaches the
// graphics hardware only through it. It is a thin, stateful layer shaped like
// a fixed-function pipeline: render states are set one call at a time,
// geometry is drawn from vertex and index streams described by a vertex
// declaration, textures are bound to numbered stages, and the projection,
// view and world matrices plus one texture matrix per stage are held by the
// machine itself.
//
// Resources are created by the machine, owned by whoever asked for them, and
// released by deleting them through their virtual destructors.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Parser/EnumTable.h"
#include "Rendering/Common/RenderWindow.h"

namespace Vexa {

class DataBlock;
class RenderMachine;

// 16 floats; elements 0 to 3 form the first column of the OpenGL matrix.
struct Matrix {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    float& at(int row, int column) { return m[column * 4 + row]; }
    float at(int row, int column) const { return m[column * 4 + row]; }
    // Every element [i][i] set to `scale`, every other to 0.
    static Matrix identity(float scale = 1.0f);
};

// The product a times b (b applied first), formed by the one shared routine.
Matrix multiply(const Matrix& a, const Matrix& b);

struct Color {
    float r = 0, g = 0, b = 0, a = 0;
};

struct Plane {
    float a = 0, b = 0, c = 0, d = 0;
};

enum MatrixKind : unsigned { MATRIX_PROJECTION = 0, MATRIX_VIEW = 1, MATRIX_WORLD = 2 };
constexpr unsigned kMatrixKindCount = MATRIX_WORLD + 1;

enum PrimitiveType : unsigned {
    POINT_LIST = 0,
    LINE_LIST = 1,
    LINE_STRIP = 2,
    TRIANGLE_LIST = 3,
    TRIANGLE_STRIP = 4,
    TRIANGLE_FAN = 5,
};
constexpr unsigned kPrimitiveTypeCount = TRIANGLE_FAN + 1;

enum TextureFormat : unsigned { FORMAT_RGB8 = 0, FORMAT_ARGB8 = 1, FORMAT_L8 = 2 };
constexpr unsigned kTextureFormatCount = FORMAT_L8 + 1;

enum TexGenMode : int { GEN_DISABLE = 0, GEN_NORMAL, GEN_VERTEX, GEN_REFLECTION, GEN_SPHEREMAP };
constexpr int kTexGenModeCount = GEN_SPHEREMAP + 1;
enum WrapMode : int { REPEAT = 0, CLAMP, BORDER };
constexpr int kWrapModeCount = BORDER + 1;
enum CompareFunc : int {
    NEVER = 0,
    LESS,
    EQUAL,
    LESSEQUAL,
    GREATER,
    NOTEQUAL,
    GREATEREQUAL,
    ALWAYS
};
constexpr int kCompareFuncCount = ALWAYS + 1;
enum FillMode : int { POINT = 0, WIREFRAME, SOLID };
constexpr int kFillModeCount = SOLID + 1;
enum BlendFactor : int {
    ZERO = 0,
    ONE,
    SRCCOLOR,
    INVSRCCOLOR,
    SRCALPHA,
    INVSRCALPHA,
    DESTALPHA,
    INVDESTALPHA,
    DESTCOLOR,
    INVDESTCOLOR,
    SRCALPHASAT,
    BLENDFACTOR,
    INVBLENDFACTOR,
};
constexpr int kBlendFactorCount = INVBLENDFACTOR + 1;
enum BlendOperation : int { ADD = 0, SUBTRACT, REVSUBTRACT, MIN, MAX };
constexpr int kBlendOperationCount = MAX + 1;
enum CullingMode : int { CW = 0, CCW };
constexpr int kCullingModeCount = CCW + 1;
enum FogMode : int { FOG_EXP = 0, FOG_EXP2, FOG_LINEAR };
constexpr int kFogModeCount = FOG_LINEAR + 1;
enum LightType : int { POINT_LIGHT = 0, SPOT_LIGHT, DIRECTIONAL_LIGHT };
constexpr int kLightTypeCount = DIRECTIONAL_LIGHT + 1;
enum CombinerSource : int {
    SRC_CURRENT = 0,
    SRC_TEMP,
    SRC_DIFFUSE,
    SRC_SPECULAR,
    SRC_TEXTURE,
    SRC_FACTOR
};
constexpr int kCombinerSourceCount = SRC_FACTOR + 1;
enum CombinerOperation : int {
    OP_I1 = 0,
    OP_I2,
    OP_MODULATE,
    OP_MODULATE2X,
    OP_MODULATE4X,
    OP_ADD,
    OP_ADDSIGNED,
    OP_ADDSIGNED2X,
    OP_SUB,
    OP_ADDSMOOTH,
    OP_BLENDCURALPHA,
    OP_BLENDDIFALPHA,
    OP_BLENDTEXALPHA,
    OP_DOTP,
    OP_LERP,
    OP_MULADD,
    OP_MODULATEALPHA_ADDCOLOR,
    OP_MODULATECOLOR_ADDALPHA,
    OP_MODULATEINVALPHA_ADDCOLOR,
    OP_MODULATEINVCOLOR_ADDALPHA,
};
constexpr int kCombinerOperationCount = OP_MODULATEINVCOLOR_ADDALPHA + 1;
enum GeometrySource : int { SOURCE_NONE = 0, SOURCE_WORLD };
constexpr int kGeometrySourceCount = SOURCE_WORLD + 1;
enum StencilOperation : unsigned {
    STENCIL_KEEP = 1,
    STENCIL_ZERO,
    STENCIL_REPLACE,
    STENCIL_INCRSAT,
    STENCIL_DECRSAT,
    STENCIL_INVERT,
    STENCIL_INCR,
    STENCIL_DECR,
};
constexpr unsigned kStencilOperationCount = STENCIL_DECR - STENCIL_KEEP + 1;
enum ClearFlags : unsigned { CLEAR_COLOR = 1, CLEAR_DEPTH = 2, CLEAR_STENCIL = 4 };
// Values the machine takes only as numbers: colour material sources (0 off,
// 1 ambient, 2 diffuse, 3 specular, 4 emissive, 5 ambient and diffuse),
// minification filters (nearest, linear, then each with the nearest mip level,
// then each blended between levels), magnification filters (nearest, linear),
// texture coordinates of wrap modes (u, v, w) and vertex element types (one to
// four floats, then a 32-bit colour 0xAARRGGBB of four bytes).
constexpr unsigned kColorMaterialSourceCount = 6;
constexpr int kMinFilterCount = 6;
constexpr int kMagFilterCount = 2;
constexpr int kWrapCoordinateCount = 3;
constexpr int kElementFloat1 = 0;
constexpr int kElementFloat2 = 1;
constexpr int kElementFloat3 = 2;
constexpr int kElementFloat4 = 3;
constexpr int kElementColor32 = 4;
constexpr int kElementDataTypeCount = kElementColor32 + 1;
// Lock flag of vertex streams: the earlier contents may be thrown away, only
// what is written under this lock is drawn.
constexpr unsigned kLockDiscard = 0x2000;

// Script enumeration tables, each ended by a pair with a null name.
namespace Enums {
extern const EnumEntry texCoordGen[];
extern const EnumEntry textureWrap[];
extern const EnumEntry compareFunc[];
extern const EnumEntry fillMode[];
extern const EnumEntry blendFactor[];
extern const EnumEntry blendOperation[];
extern const EnumEntry cullingMode[];
extern const EnumEntry fogMode[];
extern const EnumEntry lightType[];
extern const EnumEntry combinerSource[];
extern const EnumEntry combinerOperation[];
extern const EnumEntry geometrySource[];
}  // namespace Enums

class RenderTarget;

// A target and a rectangle in fractions of the target's size.
struct Viewport {
    RenderTarget* target = nullptr;
    float x = 0, y = 0, width = 1, height = 1;
};

// The light record handed to the machine: 24 consecutive words.
struct LightDesc {
    int32_t type = POINT_LIGHT;
    Color diffuse;
    Color specular;
    Color ambient;
    float position[3] = {0, 0, 0};
    float direction[3] = {0, 0, 1};
    float spotExponent = 0;
    float attenuation0 = 1, attenuation1 = 0, attenuation2 = 0;
    float spotCutoff = 180;
};
static_assert(sizeof(LightDesc) == 24 * 4, "the light record is 24 words");

struct TextureCombinerStage {
    bool enabled = false;
    int32_t colorArg1 = SRC_TEXTURE, colorArg2 = SRC_CURRENT, colorArg3 = SRC_CURRENT;
    int32_t alphaArg1 = SRC_TEXTURE, alphaArg2 = SRC_CURRENT, alphaArg3 = SRC_CURRENT;
    int32_t colorOp = OP_MODULATE;
    int32_t alphaOp = OP_MODULATE;
    int32_t result = SRC_CURRENT;

    // An enabled stage that passes its texture through unchanged.
    static TextureCombinerStage textureThrough() {
        TextureCombinerStage stage;
        stage.enabled = true;
        stage.colorOp = stage.alphaOp = OP_I1;
        return stage;
    }
};

// Anything that can be rendered into.
class RenderTarget {
public:
    virtual ~RenderTarget() = default;
    virtual int getWidth() const = 0;
    virtual int getHeight() const = 0;
    // End of rendering into this target.
    virtual void present() = 0;
    // Makes this target the destination of the machine's following drawing.
    virtual void makeCurrent(RenderMachine* machine) = 0;
    // Whether this is the on-screen window rather than an off-screen target.
    virtual bool isWindow() const { return false; }
};

class Texture;

// Renders into a texture; present() copies the rendered rectangle into it.
class TextureTarget : public RenderTarget {};

// Renders into memory; present() reads the pixels back (RGBA bytes).
class RenderMemory : public RenderTarget {
public:
    virtual uint8_t* buffer() = 0;
};

class Texture {
public:
    virtual ~Texture() = default;
    virtual void setPriority(float priority) = 0;
    virtual void setMinFilter(int filter) = 0;
    virtual void setMagFilter(int filter) = 0;
    virtual void setBorderColor(const Color& color) = 0;
    virtual void setWrapMode(int coordinate, int mode) = 0;
    virtual void bind(RenderMachine* machine, int stage) = 0;
    virtual void* lock(int* pitch, unsigned flags) = 0;
    virtual void* lockRect(int level, int reserved, int x, int y, int* pitch, unsigned flags) = 0;
    virtual void unlock() = 0;
    virtual void update(const void* pixels) = 0;
    virtual void updateRect(const void* pixels, int x, int y, int width, int height) = 0;
    // Cube faces 0 to 5; 2D textures ignore these.
    virtual void* lockFace(int face, int* pitch, unsigned flags) = 0;
    virtual void unlockFace(int face) = 0;
    virtual void updateFace(int face, const void* pixels) = 0;
};

class VertexStream {
public:
    virtual ~VertexStream() = default;
    virtual void setPriority(float priority) = 0;
    virtual void* lock(int first, int count, unsigned flags) = 0;
    virtual void* lock(unsigned flags) = 0;
    virtual void unlock() = 0;
    virtual int vertexCount() const = 0;
    virtual int stride() const = 0;
};

class IndexStream {
public:
    virtual ~IndexStream() = default;
    virtual void setPriority(float priority) = 0;
    virtual void* lock(int first, int count, unsigned flags) = 0;
    virtual void* lock(unsigned flags) = 0;
    virtual void unlock() = 0;
    virtual int indexCount() const = 0;
    // 2 for 16-bit indices (format 0), 4 for 32-bit (format 1).
    virtual int indexSize() const = 0;
};

struct VertexElement {
    enum Usage : int { POSITION = 0, NORMAL = 1, COLOR = 2, TEXCOORD = 3, UNSUPPORTED = 4 };
    int usage = POSITION;
    int dataType = 2;  // 0..3: one to four floats; kElementColor32: a packed colour
    int usageIndex = 0;
    uint16_t offset = 0;
};

// The vertex layout scene code fills in, element by element in vertex order.
class VertexDeclaration {
public:
    virtual ~VertexDeclaration() = default;
    // Appends an element at the running offset and advances it by the size
    // of its type; the final offset is the vertex stride.
    void append(int usage, int dataType, int usageIndex);
    const std::vector<VertexElement>& elements() const { return m_elements; }
    int stride() const { return m_offset; }

private:
    std::vector<VertexElement> m_elements;
    int m_offset = 0;
};

class VertexShader {
public:
    virtual ~VertexShader() = default;
};

class PixelShader {
public:
    virtual ~PixelShader() = default;
};

// What a loaded texture should look like.
struct TextureDescription {
    int mipLevels = -1;  // negative: a full chain for power-of-two sizes
    bool forceSize = false;
    int width = 0;
    int height = 0;
};

class ImageLoader {
public:
    virtual ~ImageLoader() = default;
    // Pair 1: a 2D texture.
    virtual Texture* loadTexture(const DataBlock& data, const TextureDescription& description) = 0;
    virtual Texture* loadTexture(const char* fileName, const TextureDescription& description) = 0;
    // Pair 2.
    virtual Texture* loadTextureEx(const DataBlock& data,
                                   const TextureDescription& description) = 0;
    virtual Texture* loadTextureEx(const char* fileName, const TextureDescription& description) = 0;
    // Pair 3: a cube texture from six images.
    virtual Texture* loadCubeTexture(const DataBlock* const faces[6],
                                     const TextureDescription& description) = 0;
    virtual Texture* loadCubeTexture(const char* const faces[6],
                                     const TextureDescription& description) = 0;
    // Pair 4.
    virtual Texture* loadCubeTextureEx(const DataBlock* const faces[6],
                                       const TextureDescription& description) = 0;
    virtual Texture* loadCubeTextureEx(const char* const faces[6],
                                       const TextureDescription& description) = 0;
};

// A copy of the device's render state. Its entries are listed in a fixed
// order, each a name ("FOG", "BLEND_EQUATION") and its value as text: "true"
// or "false" for switches, decimal numbers (several separated by one blank),
// or the name of an enumerated value ("INVALID_ENUM" when it has none).
class RenderState {
public:
    struct Entry {
        std::string name;
        std::string value;
    };
    virtual ~RenderState() = default;
    // Reads the device's current state into the snapshot.
    virtual void capture() {}
    virtual std::vector<Entry> entries() const { return {}; }
};

// Window parameters; the defaults are those the graphics system starts from.
struct WindowParameters {
    int x = 0, y = 0;
    int width = 640, height = 480;
    int bitsPerPixel = 32;
    int unusedDepth = 16;
    bool unusedFlag = true;
    bool fullScreen = false;
    bool showCursor = true;
};

// The window as a render target of the machine.
class Window : public RenderTarget, public RenderWindow {
public:
    int getWidth() const override = 0;
    int getHeight() const override = 0;
    void present() override = 0;
    bool isWindow() const final { return true; }
};

class RenderMachine {
public:
    virtual ~RenderMachine() = default;
    virtual void beginScene() = 0;
    virtual void endScene() = 0;
    virtual Window* createWindow(const WindowParameters& parameters) = 0;
    virtual TextureTarget* createTextureTarget(int width, int height, unsigned format,
                                               Texture** texture) = 0;
    virtual RenderMemory* createRenderMemory(int width, int height, uint8_t* buffer) = 0;
    virtual void setViewport(const Viewport& viewport) = 0;
    virtual VertexDeclaration* createVertexDeclaration() = 0;
    virtual VertexStream* createVertexStream(int count, int stride, unsigned usage) = 0;
    virtual void setVertexStream(VertexStream* stream, int index) = 0;
    virtual void setVertexDeclaration(VertexDeclaration* declaration) = 0;
    virtual IndexStream* createIndexStream(int count, int format) = 0;
    virtual void setIndexStream(IndexStream* stream) = 0;
    virtual void drawPrimitive(unsigned type, int firstVertex, int primitiveCount) = 0;
    virtual void drawIndexedPrimitive(unsigned type, int baseVertex, int minIndex, int vertexCount,
                                      int firstIndex, int primitiveCount) = 0;
    virtual void setTextureCoordGen(int stage, int mode) = 0;
    virtual void setMaterial(const Color* diffuse, const Color* ambient, const Color* specular,
                             float power, const Color* emissive) = 0;
    virtual void setShadeMode(bool smooth) = 0;
    virtual void setSpecularSeparate(bool separate) = 0;
    virtual void setFog(bool enable) = 0;
    virtual void setFogRangeBased(bool rangeBased) = 0;
    virtual void setFogColor(const Color* color) = 0;
    virtual void setFogMode(int mode) = 0;
    virtual void enableFogVertexMode(bool enable) = 0;
    virtual void setFogParameters(float start, float end, float density) = 0;
    virtual void setLighting(bool enable) = 0;
    virtual void setColorMaterialEnable(bool enable) = 0;
    virtual void setAmbientLight(const Color* color) = 0;
    virtual void setLocalViewer(bool enable) = 0;
    virtual void setNormalize(bool enable) = 0;
    virtual void setLightEnable(int light, bool enable) = 0;
    virtual void setLight(int light, const LightDesc* description) = 0;
    virtual int getMaxLights() = 0;
    virtual void setColorMaterial(unsigned source) = 0;
    virtual VertexShader* createVertexShader(const char* text) = 0;
    virtual void setVertexShader(VertexShader* shader) = 0;
    virtual void setVertexConstantF(int first, const float* values, int count) = 0;
    virtual void setVertexConstantB(int first, const int* values, int count) = 0;
    virtual void setVertexConstantI(int first, const int* values, int count) = 0;
    virtual void setVertexConstantMatrix(int first, int selector) = 0;
    virtual PixelShader* createPixelShader(const char* text) = 0;
    virtual void setPixelShader(PixelShader* shader) = 0;
    virtual void setPixelConstantF(int first, const float* values, int count) = 0;
    virtual void setPixelConstantB(int first, const int* values, int count) = 0;
    virtual void setPixelConstantI(int first, const int* values, int count) = 0;
    virtual Texture* createTexture(int width, int height, unsigned format, int mipLevels,
                                   bool targetable) = 0;
    virtual Texture* createCubeTexture(int edge, unsigned format, int mipLevels, int flag) = 0;
    virtual int getMaxTextureUnits() = 0;
    virtual void setTexture(int stage, Texture* texture) = 0;
    virtual int getMaxCombinerStages() = 0;
    virtual void setCombinerStage(int stage, const TextureCombinerStage* descriptor) = 0;
    virtual void setTextureFactor(const Color* color) = 0;
    virtual void setDepthTest(bool enable) = 0;
    virtual void setDepthWrite(bool enable) = 0;
    virtual void setDepthFunc(int func) = 0;
    virtual void setDepthBias(float constant, float linear) = 0;
    virtual void setFillMode(int mode) = 0;
    virtual void setAlphaTest(bool enable) = 0;
    virtual void setAlphaFunc(int func, float reference) = 0;
    virtual void setBlend(bool enable) = 0;
    virtual void setBlendFunc(int source, int destination) = 0;
    virtual void setBlendOperation(int operation) = 0;
    virtual void setBlendColor(const Color* color) = 0;
    virtual void setCulling(bool enable) = 0;
    virtual void setCullingMode(int mode) = 0;
    virtual void setClipPlanes(bool enable) = 0;
    virtual void setClipPlaneMask(unsigned mask) = 0;
    virtual void setClipPlane(int index, const Plane* plane) = 0;
    virtual void setStencilTest(bool enable) = 0;
    virtual void setTwoSidedStencil(bool enable) = 0;
    virtual void setStencilOp(unsigned fail, unsigned depthFail, unsigned pass) = 0;
    virtual void setStencilFunc(int func) = 0;
    virtual void setStencilOpBack(unsigned fail, unsigned depthFail, unsigned pass) = 0;
    virtual void setStencilFuncBack(int func) = 0;
    virtual void setStencilRef(int reference) = 0;
    virtual void setStencilMask(unsigned mask) = 0;
    virtual void setStencilWriteMask(unsigned mask) = 0;
    virtual void setPointSprite(bool enable) = 0;
    virtual void setPointScaleEnable(bool enable) = 0;
    virtual void setPointSize(float size) = 0;
    virtual void setPointSizeMin(float size) = 0;
    virtual void setPointSizeMax(float size) = 0;
    virtual void setPointScale(float constant, float linear, float quadratic) = 0;
    virtual void clear(unsigned flags, const Color* color, float depth, int stencil) = 0;
    virtual void readPixels(void* destination, int x, int y, int width, int height);
    virtual int getWidth();
    virtual int getHeight();
    virtual const Matrix* getMatrix(unsigned kind) = 0;
    virtual void setMatrix(const Matrix* matrix, unsigned kind) = 0;
    virtual void multMatrix(const Matrix* matrix, unsigned kind) = 0;
    virtual void setTextureMatrix(int stage, const Matrix* matrix) = 0;
    virtual void multTextureMatrix(int stage, const Matrix* matrix) = 0;
    virtual void setColorWriteMask(bool red, bool green, bool blue, bool alpha) = 0;
    virtual void setScissorTest(bool enable) = 0;
    virtual void setPerspectiveHint(bool nicest) = 0;
    virtual ImageLoader* createImageLoader() = 0;
    virtual RenderState* createState();
    virtual void captureState(RenderState* state);

    // Brings every state to its default by calling the machine's own
    // operations in a fixed order.
    void setDefaultState();
};

// "gl" or "dx"; any other text is an error. A known name whose back end is
// not registered in this binary fails with a RenderMachineException.
std::unique_ptr<RenderMachine> RenderMachineCreator(const char* type);

// Back ends enter themselves in the creator's table from a static
// initializer. Only the names the creator knows ("gl", "dx") are accepted;
// registering another name does nothing and returns false. A null factory
// removes the entry.
using RenderMachineFactory = std::unique_ptr<RenderMachine> (*)();
bool registerRenderMachine(const char* name, RenderMachineFactory factory);
// The factory registered under `name`, or null.
RenderMachineFactory registeredRenderMachine(const char* name);

// Vertices a draw of `count` primitives uses, converted blindly (strips and
// fans of 0 primitives still give 1 or 2 vertices); -1 for an unknown type,
// which the caller reports in its own words.
int primitiveVertexCount(unsigned type, int count);

// The pixel rectangle of a viewport on a target of the given size, each
// value truncated toward zero. width and height are what getWidth and
// getHeight report afterwards.
struct ViewportPixels {
    int x = 0, y = 0, width = 0, height = 0;
};
ViewportPixels mapViewport(const Viewport& viewport, int targetWidth, int targetHeight);

// Point sizes are given in units of the viewport height.
float pointSizePixels(float size, int viewportHeight);

// The block setVertexConstantMatrix loads into four registers, already in
// the row order vertex programs read: selector 0 projection * view * world,
// 1 world, 2 view * world, 3 projection. Another selector fails with
// "Invalid parameter name.".
Matrix vertexProgramMatrix(int selector, const Matrix& projection, const Matrix& view,
                           const Matrix& world);

// The projection, view and world matrices a machine holds, indexed by matrix
// kind; a kind above 2 fails with "Bad matrix type." and changes nothing.
class MatrixSet {
public:
    const Matrix& get(unsigned kind) const;
    void set(unsigned kind, const Matrix& matrix);
    // stored = stored * given.
    void mult(unsigned kind, const Matrix& matrix);
    // View times world: world is applied first.
    Matrix modelview() const;
    Matrix vertexProgramMatrix(int selector) const;

private:
    Matrix m_matrices[kMatrixKindCount];
};

}  // namespace Vexa
