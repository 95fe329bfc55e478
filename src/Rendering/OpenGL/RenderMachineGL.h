#pragma once
// The render machine over OpenGL 1.x with extensions.
//
// Nothing touches OpenGL until the window exists and the first viewport is
// set; that first setViewport loads the extensions, resets the device and
// runs the default-state routine. From then on every operation is a thin
// translation into OpenGL calls, with the state that OpenGL cannot hold the
// way the machine means it (matrices, stencil faces, clip-plane switches,
// point scaling) recorded here.
//
// Textures, the image loader and the texture combiners live in their own
// units (TexturesGL.h lists what the machine calls); they share the stage
// table and the helpers in the section "for textures and combiners".
#include <GL/gl.h>
#include <GL/glext.h>

#include <memory>

#include "Rendering/Common/RenderMachine.h"
#include "Rendering/OpenGL/StreamsGL.h"
#include "Rendering/OpenGL/TexturesGL.h"

namespace Vexa {

class VertexShaderGL;
class PixelShaderGL;
class StateNamesGL;
class CombinersGL;

constexpr int kMaxTextureStages = 8;

// One texture stage: the matrix as set by the caller, the coordinate scales
// of the texture bound there (rectangle textures address texels, so they
// set their size), and the texture itself (not owned).
struct TextureStageGL {
    Matrix matrix;
    float sScale = 1;
    float tScale = 1;
    Texture* texture = nullptr;
};

class RenderMachineGL : public RenderMachine {
public:
    RenderMachineGL();
    ~RenderMachineGL() override;

    void beginScene() override {}
    void endScene() override {}
    Window* createWindow(const WindowParameters& parameters) override;
    TextureTarget* createTextureTarget(int width, int height, unsigned format,
                                       Texture** texture) override;
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
    Texture* createTexture(int width, int height, unsigned format, int mipLevels,
                           bool targetable) override;
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
    int getWidth() override { return m_viewportWidth; }
    int getHeight() override { return m_viewportHeight; }
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

    // For textures and combiners.
    TextureStageGL& stage(int index) { return m_stages[index]; }
    TextureStageGL* stages() { return m_stages; }
    // Texture units of the device (0 before the first viewport).
    int maxTextureUnits() const;
    // Selects the stage's texture unit (glActiveTextureARB).
    void selectUnit(int stage);
    // Records the coordinate scales of the texture bound at `stage` and,
    // when they change, reloads the unit's texture matrix with them.
    void setTextureScale(int stage, float s, float t);
    // Whether a script pixel shader is bound (it takes precedence over the
    // combiners).
    bool pixelShaderActive() const;
    bool isInitialized() const { return m_initialized; }
    // Stencil state as the machine records it (OpenGL values), for checks.
    GLenum frontFaceWinding() const { return m_frontFace; }

private:
    void resetDevice();
    void checkStage(int stage) const;
    void loadTextureMatrix(int stage);
    void loadModelview();
    void applyFrontStencil();
    void applyBackStencil();
    // Binds the declaration and the fragment stage, then runs `draw`, twice
    // when two-sided stencil needs it.
    template <typename Draw>
    void drawWithState(int baseVertex, Draw&& draw);

    std::unique_ptr<CombinersGL> m_combiners;
    std::unique_ptr<StateNamesGL> m_stateNames;
    ArrayBindingGL m_arrays;

    VertexDeclaration* m_declaration = nullptr;
    IndexStreamGL* m_indexStream = nullptr;
    VertexStreamGL* m_streams[kMaxVertexStreams] = {};

    int m_viewportWidth = 1;
    int m_viewportHeight = 1;
    TextureStageGL m_stages[kMaxTextureStages];
    MatrixSet m_matrices;

    bool m_initialized = false;
    bool m_culling = false;
    GLenum m_frontFace = GL_CW;
    bool m_stencilTest = false;
    bool m_twoSided = false;
    GLenum m_stencilOps[3] = {GL_KEEP, GL_KEEP, GL_KEEP};
    GLenum m_stencilOpsBack[3] = {GL_KEEP, GL_KEEP, GL_KEEP};
    GLenum m_stencilFunc = GL_ALWAYS;
    GLenum m_stencilFuncBack = GL_ALWAYS;
    GLint m_stencilRef = 0;
    GLuint m_stencilMask = ~0u;
    bool m_clipPlanes = false;
    unsigned m_clipPlaneMask = 0;
    bool m_pointScale = false;
    float m_pointScaleCoefficients[3] = {1, 0, 0};
};

}  // namespace Vexa
