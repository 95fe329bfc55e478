#pragma once
// Cuts script text into name, string, symbol and number tokens in one pass.
// The tokenizer fails only on a text over the length limit.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Vexa {

struct Token {
    enum Kind : int32_t { Name = 0, String = 1, Symbol = 2, Number = 3 };

    int32_t kind = Symbol;
    int32_t line = 0;
    union {
        const char* text;  // Name and String: NUL-terminated, owned by the token array
        int32_t symbol;    // Symbol: the character; 0 is the null token
        float number;      // Number
    };

    Token() : text(nullptr) {}
    bool isSymbol(int c) const { return kind == Symbol && symbol == c; }
    bool isNull() const { return kind == Symbol && symbol == 0; }
};

// The text form used in parser messages: "(name, x)", "(symbol, '=' = 61)", ...
std::string tokenText(const Token& token);

// Tokens of one source together with the storage of their texts.
class TokenArray {
public:
    TokenArray() = default;
    TokenArray(const TokenArray&) = delete;
    TokenArray& operator=(const TokenArray&) = delete;

    const std::vector<Token>& tokens() const { return m_tokens; }
    std::size_t size() const { return m_tokens.size(); }
    const Token& operator[](std::size_t i) const { return m_tokens[i]; }

    // Appends a copy of `token`, copying its text into this array's storage.
    void appendCopy(const Token& token);

private:
    friend void tokenize(const char* text, TokenArray& out);
    const char* storeText(const char* begin, std::size_t length);

    std::vector<Token> m_tokens;
    std::vector<std::unique_ptr<char[]>> m_texts;
};

// The longest script text read at once; the token array and its texts take a
// few times its length.
constexpr int64_t kMaxScriptLength = int64_t{64} << 20;

// Raises ResourceTooLarge for a text longer than kMaxScriptLength.
void tokenize(const char* text, TokenArray& out);

}  // namespace Vexa
