// The regular-expression engine behind the `regexp` class: a pattern is parsed into a small tree, compiled to
// a program for a backtracking matcher, and run with an explicit backtrack stack on the heap, so neither a
// long subject nor a deeply nested pattern recurses on the C stack while matching.
//
// Syntax: ^ $ . | ( ) (?: ) [ ] [^ ] ranges, * + ? {n} {n,} {n,m} (greedy), escapes \n \t \r \f \v, the ctype
// classes \a \w \s \d \x \c \p \l \u (upper case negates), and \b \B, which treat a position as a boundary
// when the character there and the one after it differ in being white space.
#include "squirrel/stdlib/regex.h"
#include "squirrel/sqstdlib.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// Limits that keep hostile patterns from exhausting memory or the C stack while compiling.
constexpr size_t kMaxProgramSize = 1 << 16;
constexpr int kMaxNesting = 200;

struct CharSet {
    unsigned char bits[32] = {};
    void set(unsigned c) { bits[c >> 3] |= (unsigned char)(1u << (c & 7)); }
    bool has(unsigned c) const { return (bits[c >> 3] >> (c & 7)) & 1u; }
    void invert() {
        for (unsigned char& b : bits) b = (unsigned char)~b;
    }
};

enum class Op : unsigned char {
    Char,
    Any,
    Set,
    Split,
    Jmp,
    Save,
    Bol,
    Eol,
    Boundary,
    NotBoundary,
    Mark,
    Progress,
    Match
};

struct Inst {
    Op op;
    int x = 0; // Char: byte; Set: set index; Split/Jmp: target; Save: slot; Mark/Progress: register
    int y = 0; // Split: the alternative tried second
};

enum class NodeKind { Char, Any, Set, Bol, Eol, Boundary, NotBoundary, Group, Concat, Alt, Repeat };

struct Node {
    NodeKind kind;
    int value = 0;        // Char: byte; Set: index; Group: capture index (-1: non-capturing)
    int min = 0, max = 0; // Repeat: max < 0 is unbounded
    std::vector<std::unique_ptr<Node>> kids;
    explicit Node(NodeKind k) : kind(k) {}
};

struct CompileError {
    const char* message;
};

bool classMatches(char cls, unsigned c) {
    switch (std::tolower((unsigned char)cls)) {
    case 'a':
        return std::isalpha((int)c);
    case 'w':
        return std::isalnum((int)c) || c == '_';
    case 's':
        return std::isspace((int)c);
    case 'd':
        return std::isdigit((int)c);
    case 'x':
        return std::isxdigit((int)c);
    case 'c':
        return std::iscntrl((int)c);
    case 'p':
        return std::ispunct((int)c);
    case 'l':
        return std::islower((int)c);
    case 'u':
        return std::isupper((int)c);
    default:
        return false;
    }
}

bool isClassLetter(char c) {
    return std::strchr("aAwWsSdDxXcCpPlLuU", c) != nullptr && c != 0;
}

void addClass(CharSet& set, char cls) {
    bool negate = std::isupper((unsigned char)cls) != 0;
    for (unsigned c = 0; c < 256; ++c)
        if (classMatches(cls, c) != negate) set.set(c);
}

int escapedChar(char c) {
    switch (c) {
    case 'n':
        return '\n';
    case 't':
        return '\t';
    case 'r':
        return '\r';
    case 'f':
        return '\f';
    case 'v':
        return '\v';
    default:
        return (unsigned char)c;
    }
}

// The pattern grammar, as the reference reads it:
//   list    := ['^'] element+ ['|' list]        ('^' anchors only at the start of a list)
//   element := atom [quantifier]                 (the next element starts unless '|' ')' '*' '+' or the end
//                                                 follows, so a second '*' or '+' is an error)
//   atom    := '(' ['?:'] list ')' | '[' class ']' | '.' | '$' | '\' escape | any other byte, taken literally
//              (a list's first atom may be '|', ')', '*', '+', '?' or '{')
//   quantifier := '*' | '+' | '?' | '{' n [',' [m]] '}'   (counts wrap at 16 bits; m < n never matches)
class Parser {
public:
    Parser(const char* p, std::vector<CharSet>& sets) : m_p(p), m_sets(sets) {}

