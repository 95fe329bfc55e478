#include "Parser/Functions/FileObject.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Parser/Exceptions.h"
#include "Parser/IniCommands.h"
#include "Parser/IniFunction.h"
#include "Support/TempDir.h"

namespace fs = std::filesystem;
using Vexa::ArchiveObject;
using Vexa::BlockObject;
using Vexa::FileObject;
using Vexa::IniFunction;
using Vexa::IniObject;
using Vexa::StringObject;
using Vexa::TupleObject;

namespace {

using Vexa::TempDir;

// A scope the test owns; named parameters are bound in it.
class Scope {
public:
    Scope() : m_block(new BlockObject()) { m_block->addRef(); }
    ~Scope() {
        m_block->release();
        Vexa::collectGarbage();
    }
    Scope& bind(const char* name, IniObject* value) {
        m_block->bind(name, value, false);
        return *this;
    }
    BlockObject* get() const { return m_block; }

private:
    BlockObject* m_block;
};

// Calls a script function and keeps the result alive until release().
IniObject* call(const char* function, IniObject* argument, const Scope& scope) {
    IniObject* result = IniFunction::call(function, argument, scope.get());
    result->addRef();
    return result;
}

TupleObject* tuple(const std::vector<IniObject*>& elements) {
    auto* t = new TupleObject();
    for (IniObject* e : elements) t->append(e);
    return t;
}

void runCommand(IniObject* object, const Vexa::CommandKind* kind) {
    Vexa::SimpleCommand command(0.0f, kind);
    object->execute(command);
}

std::string contents(const FileObject* file) {
    const Vexa::DataBlock* block = file->dataBlock();
    return std::string(block->data(), static_cast<std::size_t>(block->size()));
}

}  // namespace

TEST(FileObject, PathJoinsDirectoryAndName) {
    const struct {
        const char* directory;  // null: no "directory" binding
        const char* name;
        const char* path;
    } cases[] = {
        {nullptr, "a.png", "./a.png"},
        {"data", "a.png", "data/a.png"},
        {"data/", "a.png", "data/a.png"},
        {"data\\", "a.png", "data\\a.png"},
        {"/abs/dir", "sub/a.png", "/abs/dir/sub/a.png"},
        {"", "a.png", "a.png"},  // an empty directory leaves the name as written
    };
    for (const char* function : {"File", "GZipFile"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(function) + " " + (c.directory ? c.directory : "(none)"));
            Scope scope;
            if (c.directory) scope.bind("directory", new StringObject(c.directory));
            IniObject* object = call(function, new StringObject(c.name), scope);
            ASSERT_TRUE(IniObject::isOfType(object, Vexa::Types::File()));
            auto* file = static_cast<FileObject*>(object);
            EXPECT_EQ(file->name(), c.path);
            EXPECT_EQ(file->toString(), std::string("[File \"") + c.path + "\"]");
            EXPECT_FALSE(file->isLoaded());
            object->release();
        }
    }
}

TEST(FileObject, LoadAndUnloadCommandsDriveTheBlock) {
    TempDir dir;
    dir.write("data/a.txt", "plain");
    dir.write("data/b.txt", "squeezed");
    ASSERT_EQ(std::system(("gzip '" + dir.path() + "/data/b.txt'").c_str()), 0);
    Scope scope;
    scope.bind("directory", new StringObject(dir.path() + "/data"));
    const struct {
        const char* function;
        const char* name;
        const char* text;
    } cases[] = {{"File", "a.txt", "plain"}, {"GZipFile", "b.txt.gz", "squeezed"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.function);
        auto* file = static_cast<FileObject*>(call(c.function, new StringObject(c.name), scope));
        runCommand(file, Vexa::CommandKinds::Load());
        ASSERT_TRUE(file->isLoaded());
        EXPECT_EQ(contents(file), c.text);
        runCommand(file, Vexa::CommandKinds::Unload());
        EXPECT_FALSE(file->isLoaded());
        EXPECT_EQ(file->dataBlock()->data(), nullptr);
        file->release();
    }
    // A missing file is reported when loaded, not when named.
    IniObject* missing = call("File", new StringObject("none.txt"), scope);
    try {
        runCommand(missing, Vexa::CommandKinds::Load());
        ADD_FAILURE();
    } catch (const ResourceNotFound& e) {
        EXPECT_EQ(e.message(), dir.path() + "/data/none.txt missing");
    }
    missing->release();
}

