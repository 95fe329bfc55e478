#pragma once
// The exception family. Every error of the system is one of these, thrown by
// value and caught by reference. Each carries the message shown to the user,
// the source unit that raised it (such as "Parser/Parser") and a line there.
// The family derives from std::exception so that a handler of standard errors
// never lets one of ours through unreported.
#include <cstdint>
#include <exception>
#include <string>
#include <utility>

class Exception : public std::exception {
public:
    Exception(std::string message, const char* unit, int line)
        : m_message(std::move(message)), m_unit(unit), m_line(line) {}

    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& message() const { return m_message; }
    const char* unit() const { return m_unit; }
    int line() const { return m_line; }

private:
    std::string m_message;
    const char* m_unit = "";
    int m_line = 0;
};

class CmdLineException : public Exception {
    using Exception::Exception;
};

class ParseException : public Exception {
    using Exception::Exception;
};

// Raised on an attempt to move past the last token; its message is empty.
class EotException : public ParseException {
    using ParseException::ParseException;
};

// Stops parsing; deliberately not a ParseException, so no statement form
// swallows it while backtracking.
class FatalParseException : public Exception {
    using Exception::Exception;
};

class BindingNotFoundException : public FatalParseException {
    using FatalParseException::FatalParseException;
};

class FunctionParseException : public FatalParseException {
    using FatalParseException::FatalParseException;
};

class ResourceNotFound : public Exception {
public:
    ResourceNotFound(const std::string& resource, const char* unit, int line)
        : Exception(resource + " missing", unit, line), m_resource(resource) {}
    const std::string& resource() const { return m_resource; }

private:
    std::string m_resource;
};

class ResourceCorrupted : public Exception {
public:
    ResourceCorrupted(const std::string& resource, const char* unit, int line)
        : Exception(resource + " corrupted", unit, line), m_resource(resource) {}
    const std::string& resource() const { return m_resource; }

private:
    std::string m_resource;
};

// Outside data larger than what the system agrees to hold, refused before
// anything of that size is allocated. `limit` is in bytes, a whole number of
// MiB.
class ResourceTooLarge : public Exception {
public:
    ResourceTooLarge(const std::string& resource, int64_t limit, const char* unit, int line)
        : Exception(resource + " too large (over " + std::to_string(limit >> 20) + " MiB)", unit,
                    line),
          m_resource(resource) {}
    const std::string& resource() const { return m_resource; }

private:
    std::string m_resource;
};

class RenderMachineException : public Exception {
    using Exception::Exception;
};

class DirectXException : public Exception {
    using Exception::Exception;
};

// Throws an exception of class `Cls` located at the current line of the
// translation unit, whose unit name must be in scope as `kUnit`.
#define VEXA_THROW(Cls, ...) throw Cls(__VA_ARGS__, kUnit, __LINE__)
