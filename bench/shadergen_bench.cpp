// What generating a material's vertex program costs: the generator's Load
// (fragment names looked up, thirteen fragment files read and joined in key
// order, the program created on the OpenGL machine of a hidden window)
// followed by its Unload, for a lit surface with two texture stages.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "Parser/Functions/MaterialProperties.h"
#include "Parser/IniCommands.h"
#include "Parser/Parser.h"

namespace {

using namespace Vexa;

struct Fragment {
    const char* name;
    const char* keys;
    const char* text;
};

const Fragment kFragments[] = {
    {"header", "0 0", "!!ARBvp1.0\nOPTION ARB_position_invariant;\nTEMP r0, r1;\n"},
    {"vertexDeclaration", "1 0", "ATTRIB pos = vertex.position;\n"},
    {"normalDeclaration", "1 1", "ATTRIB nrm = vertex.normal;\n"},
    {"texDeclaration0", "1 2", "ATTRIB tex0 = vertex.texcoord[0];\n"},
    {"texDeclaration1", "1 3", "ATTRIB tex1 = vertex.texcoord[1];\n"},
    {"pointLightND", "2 0",
     "SUB r0, program.env[24], pos;\nDP3 r1.w, r0, r0;\nRSQ r1.w, r1.w;\nMUL r0, r0, r1.w;\n"
     "DP3 r0, r0, nrm;\nMAX r0, r0, program.env[16];\n"},
    {"basicMaterialCalculation", "3 0",
     "MUL r0, r0, program.env[26];\nMAD r0, r0, program.env[81].yyyy, program.env[81].xxxx;\n"
     "MUL r0, r0, program.env[80];\n"},
    {"transformedVertexOutput", "4 0", ""},
    {"processedDiffuseOutput", "4 1", "MOV result.color, r0;\n"},
    {"directTextureOutput0", "5 0", "MOV result.texcoord[0], tex0;\n"},
    {"directTextureOutput1", "5 1", "MOV result.texcoord[1], tex1;\n"},
    {"end", "9 0", "END\n"},
};

void BM_GenerateAndCreateShader(benchmark::State& state) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "vexa-shadergen-bench";
    std::filesystem::create_directories(folder);
    std::string library = "shaderFiles = { vertexShaders = {";
    for (const Fragment& f : kFragments) {
        std::ofstream(folder / f.name) << f.text;
        library += std::string(" ") + f.name + " = ( " + f.keys + " File \"" + f.name + "\" )";
    }
    {
        Parser parser;
        parser.parseString(
            "graphicsSystem = GraphicsSystem { type = \"gl\" width = 64 height = 64 }\n"
            "directory = \"" +
            folder.string() + "\"\n" + library +
            " } }\n"
            "tex = Texture2D { targetable = 1 width = 4 height = 4 }\n"
            "p = BasicMaterialProperties { textures = ( 0 TextureStage { texture = tex stage = 0 }"
            " 1 TextureStage { texture = tex stage = 1 } ) }\n"
            "g = SimpleGenerator p\n"
            "m = Material { generator = g\n"
            "               environment = Environment { lights = ( 0 Light { } ) } }");
        parser.lookup("p")->load();
        IniObject* generator = parser.lookup("g");
        for (auto _ : state) {
            generator->load();
            generator->unload();
        }
    }
    collectGarbage();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_GenerateAndCreateShader)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
