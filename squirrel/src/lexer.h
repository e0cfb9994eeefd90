// The tokenizer: 8-bit source bytes (a UTF-8 or UTF-16 source is decoded by the reader) into tokens, with the
// line and column the compiler reports errors at.
#ifndef SQUIRREL_SRC_LEXER_H
#define SQUIRREL_SRC_LEXER_H

#include "squirrel/squirrel.h"
#include "squirrel/src/memory.h"

// Multi-character tokens and keywords; single characters are their own byte value.
// X(token, text used in "expected '...'")
#define SQ_TOKENS(X)                                                                                         \
    X(TK_IDENTIFIER, "IDENTIFIER")                                                                           \
    X(TK_STRING_LITERAL, "STRING_LITERAL")                                                                   \
    X(TK_INTEGER, "INTEGER")                                                                                 \
    X(TK_FLOAT, "FLOAT")                                                                                     \
    X(TK_DELEGATE, "delegate")                                                                               \
    X(TK_DELETE, "delete")                                                                                   \
    X(TK_EQ, "==")                                                                                           \
    X(TK_NE, "!=")                                                                                           \
    X(TK_LE, "<=")                                                                                           \
    X(TK_GE, ">=")                                                                                           \
    X(TK_SWITCH, "switch")                                                                                   \
    X(TK_ARROW, "->")                                                                                        \
    X(TK_AND, "&&")                                                                                          \
    X(TK_OR, "||")                                                                                           \
    X(TK_IF, "if")                                                                                           \
    X(TK_ELSE, "else")                                                                                       \
    X(TK_WHILE, "while")                                                                                     \
    X(TK_BREAK, "break")                                                                                     \
    X(TK_FOR, "for")                                                                                         \
    X(TK_DO, "do")                                                                                           \
    X(TK_NULL, "null")                                                                                       \
    X(TK_FOREACH, "foreach")                                                                                 \
    X(TK_IN, "in")                                                                                           \
    X(TK_NEWSLOT, "<-")                                                                                      \
    X(TK_MODULO, "%")                                                                                        \
    X(TK_LOCAL, "local")                                                                                     \
    X(TK_CLONE, "clone")                                                                                     \
    X(TK_FUNCTION, "function")                                                                               \
    X(TK_RETURN, "return")                                                                                   \
    X(TK_TYPEOF, "typeof")                                                                                   \
    X(TK_UMINUS, "-")                                                                                        \
    X(TK_PLUSEQ, "+=")                                                                                       \
    X(TK_MINUSEQ, "-=")                                                                                      \
    X(TK_CONTINUE, "continue")                                                                               \
    X(TK_YIELD, "yield")                                                                                     \
    X(TK_TRY, "try")                                                                                         \
    X(TK_CATCH, "catch")                                                                                     \
    X(TK_THROW, "throw")                                                                                     \
    X(TK_SHIFTL, "<<")                                                                                       \
    X(TK_SHIFTR, ">>")                                                                                       \
    X(TK_RESUME, "resume")                                                                                   \
    X(TK_DOUBLE_COLON, "::")                                                                                 \
    X(TK_CASE, "case")                                                                                       \
    X(TK_DEFAULT, "default")                                                                                 \
    X(TK_THIS, "this")                                                                                       \
    X(TK_PLUSPLUS, "++")                                                                                     \
    X(TK_MINUSMINUS, "--")                                                                                   \
    X(TK_PARENT, "parent")                                                                                   \
    X(TK_USHIFTR, ">>>")                                                                                     \
    X(TK_CLASS, "class")                                                                                     \
    X(TK_EXTENDS, "extends")                                                                                 \
    X(TK_CONSTRUCTOR, "constructor")                                                                         \
    X(TK_INSTANCEOF, "instanceof")                                                                           \
    X(TK_VARPARAMS, "...")                                                                                   \
    X(TK_VARGC, "vargc")                                                                                     \
    X(TK_VARGV, "vargv")                                                                                     \
    X(TK_TRUE, "true")                                                                                       \
    X(TK_FALSE, "false")                                                                                     \
    X(TK_MULEQ, "*=")                                                                                        \
    X(TK_DIVEQ, "/=")                                                                                        \
    X(TK_MODEQ, "%=")                                                                                        \
    X(TK_ATTR_OPEN, "</")                                                                                    \
    X(TK_ATTR_CLOSE, "/>")                                                                                   \
    X(TK_STATIC, "static")                                                                                   \
    X(TK_ENUM, "enum")                                                                                       \
    X(TK_CONST, "const")

enum SQToken : SQInteger {
    TK_FIRST_ = 258,
#define SQ_TOKEN_ENUM(t, s) t,
    SQ_TOKENS(SQ_TOKEN_ENUM)
#undef SQ_TOKEN_ENUM
};

// A compile error: message plus the position the lexer was at.
struct SQCompileError {
    SQStdString msg;
};

class SQLexer {
public:
    SQLexer(SQLEXREADFUNC rg, SQUserPointer up);
    // Next token (also stored in m_token).
    SQInteger lex();
    // Text of a token for "expected '...'" messages.
    static const char* tok2Str(SQInteger tok);
    [[noreturn]] void error(const SQStdString& msg);

    SQInteger m_token = 0;
    SQInteger m_prevtoken = -1;
    SQInteger m_currentline = 1;
    SQInteger m_lasttokenline = 1;
    SQInteger m_currentcolumn = 0;
    SQStdString m_svalue; // identifier or string literal text
    SQInteger m_nvalue = 0;
    SQFloat m_fvalue = 0;

private:
    void next();
    void lexBlockComment();
    SQInteger readString(SQInteger delim, bool verbatim);
    SQInteger readNumber();
    SQInteger readId();
    SQInteger returnToken(SQInteger t) {
        m_prevtoken = m_token;
        m_token = t;
        return t;
    }
    SQLEXREADFUNC m_readf;
    SQUserPointer m_up;
    SQInteger m_currdata = 0; // lookahead byte, 0 at end of input
    bool m_reached_eof = false;
};

#endif
