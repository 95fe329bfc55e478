#pragma once
// A temporary folder for a test, removed with everything in it at the end.
// A folder that cannot be made fails the test that asked for it.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace Vexa {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/vexa-test-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            throw std::runtime_error("cannot make a temporary folder");
        m_path = pattern;
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
        std::ofstream out(p, std::ios::binary);
        if (!(out << bytes)) throw std::runtime_error("cannot write " + p.string());
        return p.string();
    }

private:
    std::string m_path;
};

}  // namespace Vexa
