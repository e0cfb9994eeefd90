// Tokenizer. Columns count from 0 on the first line and from 1 after each newline outside comments and
// verbatim strings, which is where the reference reports compile errors.
#include "squirrel/src/lexer.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {
struct Keyword {
    const char* text;
    SQInteger tok;
};
const Keyword kKeywords[] = {
    {"while", TK_WHILE},
    {"do", TK_DO},
    {"if", TK_IF},
    {"else", TK_ELSE},
    {"break", TK_BREAK},
    {"continue", TK_CONTINUE},
    {"return", TK_RETURN},
    {"null", TK_NULL},
    {"function", TK_FUNCTION},
    {"local", TK_LOCAL},
    {"for", TK_FOR},
    {"foreach", TK_FOREACH},
    {"in", TK_IN},
    {"typeof", TK_TYPEOF},
    {"delegate", TK_DELEGATE},
    {"delete", TK_DELETE},
    {"try", TK_TRY},
    {"catch", TK_CATCH},
    {"throw", TK_THROW},
    {"clone", TK_CLONE},
    {"yield", TK_YIELD},
    {"resume", TK_RESUME},
    {"switch", TK_SWITCH},
    {"case", TK_CASE},
    {"default", TK_DEFAULT},
    {"this", TK_THIS},
    {"parent", TK_PARENT},
    {"class", TK_CLASS},
    {"extends", TK_EXTENDS},
    {"constructor", TK_CONSTRUCTOR},
    {"instanceof", TK_INSTANCEOF},
    {"vargc", TK_VARGC},
    {"vargv", TK_VARGV},
    {"true", TK_TRUE},
    {"false", TK_FALSE},
    {"static", TK_STATIC},
    {"enum", TK_ENUM},
    {"const", TK_CONST},
};
} // namespace

SQLexer::SQLexer(SQLEXREADFUNC rg, SQUserPointer up) : m_readf(rg), m_up(up) {
    next();
    m_currentcolumn = 0;
}

void SQLexer::error(const SQStdString& msg) {
    throw SQCompileError{msg};
}

void SQLexer::next() {
    SQInteger t = m_reached_eof ? 0 : m_readf(m_up);
    if (t > MAX_CHAR) error("Invalid character");
    if (t != 0) {
        m_currdata = t;
    } else {
        m_currdata = 0;
        m_reached_eof = true;
    }
    ++m_currentcolumn;
}

const char* SQLexer::tok2Str(SQInteger tok) {
    switch (tok) {
#define SQ_TOKEN_CASE(t, s)                                                                                  \
    case t:                                                                                                  \
        return s;
        SQ_TOKENS(SQ_TOKEN_CASE)
#undef SQ_TOKEN_CASE
    }
    return nullptr;
}

void SQLexer::lexBlockComment() {
    bool done = false;
    while (!done) {
        switch (m_currdata) {
        case '*':
            next();
            if (m_currdata == '/') {
                done = true;
                next();
            }
            continue;
        case '\n':
            ++m_currentline;
            next();
            continue;
        case 0:
            error("missing \"*/\" in comment");
        default:
            next();
        }
    }
}

