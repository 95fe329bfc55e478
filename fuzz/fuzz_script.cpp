// Script text of any shape must end in a result or an exception of the
// family, never in a crash, a hang or a leak.
//
// Scripts can @include files by relative name. Each input is parsed with an
// empty folder of its own as the working folder, so that those names find
// nothing of the project; the fuzzer's own working folder (where it writes
// crash files, and against which relative corpus paths are read) is restored
// after every input.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Parser/Exceptions.h"
#include "Parser/IniObject.h"
#include "Parser/Parser.h"

namespace {

int s_emptyFolder = -1;
int s_fuzzerFolder = -1;
char s_emptyPath[] = "/tmp/vexa-fuzz-script-XXXXXX";

void removeEmptyFolder() { ::rmdir(s_emptyPath); }

void enter(int folder) {
    if (::fchdir(folder) != 0) {
        std::perror("fuzz_script: fchdir");
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!::mkdtemp(s_emptyPath)) {
        std::perror("fuzz_script: mkdtemp");
        std::abort();
    }
    std::atexit(removeEmptyFolder);
    s_emptyFolder = ::open(s_emptyPath, O_RDONLY | O_DIRECTORY);
    s_fuzzerFolder = ::open(".", O_RDONLY | O_DIRECTORY);
    if (s_emptyFolder < 0 || s_fuzzerFolder < 0) {
        std::perror("fuzz_script: open folder");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    enter(s_emptyFolder);
    {
        Vexa::Parser parser;
        try {
            parser.parseString(text);
            (void)parser.lookup("demo");
        } catch (const Exception&) {}
    }
    Vexa::collectGarbage();
    enter(s_fuzzerFolder);
    return 0;
}
