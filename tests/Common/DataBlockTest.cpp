#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Common/DataBlock.h"
#include "Parser/Exceptions.h"
#include "Parser/Tokenizer.h"
#include "Platform/FileSystem.h"
#include "Support/TestKit.h"

namespace fs = std::filesystem;
using Vexa::FileDataBlock;
using Vexa::GZipDataBlock;

namespace {

using Vexa::TempDir;
using Vexa::Testing::Outcome;
using Vexa::Testing::outcomeOf;

// Bytes with zeros and every byte value, so text-only handling shows.
std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return bytes;
}

std::string gzipped(const std::string& bytes) {
    std::string out(compressBound(static_cast<uLong>(bytes.size())) + 64, '\0');
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string contents(const Vexa::DataBlock& block) {
    return std::string(block.data(), static_cast<std::size_t>(block.size()));
}

template <typename Block>
std::string loaded(const std::string& path) {
    Block block(path);
    block.load();
    return contents(block);
}

template <typename Block>
void expectRefused(const std::string& path, const char* kind, const char* what) {
    Block block(path);
    EXPECT_EQ(outcomeOf([&] { block.load(); }), (Outcome{kind, path + what}));
    EXPECT_FALSE(block.isLoaded());
}

}  // namespace

TEST(DataBlock, MissingFilesAndFoldersAreReportedMissing) {
    TempDir dir;
    fs::create_directories(dir / "folder");
    for (const char* name : {"nothing", "folder"}) {
        expectRefused<FileDataBlock>(dir / name, "ResourceNotFound", " missing");
        expectRefused<GZipDataBlock>(dir / name, "ResourceNotFound", " missing");
    }
}

// Outside data over the size limits is refused by its size alone, before a
// buffer of that size is allocated or a byte read: a 64 GB file that takes no
// disk space, read in every way files are read.
TEST(DataBlock, DataOverTheSizeLimitsIsRefusedBeforeReading) {
    TempDir dir;
    const std::string path = dir.write("huge.bin", "");
    ASSERT_EQ(::truncate(path.c_str(), 64LL << 30), 0);
    std::string text;
    const std::function<void()> loads[] = {
        [&] { FileDataBlock(path).load(); },
        [&] { GZipDataBlock(path).load(); },
        [&] { Vexa::Platform::readFile(path, text); },
    };
    for (const auto& load : loads)
        EXPECT_EQ(outcomeOf(load).message, path + " too large (over 1024 MiB)");
    Vexa::TokenArray tokens;
    const std::string script(static_cast<std::size_t>(Vexa::kMaxScriptLength) + 1, ' ');
    EXPECT_THROW(Vexa::tokenize(script.c_str(), tokens), ResourceTooLarge);
}

template <typename Block>
void expectLoadsAndUnloads(const std::string& path, std::size_t size) {
    SCOPED_TRACE(path);
    Block block(path);
    block.load();
    ASSERT_TRUE(block.isLoaded());
    EXPECT_TRUE(contents(block) == pattern(size));
    EXPECT_EQ(block.data()[block.size()], '\0');
    // A second Load keeps the buffer: an archive over the block points into it.
    const char* first = block.data();
    block.load();
    EXPECT_EQ(block.data(), first);
    block.unload();
    EXPECT_FALSE(block.isLoaded());
    EXPECT_EQ(block.data(), nullptr);
    EXPECT_EQ(block.size(), 0);
    block.load();  // loads again after an unload
    EXPECT_EQ(block.size(), static_cast<int32_t>(size));
}

// Whole files with a trailing zero; gzip sizes around the 64 KiB read chunk:
// an exact multiple ends with a read of zero bytes and must still be loaded.
TEST(DataBlock, LoadsWholeFilesWithTrailingZero) {
    TempDir dir;
    for (std::size_t size : {0, 1, 4096, 65535, 65536, 65537, 131072, 200000}) {
        const std::string name = std::to_string(size);
        expectLoadsAndUnloads<FileDataBlock>(dir.write("f" + name, pattern(size)), size);
        expectLoadsAndUnloads<GZipDataBlock>(dir.write("g" + name, gzipped(pattern(size))), size);
    }
}

TEST(DataBlock, GZipPassesPlainFilesAndGzipToolOutputThrough) {
    TempDir dir;
    const std::string plain = dir.write("plain.txt", "not compressed\n");
    const std::string tool = dir.write("tool.txt", pattern(100000));
    ASSERT_EQ(std::system(("gzip -9 '" + tool + "'").c_str()), 0);
    EXPECT_EQ(loaded<GZipDataBlock>(plain), "not compressed\n");
    EXPECT_TRUE(loaded<GZipDataBlock>(tool + ".gz") == pattern(100000));
}

// Damaged gzip data is reported instead of handing out part of the file.
TEST(DataBlock, GZipDamagedStreamsAreCorrupted) {
    TempDir dir;
    const std::string good = gzipped(pattern(150000));
    std::string badCrc = good;
    badCrc[badCrc.size() - 6] ^= 0x01;
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"cut in the middle", good.substr(0, good.size() / 2)},
        {"cut before the trailer", good.substr(0, good.size() - 4)},
        {"wrong checksum", badCrc},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        expectRefused<GZipDataBlock>(dir.write("bad.gz", bytes), "ResourceCorrupted", " corrupted");
    }
}

// Productions written on Windows use '\' and may differ in letter case.
TEST(FileSystem, ResolvesBackslashesAndLetterCase) {
    TempDir dir;
    dir.write("Data/Tex.PNG", "png");
    dir.write("Data/sub/Model.r3d", "mesh");
    fs::create_directories(dir / "Data/Folder");
    const std::string base = dir / "";
    const struct {
        std::string asked;
        std::string resolved;
    } cases[] = {
        {"Data/Tex.PNG", "Data/Tex.PNG"},
        {"Data\\Tex.PNG", "Data/Tex.PNG"},
        {"data/tex.png", "Data/Tex.PNG"},
        {"DATA\\SUB\\model.R3D", "Data/sub/Model.r3d"},
        {"data//tex.png", "Data/Tex.PNG"},
        {"data/none.png", ""},
        {"data/folder", ""},     // folders are never files
        {"data/tex.png/x", ""},  // a file is not a folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        const std::string resolved = Vexa::Platform::resolvePath(base + c.asked);
        if (c.resolved.empty()) {
            EXPECT_EQ(resolved, "");
            EXPECT_EQ(Vexa::Platform::openFile(base + c.asked, "rb"), nullptr);
        } else {
            EXPECT_EQ(fs::canonical(resolved), fs::canonical(base + c.resolved));
        }
    }
    std::string text;
    ASSERT_TRUE(Vexa::Platform::readFile(base + "DATA\\SUB\\MODEL.R3D", text));
    EXPECT_EQ(text, "mesh");
    EXPECT_FALSE(Vexa::Platform::readFile(base + "data/none", text));

    EXPECT_EQ(loaded<FileDataBlock>(base + "data\\TEX.png"), "png");
    EXPECT_EQ(loaded<GZipDataBlock>(base + "data\\TEX.png"), "png");
}

TEST(FileSystem, WritingCreatesTheFileInTheMatchingFolder) {
    TempDir dir;
    fs::create_directories(dir / "Out");
    std::FILE* file = Vexa::Platform::openFile(dir / "out\\new.txt", "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("w", file);
    std::fclose(file);
    EXPECT_TRUE(fs::exists(dir / "Out/new.txt"));
    EXPECT_EQ(Vexa::Platform::openFile(dir / "missing/new.txt", "wb"), nullptr);
}
