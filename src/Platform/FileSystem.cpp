#include "Platform/FileSystem.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "Parser/Exceptions.h"

namespace Vexa::Platform {

static const char* const kUnit = "Platform/FileSystem";

namespace {

enum class Kind { Missing, Directory, Other };

Kind kindOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return Kind::Missing;
    return S_ISDIR(info.st_mode) ? Kind::Directory : Kind::Other;
}

bool equalsIgnoringCase(const char* a, const std::string& b) {
    std::size_t i = 0;
    for (; a[i] && i < b.size(); ++i) {
        const unsigned char ca = static_cast<unsigned char>(a[i]);
        const unsigned char cb = static_cast<unsigned char>(b[i]);
        const auto lower = [](unsigned char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
        };
        if (lower(ca) != lower(cb)) return false;
    }
    return a[i] == 0 && i == b.size();
}

std::string withSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string joined(const std::string& prefix, const std::string& name) {
    if (prefix.empty()) return name;
    if (prefix.back() == '/') return prefix + name;
    return prefix + "/" + name;
}

// The entry of `directory` whose name equals `name` apart from letter case
// and whose kind fits (a folder for inner components, anything else for the
// last one). Several matches are possible on a case-sensitive file system;
// the smallest name wins so the choice does not depend on directory order.
std::string findIgnoringCase(const std::string& directory, const std::string& name,
                             bool wantDirectory) {
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (!dir) return {};
    std::vector<std::string> matches;
    while (const dirent* entry = ::readdir(dir)) {
        if (equalsIgnoringCase(entry->d_name, name)) matches.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(matches.begin(), matches.end());
    for (const std::string& match : matches) {
        const Kind kind = kindOf(joined(directory, match));
        if (kind == Kind::Missing) continue;
        if ((kind == Kind::Directory) == wantDirectory) return match;
    }
    return {};
}

// Walks the path one component at a time, keeping components that exist as
// written and replacing the others by a case-insensitive match. Inner
// components must be folders; the last one a folder only when asked.
std::string resolveIgnoringCase(const std::string& path, bool lastIsDirectory) {
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (components.empty()) return {};

    std::string resolved = path[0] == '/' ? "/" : "";
    for (std::size_t i = 0; i < components.size(); ++i) {
        const std::string& component = components[i];
        const bool wantDirectory = i + 1 < components.size() || lastIsDirectory;
        const std::string exact = joined(resolved, component);
        const Kind kind = kindOf(exact);
        if (kind != Kind::Missing && (kind == Kind::Directory) == wantDirectory) {
            resolved = exact;
            continue;
        }
        if (component == "." || component == "..") return {};
        const std::string match = findIgnoringCase(resolved, component, wantDirectory);
        if (match.empty()) return {};
        resolved = joined(resolved, match);
    }
    return resolved;
}

}  // namespace

// Folders are never answered: a data block can only be read from a file.
std::string resolvePath(const std::string& path) {
    if (path.empty()) return {};
    const std::string normal = withSlashes(path);
    if (kindOf(normal) == Kind::Other) return normal;
    return resolveIgnoringCase(normal, false);
}

// Reading opens the resolved path. Other modes may create the file, so only
// its folder is resolved and the last component is kept as written (unless a
// file of that name exists apart from letter case).
std::FILE* openFile(const std::string& path, const char* mode) {
    std::string target = resolvePath(path);
    if (target.empty()) {
        if (!mode || mode[0] == 'r' || path.empty()) return nullptr;
        const std::string normal = withSlashes(path);
        const std::size_t slash = normal.find_last_of('/');
        if (slash == std::string::npos || slash == 0) {
            target = normal;
        } else {
            std::string folder = normal.substr(0, slash);
            if (kindOf(folder) != Kind::Directory) {
                folder = resolveIgnoringCase(folder, true);
                if (folder.empty()) return nullptr;
            }
            target = folder + normal.substr(slash);
        }
    }
    std::FILE* file = std::fopen(target.c_str(), mode);
    if (!file) return nullptr;
    struct stat info {};
    if (::fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

int64_t fileSize(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return info.st_size;
}

// The size is checked before reading when the file has one; a pipe or a
// device is bounded while it is read.
bool readFile(const std::string& path, std::string& out) {
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file(openFile(path, "rb"));
    if (!file) return false;
    struct stat info {};
    if (::fstat(fileno(file.get()), &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_size > kMaxFileSize)
        VEXA_THROW(ResourceTooLarge, path, kMaxFileSize);
    std::string text;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        if (static_cast<int64_t>(text.size() + got) > kMaxFileSize)
            VEXA_THROW(ResourceTooLarge, path, kMaxFileSize);
        text.append(buffer, got);
    }
    if (std::ferror(file.get())) return false;
    out.swap(text);
    return true;
}

// Writing is tried for real with a file made and removed again: permissions,
// a read-only mount or a full quota all show there.
bool makeWritableFolder(const std::string& path, std::string& reason) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error) {
        reason = error.message();
        return false;
    }
    std::string probe = path + "/.write-test-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

}  // namespace Vexa::Platform
