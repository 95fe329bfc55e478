// Runs the real player on small productions in temporary folders and compares
// its standard output, standard error and exit status byte for byte.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Production {
    std::map<std::string, std::string> files;    // written into the folder
    std::map<std::string, std::string> archive;  // packed into cfg.dat
    std::vector<std::string> arguments;
};

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& contents) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

class GoldenTest : public ::testing::Test {
protected:
    void SetUp() override {
        char path[] = "/tmp/vexa-golden-XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        m_dir = path;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    Outcome play(const Production& production) {
        const fs::path folder = m_dir / ("run" + std::to_string(m_runs++));
        fs::create_directories(folder);
        for (const auto& [name, text] : production.files) writeFile(folder / name, text);
        if (!production.archive.empty()) {
            const fs::path stage = m_dir / "stage";
            fs::remove_all(stage);
            std::string members;
            for (const auto& [name, text] : production.archive) {
                writeFile(stage / name, text);
                members += " " + quote(name);
            }
            const std::string tar = "cd " + quote(stage.string()) + " && tar -cf " +
                                    quote((folder / "cfg.dat").string()) + members;
            EXPECT_EQ(std::system(tar.c_str()), 0) << tar;
        }
        std::string command = "cd " + quote(folder.string()) + " && " + quote(VEXA_BINARY);
        for (const std::string& a : production.arguments) command += " " + quote(a);
        command += " >out.txt 2>err.txt";
        Outcome run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = readAll(folder / "out.txt");
        run.err = readAll(folder / "err.txt");
        return run;
    }

    fs::path m_dir;
    int m_runs = 0;
};

Production demo(const std::string& script) { return {{{"Ini/demo.ini", script}}, {}, {}}; }

TEST_F(GoldenTest, ReportsEachErrorOnOneLineOfStandardError) {
    const std::string nul(1, '\0');
    const struct {
        const char* what;
        Production production;
        std::string err;
    } cases[] = {
        {"missing main script", {}, "Resource not found: Ini/demo.ini missing\n"},
        {"syntax error", demo("a = 1\nv = < 1 2 3 4 5 >\n"),
         "Exception: Ini/demo.ini(2):\nfatal: syntax error: (name, v)\n"},
        {"invalid symbol", demo("x = ( 1 , 2 )"), "Exception: Invalid symbol ,\n"},
        {"end of file in a binding", demo("a ="), "Exception: Invalid symbol " + nul + "\n"},
        {"unbound name", demo("x = y"), "Exception: fatal: no binding for name 'y'\n"},
        {"function error", demo("x = Draw 1"),
         "Exception: Ini/demo.ini(1):\nfatal: While evaluating Draw 1:\n"
         "Simple command takes no parameters.\n"},
        {"name of a function", demo("Draw = 1"),
         "Exception: Ini/demo.ini(1):\nfatal: name 'Draw' already bound to a function\n"},
        {"include not found", demo("@include \"Ini/other.ini\"\nx = 1"),
         "Exception: Ini/demo.ini(2):\nfatal: @include file not found: Ini/other.ini\n"},
        {"error in an included file",
         {{{"Ini/demo.ini", "@include \"Ini/part.ini\""}, {"Ini/part.ini", "a = 1\n}"}}, {}, {}},
         "Exception: Ini/part.ini(2):\nfatal: syntax error: (symbol, '}' = 125)\n"},
        {"macro arity", demo("@def m(a) { return = a }\nx = m ( )"),
         "Exception: wrong amount of parameters given to a macro\n"},
        {"no graphics system", demo("a = 1"),
         "incomplete initialization file, no graphicsSystem defined\n"},
        {"graphics system of another type", demo("graphicsSystem = 1 events = 1"),
         "incomplete initialization file, no graphicsSystem defined\n"},
        {"empty script", demo(""), "incomplete initialization file, no graphicsSystem defined\n"},
    };
    for (const auto& c : cases) {
        const Outcome run = play(c.production);
        EXPECT_EQ(run.status, 0) << c.what;
        EXPECT_EQ(run.out, "") << c.what;
        EXPECT_EQ(run.err, c.err) << c.what;
    }
}

TEST_F(GoldenTest, CommandLineIsScriptTextReadBeforeTheMainScript) {
    const char* const wrapped = "Exception: Ini/demo.ini(%d):\nfatal: While evaluating Draw %s:\n"
                                "Simple command takes no parameters.\n";
    auto drawError = [wrapped](int line, const char* value) {
        char buffer[256];
        std::snprintf(buffer, sizeof buffer, wrapped, line, value);
        return std::string(buffer);
    };
    const struct {
        const char* what;
        Production production;
        std::string err;
    } cases[] = {
        {"binding visible to the script", {{{"Ini/demo.ini", "y = Draw x"}}, {}, {"x", "=", "5"}},
         drawError(1, "5")},
        {"one argument with blanks", {{{"Ini/demo.ini", "y = Draw x"}}, {}, {"x = 5"}},
         drawError(1, "5")},
        {"later binding replaces it", {{{"Ini/demo.ini", "x = 7\ny = Draw x"}}, {}, {"x", "=", "5"}},
         drawError(2, "7")},
        {"tested with a conditional",
         {{{"Ini/demo.ini", "@ifnot x x = 7 @endif\ny = Draw x"}}, {}, {"x", "=", "5"}},
         drawError(2, "5")},
        {"arguments joined by blanks", {{}, {}, {"a", "b"}},
         "Exception: memory(1):\nfatal: syntax error: (name, a)\n"},
        {"unbound name", {{}, {}, {"a", "=", "b"}},
         "Exception: fatal: no binding for name 'b'\n"},
    };
    for (const auto& c : cases) {
        const Outcome run = play(c.production);
        EXPECT_EQ(run.status, 0) << c.what;
        EXPECT_EQ(run.out, "") << c.what;
        EXPECT_EQ(run.err, c.err) << c.what;
    }
}

TEST_F(GoldenTest, ArchiveIsSearchedBeforeTheFileSystem) {
    const std::string fromArchive =
        "Exception: Ini/demo.ini(1):\nfatal: While evaluating Draw 1:\n"
        "Simple command takes no parameters.\n";
    const std::string fromDisk =
        "Exception: Ini/demo.ini(1):\nfatal: While evaluating Draw 2:\n"
        "Simple command takes no parameters.\n";
    const struct {
        const char* what;
        Production production;
        std::string err;
    } cases[] = {
        {"main script in both", {{{"Ini/demo.ini", "y = Draw 2"}}, {{"Ini/demo.ini", "y = Draw 1"}}, {}},
         fromArchive},
        {"main script only in the archive", {{}, {{"Ini/demo.ini", "y = Draw 1"}}, {}}, fromArchive},
        {"archive without the member",
         {{{"Ini/demo.ini", "y = Draw 2"}}, {{"Ini/other.ini", "y = Draw 1"}}, {}}, fromDisk},
        {"include found on disk",
         {{{"Ini/part.ini", "v = 2"}}, {{"Ini/demo.ini", "@include \"Ini/part.ini\" y = Draw v"}}, {}},
         fromDisk},
        {"include found in the archive",
         {{{"Ini/demo.ini", "@include \"Ini/part.ini\" y = Draw v"}, {"Ini/part.ini", "v = 2"}},
          {{"Ini/part.ini", "v = 1"}},
          {}},
         fromArchive},
    };
    for (const auto& c : cases) {
        const Outcome run = play(c.production);
        EXPECT_EQ(run.status, 0) << c.what;
        EXPECT_EQ(run.out, "") << c.what;
        EXPECT_EQ(run.err, c.err) << c.what;
    }
}

}  // namespace