    std::unique_ptr<Node> parse() {
        auto root = list(0);
        if (*m_p != 0) throw CompileError{"unexpected character"};
        return root;
    }
    int groups() const { return m_groups; }

private:
    std::unique_ptr<Node> list(int depth) {
        if (depth > kMaxNesting) throw CompileError{"expected paren"};
        auto alt = std::make_unique<Node>(NodeKind::Alt);
        for (;;) {
            auto seq = std::make_unique<Node>(NodeKind::Concat);
            if (*m_p == '^') {
                ++m_p;
                seq->kids.push_back(std::make_unique<Node>(NodeKind::Bol));
            }
            do {
                seq->kids.push_back(element(depth));
            } while (*m_p != 0 && *m_p != '|' && *m_p != ')' && *m_p != '*' && *m_p != '+');
            alt->kids.push_back(std::move(seq));
            if (*m_p != '|') break;
            ++m_p;
        }
        if (alt->kids.size() == 1) return std::move(alt->kids[0]);
        return alt;
    }

    void expect(char c) {
        if (*m_p != c) throw CompileError{"expected paren"};
        ++m_p;
    }

    std::unique_ptr<Node> element(int depth) {
        auto node = atom(depth);
        int lo, hi;
        switch (*m_p) {
        case '*':
            lo = 0, hi = -1, ++m_p;
            break;
        case '+':
            lo = 1, hi = -1, ++m_p;
            break;
        case '?':
            lo = 0, hi = 1, ++m_p;
            break;
        case '{':
            ++m_p;
            lo = number();
            if (*m_p == ',') {
                ++m_p;
                hi = std::isdigit((unsigned char)*m_p) ? number() : -1;
                expect('}');
            } else if (*m_p == '}') {
                ++m_p;
                hi = lo;
            } else {
                throw CompileError{", or } expected"};
            }
            if (hi >= 0 && hi < lo) return nothing();
            break;
        default:
            return node;
        }
        auto rep = std::make_unique<Node>(NodeKind::Repeat);
        rep->min = lo;
        rep->max = hi;
        rep->kids.push_back(std::move(node));
        return rep;
    }

    int number() {
        if (!std::isdigit((unsigned char)*m_p)) throw CompileError{"number expected"};
        unsigned n = 0;
        while (std::isdigit((unsigned char)*m_p)) n = (n * 10 + (unsigned)(*m_p++ - '0')) & 0xFFFFu;
        return (int)n;
    }

    std::unique_ptr<Node> atom(int depth) {
        char c = *m_p;
        switch (c) {
        case 0:
            throw CompileError{"letter expected"};
        case '(': {
            ++m_p;
            int index = -1;
            if (*m_p == '?') {
                ++m_p;
                expect(':');
            } else {
                index = ++m_groups;
            }
            auto group = std::make_unique<Node>(NodeKind::Group);
            group->value = index;
            group->kids.push_back(list(depth + 1));
            expect(')');
            return group;
        }
        case '[':
            ++m_p;
            return charClass();
        case '.':
            ++m_p;
            return std::make_unique<Node>(NodeKind::Any);
        case '$':
            ++m_p;
            return std::make_unique<Node>(NodeKind::Eol);
        case '\\': {
            ++m_p;
            char e = *m_p;
            if (e == 0) return nothing(); // a trailing backslash escapes nothing a subject could hold
            ++m_p;
            if (e == 'b') return std::make_unique<Node>(NodeKind::Boundary);
            if (e == 'B') return std::make_unique<Node>(NodeKind::NotBoundary);
            if (isClassLetter(e)) {
                CharSet set;
                addClass(set, e);
                return setNode(set);
            }
            auto node = std::make_unique<Node>(NodeKind::Char);
            node->value = escapedChar(e);
            return node;
        }
        default: {
            ++m_p;
            auto node = std::make_unique<Node>(NodeKind::Char);
            node->value = (unsigned char)c;
            return node;
        }
        }
    }

