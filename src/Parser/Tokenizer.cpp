#include "Parser/Tokenizer.h"

#include <cstdlib>
#include <cstring>

#include "Parser/Exceptions.h"
#include "Parser/IniObject.h"

namespace Vexa {

static const char* const kUnit = "Parser/Tokenizer";

namespace {

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Plain decimals such as 12.375 or 5.2e-3 with at most 15 significant
// digits: the digits form an exact integer and the power of ten is exact, so
// one multiplication or division rounds once, as strtod does. Anything else
// is left to strtod.
bool fastNumber(const char* p, double& value, char*& end) {
    static const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    uint64_t mantissa = 0;
    int digits = 0;
    int scale = 0;
    const char* q = p;
    for (; isDigit(*q); ++q) {
        if (mantissa == 0 && *q == '0') continue;
        mantissa = mantissa * 10 + static_cast<uint64_t>(*q - '0');
        if (++digits > 15) return false;
    }
    if (*q == '.') {
        for (++q; isDigit(*q); ++q) {
            mantissa = mantissa * 10 + static_cast<uint64_t>(*q - '0');
            --scale;
            if (mantissa && ++digits > 15) return false;
        }
    }
    if (*q == 'e' || *q == 'E') {
        const char* e = q + 1;
        bool negative = false;
        if (*e == '+' || *e == '-') negative = *e++ == '-';
        if (isDigit(*e)) {
            int exponent = 0;
            for (; isDigit(*e); ++e) {
                exponent = exponent * 10 + (*e - '0');
                if (exponent > 100) return false;
            }
            scale += negative ? -exponent : exponent;
            q = e;
        }
    }
    if (scale < -22 || scale > 22) return false;
    const double m = static_cast<double>(mantissa);
    value = scale < 0 ? m / kPowers[-scale] : m * kPowers[scale];
    end = const_cast<char*>(q);
    return true;
}

}  // namespace

std::string tokenText(const Token& token) {
    switch (token.kind) {
        case Token::Name: return std::string("(name, ") + token.text + ")";
        case Token::String: return std::string("(string, '") + token.text + "')";
        case Token::Number: return "(number, " + formatFloat(token.number) + ")";
        default:
            if (token.symbol == 0) return "(null token)";
            return std::string("(symbol, '") + static_cast<char>(token.symbol) +
                   "' = " + std::to_string(token.symbol) + ")";
    }
}

// Texts are kept in chunks so that pointers stay valid while the array grows.
const char* TokenArray::storeText(const char* begin, std::size_t length) {
    char* copy = new char[length + 1];
    std::memcpy(copy, begin, length);
    copy[length] = '\0';
    m_texts.emplace_back(copy);
    return copy;
}

void TokenArray::appendCopy(const Token& token) {
    Token copy = token;
    if (token.kind == Token::Name || token.kind == Token::String)
        copy.text = storeText(token.text, std::strlen(token.text));
    m_tokens.push_back(copy);
}

void tokenize(const char* text, TokenArray& out) {
    // All texts of this call go into one buffer: their total length plus one
    // NUL each never exceeds twice the input.
    const std::size_t length = std::strlen(text);
    if (static_cast<int64_t>(length) > kMaxScriptLength)
        VEXA_THROW(ResourceTooLarge, "script text", kMaxScriptLength);
    char* store = new char[2 * length + 1];
    // Scripts average more than four bytes a token; reserving that many
    // spares the copies of a growing array (untouched room costs no memory).
    out.m_tokens.reserve(out.m_tokens.size() + length / 4 + 16);
    out.m_texts.emplace_back(store);
    char* storeEnd = store;

    auto keep = [&storeEnd](const char* begin, std::size_t n) {
        char* copy = storeEnd;
        std::memcpy(copy, begin, n);
        copy[n] = '\0';
        storeEnd += n + 1;
        return copy;
    };

    int32_t line = 1;
    const char* p = text;
    while (*p) {
        const char c = *p;
        if (c == ' ' || c == '\t' || c == '\r') {
            ++p;
        } else if (c == '\n') {
            ++line;
            ++p;
        } else if (c == '/' && p[1] == '/') {
            while (*p && *p != '\n') ++p;
        } else if (c == '/' && p[1] == '*') {
            // Block comments nest.
            p += 2;
            int depth = 1;
            while (*p && depth > 0) {
                if (p[0] == '/' && p[1] == '*') {
                    ++depth;
                    p += 2;
                } else if (p[0] == '*' && p[1] == '/') {
                    --depth;
                    p += 2;
                } else {
                    if (*p == '\n') ++line;
                    ++p;
                }
            }
        } else if (isDigit(c)) {
            // Decimal digits, an optional fraction and an optional exponent;
            // a hexadecimal prefix is not part of the grammar, so "0x1" is the
            // number 0 followed by the name x1.
            char* end = nullptr;
            double value = 0.0;
            if (c == '0' && (p[1] == 'x' || p[1] == 'X')) {
                end = const_cast<char*>(p + 1);
            } else if (!fastNumber(p, value, end)) {
                value = std::strtod(p, &end);
            }
            Token t;
            t.kind = Token::Number;
            t.number = static_cast<float>(value);
            t.line = line;
            out.m_tokens.push_back(t);
            p = end;
        } else if (isLetter(c) || c == '_') {
            const char* begin = p;
            while (isLetter(*p) || isDigit(*p) || *p == '_') ++p;
            Token t;
            t.kind = Token::Name;
            t.text = keep(begin, static_cast<std::size_t>(p - begin));
            t.line = line;
            out.m_tokens.push_back(t);
        } else if (c == '"') {
            const char* begin = ++p;
            while (*p && *p != '"') {
                if (*p == '\n') ++line;
                ++p;
            }
            Token t;
            t.kind = Token::String;
            t.text = keep(begin, static_cast<std::size_t>(p - begin));
            t.line = line;
            out.m_tokens.push_back(t);
            if (*p) ++p;
        } else {
            Token t;
            t.kind = Token::Symbol;
            t.symbol = static_cast<unsigned char>(c);
            t.line = line;
            out.m_tokens.push_back(t);
            ++p;
        }
    }
}

}  // namespace Vexa