SQInteger SQLexer::lex() {
    m_lasttokenline = m_currentline;
    while (m_currdata != 0) {
        switch (m_currdata) {
        case '\t':
        case '\r':
        case ' ':
            next();
            continue;
        case '\n':
            ++m_currentline;
            m_prevtoken = m_token;
            m_token = '\n';
            next();
            m_currentcolumn = 1;
            continue;
        case '/':
            next();
            switch (m_currdata) {
            case '*':
                next();
                lexBlockComment();
                continue;
            case '/':
                do {
                    next();
                } while (m_currdata != '\n' && m_currdata != 0);
                continue;
            case '=':
                next();
                return returnToken(TK_DIVEQ);
            case '>':
                next();
                return returnToken(TK_ATTR_CLOSE);
            default:
                return returnToken('/');
            }
        case '=':
            next();
            if (m_currdata != '=') return returnToken('=');
            next();
            return returnToken(TK_EQ);
        case '<':
            next();
            if (m_currdata == '=') {
                next();
                return returnToken(TK_LE);
            } else if (m_currdata == '-') {
                next();
                return returnToken(TK_NEWSLOT);
            } else if (m_currdata == '<') {
                next();
                return returnToken(TK_SHIFTL);
            } else if (m_currdata == '/') {
                next();
                return returnToken(TK_ATTR_OPEN);
            }
            return returnToken('<');
        case '>':
            next();
            if (m_currdata == '=') {
                next();
                return returnToken(TK_GE);
            } else if (m_currdata == '>') {
                next();
                if (m_currdata == '>') {
                    next();
                    return returnToken(TK_USHIFTR);
                }
                return returnToken(TK_SHIFTR);
            }
            return returnToken('>');
        case '!':
            next();
            if (m_currdata != '=') return returnToken('!');
            next();
            return returnToken(TK_NE);
        case '@': {
            next();
            if (m_currdata != '"') error("string expected");
            return returnToken(readString('"', true));
        }
        case '"':
        case '\'':
            return returnToken(readString(m_currdata, false));
        case '{':
        case '}':
        case '(':
        case ')':
        case '[':
        case ']':
        case ';':
        case ',':
        case '?':
        case '^':
        case '~': {
            SQInteger c = m_currdata;
            next();
            return returnToken(c);
        }
        case '.':
            next();
            if (m_currdata != '.') return returnToken('.');
            next();
            if (m_currdata != '.') error("invalid token '..'");
            next();
            return returnToken(TK_VARPARAMS);
        case '&':
            next();
            if (m_currdata != '&') return returnToken('&');
            next();
            return returnToken(TK_AND);
        case '|':
            next();
            if (m_currdata != '|') return returnToken('|');
            next();
            return returnToken(TK_OR);
        case ':':
            next();
            if (m_currdata != ':') return returnToken(':');
            next();
            return returnToken(TK_DOUBLE_COLON);
        case '*':
            next();
            if (m_currdata == '=') {
                next();
                return returnToken(TK_MULEQ);
            }
            return returnToken('*');
        case '%':
            next();
            if (m_currdata == '=') {
                next();
                return returnToken(TK_MODEQ);
            }
            return returnToken('%');
        case '-':
            next();
            if (m_currdata == '=') {
                next();
                return returnToken(TK_MINUSEQ);
            } else if (m_currdata == '-') {
                next();
                return returnToken(TK_MINUSMINUS);
            }
            return returnToken('-');
        case '+':
            next();
            if (m_currdata == '=') {
                next();
                return returnToken(TK_PLUSEQ);
            } else if (m_currdata == '+') {
                next();
                return returnToken(TK_PLUSPLUS);
            }
            return returnToken('+');
        default: {
            if (isdigit((int)m_currdata)) return returnToken(readNumber());
            if (isalpha((int)m_currdata) || m_currdata == '_') return returnToken(readId());
            SQInteger c = m_currdata;
            if (iscntrl((int)c)) error("unexpected character(control)");
            next();
            return returnToken(c);
        }
        }
    }
    // The end leaves the previous token as it was: a function closed by the last '}' of a file ends on the
    // line after it, not on the '}' line.
    m_token = 0;
    return 0;
}

SQInteger SQLexer::readId() {
    m_svalue.clear();
    do {
        m_svalue.push_back((char)m_currdata);
        next();
    } while (isalnum((int)m_currdata) || m_currdata == '_');
    for (const Keyword& k : kKeywords)
        if (m_svalue == k.text) return k.tok;
    return TK_IDENTIFIER;
}