    // class := '[' ['^'] (member ['-' byte] )+ ']'; a range's end is any byte (']' too) or an escape.
    std::unique_ptr<Node> charClass() {
        CharSet set;
        bool negate = false;
        if (*m_p == '^') {
            negate = true;
            ++m_p;
        }
        if (*m_p == ']') throw CompileError{"empty class"};
        while (*m_p != ']') {
            if (*m_p == 0) throw CompileError{"letter expected"};
            int cls = 0;
            int first = classChar(cls);
            if (*m_p == '-') {
                ++m_p;
                if (cls) throw CompileError{"cannot use character classes in ranges"};
                int last;
                if (*m_p == 0) throw CompileError{"invalid range"};
                if (*m_p == '\\') {
                    ++m_p;
                    if (*m_p == 0) throw CompileError{"letter expected"};
                    last = escapedChar(*m_p++);
                } else {
                    last = (unsigned char)*m_p++;
                }
                for (int ch = first; ch <= last; ++ch) set.set((unsigned)ch);
            } else if (cls) {
                addClass(set, (char)cls);
            } else {
                set.set((unsigned)first);
            }
        }
        ++m_p;
        if (negate) set.invert();
        return setNode(set);
    }

    // One member of a class: a byte, or (cls set to its letter) a ctype class.
    int classChar(int& cls) {
        char c = *m_p;
        if (c == '\\') {
            ++m_p;
            char e = *m_p;
            if (e == 0) throw CompileError{"letter expected"};
            ++m_p;
            if (isClassLetter(e)) {
                cls = e;
                return 0;
            }
            return escapedChar(e);
        }
        ++m_p;
        return (unsigned char)c;
    }

    std::unique_ptr<Node> setNode(const CharSet& set) {
        m_sets.push_back(set);
        auto node = std::make_unique<Node>(NodeKind::Set);
        node->value = (int)m_sets.size() - 1;
        return node;
    }
    std::unique_ptr<Node> nothing() { return setNode(CharSet{}); }

    const char* m_p;
    std::vector<CharSet>& m_sets;
    int m_groups = 0;
};

class Emitter {
public:
    explicit Emitter(std::vector<Inst>& code) : m_code(code) {}
    int registers() const { return m_registers; }

    void emit(const Node& n) {
        switch (n.kind) {
        case NodeKind::Char:
            add({Op::Char, n.value});
            break;
        case NodeKind::Any:
            add({Op::Any});
            break;
        case NodeKind::Set:
            add({Op::Set, n.value});
            break;
        case NodeKind::Bol:
            add({Op::Bol});
            break;
        case NodeKind::Eol:
            add({Op::Eol});
            break;
        case NodeKind::Boundary:
            add({Op::Boundary});
            break;
        case NodeKind::NotBoundary:
            add({Op::NotBoundary});
            break;
        case NodeKind::Group:
            if (n.value >= 0) add({Op::Save, n.value * 2});
            emit(*n.kids[0]);
            if (n.value >= 0) add({Op::Save, n.value * 2 + 1});
            break;
        case NodeKind::Concat:
            for (const auto& k : n.kids) emit(*k);
            break;
        case NodeKind::Alt: {
            std::vector<size_t> exits;
            for (size_t i = 0; i < n.kids.size(); ++i) {
                size_t split = 0;
                if (i + 1 < n.kids.size()) split = add({Op::Split});
                if (i + 1 < n.kids.size()) m_code[split].x = (int)m_code.size();
                emit(*n.kids[i]);
                if (i + 1 < n.kids.size()) {
                    exits.push_back(add({Op::Jmp}));
                    m_code[split].y = (int)m_code.size();
                }
            }
            for (size_t e : exits) m_code[e].x = (int)m_code.size();
            break;
        }
        case NodeKind::Repeat: {
            const Node& body = *n.kids[0];
            for (int i = 0; i < n.min; ++i) emit(body);
            if (n.max < 0) {
                // Loop with a progress check, so a body that can match empty cannot spin forever.
                int reg = m_registers++;
                size_t top = add({Op::Split});
                m_code[top].x = (int)m_code.size();
                add({Op::Mark, reg});
                emit(body);
                add({Op::Progress, reg});
                add({Op::Jmp, (int)top});
                m_code[top].y = (int)m_code.size();
            } else {
                std::vector<size_t> splits;
                for (int i = n.min; i < n.max; ++i) {
                    size_t s = add({Op::Split});
                    m_code[s].x = (int)m_code.size();
                    splits.push_back(s);
                    emit(body);
                }
                for (size_t s : splits) m_code[s].y = (int)m_code.size();
            }
            break;
        }
        }
    }

private:
    size_t add(Inst i) {
        if (m_code.size() >= kMaxProgramSize) throw CompileError{"overflow in numeric constant"};
        m_code.push_back(i);
        return m_code.size() - 1;
    }
    std::vector<Inst>& m_code;
    int m_registers = 0;
};