TEST(FileObject, FunctionsTakeExactlyOneParameter) {
    for (const char* function : {"File", "GZipFile", "Archive"}) {
        for (int count : {0, 2}) {
            SCOPED_TRACE(std::string(function) + " " + std::to_string(count));
            Scope scope;
            std::vector<IniObject*> elements;
            for (int i = 0; i < count; ++i) elements.push_back(new StringObject("a"));
            try {
                IniFunction::call(function, tuple(elements), scope.get());
                ADD_FAILURE();
            } catch (const FunctionParseException& e) {
                EXPECT_EQ(e.message(), "Only one parameter was expected.");
                EXPECT_STREQ(e.unit(), "Parser/Functions/FileObject");
            }
        }
    }
}

TEST(FileObject, WrongParameterTypesGiveTheOrdinaryTypeError) {
    TempDir dir;
    const struct {
        const char* function;
        bool archiveDirectory;  // bind an Archive object as "directory"
        IniObject* directory;
        IniObject* argument;
        const char* message;
    } cases[] = {
        {"File", false, new Vexa::NumberObject(1), new StringObject("a"),
         "directory is Number. String was expected."},
        {"GZipFile", true, nullptr, new StringObject("a"), "directory is Archive. String was expected."},
        {"File", false, nullptr, new Vexa::NumberObject(3), "Tuple element 0 is Number. String was expected."},
        {"Archive", false, nullptr, new StringObject("a.tar"), "Tuple element 0 is String. File was expected."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Scope scope;
        if (c.archiveDirectory) {
            IniObject* file = IniFunction::call("File", new StringObject(dir.path() + "/x.tar"), scope.get());
            scope.bind("directory", IniFunction::call("Archive", file, scope.get()));
        } else if (c.directory) {
            scope.bind("directory", c.directory);
        }
        try {
            IniFunction::call(c.function, c.argument, scope.get());
            ADD_FAILURE();
        } catch (const ParseException& e) {
            EXPECT_EQ(e.message(), c.message);
        }
    }
}

// A script names data inside an archive:
//   pack = Archive File "pack.tar"
//   demo = File { directory = pack ... } "Ini/demo.ini"
// The archive holds its File object and each member holds the archive, so
// the bytes stay alive however the script lets go of its names.
TEST(FileObject, MembersOfAnArchiveObject) {
    TempDir dir;
    dir.write("content/Ini/demo.ini", "main = 1\n");
    dir.write("content/tex/a.png", "png bytes");
    for (const char* compress : {"", "z"}) {
        SCOPED_TRACE(*compress ? "tar.gz through GZipFile" : "tar through File");
        const std::string tarName = *compress ? "pack.tar.gz" : "pack.tar";
        const std::string command = std::string("tar --format=gnu -c") + compress + "f '" + dir.path() +
                                    "/" + tarName + "' -C '" + dir.path() + "/content' Ini tex";
        ASSERT_EQ(std::system(command.c_str()), 0);

        auto* scope = new Scope();
        scope->bind("directory", new StringObject(dir.path()));
        IniObject* file = IniFunction::call(*compress ? "GZipFile" : "File", new StringObject(tarName),
                                            scope->get());
        IniObject* archive = IniFunction::call("Archive", file, scope->get());
        ASSERT_TRUE(IniObject::isOfType(archive, Vexa::Types::Archive()));
        EXPECT_TRUE(archive->holds(file));
        EXPECT_EQ(archive->toString(), "[Archive]");

        Scope memberScope;
        memberScope.bind("directory", archive);
        auto* demo = static_cast<FileObject*>(call("File", new StringObject("Ini/demo.ini"), memberScope));
        auto* missing = static_cast<FileObject*>(call("File", new StringObject("Ini/none.ini"), memberScope));
        EXPECT_EQ(demo->toString(), "[File \"Ini/demo.ini\"]");
        EXPECT_TRUE(demo->holds(archive));
        delete scope;  // the script's own names are gone; the chain holds

        // Members are missing until the archive is loaded.
        EXPECT_THROW(runCommand(demo, Vexa::CommandKinds::Load()), ResourceNotFound);
        EXPECT_FALSE(archive->isLoaded());
        runCommand(archive, Vexa::CommandKinds::Load());
        EXPECT_TRUE(archive->isLoaded());
        runCommand(demo, Vexa::CommandKinds::Load());
        EXPECT_EQ(contents(demo), "main = 1\n");
        EXPECT_EQ(demo->dataBlock()->data()[demo->dataBlock()->size()], '\0');
        EXPECT_THROW(runCommand(missing, Vexa::CommandKinds::Load()), ResourceNotFound);
        runCommand(archive, Vexa::CommandKinds::Unload());
        EXPECT_FALSE(archive->isLoaded());
        EXPECT_TRUE(static_cast<FileObject*>(file)->isLoaded());

        missing->release();
        demo->release();
        Vexa::collectGarbage();
    }
}
