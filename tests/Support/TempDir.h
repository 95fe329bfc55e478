#pragma once
// A temporary folder for a test, removed with everything in it at the end.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace Vexa {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/vexa-test-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& relative) const { return m_path + "/" + relative; }
    // Writes a file (making its folders) and answers its path.
    std::string write(const std::string& relative, const std::string& bytes) const {
        const std::filesystem::path p = std::filesystem::path(m_path) / relative;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

private:
    std::string m_path;
};

}  // namespace Vexa
