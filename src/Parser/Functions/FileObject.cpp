#include "Parser/Functions/FileObject.h"

#include "Parser/Exceptions.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/FileObject";

namespace Types {
VEXA_DEFINE_TYPE(File, "File")
VEXA_DEFINE_TYPE(Archive, "Archive")
}  // namespace Types

namespace {

// File name [directory = string or Archive]
class F_File : public IniFunction {
public:
    IniObject* create() override;
};

// GZipFile name [directory = string]
class F_GZipFile : public IniFunction {
public:
    IniObject* create() override;
};

// Archive file
class F_Archive : public IniFunction {
public:
    IniObject* create() override;
};

void requireOneParameter(int count) {
    if (count != 1) VEXA_THROW(FunctionParseException, "Only one parameter was expected.");
}

}  // namespace

std::string FileObject::toString() const { return "[File \"" + m_name + "\"]"; }

std::string joinDirectory(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    const char last = directory.back();
    if (last == '/' || last == '\\') return directory + name;
    return directory + "/" + name;
}

// A plain file under a folder, or a member of an archive object given as the
// folder. The File object then holds the archive, whose source block must
// stay alive as long as the member points into it.
IniObject* F_File::create() {
    requireOneParameter(count());
    const std::string name = elementString(0);
    std::string directory = ".";
    if (has("directory")) {
        IniObject* folder = getObject("directory");
        if (IniObject::isOfType(folder, Types::Archive())) {
            record(folder);
            Archive* archive = static_cast<ArchiveObject*>(folder)->archive();
            return new FileObject(std::make_unique<ArchiveDataBlock>(archive, name), name);
        }
        checkType(folder, Types::String(), "directory");
        directory = static_cast<StringObject*>(folder)->value();
    }
    const std::string path = joinDirectory(directory, name);
    return new FileObject(std::make_unique<FileDataBlock>(path), path);
}

IniObject* F_GZipFile::create() {
    requireOneParameter(count());
    const std::string name = elementString(0);
    const std::string directory = has("directory") ? getString("directory") : ".";
    const std::string path = joinDirectory(directory, name);
    return new FileObject(std::make_unique<GZipDataBlock>(path), path);
}

// The archive reads the File object's block, so it records (and so holds)
// that object for as long as it lives.
IniObject* F_Archive::create() {
    requireOneParameter(count());
    auto* file = static_cast<FileObject*>(getRecordedElement(0, Types::File()));
    return new ArchiveObject(std::make_unique<Archive>(file->dataBlock()));
}

namespace {
F_File s_file;
F_GZipFile s_gzipFile;
F_Archive s_archive;

const FunctionEntry kFunctions[] = {
    {"File", &s_file},
    {"GZipFile", &s_gzipFile},
    {"Archive", &s_archive},
};
const FunctionRegistrar s_registrar(kFunctions);
}  // namespace

}  // namespace Vexa
