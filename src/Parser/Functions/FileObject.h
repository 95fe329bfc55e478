#pragma once
// Script objects that name data: "File" and "GZipFile" make a FileObject over
// a data block, "Archive" makes an ArchiveObject over a File's block. Load and
// Unload commands load and unload what they own.
#include <memory>
#include <string>

#include "Archive/Archive.h"
#include "Common/DataBlock.h"
#include "Parser/IniObject.h"

namespace Vexa {

namespace Types {
const TypeObject* File();
const TypeObject* Archive();
}  // namespace Types

class FileObject : public IniObject {
public:
    FileObject(std::unique_ptr<DataBlock> block, std::string name)
        : m_block(std::move(block)), m_name(std::move(name)) {}
    const TypeObject* type() const override { return Types::File(); }
    std::string toString() const override;
    bool isLoaded() const override { return m_block->isLoaded(); }
    void load() override { m_block->load(); }
    void unload() override { m_block->unload(); }

    DataBlock* dataBlock() const { return m_block.get(); }
    const std::string& name() const { return m_name; }

private:
    std::unique_ptr<DataBlock> m_block;
    std::string m_name;
};

class ArchiveObject : public IniObject {
public:
    explicit ArchiveObject(std::unique_ptr<Archive> archive) : m_archive(std::move(archive)) {}
    const TypeObject* type() const override { return Types::Archive(); }
    bool isLoaded() const override { return m_archive->isParsed(); }
    void load() override { m_archive->load(); }
    void unload() override { m_archive->unload(); }

    Archive* archive() const { return m_archive.get(); }

private:
    std::unique_ptr<Archive> m_archive;
};

// The path of `name` in the folder `directory`: a '/' goes between them unless
// the folder already ends in '/' or '\'. An empty folder leaves the name as
// written, so scripts can give full paths.
std::string joinDirectory(const std::string& directory, const std::string& name);

}  // namespace Vexa
