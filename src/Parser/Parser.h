#pragma once
// The evaluating parser: statements are evaluated as they are read, binding
// names in a stack of scopes. Statement forms are tried one after another;
// a form that does not match rewinds and raises the recoverable
// ParseException, and only when no form matches does parsing stop.
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Parser/IniObject.h"
#include "Parser/Tokenizer.h"

namespace Vexa {

class Archive;

// One unit of tokens being read: a file, text given directly ("memory") or a
// macro body ("macro"). The top of the position stack is the current position.
struct Source {
    std::string name;
    TokenArray tokens;
    std::vector<std::size_t> positions;
};

// A macro: parameter names and a body of tokens run in a scope of its own.
class MacroObject : public IniObject {
public:
    explicit MacroObject(std::string name);
    const TypeObject* type() const override { return Types::Macro(); }
    std::string toString() const override;

    const std::string& name() const { return m_name; }
    const std::vector<std::string>& parameters() const { return m_parameters; }
    Source& source() { return m_source; }

private:
    friend class Parser;
    std::string m_name;
    std::vector<std::string> m_parameters;
    Source m_source;
};

class Parser {
public:
    Parser();
    ~Parser();
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    void parseString(const std::string& text);
    void parseFile(const std::string& fileName);
    void setArchive(Archive* archive) { m_archive = archive; }
    // The object bound to `name` in the nearest scope; null when unbound.
    IniObject* lookup(std::string_view name) const;
    BlockObject* rootScope() const { return m_root.get(); }

    // Deepest nesting of blocks, tuples, vectors, includes and macro calls.
    static constexpr int kMaxDepth = 1000;

private:
    enum class Kind { Unknown, Number, String, Vector, Block, Tuple };
    class SourceGuard;
    class ScopeGuard;
    class DepthGuard;

    // Token primitives on the current source.
    Source& source() { return *m_sources.back(); }
    const Token& current();
    void advance();
    void mark();
    void commit();
    void rewind();
    bool acceptSymbol(int c);
    const char* acceptName(const char* name = nullptr);
    bool acceptDirective(const char* keyword);
    void expectSymbol(int c);
    const char* expectName(const char* name = nullptr);
    void expectDirective(const char* keyword);
    bool atEnd();
    std::string where();

    // Reading and evaluating.
    std::unique_ptr<Source> readFile(const std::string& fileName) const;
    void parseSource(std::unique_ptr<Source> source);
    void parseTopLevel();
    BlockObject* parseStatements(bool newScope);
    // The four statement forms, evaluated or only checked for shape.
    struct StatementForms {
        void (Parser::*binding)();
        void (Parser::*include)();
        void (Parser::*conditional)();
        void (Parser::*definition)();
    };
    static const StatementForms kEvaluated;
    static const StatementForms kSkipped;
    bool statement(const StatementForms& forms);
    bool attempt(void (Parser::*form)());
    void binding();
    void include();
    void conditional();
    bool condition();
    void macroDefinition();
    // Reads a braced macro body, copying its tokens into `body` when given.
    void macroBody(TokenArray* body);
    IniObject* expression();
    IniObject* vector();
    IniObject* callMacro(MacroObject* macro);
    BlockObject* currentScope() const { return m_scopes.back(); }
    void copyBindings(const BlockObject* from, bool local);

    // Skipping inactive branches.
    void skipStatements();
    void skipBinding();
    void skipInclude();
    void skipConditional();
    void skipDefinition();
    Kind skipExpression();

    std::vector<Source*> m_sources;
    // The scope stack: the root scope, then the blocks and macro calls being
    // read. Only the root is owned here; the others by their ScopeGuards.
    std::vector<BlockObject*> m_scopes;
    std::unique_ptr<BlockObject> m_root;
    std::map<std::string, MacroObject*, std::less<>> m_macros;
    std::vector<IniObject*> m_pending;  // elements of the tuples being read
    Token m_nullToken;
    Archive* m_archive = nullptr;
    int m_depth = 0;
};

}  // namespace Vexa
