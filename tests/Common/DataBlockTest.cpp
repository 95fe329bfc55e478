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
void expectMissing(const std::string& path) {
    Block block(path);
    EXPECT_EQ(outcomeOf([&] { block.load(); }), (Outcome{"ResourceNotFound", path + " missing"}));
    EXPECT_FALSE(block.isLoaded());
}

}  // namespace

TEST(DataBlock, FileLoadsWholeFileWithTrailingZero) {
    TempDir dir;
    for (std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{4096}, std::size_t{70001}}) {
        const std::string path = dir.write("f" + std::to_string(size), pattern(size));
        FileDataBlock block(path);
        EXPECT_FALSE(block.isLoaded());
        block.load();
        ASSERT_TRUE(block.isLoaded());
        EXPECT_EQ(contents(block), pattern(size));
        EXPECT_EQ(block.data()[block.size()], '\0');
        block.unload();
        EXPECT_FALSE(block.isLoaded());
        EXPECT_EQ(block.data(), nullptr);
        EXPECT_EQ(block.size(), 0);
        block.load();  // loads again after an unload
        EXPECT_EQ(block.size(), static_cast<int32_t>(size));
    }
}

TEST(DataBlock, MissingFilesAndFoldersAreReportedMissing) {
    TempDir dir;
    fs::create_directories(dir / "folder");
    expectMissing<FileDataBlock>(dir / "nothing.bin");
    expectMissing<FileDataBlock>(dir / "folder");
    expectMissing<GZipDataBlock>(dir / "nothing.gz");
    expectMissing<GZipDataBlock>(dir / "folder");
}

// A second Load keeps the buffer: an archive over the block points into it.
TEST(DataBlock, LoadingAgainKeepsTheBuffer) {
    TempDir dir;
    const std::string path = dir.write("a", "one");
    FileDataBlock block(path);
    block.load();
    const char* first = block.data();
    dir.write("a", "changed");
    block.load();
    EXPECT_EQ(block.data(), first);
    EXPECT_EQ(contents(block), "one");
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

// Sizes around the 64 KiB read chunk: an exact multiple ends with a read of
// zero bytes and must still be loaded completely.
TEST(DataBlock, GZipInflatesWholeFileAcrossChunks) {
    TempDir dir;
    const std::vector<std::size_t> sizes = {0, 1, 65535, 65536, 65537, 131072, 200000};
    for (std::size_t size : sizes) {
        SCOPED_TRACE(size);
        const std::string path =
            dir.write("g" + std::to_string(size) + ".gz", gzipped(pattern(size)));
        GZipDataBlock block(path);
        block.load();
        ASSERT_TRUE(block.isLoaded());
        EXPECT_EQ(block.size(), static_cast<int32_t>(size));
        EXPECT_TRUE(contents(block) == pattern(size));
        EXPECT_EQ(block.data()[block.size()], '\0');
        block.unload();
        EXPECT_FALSE(block.isLoaded());
        EXPECT_EQ(block.data(), nullptr);
    }
}

TEST(DataBlock, GZipPassesPlainFilesAndGzipToolOutputThrough) {
    TempDir dir;
    const std::string plain = dir.write("plain.txt", "not compressed\n");
    const std::string tool = dir.write("tool.txt", pattern(100000));
    ASSERT_EQ(std::system(("gzip -9 '" + tool + "'").c_str()), 0);
    GZipDataBlock plainBlock(plain);
    plainBlock.load();
    EXPECT_EQ(contents(plainBlock), "not compressed\n");
    GZipDataBlock toolBlock(tool + ".gz");
    toolBlock.load();
    EXPECT_TRUE(contents(toolBlock) == pattern(100000));
}

// Damaged gzip data is reported instead of handing out part of the file.
TEST(DataBlock, GZipDamagedStreamsAreCorrupted) {
    TempDir dir;
    const std::string good = gzipped(pattern(150000));
    std::string flipped = good;
    for (std::size_t i = flipped.size() / 2; i < flipped.size() / 2 + 16; ++i) flipped[i] ^= 0x5a;
    std::string badCrc = good;
    badCrc[badCrc.size() - 6] ^= 0x01;
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"cut in the middle", good.substr(0, good.size() / 2)},
        {"cut before the trailer", good.substr(0, good.size() - 4)},
        {"header only", good.substr(0, 10)},
        {"damaged body", flipped},
        {"wrong checksum", badCrc},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        const std::string path = dir.write("bad.gz", bytes);
        GZipDataBlock block(path);
        EXPECT_EQ(outcomeOf([&] { block.load(); }),
                  (Outcome{"ResourceCorrupted", path + " corrupted"}));
        EXPECT_FALSE(block.isLoaded());
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

    FileDataBlock block(base + "data\\TEX.png");
    block.load();
    EXPECT_EQ(contents(block), "png");
    GZipDataBlock gzip(base + "data\\TEX.png");
    gzip.load();
    EXPECT_EQ(contents(gzip), "png");
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