bool isSpaceAt(const char* p, const char* end) {
    return p < end && std::isspace((unsigned char)*p);
}

} // namespace

struct SQRex {
    std::vector<Inst> code;
    std::vector<CharSet> sets;
    int groups = 0;                 // capture groups, not counting the whole match
    int registers = 0;              // loop progress registers
    std::vector<const char*> slots; // last match: begin/end of each group, group 0 the whole match
    // Scratch of the matcher, kept between calls to avoid reallocating.
    struct Entry {
        int pc;    // >= 0: a choice point; -1: an undo record
        int index; // undo: slot (captures first, then registers)
        const char* pos;
    };
    std::vector<Entry> stack;
    std::vector<const char*> regs;
    long long workLimit = -1; // instructions the matcher may run; < 0: unbounded
    long long workDone = 0;

    // Runs the program from `start`; `whole` requires the match to end at `end`. bol anchors `^`.
    bool run(const char* bol, const char* start, const char* end, bool whole);
    bool boundaryAt(const char* p, const char* bol, const char* end) const;
};

bool SQRex::boundaryAt(const char* p, const char* bol, const char* end) const {
    if (p == bol && p < end && !std::isspace((unsigned char)*p)) return true;
    if (p == end) return p > bol && !std::isspace((unsigned char)p[-1]);
    return isSpaceAt(p, end) != isSpaceAt(p + 1, end) && p + 1 < end;
}

bool SQRex::run(const char* bol, const char* start, const char* end, bool whole) {
    const size_t ncap = (size_t)(groups + 1) * 2;
    regs.assign(ncap + (size_t)registers, nullptr);
    stack.clear();
    int pc = 0;
    const char* sp = start;
    regs[0] = start;
    auto setReg = [&](size_t index, const char* value) {
        stack.push_back({-1, (int)index, regs[index]});
        regs[index] = value;
    };
    for (;;) {
        if (workLimit >= 0 && ++workDone > workLimit) return false;
        bool fail = false;
        const Inst& in = code[(size_t)pc];
        switch (in.op) {
        case Op::Char:
            if (sp < end && (unsigned char)*sp == (unsigned)in.x)
                ++sp, ++pc;
            else
                fail = true;
            break;
        case Op::Any:
            if (sp < end)
                ++sp, ++pc;
            else
                fail = true;
            break;
        case Op::Set:
            if (sp < end && sets[(size_t)in.x].has((unsigned char)*sp))
                ++sp, ++pc;
            else
                fail = true;
            break;
        case Op::Split:
            stack.push_back({in.y, 0, sp});
            pc = in.x;
            break;
        case Op::Jmp:
            pc = in.x;
            break;
        case Op::Save:
            // a group matched again by a repetition keeps the text of its first round
            if (!regs[(size_t)in.x]) setReg((size_t)in.x, sp);
            ++pc;
            break;
        case Op::Bol:
            if (sp == bol)
                ++pc;
            else
                fail = true;
            break;
        case Op::Eol:
            if (sp == end)
                ++pc;
            else
                fail = true;
            break;
        case Op::Boundary:
            if (boundaryAt(sp, bol, end))
                ++pc;
            else
                fail = true;
            break;
        case Op::NotBoundary:
            if (!boundaryAt(sp, bol, end))
                ++pc;
            else
                fail = true;
            break;
        case Op::Mark:
            setReg(ncap + (size_t)in.x, sp);
            ++pc;
            break;
        case Op::Progress:
            if (regs[ncap + (size_t)in.x] != sp)
                ++pc;
            else
                fail = true;
            break;
        case Op::Match:
            if (!whole || sp == end) {
                regs[1] = sp;
                slots.assign(regs.begin(), regs.begin() + (long)ncap);
                return true;
            }
            fail = true;
            break;
        }
        if (!fail) continue;
        // Backtrack: undo register writes down to the most recent choice point.
        for (;;) {
            if (stack.empty()) return false;
            Entry e = stack.back();
            stack.pop_back();
            if (e.pc < 0) {
                regs[(size_t)e.index] = e.pos;
            } else {
                pc = e.pc;
                sp = e.pos;
                break;
            }
        }
    }
}

