// vexa-mesh: converts a model from a modelling tool's format into an R3D mesh.
#include <iostream>
#include <string>

#include "MeshConversion/MeshTool.h"

int main(int argc, char** argv) {
    Vexa::MeshToolOptions options;
    std::string error;
    if (!Vexa::parseMeshToolArguments(argc, argv, options, error)) {
        std::cerr << "vexa-mesh: " << error << "\n" << Vexa::kMeshToolUsage;
        return 2;
    }
    if (options.help) {
        std::cout << Vexa::kMeshToolUsage << Vexa::kMeshToolHelp;
        return 0;
    }
    if (options.version) {
        std::cout << Vexa::meshToolVersion() << "\n";
        return 0;
    }
    return Vexa::runMeshTool(options, std::cout, std::cerr);
}
