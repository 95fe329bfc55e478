#include "Parser/Parser.h"

#include <optional>
#include <utility>

#include "Archive/Archive.h"
#include "Parser/Exceptions.h"
#include "Parser/IniFunction.h"
#include "Platform/FileSystem.h"

namespace Vexa {

static const char* const kUnit = "Parser/Parser";

namespace {

// Nested @include files beyond this are reported: a file that includes itself
// would otherwise read and tokenize itself a thousand times over.
constexpr int kMaxIncludeDepth = 64;

}  // namespace

MacroObject::MacroObject(std::string name) : m_name(std::move(name)) {
    m_source.name = "macro";
    m_source.positions.push_back(0);
}

std::string MacroObject::toString() const {
    std::string text = "@def name(";
    for (const std::string& p : m_parameters) text += p + " ";
    text += ") { ";
    for (const Token& t : m_source.tokens.tokens()) text += tokenText(t) + " ";
    return text + " }";
}

// Pushes a source for the lifetime of the guard; owned sources die with it.
class Parser::SourceGuard {
public:
    SourceGuard(Parser& parser, std::unique_ptr<Source> owned)
        : m_parser(parser), m_owned(std::move(owned)), m_source(m_owned.get()) {
        m_parser.m_sources.push_back(m_source);
    }
    // A macro's source: its position stack is put back as it was.
    SourceGuard(Parser& parser, Source& borrowed)
        : m_parser(parser), m_source(&borrowed), m_savedDepth(borrowed.positions.size()) {
        m_source->positions.push_back(0);
        m_parser.m_sources.push_back(m_source);
    }
    ~SourceGuard() {
        m_parser.m_sources.pop_back();
        if (!m_owned) m_source->positions.resize(m_savedDepth);
    }
    SourceGuard(const SourceGuard&) = delete;
    SourceGuard& operator=(const SourceGuard&) = delete;

private:
    Parser& m_parser;
    std::unique_ptr<Source> m_owned;
    Source* m_source;
    std::size_t m_savedDepth = 0;
};

// Counts nesting so that deeply nested text ends in one error line instead of
// exhausting the stack.
class Parser::DepthGuard {
public:
    explicit DepthGuard(Parser& parser) : m_parser(parser) {
        if (++m_parser.m_depth > kMaxDepth) {
            --m_parser.m_depth;
            VEXA_THROW(FatalParseException, m_parser.where() + ":\nfatal: nesting deeper than " +
                                                std::to_string(kMaxDepth) + " levels");
        }
    }
    ~DepthGuard() { --m_parser.m_depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    Parser& m_parser;
};

// Makes a new block, child of the current scope, the current scope for the
// guard's lifetime. The block dies with the guard unless release() hands it
// on as a value.
class Parser::ScopeGuard {
public:
    explicit ScopeGuard(Parser& parser)
        : m_parser(parser), m_scope(std::make_unique<BlockObject>(parser.currentScope())) {
        m_parser.m_scopes.push_back(m_scope.get());
    }
    ~ScopeGuard() { m_parser.m_scopes.pop_back(); }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;

