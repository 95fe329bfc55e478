#include "MeshConversion/MeshTool.h"

#include <assimp/version.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace Vexa {

const char* const kMeshToolUsage =
    "usage: vexa-mesh [options] INPUT OUTPUT\n"
    "       vexa-mesh --list INPUT\n";

const char* const kMeshToolHelp =
    "Converts a 3D model in any format the Assimp library reads (glTF 2.0, OBJ, PLY,\n"
    "FBX, Collada, 3DS, STL, ...) into an R3D mesh file for the R3DMesh script function.\n"
    "\n"
    "  --binary          write the binary body (default: text)\n"
    "  --faces KIND      'triangles' (default: every face split into triangles) or\n"
    "                    'polygons' (faces kept as the file has them, one list each)\n"
    "  --mesh N          convert only mesh N of the scene (see --list), in its own\n"
    "                    coordinates; by default every mesh the scene places is merged,\n"
    "                    with the transforms of its nodes applied\n"
    "  --mesh-name NAME  convert only the mesh called NAME, as --mesh does\n"
    "  --scale S         multiply every position by S (default 1)\n"
    "  --flip-v          write the texture coordinate v as 1 - v: pictures load with\n"
    "                    their top row at v = 0, while modelling tools put v = 0 at\n"
    "                    the bottom, so textured models usually need this\n"
    "  --no-normals      leave out normals (by default the file's normals are written\n"
    "                    when it has them; the player can make them instead)\n"
    "  --no-uvs          leave out texture coordinates\n"
    "  --list            print the meshes of INPUT (index, vertices, faces, name)\n"
    "  --progress        report progress on stderr (always on for large files)\n"
    "  --help            show this text\n"
    "  --version         show the version\n"
    "\n"
    "What is written: an element \"vertices\" with the real properties \"locationx\",\n"
    "\"locationy\", \"locationz\", then \"normalx\", \"normaly\", \"normalz\" and \"u\",\n"
    "\"v\" when present, and an element \"triangles\" (int \"index0\" to \"index2\") or\n"
    "\"polygons\" (list of int \"indices\"). A production maps the extra properties:\n"
    "  R3DMesh { file = File \"data/model.r3d\"\n"
    "            vertex_format = ( \"normal\" ( \"normalx\" \"normaly\" \"normalz\" )\n"
    "                              \"tex0\" ( \"u\" \"v\" ) )\n"
    "            calculate_normals = 0 }\n"
    "To have the player make the normals instead, leave out the \"normal\" pair and\n"
    "calculate_normals.\n"
    "\n"
    "Exit status: 0 done, 1 the conversion failed, 2 wrong usage.\n";

namespace {

// Rows from which progress is shown without --progress, and input bytes
// from which the reading is announced.
constexpr std::size_t kLargeRows = 500000;
constexpr std::uintmax_t kLargeInput = 32u << 20;

// The whole of `text` as one number.
template <typename Number>
bool parseNumber(const std::string& text, Number& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

std::uintmax_t fileSize(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

}  // namespace

std::string meshToolVersion() {
    return "vexa-mesh " VEXA_VERSION " (Assimp " + std::to_string(aiGetVersionMajor()) + "." +
           std::to_string(aiGetVersionMinor()) + "." + std::to_string(aiGetVersionPatch()) + ")";
}

bool parseMeshToolArguments(int argc, const char* const* argv, MeshToolOptions& options,
                            std::string& error) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // The value of an option that takes one.
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--binary") {
            options.binary = true;
        } else if (arg == "--flip-v") {
            options.import.flipV = true;
        } else if (arg == "--no-normals") {
            options.import.normals = false;
        } else if (arg == "--no-uvs") {
            options.import.texCoords = false;
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "--progress") {
            options.progress = true;
        } else if (arg == "--faces") {
            if (!value(text)) return false;
            if (text != "triangles" && text != "polygons") {
                error = "--faces takes 'triangles' or 'polygons', not '" + text + "'";
                return false;
            }
            options.import.triangulate = text == "triangles";
        } else if (arg == "--mesh") {
            if (!value(text)) return false;
            if (!parseNumber(text, options.import.meshIndex) || options.import.meshIndex < 0) {
                error = "--mesh takes a mesh number from 0, not '" + text + "'";
                return false;
            }
        } else if (arg == "--mesh-name") {
            if (!value(options.import.meshName)) return false;
        } else if (arg == "--scale") {
            double scale = 0.0;
            if (!value(text)) return false;
            if (!parseNumber(text, scale) || !std::isfinite(static_cast<float>(scale)) ||
                scale == 0.0) {
                error = "--scale takes a number other than 0, not '" + text + "'";
                return false;
            }
            options.import.scale = static_cast<float>(scale);
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            files.push_back(arg);
        }
    }
    if (options.help || options.version) return true;
    if (options.import.meshIndex >= 0 && !options.import.meshName.empty()) {
        error = "give --mesh or --mesh-name, not both";
        return false;
    }
    const std::size_t wanted = options.list ? 1 : 2;
    if (files.size() != wanted) {
        error = options.list ? "--list takes one INPUT" : "give one INPUT and one OUTPUT";
        return false;
    }
    options.input = files[0];
    if (!options.list) options.output = files[1];
    return true;
}

int runMeshTool(const MeshToolOptions& options, std::ostream& out, std::ostream& err) {
    try {
        const std::uintmax_t inputBytes = fileSize(options.input);
        if (options.progress || inputBytes >= kLargeInput)
            err << "vexa-mesh: reading " << options.input << " (" << (inputBytes >> 10) << " KB)\n";
        const ImportedScene scene(options.input, options.import);
        if (options.list) {
            const auto meshes = scene.meshes();
            for (std::size_t i = 0; i < meshes.size(); ++i)
                out << i << "\t" << meshes[i].vertices << " vertices\t" << meshes[i].faces
                    << " faces\t" << meshes[i].name << "\n";
            return 0;
        }
        const ConvertedMesh mesh = scene.convert();
        if (mesh.droppedPartialNormals)
            err << "vexa-mesh: " << options.input
                << ": not every mesh has normals, so none are written\n";
        R3DWriteOptions write;
        write.binary = options.binary;
        write.faces = options.import.triangulate ? FaceElement::Triangles : FaceElement::Polygons;
        const bool report = options.progress || mesh.vertexCount() + mesh.faceCount() >= kLargeRows;
        if (report)
            write.progress = [&](int percent) {
                err << "vexa-mesh: writing " << options.output << ": " << percent << "%\n";
            };
        writeR3D(mesh, options.output, write);
        if (report)
            err << "vexa-mesh: wrote " << mesh.vertexCount() << " vertices and " << mesh.faceCount()
                << (options.import.triangulate ? " triangles" : " polygons")
                << (mesh.hasNormals() ? ", normals" : "")
                << (mesh.hasTexCoords() ? ", texture coordinates" : "") << "\n";
        return 0;
    } catch (const ConversionError& e) {
        err << "vexa-mesh: " << e.what() << "\n";
        return 1;
    } catch (const std::bad_alloc&) {
        err << "vexa-mesh: " << options.input << ": not enough memory\n";
        return 1;
    }
}

}  // namespace Vexa