SQInteger SQLexer::readString(SQInteger delim, bool verbatim) {
    m_svalue.clear();
    next();
    if (m_currdata == 0) error("unfinished string");
    for (;;) {
        while (m_currdata != delim) {
            switch (m_currdata) {
            case 0:
                error("unfinished string");
            case '\n':
                if (!verbatim) error("newline in a constant");
                m_svalue.push_back((char)m_currdata);
                next();
                ++m_currentline;
                break;
            case '\\':
                if (verbatim) {
                    m_svalue.push_back('\\');
                    next();
                } else {
                    next();
                    switch (m_currdata) {
                    case 'x': {
                        next();
                        if (!isxdigit((int)m_currdata)) error("hexadecimal number expected");
                        char temp[5];
                        int n = 0;
                        while (isxdigit((int)m_currdata) && n < 4) {
                            temp[n++] = (char)m_currdata;
                            next();
                        }
                        temp[n] = 0;
                        m_svalue.push_back((char)strtoul(temp, nullptr, 16));
                        break;
                    }
                    case 't':
                        m_svalue.push_back('\t');
                        next();
                        break;
                    case 'a':
                        m_svalue.push_back('\a');
                        next();
                        break;
                    case 'b':
                        m_svalue.push_back('\b');
                        next();
                        break;
                    case 'n':
                        m_svalue.push_back('\n');
                        next();
                        break;
                    case 'r':
                        m_svalue.push_back('\r');
                        next();
                        break;
                    case 'v':
                        m_svalue.push_back('\v');
                        next();
                        break;
                    case 'f':
                        m_svalue.push_back('\f');
                        next();
                        break;
                    case '0':
                        m_svalue.push_back('\0');
                        next();
                        break;
                    case '\\':
                        m_svalue.push_back('\\');
                        next();
                        break;
                    case '"':
                        m_svalue.push_back('"');
                        next();
                        break;
                    case '\'':
                        m_svalue.push_back('\'');
                        next();
                        break;
                    default:
                        error("unrecognised escaper char");
                    }
                }
                break;
            default:
                m_svalue.push_back((char)m_currdata);
                next();
            }
        }
        next();
        if (verbatim && m_currdata == '"') { // "" inside a verbatim string is one quote
            m_svalue.push_back('"');
            next();
        } else {
            break;
        }
    }
    if (delim == '\'') {
        if (m_svalue.empty()) error("empty constant");
        if (m_svalue.size() > 1) error("constant too long");
        m_nvalue = (SQInteger)(signed char)m_svalue[0];
        return TK_INTEGER;
    }
    return TK_STRING_LITERAL;
}

SQInteger SQLexer::readNumber() {
    enum { TINT, TFLOAT, THEX, TSCIENTIFIC, TOCTAL } type = TINT;
    SQStdString buf;
    SQInteger firstchar = m_currdata;
    next();
    if (firstchar == '0' && (toupper((int)m_currdata) == 'X' || (m_currdata >= '0' && m_currdata <= '7'))) {
        if (m_currdata >= '0' && m_currdata <= '7') {
            type = TOCTAL;
            while (isdigit((int)m_currdata)) {
                if (m_currdata > '7') error("invalid octal number");
                buf.push_back((char)m_currdata);
                next();
            }
        } else {
            next();
            type = THEX;
            while (isxdigit((int)m_currdata)) {
                buf.push_back((char)m_currdata);
                next();
            }
            if (buf.size() > 8) error("too many digits for an Hex number");
        }
    } else {
        buf.push_back((char)firstchar);
        while (m_currdata == '.' || isdigit((int)m_currdata) || m_currdata == 'e' || m_currdata == 'E') {
            if (m_currdata == '.') type = TFLOAT;
            if (m_currdata == 'e' || m_currdata == 'E') {
                if (type != TFLOAT) error("invalid numeric format");
                type = TSCIENTIFIC;
                buf.push_back((char)m_currdata);
                next();
                if (m_currdata == '+' || m_currdata == '-') {
                    buf.push_back((char)m_currdata);
                    next();
                }
                if (!isdigit((int)m_currdata)) error("exponent expected");
            }
            buf.push_back((char)m_currdata);
            next();
        }
    }
    switch (type) {
    case TSCIENTIFIC:
    case TFLOAT:
        m_fvalue = (SQFloat)strtod(buf.c_str(), nullptr);
        return TK_FLOAT;
    case TINT: {
        SQUnsignedInteger v = 0;
        for (char c : buf) v = v * 10 + (SQUnsignedInteger)(c - '0');
        m_nvalue = (SQInteger)v;
        return TK_INTEGER;
    }
    case THEX: {
        SQUnsignedInteger v = 0;
        for (char c : buf)
            v = v * 16 + (SQUnsignedInteger)(isdigit((int)c) ? c - '0' : toupper((int)c) - 'A' + 10);
        m_nvalue = (SQInteger)v;
        return TK_INTEGER;
    }
    case TOCTAL: {
        SQUnsignedInteger v = 0;
        for (char c : buf) v = v * 8 + (SQUnsignedInteger)(c - '0');
        m_nvalue = (SQInteger)v;
        return TK_INTEGER;
    }
    }
    return 0;
}