extern "C" {

SQRex* sqstd_rex_compile(const SQChar* pattern, const SQChar** error) {
    auto exp = new (std::nothrow) SQRex();
    if (!exp) {
        if (error) *error = "out of memory";
        return nullptr;
    }
    try {
        Parser parser(pattern ? pattern : "", exp->sets);
        auto tree = parser.parse();
        exp->groups = parser.groups();
        Emitter emitter(exp->code);
        emitter.emit(*tree);
        exp->code.push_back({Op::Match});
        exp->registers = emitter.registers();
    } catch (const CompileError& e) {
        if (error) *error = e.message;
        delete exp;
        return nullptr;
    } catch (const std::bad_alloc&) {
        if (error) *error = "out of memory";
        delete exp;
        return nullptr;
    }
    return exp;
}

void sqstd_rex_free(SQRex* exp) {
    delete exp;
}

SQBool sqstd_rex_match(SQRex* exp, const SQChar* text) {
    const char* end = text + std::strlen(text);
    try {
        return exp->run(text, text, end, true) ? SQTrue : SQFalse;
    } catch (const std::bad_alloc&) {
        return SQFalse;
    }
}

SQBool sqstd_rex_searchrange(SQRex* exp, const SQChar* text_begin, const SQChar* text_end,
                             const SQChar** out_begin, const SQChar** out_end) {
    try {
        for (const char* p = text_begin; p < text_end && !sqstdRexWorkExhausted(exp); ++p) {
            if (exp->run(text_begin, p, text_end, false)) {
                if (out_begin) *out_begin = exp->slots[0];
                if (out_end) *out_end = exp->slots[1];
                return SQTrue;
            }
        }
    } catch (const std::bad_alloc&) {
    }
    return SQFalse;
}

SQBool sqstd_rex_search(SQRex* exp, const SQChar* text, const SQChar** out_begin, const SQChar** out_end) {
    return sqstd_rex_searchrange(exp, text, text + std::strlen(text), out_begin, out_end);
}

SQInteger sqstd_rex_getsubexpcount(SQRex* exp) {
    return exp->groups + 1;
}

SQBool sqstd_rex_getsubexp(SQRex* exp, SQInteger n, SQRexMatch* subexp) {
    if (n < 0 || n > exp->groups) return SQFalse;
    size_t i = (size_t)n * 2;
    if (exp->slots.size() <= i + 1 || !exp->slots[i] || !exp->slots[i + 1]) {
        subexp->begin = nullptr;
        subexp->len = 0;
    } else {
        subexp->begin = exp->slots[i];
        subexp->len = exp->slots[i + 1] - exp->slots[i];
    }
    return SQTrue;
}

} // extern "C"

SQRex* sqstdRexClone(const SQRex* exp) {
    try {
        return new SQRex(*exp);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void sqstdRexLimitWork(SQRex* exp, long long limit) {
    exp->workLimit = limit;
    exp->workDone = 0;
}

long long sqstdRexWorkDone(const SQRex* exp) {
    return exp->workDone;
}

bool sqstdRexWorkExhausted(const SQRex* exp) {
    return exp->workLimit >= 0 && exp->workDone > exp->workLimit;
}
