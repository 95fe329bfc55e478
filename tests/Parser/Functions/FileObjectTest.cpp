// Files, gzip files and archives named from scripts: paths, loading and the
// chain of holds that keeps an archive's members alive.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Parser/Functions/FileObject.h"
#include "Parser/IniCommands.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Testing::Outcome;
using Testing::outcomeOf;
using Testing::send;

class FileObjectTest : public Testing::ScriptTest {
protected:
    FileObject* file(const std::string& script) {
        IniObject* object = run(script);
        EXPECT_TRUE(IniObject::isOfType(object, Types::File())) << script;
        return static_cast<FileObject*>(object);
    }
    static std::string contents(const FileObject* file) {
        return std::string(file->dataBlock()->data(),
                           static_cast<std::size_t>(file->dataBlock()->size()));
    }
    TempDir m_dir;
};

TEST_F(FileObjectTest, PathJoinsDirectoryAndName) {
    const struct {
        const char* directory;
        const char* name;
        const char* path;
    } cases[] = {
        {"data", "a.png", "data/a.png"},
        {"data/", "a.png", "data/a.png"},
        {"data\\", "a.png", "data\\a.png"},
        {"/abs/dir", "sub/a.png", "/abs/dir/sub/a.png"},
        {"", "a.png", "a.png"},  // an empty directory leaves the name as written
    };
    for (const auto& c : cases) EXPECT_EQ(joinDirectory(c.directory, c.name), c.path);
    // Without a "directory" binding a file lies in the current folder.
    for (const char* function : {"File", "GZipFile"}) {
        FileObject* f = file(std::string("x = ") + function + " \"a.png\"");
        EXPECT_EQ(f->toString(), "[File \"./a.png\"]");
        EXPECT_FALSE(f->isLoaded());
    }
}

TEST_F(FileObjectTest, LoadAndUnloadCommandsDriveTheBlock) {
    m_dir.write("data/a.txt", "plain");
    m_dir.write("data/b.txt", "squeezed");
    ASSERT_EQ(std::system(("gzip '" + m_dir.path() + "/data/b.txt'").c_str()), 0);
    const std::string directory = "directory = \"" + m_dir.path() + "/data\"\n";
    const struct {
        const char* call;
        const char* text;
    } cases[] = {{"File \"a.txt\"", "plain"}, {"GZipFile \"b.txt.gz\"", "squeezed"}};
    for (const auto& c : cases) {
        FileObject* f = file(directory + "x = " + c.call);
        send(f, CommandKinds::Load());
        ASSERT_TRUE(f->isLoaded());
        EXPECT_EQ(contents(f), c.text);
        send(f, CommandKinds::Unload());
        EXPECT_FALSE(f->isLoaded());
        EXPECT_EQ(f->dataBlock()->data(), nullptr);
    }
    // A missing file is reported when loaded, not when named.
    FileObject* missing = file(directory + "x = File \"none.txt\"");
    EXPECT_EQ(outcomeOf([&] { send(missing, CommandKinds::Load()); }),
              (Outcome{"ResourceNotFound", m_dir.path() + "/data/none.txt missing"}));
}

// An archive holds its File object and each member holds the archive, so the
// bytes stay alive after the script and its names are gone.
TEST_F(FileObjectTest, MembersOfAnArchiveObject) {
    m_dir.write("content/Ini/demo.ini", "main = 1\n");
    m_dir.write("content/tex/a.png", "png bytes");
    for (const char* compress : {"", "z"}) {
        SCOPED_TRACE(*compress ? "tar.gz through GZipFile" : "tar through File");
        const std::string tar = *compress ? "pack.tar.gz" : "pack.tar";
        ASSERT_EQ(
            std::system(("tar --format=gnu -c" + std::string(compress) + "f '" + m_dir.path() +
                         "/" + tar + "' -C '" + m_dir.path() + "/content' Ini tex")
                            .c_str()),
            0);
        reset();
        run("directory = \"" + m_dir.path() + "\"\npack = Archive " +
            (*compress ? "GZipFile" : "File") + " \"" + tar +
            "\"\nm = { directory = pack demo = File \"Ini/demo.ini\" missing = File "
            "\"Ini/none.ini\" }");
        IniObject* archive = parser().lookup("pack");
        EXPECT_EQ(archive->toString(), "[Archive]");
        auto* members = static_cast<BlockObject*>(parser().lookup("m"));
        auto* demo = static_cast<FileObject*>(members->lookup("demo"));
        auto* missing = static_cast<FileObject*>(members->lookup("missing"));
        EXPECT_EQ(demo->toString(), "[File \"Ini/demo.ini\"]");
        for (IniObject* kept :
             {archive, static_cast<IniObject*>(demo), static_cast<IniObject*>(missing)})
            kept->addRef();
        reset();

        // Members are missing until the archive is loaded.
        EXPECT_EQ(outcomeOf([&] { send(demo, CommandKinds::Load()); }).kind, "ResourceNotFound");
        send(archive, CommandKinds::Load());
        send(demo, CommandKinds::Load());
        EXPECT_EQ(contents(demo), "main = 1\n");
        EXPECT_EQ(demo->dataBlock()->data()[demo->dataBlock()->size()], '\0');
        EXPECT_EQ(outcomeOf([&] { send(missing, CommandKinds::Load()); }).kind, "ResourceNotFound");
        send(archive, CommandKinds::Unload());
        EXPECT_FALSE(archive->isLoaded());
        for (IniObject* kept :
             {archive, static_cast<IniObject*>(demo), static_cast<IniObject*>(missing)})
            kept->release();
        collectGarbage();
    }
}

}  // namespace
}  // namespace Vexa
