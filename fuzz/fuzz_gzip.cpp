// Gzip blocks: arbitrary bytes written to a file, then loaded and unloaded.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Common/DataBlock.h"
#include "Parser/Exceptions.h"

namespace {

const std::string& scratchPath() {
    static const std::string path = [] {
        char pattern[] = "/tmp/vexa-fuzz-gzip-XXXXXX";
        const int fd = ::mkstemp(pattern);
        if (fd < 0) std::abort();
        ::close(fd);
        static std::string name;
        name = pattern;
        std::atexit([] { ::unlink(name.c_str()); });
        return name;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string& path = scratchPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);

    Vexa::GZipDataBlock block(path);
    try {
        block.load();
        if (block.data()[block.size()] != 0) __builtin_trap();
        block.unload();
    } catch (const Exception&) {
        if (block.isLoaded()) __builtin_trap();
    }
    return 0;
}
