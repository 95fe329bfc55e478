// Reading tar archives: member layout, size fields, damaged data, lookups
// and member blocks.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Archive/Archive.h"
#include "Support/TestKit.h"

using Vexa::Archive;
using Vexa::ArchiveDataBlock;

namespace {

using Vexa::Testing::MemoryBlock;

// One 512-byte tar header with a raw size field (12 bytes at 124) and magic.
std::string header(const std::string& name, const std::string& sizeField,
                   const std::string& magic = std::string("ustar  \0", 8)) {
    std::string h(512, '\0');
    h.replace(0, std::min<std::size_t>(name.size(), 100), name.substr(0, 100));
    h.replace(124, sizeField.size(), sizeField);
    h.replace(257, magic.size(), magic);
    return h;
}

std::string octal(std::size_t size) {
    char field[13];
    std::snprintf(field, sizeof field, "%011zo", size);
    return std::string(field, 12);
}

// A member: header, data, zero padding to the next multiple of 512.
std::string member(const std::string& name, const std::string& data) {
    std::string m = header(name, octal(data.size())) + data;
    m.append((512 - data.size() % 512) % 512, '\0');
    return m;
}

std::string memberText(const Archive& archive, const std::string& name) {
    const auto found = archive.find(name);
    return std::string(found.first, static_cast<std::size_t>(found.second));
}

void expectCorrupted(Archive& archive) {
    EXPECT_EQ(Vexa::Testing::outcomeOf([&] { archive.load(); }),
              (Vexa::Testing::Outcome{"ResourceCorrupted", "Archive file corrupted"}));
    EXPECT_FALSE(archive.isParsed());
    EXPECT_TRUE(archive.entries().empty());
}

}  // namespace

// What an archive lists: nothing for data without members; the size field
// read as octal up to its first other character.
TEST(Archive, ListsMembersWithTheSizesTheirFieldsGive) {
    const std::string end(1024, '\0');
    const struct {
        std::string bytes;
        std::vector<int64_t> sizes;
    } cases[] = {
        {"", {}},                    // empty file
        {end, {}},                   // end-of-archive blocks only
        {std::string(1, '\0'), {}},  // a lone zero byte: no header needs to fit
        {header("f", "     1001 ") + std::string(513, 'x') + end, {513}},    // old tar: blanks
        {header("f", "000000001001") + std::string(513, 'x') + end, {513}},  // twelve digits
        {header("f", "12x4") + std::string(10, 'x') + end, {10}},
        {header("f", "9") + end, {0}},                             // not an octal digit at all
        {header("f", octal(0), std::string(8, '\0')) + end, {0}},  // old tar: no magic
    };
    for (const auto& c : cases) {
        MemoryBlock block(c.bytes);
        Archive archive(&block);
        archive.load();
        EXPECT_TRUE(archive.isParsed());
        std::vector<int64_t> sizes;
        for (const Vexa::ArchiveEntry& e : archive.entries()) sizes.push_back(e.size);
        EXPECT_EQ(sizes, c.sizes) << c.bytes.substr(0, 30);
    }
}

// Each member's data starts right after its header and the next header
// follows after the data padded to 512 bytes (no padding for 0 or 512).
TEST(Archive, MembersArePaddedToWholeBlocks) {
    const std::vector<std::size_t> sizes = {0, 1, 511, 512, 513, 1024, 0};
    std::string bytes;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        bytes += member("m" + std::to_string(i), std::string(sizes[i], static_cast<char>('a' + i)));
    bytes += std::string(1024, '\0');
    MemoryBlock block(bytes);
    Archive archive(&block);
    archive.load();

    ASSERT_EQ(archive.entries().size(), sizes.size());
    int64_t headerAt = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const Vexa::ArchiveEntry& e = archive.entries()[i];
        EXPECT_EQ(e.name, "m" + std::to_string(i));
        EXPECT_EQ(e.offset, headerAt + 512);
        EXPECT_EQ(e.size, static_cast<int64_t>(sizes[i]));
        EXPECT_EQ(memberText(archive, e.name), std::string(sizes[i], static_cast<char>('a' + i)));
        headerAt += 512 + static_cast<int64_t>((sizes[i] + 511) / 512 * 512);
    }
}

