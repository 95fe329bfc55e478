// Every way a script can fail, with the exception class and the exact
// message it ends in: statements, expressions, directives, macros and the
// script functions' own checks.
#include <gtest/gtest.h>

#include <string>

#include "Support/RecordingScriptTest.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Testing::Outcome;

const char* const kFatal = "FatalParseException";
const char* const kFunction = "FunctionParseException";

// The message of a failure reported at a line of the script text.
std::string at(int line, const std::string& message) {
    return "memory(" + std::to_string(line) + "):\nfatal: " + message;
}

// The message of a function's parameter error, wrapped with the call's text.
std::string evaluating(int line, const std::string& call, const std::string& message) {
    return at(line, "While evaluating " + call + ":\n" + message);
}

// A script after a graphics system on the recording machine, on one line.
std::string graphics(const std::string& script) {
    return "graphicsSystem = GraphicsSystem { type = \"gl\" width = 64 height = 48 } " + script;
}

struct ScriptError {
    std::string script;
    Outcome outcome;
};

const ScriptError kErrors[] = {
    // Statements: when no form matches, the first token of the statement is named.
    {"v = < 1 2 3 4 5 >", {kFatal, at(1, "syntax error: (name, v)")}},
    {"a = 1\nx = { y = 2\n v = < 1 2 3 4 5 > }", {kFatal, at(2, "syntax error: (name, x)")}},
    {"a = 1 }", {kFatal, at(1, "syntax error: (symbol, '}' = 125)")}},
    {"\n5", {kFatal, at(2, "syntax error: (number, 5)")}},
    {"\"s\" = 1", {kFatal, at(1, "syntax error: (string, 's')")}},
    {"x = { a = 1", {kFatal, at(1, "syntax error: (name, x)")}},
    {"@bogus", {kFatal, at(1, "syntax error: (symbol, '@' = 64)")}},
    {"x = 1\nDraw = 2", {kFatal, at(2, "name 'Draw' already bound to a function")}},
    {"@local Print = 2", {kFatal, at(1, "name 'Print' already bound to a function")}},
    {"t = 5\nt : 1 = 2", {kFatal, at(2, "name t not bound to an object of type 'tuple'")}},
    // Expressions.
    {"x = Draw 1\ny = 2", {kFatal, evaluating(2, "Draw 1", "Simple command takes no parameters.")}},
    {"x = Print { a = 1 }",
     {kFatal, evaluating(1, "Print { a -> 1,}", "Simple command takes no parameters.")}},
    {"s = \"a\"\nx = - s", {kFatal, "minus sign can only precede a number object"}},
    {"x = ( 1 , 2 )", {kFatal, "Invalid symbol ,"}},
    {"a =", {kFatal, std::string("Invalid symbol \0", 16)}},
    {"x = { y = Draw }", {kFatal, "Invalid symbol }"}},
    {"x = y", {"BindingNotFoundException", "fatal: no binding for name 'y'"}},
    // Directives.
    {"n = 1 @include n", {kFatal, at(1, "no block binding for name 'n'")}},
    {"@include nothing\nx = 1", {kFatal, at(2, "no block binding for name 'nothing'")}},
    {"@include 5", {kFatal, at(1, "@include not followed by a block object")}},
    {"@include \"/nonexistent/vexa.ini\"\nx = 1",
     {kFatal, at(2, "@include file not found: /nonexistent/vexa.ini")}},
    {"@if ( 0 ) @endif", {kFatal, "Invalid condition object"}},
    {"@if 1 x = 1", {kFatal, at(1, "syntax error: (symbol, '@' = 64)")}},
    // Inactive branches are checked for shape only.
    {"@if 0 a = - \"s\" @endif", {kFatal, "minus sign can only precede a number object"}},
    {"@if 0 @include 5 @endif", {kFatal, at(1, "@include not followed by a block object")}},
    {"@if 0 a = ( , ) @endif", {kFatal, "Invalid symbol ,"}},
    {"@if 0 @if ( 1 ) @endif @endif", {kFatal, at(1, "syntax error: (symbol, '@' = 64)")}},
    // Macros.
    {"@def Draw() { return = 1 }", {kFatal, at(1, "name 'Draw' already bound to a function")}},
    {"@def m(a) { return = a }\nx = m 1", {kFatal, "macro parameters not given as a tuple"}},
    {"@def m(a b) { return = a }\nx = m ( 1 )",
     {kFatal, "wrong amount of parameters given to a macro"}},
    {"@def m() { y = 1 }\nx = m ( )\nz = 2",
     {kFatal, at(3, "macro m does not define a return value (binding)")}},
    {"@def m() { return = 1 y }\nx = m ( )", {kFatal, "macro(1):\nfatal: syntax error: (name, y)"}},
    {"@def m() { return = 1", {kFatal, at(1, "syntax error: (symbol, '@' = 64)")}},
    // Arithmetic.
    {"x = Sum ( Draw () )", {kFunction, "Sum cannot handle Command"}},
    {"x = Sum ( \"a\" 1 )",
     {kFatal, evaluating(1, "Sum ( \"a\" 1 )", "Tuple element 1 is Number. String was expected.")}},
    {"x = Mul 2", {kFunction, "Mul needs > 1 parameters"}},
    {"x = Mul ( < 1 2 3 > < 1 2 > )", {kFunction, "Mul cannot handle: Vec3d * Vec2d"}},
    {"x = Eq ( 1 2 3 )", {kFunction, "Eq wants precisely 2 parameters"}},
    {"x = And ( Eq ( 1 1 ) 7 )", {kFunction, "And only accepts boolean parameters"}},
    {"x = Or ( Eq ( 1 2 ) 7 )", {kFunction, "Or only accepts boolean parameters"}},
    // Command emitters.
    {"x = EventList ( 1 Draw () )",
     {kFunction, "Number of elements in the tuple is not divisible by 3."}},
    {"x = EventList ( ( 1 2 3 4 ) Draw () Draw () )",
     {kFunction, "Incorrect event time parameter."}},
    {"x = EventList ( 1 Draw () 5 )",
     {kFatal, evaluating(1, "EventList ( 1 [Command Draw] 5 )",
                         "Tuple element 2 is Number. Command was expected.")}},
    {"x = CommandGroup ( Draw () )", {kFunction, "Number of elements in the tuple is not even."}},
    {"x = CommandGroup ( Draw () 5 )", {kFunction, "Second object is not command."}},
    {"x = TimeModifier { begin = 1 }",
     {kFatal, evaluating(1, "TimeModifier { begin -> 1,}", "Name 'object' is not defined.")}},
    // Envelopes and vectors.
    {"x = Envelope { key = ( 0 ) }", {kFunction, "'key' has invalid format (1)."}},
    {"x = Envelope { key = ( 0 ( 0 \"a\" ) ) }", {kFunction, "'key' has invalid format (2)."}},
    {"x = Envelope3d { key = ( 0 ( \"a\" < 1 2 3 > ) ) }",
     {kFunction, "First object in value tuple is not number."}},
    {"x = Envelope3d { key = ( 0 ( 0 < 1 2 > ) ) }",
     {kFunction, "Second object in the value tuple is not a vector of right dimension."}},
    {"x = Envelope { key = ( 0 ( 1 5 6 ) ) }",
     {kFunction, "Wrong number of parameters in LINEAR key."}},
    {"x = Envelope3d { key = ( 0 FIXED ( < 1 2 3 > 5 ) ) }",
     {kFunction, "Tangent should be a vector."}},
    {"x = Envelope { key = ( 0 FIXED ( 5 1 2 3 ) ) }",
     {kFunction, "Wrong number of parameters in FIXED key."}},
    {"x = Envelope { key = ( 0 TCB ( 5 0 0 ) ) }",
     {kFunction, "Wrong number of parameters in TCB key."}},
    {"x = Envelope { key = ( 0 ( 5 1 ) ) }", {kFunction, "'key' has invalid format (3)."}},
    {"x = Envelope { key = ( 0 \"x\" ) }", {kFunction, "'key' has invalid format (4)."}},
    {"x = Envelope { key = ( \"degree\" \"x\" ) }", {kFunction, "'key' has invalid format (5)."}},
    {"x = Envelope { key = ( \"dgree\" 1 ) }", {kFunction, "'key' has invalid format (6)."}},
    {"x = Vector ( 1 2 3 4 5 )", {kFunction, "2-4 parameters were expected."}},
    {"x = Polar2d ( 1 2 3 )", {kFunction, "Polar2d ( <angle> [<length] ) was expected."}},
    {"x = Polar3d ( 1 2 3 4 )",
     {kFunction, "Polar3d ( <heading> <pitch> [<length] ) was expected."}},
    // The channel's own error is fatal, not a function error.
    {"x = Envelope4d { key = ( 0 < 0 0 0 0 > \"degree\" 2 ) }",
     {kFatal, "Degree Error, Error error..."}},
    // Rendering objects, with a graphics system on the recording machine.
    {graphics("x = ColorWriteMask ( 1 1 1 )"), {kFunction, "4 parameters expected"}},
    {graphics("x = TextureCube { files = ( 1 2 ) }"), {kFunction, "Exactly 6 files was expected"}},
    {graphics("x = TextureCube { files = ( 1 2 3 4 5 6 ) }"), {kFunction, "Object is not file"}},
    {graphics("x = SetViewport { target = MainWindow { } width = 0.5 }"),
     {kFatal, evaluating(1, "SetViewport { target -> [RenderTarget], width -> 0.5,}",
                         "Name 'x' is not defined.")}},
    {graphics("x = State { cullingMode = 3 }"),
     {kFunction, "cullingMode must be 1 (counter-clockwise) or 2 (clockwise)."}},
    {graphics("x = TriangulateMesh { function = SinSphere { phases = < 0 0 0 > } voxelsize = "
              "0.004 primitive_max = 1 vertex_max = 1 }"),
     {kFunction, "voxelsize must be above 0 and give at most 1024 cells along an axis."}},
    {"x = GraphicsSystem { type = \"dx\" width = 1 height = 1 }",
     {kFunction,
      "Render machine creation failed:"
      "The Direct3D render machine is not available on this system."}},
    {"x = GraphicsSystem { type = \"GL\" width = 1 height = 1 }",
     {"Exception", "Invalid machine type. Try 'gl' or 'dx'."}},
    // Materials and their attributes.
    {graphics("x = Material { attributes = ( 0 AlphaTest { } 1 ) }"),
     {kFunction, "attributes has invalid format."}},
    {graphics("x = Material { environment = 1 }"), {kFunction, "environment has invalid format."}},
    {graphics("x = Material { generator = 1 }"), {kFunction, "generator has invalid format."}},
    {"x = TextureCombinerStage { rgbsrc = ( 0 ) }", {kFunction, "rgbsrc has invalid format."}},
    {"x = TextureCombinerStage { rgbsrc = ( 0 \"src_temp\" ) }", {kFunction, "invalid rgbsrc."}},
    {"x = TextureCombinerStage { alphasrc = ( 0 1 ) }",
     {kFunction, "alphasrc has invalid format."}},
    {"x = TextureCombinerStage { alphasrc = ( 2 \"SRC_NONE\" ) }",
     {kFunction, "invalid alphasrc."}},
    {"x = TextureStage { texture = 1 stage = 0 }", {kFunction, "texture has invalid format."}},
    {graphics("x = TextureStage { texture = Texture2D { targetable = 1 width = 1 height = 1 }"
              " stage = 8 }"),
     {kFunction, "Texture stage must be from 0 to 7."}},
    {graphics("x = VertexShader { file = File \"a\" constants = PixelConstants { } }"),
     {kFunction, "constants has invalid format."}},
    {"x = Fog { definition = 1 }", {kFunction, "fog has invalid format."}},
    // Generated shaders.
    {"x = BasicMaterialProperties { textures = ( 0 1 2 ) }",
     {kFunction, "textures has invalid format."}},
    {"x = BasicMaterialProperties { lightCube = 1 }", {kFunction, "lightCube has invalid format."}},
    {graphics("t = Texture2D { targetable = 1 width = 1 height = 1 } s = TextureStage { texture = t"
              " stage = 0 } x = BasicMaterialProperties { lightCube = t textures = ( 0 s 1 s 2 s"
              " 3 s 4 s 5 s 6 s 7 s ) }"),
     {kFunction, "More than 8 texture stages (the light cube takes one)."}},
    {graphics("shaderFiles = { } x = SimpleGenerator ( 1 )"),
     {kFatal, evaluating(1, "SimpleGenerator ( 1 )",
                         "Tuple element 0 is Number. MaterialProperties was expected.")}},
    // Particles: the capacity is truncated first.
    {graphics("x = Particles { size = 0.9 material = Material { } }"),
     {kFunction, "size must be from 1 to 16777216."}},
    // Files and archives.
    {"x = File ( )", {kFunction, "Only one parameter was expected."}},
    {"directory = 1\nx = File \"a\"",
     {kFatal, evaluating(2, "File \"a\"", "directory is Number. String was expected.")}},
    {"x = Archive \"a.tar\"",
     {kFatal, evaluating(1, "Archive \"a.tar\"", "Tuple element 0 is String. File was expected.")}},
    // The clock.
    {"x = Syncronizer { music = \"\" }", {kFunction, "Cannot find ."}},
    {"x = Syncronizer { music = \"/nonexistent/a.ogg\" }",
     {kFunction, "Cannot find /nonexistent/a.ogg."}},
    // Lights and environments.
    {"x = Environment { fog = Light { } }", {kFunction, "fog has invalid format."}},
    {"s = Light { } x = Environment { lights = ( 0 s 1 ) }",
     {kFunction, "lights has invalid format."}},
    {"s = Light { } x = Environment { lights = ( 0 s 1 s 2 s 3 s 4 s 5 s 6 s 7 s 8 s ) }",
     {kFunction, "lights has invalid format."}},
    {"s = Light { } x = SetEnvironmentLight ( 8 s )", {kFunction, "Light slot must be 0 to 7."}},
    // The spherical-harmonic light.
    {"x = PRTLight { light = 1 }", {kFunction, "light has invalid format."}},
    {"v = VertexConstants { } x = PRTLight { light = Light { } constants = ( 0 v 1 ) }",
     {kFunction, "constants has invalid format."}},
    // Trees and trails.
    {graphics("x = RTree { graphicsSystem = graphicsSystem points = 65537 }"),
     {kFunction, "RTree points must be from 2 to 65536."}},
    {graphics("x = TextureArray { graphicsSystem = graphicsSystem number = 16385 }"),
     {kFunction, "TextureArray number must be from 0 to 16384."}},
    // Meshes.
    {graphics("x = R3DMesh { file = File \"m\" vertex_format = ( \"tex0\" ) }"),
     {kFunction, "vertex_format has invalid format."}},
    {graphics("x = R3DMesh { file = File \"m\" endomorph = ( \"smile\" \"a\" ) }"),
     {kFunction, "endomorph has invalid format."}},
};

TEST(ScriptErrors, EachEndsInItsClassAndExactMessage) {
    const Testing::RecordingGl gl;
    for (const ScriptError& e : kErrors)
        EXPECT_EQ(Testing::scriptOutcome(e.script), e.outcome) << e.script;
}

}  // namespace
}  // namespace Vexa