    BlockObject* scope() const { return m_scope.get(); }
    BlockObject* release() { return m_scope.release(); }

private:
    Parser& m_parser;
    std::unique_ptr<BlockObject> m_scope;
};

Parser::Parser() { m_nullToken.symbol = 0; }

Parser::~Parser() {
    m_sources.clear();
    m_scopes.clear();
    m_root.reset();
    for (auto& [name, macro] : m_macros) macro->release();
}

const Token& Parser::current() {
    Source& s = source();
    const std::size_t pos = s.positions.back();
    if (pos < s.tokens.size()) return s.tokens[pos];
    // At the end the null token stands on the line of the last token.
    m_nullToken.line = s.tokens.size() ? s.tokens[s.tokens.size() - 1].line : 1;
    return m_nullToken;
}

bool Parser::atEnd() {
    Source& s = source();
    return s.positions.back() >= s.tokens.size();
}

void Parser::advance() {
    if (atEnd()) throw EotException("", kUnit, __LINE__);
    ++source().positions.back();
}

void Parser::mark() { source().positions.push_back(source().positions.back()); }

void Parser::commit() {
    auto& positions = source().positions;
    const std::size_t top = positions.back();
    positions.pop_back();
    positions.back() = top;
}

void Parser::rewind() { source().positions.pop_back(); }

std::string Parser::where() { return source().name + "(" + std::to_string(current().line) + ")"; }

bool Parser::acceptSymbol(int c) {
    const Token& t = current();
    if (t.kind != Token::Symbol || t.symbol == 0 || (c != 0 && t.symbol != c)) return false;
    advance();
    return true;
}

const char* Parser::acceptName(const char* name) {
    const Token& t = current();
    if (t.kind != Token::Name || (name && std::string_view(t.text) != name)) return nullptr;
    advance();
    return t.text;
}

bool Parser::acceptDirective(const char* keyword) {
    mark();
    if (acceptSymbol('@') && acceptName(keyword)) {
        commit();
        return true;
    }
    rewind();
    return false;
}

void Parser::expectSymbol(int c) {
    if (acceptSymbol(c)) return;
    VEXA_THROW(ParseException, where() + ": warning: expected (symbol '" +
                                   std::string(1, static_cast<char>(c)) + "'), got " +
                                   tokenText(current()));
}

const char* Parser::expectName(const char* name) {
    const Token& t = current();
    if (t.kind == Token::Name && (!name || std::string_view(t.text) == name)) {
        advance();
        return t.text;
    }
    std::string message =
        where() + ": warning: expected " +
        (t.kind != Token::Name ? std::string("name") : std::string("(name, ") + name + ")") +
        ", got " + tokenText(t);
    if (!atEnd()) advance();  // the offending token is skipped
    VEXA_THROW(ParseException, message);
}

void Parser::expectDirective(const char* keyword) {
    expectSymbol('@');
    expectName(keyword);
}

void Parser::parseString(const std::string& text) {
    auto source = std::make_unique<Source>();
    source->name = "memory";
    source->positions.push_back(0);
    tokenize(text.c_str(), source->tokens);
    parseSource(std::move(source));
}

void Parser::parseFile(const std::string& fileName) { parseSource(readFile(fileName)); }

// Reads and tokenizes a file, from the archive first and then from the file
// system; ResourceNotFound when neither has it.
std::unique_ptr<Source> Parser::readFile(const std::string& fileName) const {
    auto source = std::make_unique<Source>();
    source->name = fileName;
    source->positions.push_back(0);
    if (m_archive) {
        try {
            const auto [data, size] = m_archive->find(fileName);
            const std::string text(data, static_cast<std::size_t>(size));
            tokenize(text.c_str(), source->tokens);
            return source;
        } catch (const ResourceNotFound&) {}
    }
    std::string text;
    if (!Platform::readFile(fileName, text)) VEXA_THROW(ResourceNotFound, fileName);
    tokenize(text.c_str(), source->tokens);
    return source;
}

// Parses a whole source into the current scope (the root scope, made on the
// first call, when nothing is being parsed).
void Parser::parseSource(std::unique_ptr<Source> source) {
    if (m_scopes.empty()) {
        m_root = std::make_unique<BlockObject>();
        m_scopes.push_back(m_root.get());
    }
    SourceGuard guard(*this, std::move(source));
    parseTopLevel();
}

/* toplevel -> statements <end of tokens> */
void Parser::parseTopLevel() {
    parseStatements(false);
    if (!atEnd())
        VEXA_THROW(FatalParseException,
                   where() + ":\nfatal: syntax error: " + tokenText(current()));
}

/* statements -> { binding | include | conditional | macro definition } */
BlockObject* Parser::parseStatements(bool newScope) {
    DepthGuard depth(*this);
    std::optional<ScopeGuard> block;
    if (newScope) block.emplace(*this);
    for (;;) {
        const Token& t = current();
        if (t.kind == Token::Symbol && t.symbol != '@') break;
        if (!statement(kEvaluated)) break;
    }
    if (!block) return currentScope();
    block->scope()->eraseLocals();
    return block->release();
}

// Tries the statement forms in order: binding, include, conditional, macro
// definition. A form that cannot match by its first tokens is not tried, which
// gives the same outcome as trying it and rewinding, without the cost.
bool Parser::statement(const StatementForms& forms) {
    const Token& t = current();
    if (t.kind == Token::Name) return attempt(forms.binding);
    if (!t.isSymbol('@')) return false;
    const Source& s = source();
    const std::size_t next = s.positions.back() + 1;
    if (next >= s.tokens.size() || s.tokens[next].kind != Token::Name) return false;
    const std::string_view keyword = s.tokens[next].text;
    if (keyword == "local") return attempt(forms.binding) || attempt(forms.include);
    if (keyword == "include") return attempt(forms.include);
    if (keyword == "if" || keyword == "ifnot") return attempt(forms.conditional);
    if (keyword == "def") return attempt(forms.definition);
    return false;
}

const Parser::StatementForms Parser::kEvaluated = {&Parser::binding, &Parser::include,
                                                   &Parser::conditional, &Parser::macroDefinition};
const Parser::StatementForms Parser::kSkipped = {&Parser::skipBinding, &Parser::skipInclude,
                                                 &Parser::skipConditional, &Parser::skipDefinition};

// Runs one statement form; when it fails recoverably the position goes back
// to where the form began.
bool Parser::attempt(void (Parser::*form)()) {
    Source& s = source();
    const std::size_t depth = s.positions.size();
    mark();
    try {
        (this->*form)();
    } catch (const ParseException&) {
        s.positions.resize(depth);
        return false;
    }
    commit();
    return true;
}

/* binding -> [@local] name '=' expr | [@local] name ':' expr '=' expr */
void Parser::binding() {
    const bool local = acceptDirective("local");
    const std::string name = expectName();
    if (IniFunction::isFunction(name))
        VEXA_THROW(FatalParseException,
                   where() + ":\nfatal: name '" + name + "' already bound to a function");
    auto bindValue = [&](IniObject* value) {
        currentScope()->bind(name, value, local);
        if (local) value->touch();
    };
    if (!acceptSymbol(':')) {
        expectSymbol('=');
        bindValue(expression());
        return;
    }
    IniObject* key = expression();
    expectSymbol('=');
    IniObject* value = expression();
    IniObject* bound = lookup(name);
    if (!bound) {
        auto* tuple = new TupleObject();
        tuple->touch();
        tuple->append(key);
        tuple->append(value);
        bindValue(tuple);
    } else if (IniObject::isOfType(bound, Types::Tuple())) {
        auto* tuple = static_cast<TupleObject*>(bound);
        // A tuple that held itself could never be collected, and printing it
        // would never end.
        if (IniObject::reaches(key, tuple) || IniObject::reaches(value, tuple))
            VEXA_THROW(FatalParseException,
                       where() + ":\nfatal: tuple " + name + " cannot contain itself");
        tuple->append(key);
        tuple->append(value);
    } else {
        VEXA_THROW(FatalParseException,
                   where() + ":\nfatal: name " + name + " not bound to an object of type 'tuple'");
    }
}

void Parser::copyBindings(const BlockObject* from, bool local) {
    // Included values are held by the receiving scope as well, so a scope
    // never refers to a value that its block of origin has let go.
    BlockObject* to = currentScope();
    for (const auto& [name, binding] : from->bindings())
        to->bind(name, binding.value, local, binding.value != nullptr);
}

/* include -> [@local] @include ( name | string | expr ) */
void Parser::include() {
    const bool local = acceptDirective("local");
    expectDirective("include");
    const Token& t = current();
    if (t.kind == Token::Name) {
        const std::string name = t.text;
        advance();
        IniObject* bound = lookup(name);
        if (!IniObject::isOfType(bound, Types::Block()))
            VEXA_THROW(FatalParseException,
                       where() + ":\nfatal: no block binding for name '" + name + "'");
        copyBindings(static_cast<BlockObject*>(bound), local);
    } else if (t.kind == Token::String) {
        const std::string fileName = t.text;
        advance();
        if (static_cast<int>(m_sources.size()) > kMaxIncludeDepth)
            VEXA_THROW(FatalParseException, where() + ":\nfatal: @include nested deeper than " +
                                                std::to_string(kMaxIncludeDepth) +
                                                " files: " + fileName);
        try {
            parseSource(readFile(fileName));
        } catch (const ResourceNotFound& e) {
            if (e.resource() != fileName) throw;
            VEXA_THROW(FatalParseException,
                       where() + ":\nfatal: @include file not found: " + fileName);
        }
    } else {
        IniObject* value = expression();
        if (!IniObject::isOfType(value, Types::Block()))
            VEXA_THROW(FatalParseException,
                       where() + ":\nfatal: @include not followed by a block object");
        copyBindings(static_cast<BlockObject*>(value), local);
    }
}

/* conditional -> (@if | @ifnot) cond statements
                  { (@elif | @elifnot) cond statements } [@else statements] @endif */
void Parser::conditional() {
    bool negated = false;
    if (!acceptDirective("if")) {
        expectDirective("ifnot");
        negated = true;
    }
    bool taken = false;
    auto clause = [&](bool negatedClause) {
        const bool holds = condition() != negatedClause;
        if (!taken && holds) {
            parseStatements(false);
            taken = true;
        } else {
            skipStatements();
        }
    };
    clause(negated);
    for (;;) {
        if (acceptDirective("elif"))
            clause(false);
        else if (acceptDirective("elifnot"))
            clause(true);
        else
            break;
    }
    if (acceptDirective("else")) {
        if (!taken)
            parseStatements(false);
        else
            skipStatements();
    }
    expectDirective("endif");
}

// A bound name is true without being looked at; otherwise the expression's
// value decides, and an unbound name inside it makes the condition false.
bool Parser::condition() {
    const Token& t = current();
    if (t.kind == Token::Name && lookup(t.text)) {
        advance();
        return true;
    }
    if (t.kind == Token::Name && !IniFunction::isFunction(t.text) &&
        !m_macros.count(std::string_view(t.text))) {
        advance();
        return false;
    }
    IniObject* value = nullptr;
    try {
        value = expression();
    } catch (const BindingNotFoundException&) {
        return false;
    }
    if (IniObject::isOfType(value, Types::String()))
        return lookup(static_cast<StringObject*>(value)->value()) != nullptr;
    if (IniObject::isOfType(value, Types::Bool())) return static_cast<BoolObject*>(value)->value();
    if (IniObject::isOfType(value, Types::Number()))
        return static_cast<NumberObject*>(value)->value() != 0.0f;
    VEXA_THROW(FatalParseException, "Invalid condition object");
}

/* macro definition -> @def name '(' { name } ')' '{' body tokens '}' */
void Parser::macroDefinition() {
    expectDirective("def");
    const std::string name = expectName();
    if (IniFunction::isFunction(name))
        VEXA_THROW(FatalParseException,
                   where() + ":\nfatal: name '" + name + "' already bound to a function");
    auto* macro = new MacroObject(name);
    macro->touch();
    expectSymbol('(');
    while (!acceptSymbol(')')) macro->m_parameters.emplace_back(expectName());
    macroBody(&macro->m_source.tokens);
    currentScope()->bind(name, macro, true);
    // The table keeps its macros alive for the parser's lifetime.
    macro->addRef();
    auto it = m_macros.find(name);
    if (it != m_macros.end()) {
        it->second->release();
        it->second = macro;
    } else {
        m_macros.emplace(name, macro);
    }
}

IniObject* Parser::lookup(std::string_view name) const {
    for (auto it = m_scopes.rbegin(); it != m_scopes.rend(); ++it)
        if (IniObject* value = (*it)->lookup(name)) return value;
    return nullptr;
}

/* expr -> number | string | '-' expr | '<' expr expr [expr [expr]] '>'
         | '{' statements '}' | '(' { expr } ')' | name [expr] */
IniObject* Parser::expression() {
    DepthGuard depth(*this);
    const Token& t = current();
    switch (t.kind) {
        case Token::Number: {
            auto* number = new NumberObject(t.number);
            number->touch();
            advance();
            return number;
        }
        case Token::String: {
            auto* string = new StringObject(t.text);
            string->touch();
            advance();
            return string;
        }
        case Token::Name: break;
        default:
            switch (t.symbol) {
                case '-': {
                    advance();
                    IniObject* value = expression();
                    if (!IniObject::isOfType(value, Types::Number()))
                        VEXA_THROW(FatalParseException,
                                   "minus sign can only precede a number object");
                    auto* number = static_cast<NumberObject*>(value);
                    number->setValue(-number->value());
                    return number;
                }
                case '<': return vector();
                case '{': {
                    advance();
                    BlockObject* block = parseStatements(true);
                    block->touch();
                    expectSymbol('}');
                    return block;
                }
                case '(': {
                    advance();
                    auto* tuple = new TupleObject();
                    tuple->touch();
                    // Elements wait on a shared stack so that the tuple is sized once.
                    const std::size_t first = m_pending.size();
                    try {
                        while (!acceptSymbol(')')) m_pending.push_back(expression());
                    } catch (...) {
                        m_pending.resize(first);
                        throw;
                    }
                    tuple->reserve(m_pending.size() - first);
                    for (std::size_t i = first; i < m_pending.size(); ++i)
                        tuple->append(m_pending[i]);
                    m_pending.resize(first);
                    return tuple;
                }
                default:
                    VEXA_THROW(FatalParseException,
                               "Invalid symbol " + std::string(1, static_cast<char>(t.symbol)));
            }
    }

    const std::string_view name = t.text;
    advance();
    if (IniFunction::isFunction(name)) {
        IniObject* argument = expression();
        BlockObject* scope = IniObject::isOfType(argument, Types::Block())
                                 ? static_cast<BlockObject*>(argument)
                                 : currentScope();
        IniObject* result = nullptr;
        try {
            result = IniFunction::call(name, argument, scope);
        } catch (const ParseException& e) {
            VEXA_THROW(FatalParseException, where() + ":\nfatal: While evaluating " +
                                                std::string(name) + " " + argument->toString() +
                                                ":\n" + e.message());
        }
        result->touch();
        return result;
    }
    auto macro = m_macros.find(name);
    if (macro != m_macros.end()) return callMacro(macro->second);
    if (IniObject* value = lookup(name)) return value;
    VEXA_THROW(BindingNotFoundException, "fatal: no binding for name '" + std::string(name) + "'");
}

IniObject* Parser::vector() {
    advance();  // '<'
    Vec4f v;
    int count = 0;
    while (!acceptSymbol('>')) {
        if (count == 4) VEXA_THROW(ParseException, "too large (> 4) vector dimension");
        const Token& t = current();
        if (t.kind == Token::Number) {
            v[count++] = t.number;
            advance();
            continue;
        }
        const IniObject* element = expression();
        if (!IniObject::isOfType(element, Types::Number()))
            VEXA_THROW(ParseException, "vector element not a number");
        v[count++] = static_cast<const NumberObject*>(element)->value();
    }
    IniObject* result = nullptr;
    switch (count) {
        case 2: result = new Vec2dObject(Vec2f{{v[0], v[1]}}); break;
        case 3: result = new Vec3dObject(Vec3f{{v[0], v[1], v[2]}}); break;
        case 4: result = new Vec4dObject(v); break;
        default: VEXA_THROW(ParseException, "too small (< 2) vector dimension");
    }
    result->touch();
    return result;
}

// Runs a macro body in a scope of its own whose parent is the caller's scope;
// the call's value is what the body binds to `return`.
IniObject* Parser::callMacro(MacroObject* macro) {
    IniObject* argument = expression();
    if (!IniObject::isOfType(argument, Types::Tuple()))
        VEXA_THROW(FatalParseException, "macro parameters not given as a tuple");
    const auto* tuple = static_cast<TupleObject*>(argument);
    ScopeGuard call(*this);
    BlockObject* scope = call.scope();
    if (tuple->size() != macro->m_parameters.size())
        VEXA_THROW(FatalParseException, "wrong amount of parameters given to a macro");
    for (std::size_t i = 0; i < tuple->size(); ++i) {
        scope->bind(macro->m_parameters[i], tuple->at(i), true);
        scope->hold(tuple->at(i));
    }
    {
        SourceGuard body(*this, macro->m_source);
        parseTopLevel();
    }
    const BlockObject::Binding* result = scope->find("return");
    if (!result)
        VEXA_THROW(FatalParseException, where() + ":\nfatal: macro " + macro->m_name +
                                            " does not define a return value (binding)");
    return result->value;
}

void Parser::skipStatements() {
    DepthGuard depth(*this);
    for (;;) {
        const Token& t = current();
        if (t.kind == Token::Symbol && t.symbol != '@') break;
        if (!statement(kSkipped)) break;
    }
}

/* skip binding -> [@local] name [':' skip expr] '=' skip expr */
void Parser::skipBinding() {
    acceptDirective("local");
    expectName();
    if (acceptSymbol(':')) skipExpression();
    expectSymbol('=');
    skipExpression();
}

/* skip include -> [@local] @include ( name | string | block literal ) */
void Parser::skipInclude() {
    acceptDirective("local");
    expectDirective("include");
    const Token& t = current();
    if (t.kind == Token::Name || t.kind == Token::String) {
        advance();
        return;
    }
    if (skipExpression() != Kind::Block)
        VEXA_THROW(FatalParseException,
                   where() + ":\nfatal: @include not followed by a block object");
}

/* skip conditional -> (@if | @ifnot) name skip statements
                       { (@elif | @elnotif) name skip statements }
                       [@else skip statements] @endif */
void Parser::skipConditional() {
    if (!acceptDirective("if")) expectDirective("ifnot");
    expectName();
    skipStatements();
    while (acceptDirective("elif") || acceptDirective("elnotif")) {
        expectName();
        skipStatements();
    }
    if (acceptDirective("else")) skipStatements();
    expectDirective("endif");
}

// Consumes exactly the tokens of a macro definition, defining nothing.
void Parser::skipDefinition() {
    expectDirective("def");
    expectName();
    expectSymbol('(');
    while (!acceptSymbol(')')) expectName();
    macroBody(nullptr);
}

/* body -> '{' tokens with balanced braces '}' ; the outer braces are not kept */
void Parser::macroBody(TokenArray* body) {
    expectSymbol('{');
    for (int depth = 1;;) {
        const Token& t = current();
        advance();
        if (t.isSymbol('{')) {
            ++depth;
        } else if (t.isSymbol('}') && --depth == 0) {
            break;
        }
        if (body) body->appendCopy(t);
    }
}

// Checks the shape of an expression without evaluating it, and answers the
// kind of value it would have (Unknown for a name).
Parser::Kind Parser::skipExpression() {
    DepthGuard depth(*this);
    const Token& t = current();
    switch (t.kind) {
        case Token::Number: advance(); return Kind::Number;
        case Token::String: advance(); return Kind::String;
        case Token::Name: {
            const std::string_view name = t.text;
            advance();
            if (IniFunction::isFunction(name) || m_macros.count(name)) skipExpression();
            return Kind::Unknown;
        }
        default: break;
    }
    switch (t.symbol) {
        case '-': {
            advance();
            const Kind kind = skipExpression();
            if (kind != Kind::Number && kind != Kind::Unknown)
                VEXA_THROW(FatalParseException, "minus sign can only precede a number object");
            return Kind::Number;
        }
        case '<':
            advance();
            while (!acceptSymbol('>')) {
                if (current().kind != Token::Number)
                    VEXA_THROW(ParseException,
                               where() + ": warning: expected number, got " + tokenText(current()));
                advance();
            }
            return Kind::Vector;
        case '{':
            advance();
            skipStatements();
            expectSymbol('}');
            return Kind::Block;
        case '(':
            advance();
            while (!acceptSymbol(')')) skipExpression();
            return Kind::Tuple;
        default:
            VEXA_THROW(FatalParseException,
                       "Invalid symbol " + std::string(1, static_cast<char>(t.symbol)));
    }
}

}  // namespace Vexa