// Damaged data never reads past the buffer: headers that do not fit and
// members whose size runs past the end reject the whole archive.
TEST(Archive, RejectsDamagedArchivesAsCorrupted) {
    const std::string good = member("a", "hello");
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"truncated header", std::string("b", 1) + std::string(299, 'x')},
        {"header after a member cut short", good + "c" + std::string(100, '\0')},
        {"member runs past the end", header("big", octal(1000)) + std::string(512, 'd')},
        {"huge octal size", header("huge", "77777777777") + std::string(512, 'e')},
        {"twelve octal sevens", header("huge", "777777777777") + std::string(512, 'e')},
        {"size just one byte too long", header("f", octal(513)) + std::string(512, 'f')},
        {"posix magic",
         header("g", octal(1), std::string("ustar", 6) + "00") + std::string(512, 'g')},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        MemoryBlock block(bytes);
        Archive archive(&block);
        expectCorrupted(archive);
        EXPECT_TRUE(block.isLoaded());
    }
}

TEST(Archive, FindMatchesWholeNameExactlyAndUnloadForgetsTheEntries) {
    MemoryBlock block(member("./Ini/demo.ini", "dot") + member("Ini/demo.ini", "first") +
                      member("Ini/demo.ini", "second") + std::string(1024, '\0'));
    Archive archive(&block);
    EXPECT_THROW(archive.find("Ini/demo.ini"), ResourceNotFound);  // not loaded yet
    archive.load();
    EXPECT_EQ(memberText(archive, "Ini/demo.ini"), "first");
    EXPECT_EQ(memberText(archive, "./Ini/demo.ini"), "dot");
    for (const char* missing : {"ini/demo.ini", "Ini/demo.in", "Ini/demo.ini ", "demo.ini", ""})
        EXPECT_EQ(Vexa::Testing::outcomeOf([&] { archive.find(missing); }),
                  (Vexa::Testing::Outcome{"ResourceNotFound", std::string(missing) + " missing"}));

    archive.unload();
    EXPECT_FALSE(archive.isParsed());
    EXPECT_TRUE(block.isLoaded());
    EXPECT_THROW(archive.find("Ini/demo.ini"), ResourceNotFound);
    archive.load();
    EXPECT_EQ(memberText(archive, "Ini/demo.ini"), "first");
    // Once the source is unloaded its members are gone with it.
    block.unload();
    EXPECT_THROW(archive.find("Ini/demo.ini"), ResourceNotFound);
}

// Member blocks point into the archive's buffer and still end in a zero byte;
// only a member with a header right behind it needs its own copy.
TEST(ArchiveDataBlock, PointsIntoTheArchiveAndEndsInZero) {
    MemoryBlock block(member("text", "abc") + member("full", std::string(512, 'q')) +
                      member("next", "n") + header("last", octal(512)) + std::string(512, 'l'));
    Archive archive(&block);
    ArchiveDataBlock early(&archive, "text");
    EXPECT_THROW(early.load(), ResourceNotFound);  // archive not loaded yet
    archive.load();
    const char* begin = block.data();
    const char* end = block.data() + block.size();

    const struct {
        const char* name;
        std::string bytes;
        bool shared;
    } cases[] = {
        {"text", "abc", true},
        {"full", std::string(512, 'q'), false},
        {"next", "n", true},
        {"last", std::string(512, 'l'), true},  // the source's own zero follows
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveDataBlock member(&archive, c.name);
        member.load();
        ASSERT_TRUE(member.isLoaded());
        EXPECT_EQ(std::string(member.data(), static_cast<std::size_t>(member.size())), c.bytes);
        EXPECT_EQ(member.data()[member.size()], '\0');
        EXPECT_EQ(member.data() >= begin && member.data() < end, c.shared);
        member.unload();
        EXPECT_EQ(member.data(), nullptr);
    }
}
