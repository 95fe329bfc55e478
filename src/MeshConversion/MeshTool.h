#pragma once
// The command line of vexa-mesh: its options, their parsing and the run.
#include <ostream>
#include <string>

#include "MeshConversion/R3DWriter.h"
#include "MeshConversion/SceneImport.h"

namespace Vexa {

struct MeshToolOptions {
    std::string input;
    std::string output;
    ImportOptions import;
    bool binary = false;
    bool progress = false;
    bool list = false;
    bool help = false;
    bool version = false;
};

extern const char* const kMeshToolUsage;
extern const char* const kMeshToolHelp;
// "vexa-mesh <version> (Assimp <version>)"
std::string meshToolVersion();

// Fills `options` from the arguments; false with `error` set on a usage
// mistake.
bool parseMeshToolArguments(int argc, const char* const* argv, MeshToolOptions& options,
                            std::string& error);

// Converts (or lists) as the options say. Answers the exit status: 0 done,
// 1 failed (the reason on `err`). Progress goes to `err` as well.
int runMeshTool(const MeshToolOptions& options, std::ostream& out, std::ostream& err);

}  // namespace Vexa
