// Single-pass compiler: parses tokens and emits instructions directly, tracking which stack slots hold locals
// and which hold temporaries (the "target stack"). An expression leaves its value in the top target; an
// indexable l-value (obj.key) leaves the object and the key as the two top targets until the following token
// decides whether it is read, assigned, incremented or deleted.
#include "squirrel/src/compiler.h"

#include "squirrel/src/closure.h"
#include "squirrel/src/config.h"
#include "squirrel/src/lexer.h"
#include "squirrel/src/table.h"
#include "squirrel/src/vm.h"

#include <cstring>
#include <string>

namespace {

struct LocalVar {
    SQObjectPtr name; // null for a temporary
    SQInteger startOp = 0;
};

struct Breakable {
    bool isLoop;
    SQInteger traps; // traps open when the construct began
    SQStdVector<SQInteger> breaks;
    SQStdVector<SQInteger> continues;
};

struct FuncState {
    FuncState* parent = nullptr;
    SQSharedState* ss;
    SQStdVector<SQInstruction> instructions;
    SQStdVector<SQObjectPtr> literals;
    SQObjectPtr literalMap; // table: literal -> index
    SQStdVector<LocalVar> vlocals;
    SQStdVector<SQLocalVarInfo> localvarinfos;
    SQStdVector<SQInteger> targets;
    SQStdVector<SQOuterVar> outervalues;
    SQStdVector<SQObjectPtr> parameters;
    SQStdVector<SQInteger> defaultparams;
    SQStdVector<SQLineInfo> lineinfos;
    SQStdVector<SQObjectPtr> functions;
    SQStdVector<Breakable> breakables;
    SQInteger stacksize = 0;
    SQInteger traps = 0;
    SQInteger lastline = 0;
    SQInteger jumpTargetAt = -1;   // instruction index a patched jump lands on
    SQInteger statementStart = -1; // first instruction of the current statement: never folded into the last
    SQInteger blockLineEnd = -1;   // instruction count right after the line marker of a block's '{'
    bool varparams = false;
    bool bgenerator = false;
    SQObjectPtr name;
    SQObjectPtr sourcename;

    explicit FuncState(SQSharedState* s) : ss(s) { literalMap = SQObjectPtr(SQTable::create(s, 0)); }

    SQInteger pos() const { return (SQInteger)instructions.size() - 1; }
    SQInteger literal(const SQObjectPtr& o) {
        SQObjectPtr idx;
        if (_table(literalMap)->get(o, idx)) return _integer(idx);
        SQInteger n = (SQInteger)literals.size();
        literals.push_back(o);
        _table(literalMap)->newSlot(o, SQObjectPtr(n));
        return n;
    }
    // Byte operands name slots and 0xFF means "none": a frame holds at most 255 slots.
    void checkStackSize() const {
        if ((SQInteger)vlocals.size() >= kMaxFuncStackSize)
            throw SQCompileError{"internal compiler error: too many locals"};
    }
    SQInteger allocStackPos() {
        checkStackSize();
        vlocals.push_back(LocalVar());
        if ((SQInteger)vlocals.size() > stacksize) stacksize = (SQInteger)vlocals.size();
        return (SQInteger)vlocals.size() - 1;
    }
    SQInteger pushTarget(SQInteger n = -1) {
        if (n != -1) {
            targets.push_back(n);
            return n;
        }
        n = allocStackPos();
        targets.push_back(n);
        return n;
    }
    SQInteger popTarget() {
        SQInteger n = targets.back();
        targets.pop_back();
        if (n == (SQInteger)vlocals.size() - 1 && sq_type(vlocals.back().name) == OT_NULL) vlocals.pop_back();
        return n;
    }
    SQInteger topTarget() const { return targets.back(); }
    bool isLocal(SQInteger slot) const {
        return slot < (SQInteger)vlocals.size() && sq_type(vlocals[slot].name) != OT_NULL;
    }
    SQInteger pushLocal(const SQObjectPtr& nm) {
        checkStackSize();
        SQInteger p = (SQInteger)vlocals.size();
        vlocals.push_back(LocalVar{nm, (SQInteger)instructions.size()});
        if ((SQInteger)vlocals.size() > stacksize) stacksize = (SQInteger)vlocals.size();
        return p;
    }
    // Pops locals down to `n` slots, recording the named ones' live ranges.
    void popLocals(SQInteger n) {
        while ((SQInteger)vlocals.size() > n) {
            LocalVar& lv = vlocals.back();
            if (sq_type(lv.name) != OT_NULL) {
                SQLocalVarInfo info;
                info._name = lv.name;
                info._pos = (SQUnsignedInteger)(vlocals.size() - 1);
                info._start_op = (SQUnsignedInteger)lv.startOp;
                info._end_op = (SQUnsignedInteger)pos();
                localvarinfos.push_back(info);
            }
            vlocals.pop_back();
        }
    }
    SQInteger findLocal(const SQObject& nm) const {
        for (SQInteger i = (SQInteger)vlocals.size() - 1; i >= 0; --i)
            if (sq_type(vlocals[i].name) == OT_STRING && _string(vlocals[i].name) == nm._unVal.pString)
                return i;
        return -1;
    }
    SQInteger findOuter(const SQObject& nm) const {
        for (size_t i = 0; i < outervalues.size(); ++i)
            if (_string(outervalues[i]._name) == nm._unVal.pString) return (SQInteger)i;
        return -1;
    }
    void addOuter(const SQObjectPtr& nm) {
        SQOuterVar ov;
        ov._name = nm;
        SQInteger pos;
        if (parent && (pos = parent->findLocal(nm)) != -1) {
            ov._type = otLOCAL;
            ov._src = SQObjectPtr(pos);
        } else if (parent && (pos = parent->findOuter(nm)) != -1) {
            ov._type = otOUTER;
            ov._src = SQObjectPtr(pos);
        } else {
            ov._type = otSYMBOL;
            ov._src = nm;
        }
        outervalues.push_back(ov);
    }
    // One entry per line change, at the first instruction of the line (debug hooks report the first entry
    // as a function's line, and the entry before an instruction as the line it returns from). force adds
    // the function's closing entry (and marker) even on the same line. The marker of a block's '{' gives
    // way to the marker of the statement right after it, whose entry then points one past it, as compiled
    // files of the reference hold it.
    void addLineInfo(SQInteger line, bool lineop, bool force = false) {
        if (lastline == line && !force) return;
        SQLineInfo li;
        li._line = line;
        li._op = (SQInteger)instructions.size();
        if (lineop) {
            if (!force && blockLineEnd == (SQInteger)instructions.size() &&
                instructions.back().op == _OP_LINE) {
                if (!lineinfos.empty() && lineinfos.back()._op == li._op - 1) lineinfos.pop_back();
                instructions.back()._arg1 = (int32_t)line;
                blockLineEnd = -1;
            } else {
                emit(_OP_LINE, 0, line);
            }
        }
        lastline = line;
        lineinfos.push_back(li);
    }
    void emit(SQInteger op, SQInteger a0 = 0, SQInteger a1 = 0, SQInteger a2 = 0, SQInteger a3 = 0) {
        // Peephole: a literal key loaded just before GET/PREPCALL folds into GETK/PREPCALLK, unless a jump
        // lands between the two.
        if (!instructions.empty() && jumpTargetAt != (SQInteger)instructions.size() &&
            statementStart != (SQInteger)instructions.size()) {
            SQInstruction& p = instructions.back();
            if (p.op == _OP_LOAD && op == _OP_PREPCALL && p._arg0 == a1 && a1 != a2) {
                p.op = _OP_PREPCALLK;
                p._arg0 = (uint8_t)a0;
                p._arg2 = (uint8_t)a2;
                p._arg3 = (uint8_t)a3;
                return;
            }
            if (p.op == _OP_LOAD && op == _OP_GET && p._arg0 == a2 && a1 != a2) {
                p.op = _OP_GETK;
                p._arg0 = (uint8_t)a0;
                p._arg2 = (uint8_t)a1;
                p._arg3 = 0;
                return;
            }
            // The reference's other folds, so that values live in the same slots as there: two literal loads
            // (the second literal a byte), two moves, a loaded literal appended or compared, adjacent nulls.
            if (p.op == _OP_LOAD && op == _OP_LOAD && a1 <= 0xFF) {
                p.op = _OP_DLOAD;
                p._arg2 = (uint8_t)a0;
                p._arg3 = (uint8_t)a1;
                return;
            }
            if ((p.op == _OP_ARITH || p.op == _OP_BITW || p.op == _OP_GET) && op == _OP_MOVE &&
                p._arg0 == a1) {
                p._arg0 = (uint8_t)a0; // the result goes straight where it is moved to
                statementStart = (SQInteger)instructions.size();
                return;
            }
            if (p.op == _OP_MOVE && op == _OP_MOVE && a1 <= 0xFF) {
                p.op = _OP_DMOVE;
                p._arg2 = (uint8_t)a0;
                p._arg3 = (uint8_t)a1;
                return;
            }
            if (p.op == _OP_LOAD && op == _OP_APPENDARRAY && p._arg0 == a1) {
                p.op = _OP_APPENDARRAY;
                p._arg0 = (uint8_t)a0;
                p._arg2 = 0xFF;
                p._arg3 = 0xFF;
                return;
            }
            if (p.op == _OP_LOAD && (op == _OP_EQ || op == _OP_NE) && p._arg0 == a1 && a1 != a2) {
                p.op = (uint8_t)op;
                p._arg0 = (uint8_t)a0;
                p._arg2 = (uint8_t)a2;
                p._arg3 = 0xFF;
                return;
            }
            if (p.op == _OP_LOADNULLS && op == _OP_LOADNULLS && p._arg0 + p._arg1 == a0) {
                p._arg1 += (int32_t)a1;
                return;
            }
        }
        SQInstruction i;
        i.op = (uint8_t)op;
        i._arg0 = (uint8_t)a0;
        i._arg1 = (int32_t)a1;
        i._arg2 = (uint8_t)a2;
        i._arg3 = (uint8_t)a3;
        instructions.push_back(i);
    }
    void setArg1(SQInteger at, SQInteger v) {
        instructions[at]._arg1 = (int32_t)v;
        if (at + 1 + v == (SQInteger)instructions.size()) jumpTargetAt = at + 1 + v;
    }
    void setArg0(SQInteger at, SQInteger v) { instructions[at]._arg0 = (uint8_t)v; }

    SQFunctionProto* build() {
        SQFunctionProto* f = SQFunctionProto::create(
            literals.size(), parameters.size(), outervalues.size(), localvarinfos.size(), lineinfos.size(),
            defaultparams.size(), instructions.size(), functions.size());
        SQObjectPtr keep(f);
        for (size_t i = 0; i < literals.size(); ++i) f->_literals[i] = literals[i];
        for (size_t i = 0; i < parameters.size(); ++i) f->_parameters[i] = parameters[i];
        for (size_t i = 0; i < outervalues.size(); ++i) f->_outervalues[i] = outervalues[i];
        for (size_t i = 0; i < localvarinfos.size(); ++i) f->_localvarinfos[i] = localvarinfos[i];
        for (size_t i = 0; i < lineinfos.size(); ++i) f->_lineinfos[i] = lineinfos[i];
        for (size_t i = 0; i < defaultparams.size(); ++i) f->_defaultparams[i] = defaultparams[i];
        for (size_t i = 0; i < instructions.size(); ++i) f->_instructions[i] = instructions[i];
        for (size_t i = 0; i < functions.size(); ++i) f->_functions[i] = functions[i];
        f->_stacksize = stacksize;
        f->_bgenerator = bgenerator;
        f->_varparams = varparams;
        f->settle();
        f->_name = name;
        f->_sourcename = sourcename;
        ++f->_uiRef; // hand over without destroying
        keep.Null();
        --f->_uiRef;
        return f;
    }
};

// Const: a constant's value in a temporary; compound operators work on that copy, '=' is refused.
enum class ExpKind { Value, Local, Field, FreeVar, Const };

class Compiler {
public:
    Compiler(SQVM* v, SQLEXREADFUNC rg, SQUserPointer up, const SQChar* sourcename, bool lineinfo)
        : m_ss(_ss(v)), m_lex(rg, up), m_lineinfo(lineinfo) {
        m_sourcename = SQObjectPtr(SQString::create(m_ss, sourcename));
    }

    SQObjectPtr compile() {
        FuncState fs(m_ss);
        m_fs = &fs;
        fs.name = str("main");
        fs.sourcename = m_sourcename;
        fs.parameters.push_back(str("this"));
        fs.pushLocal(str("this"));
        fs.varparams = false;
        lex();
        while (m_lex.m_token > 0) {
            statement();
            if (m_lex.m_prevtoken != '}') optionalSemicolon();
        }
        fs.popLocals(1);
        fs.addLineInfo(m_lex.m_currentline, m_lineinfo, true);
        fs.emit(_OP_RETURN, 0xFF);
        fs.popLocals(0); // `this` and the parameters live through the final return
        fs.stacksize = fs.stacksize < 1 ? 1 : fs.stacksize;
        SQFunctionProto* proto = fs.build();
        SQObjectPtr p(proto);
        return SQObjectPtr(SQClosure::create(m_ss, proto));
    }

    SQLexer& lexer() { return m_lex; }

private:
    SQSharedState* m_ss;
    SQLexer m_lex;
    bool m_lineinfo;
    SQObjectPtr m_sourcename;
    FuncState* m_fs = nullptr;
    ExpKind m_kind = ExpKind::Value;
    bool m_isParent = false;
    const char* m_stackTop = static_cast<const char*>(__builtin_frame_address(0));

    // Bounds parser recursion by the C stack it has used; deep nesting becomes a compile error instead of
    // a stack overflow.
    struct NestingGuard {
        Compiler& c;
        explicit NestingGuard(Compiler& comp) : c(comp) {
            const char* here = static_cast<const char*>(__builtin_frame_address(0));
            if (c.m_stackTop - here > kMaxCompilerStackBytes) c.error("nesting too deep");
        }
    };

    SQObjectPtr str(const char* s, SQInteger len = -1) { return SQObjectPtr(SQString::create(m_ss, s, len)); }
    [[noreturn]] void error(const SQStdString& msg) { m_lex.error(msg); }
    void lex() { m_lex.lex(); }
    SQInteger tok() const { return m_lex.m_token; }

    SQObjectPtr expect(SQInteger t) {
        if (tok() != t) {
            if (!(t == TK_IDENTIFIER && tok() == TK_CONSTRUCTOR)) {
                if (t > 255) error(SQStdString("expected '") + SQLexer::tok2Str(t) + "'");
                error(SQStdString("expected '") + (char)t + "'");
            }
        }
        SQObjectPtr ret;
        switch (t) {
        case TK_IDENTIFIER:
            ret = tok() == TK_CONSTRUCTOR ? str("constructor")
                                          : str(m_lex.m_svalue.data(), (SQInteger)m_lex.m_svalue.size());
            break;
        case TK_STRING_LITERAL:
            ret = str(m_lex.m_svalue.data(), (SQInteger)m_lex.m_svalue.size());
            break;
        case TK_INTEGER:
            ret = SQObjectPtr(m_lex.m_nvalue);
            break;
        case TK_FLOAT:
            ret = SQObjectPtr(m_lex.m_fvalue);
            break;
        }
        lex();
        return ret;
    }
    bool isEndOfStatement() const {
        return m_lex.m_prevtoken == '\n' || tok() == 0 || tok() == '}' || tok() == ';';
    }
    void optionalSemicolon() {
        if (tok() == ';') {
            lex();
            return;
        }
        if (!isEndOfStatement()) error("end of statement expected (; or lf)");
    }
    // A temporary holding the top target's value (copies a local so calls get consecutive slots).
    void moveIfCurrentTargetIsLocal() {
        SQInteger t = m_fs->topTarget();
        if (m_fs->isLocal(t)) {
            t = m_fs->popTarget();
            m_fs->emit(_OP_MOVE, m_fs->pushTarget(), t);
        }
    }
    void beginBreakable(bool isLoop) { m_fs->breakables.push_back(Breakable{isLoop, m_fs->traps, {}, {}}); }
    void endBreakable(SQInteger continueTarget) {
        Breakable b = std::move(m_fs->breakables.back());
        m_fs->breakables.pop_back();
        for (SQInteger p : b.breaks) m_fs->setArg1(p, m_fs->pos() - p);
        for (SQInteger p : b.continues) m_fs->setArg1(p, continueTarget - p - 1);
    }

    // statements: statement { statement }, up to '}' (or case/default inside a switch)
    void statements(bool inSwitch) {
        // Inside a block a statement that already consumed its ';' (an if body) needs no terminator; the end
        // of input is not a terminator here, so an unclosed block reports "expression expected".
        while (tok() != '}' && !(inSwitch && (tok() == TK_CASE || tok() == TK_DEFAULT))) {
            statement();
            if (m_lex.m_prevtoken != '}' && m_lex.m_prevtoken != ';') optionalSemicolon();
        }
    }

    // statement: one of the statement forms, or an expression
    void statement() {
        NestingGuard guard(*this);
        m_fs->addLineInfo(m_lex.m_currentline, m_lineinfo);
        m_fs->statementStart = (SQInteger)m_fs->instructions.size();
        switch (tok()) {
        case ';':
            lex();
            break;
        case TK_IF:
            ifStatement();
            break;
        case TK_WHILE:
            whileStatement();
            break;
        case TK_DO:
            doWhileStatement();
            break;
        case TK_FOR:
            forStatement();
            break;
        case TK_FOREACH:
            foreachStatement();
            break;
        case TK_SWITCH:
            switchStatement();
            break;
        case TK_LOCAL:
            localDeclStatement();
            break;
        case TK_RETURN:
        case TK_YIELD:
            returnStatement();
            break;
        case TK_BREAK: {
            if (m_fs->breakables.empty()) error("'break' has to be in a loop block");
            Breakable& b = m_fs->breakables.back();
            if (m_fs->traps > b.traps) m_fs->emit(_OP_POPTRAP, m_fs->traps - b.traps, 0);
            m_fs->emit(_OP_JMP, 0, -1234);
            b.breaks.push_back(m_fs->pos());
            lex();
            break;
        }
        case TK_CONTINUE: {
            Breakable* loop = nullptr;
            for (SQInteger i = (SQInteger)m_fs->breakables.size() - 1; i >= 0; --i)
                if (m_fs->breakables[i].isLoop) {
                    loop = &m_fs->breakables[i];
                    break;
                }
            if (!loop) error("'continue' has to be in a loop block");
            if (m_fs->traps > loop->traps) m_fs->emit(_OP_POPTRAP, m_fs->traps - loop->traps, 0);
            m_fs->emit(_OP_JMP, 0, -1234);
            loop->continues.push_back(m_fs->pos());
            lex();
            break;
        }
        case TK_FUNCTION:
            functionStatement();
            break;
        case TK_CLASS:
            classStatement();
            break;
        case TK_ENUM:
            enumStatement();
            break;
        case '{': {
            SQInteger stacksize = (SQInteger)m_fs->vlocals.size();
            m_fs->blockLineEnd = (SQInteger)m_fs->instructions.size();
            lex();
            statements(false);
            expect('}');
            m_fs->popLocals(stacksize);
            break;
        }
        case TK_TRY:
            tryCatchStatement();
            break;
        case TK_THROW:
            lex();
            commaExpr();
            m_fs->emit(_OP_THROW, m_fs->popTarget());
            break;
        case TK_CONST: {
            lex();
            SQObjectPtr id = expect(TK_IDENTIFIER);
            expect('=');
            SQObjectPtr val = expectScalar();
            _table(m_ss->_consts)->newSlot(id, val);
            // the declaration ends its statement itself: another statement may follow only on a new line
            optionalSemicolon();
            break;
        }
        default:
            commaExpr();
            m_fs->popTarget();
            break;
        }
    }

    // A body statement in its own scope.
    void scopedStatement() {
        SQInteger stacksize = (SQInteger)m_fs->vlocals.size();
        statement();
        m_fs->popLocals(stacksize);
    }

    // if: 'if' '(' commaexpr ')' statement ['else' statement]
    void ifStatement() {
        lex();
        expect('(');
        commaExpr();
        expect(')');
        m_fs->emit(_OP_JZ, m_fs->popTarget());
        SQInteger jnepos = m_fs->pos();
        scopedStatement();
        if (tok() != '}' && tok() != TK_ELSE && m_lex.m_prevtoken != '}') optionalSemicolon();
        SQInteger endifblock = m_fs->pos();
        bool haselse = false;
        if (tok() == TK_ELSE) {
            haselse = true;
            m_fs->emit(_OP_JMP);
            SQInteger jmppos = m_fs->pos();
            lex();
            scopedStatement();
            if (tok() != '}' && m_lex.m_prevtoken != '}') optionalSemicolon();
            m_fs->setArg1(jmppos, m_fs->pos() - jmppos);
        }
        m_fs->setArg1(jnepos, endifblock - jnepos + (haselse ? 1 : 0));
        // Unlike a block or a function, an if whose last branch ends with '}' does not end the statement by
        // itself: what follows on the same line must be ';' or '}' ("if (a) { b(); } c();" is an error).
        if (m_lex.m_prevtoken == '}' && !isEndOfStatement()) error("end of statement expected (; or lf)");
    }

    // while: 'while' '(' commaexpr ')' statement
    void whileStatement() {
        SQInteger jmppos = m_fs->pos() + 1;
        lex();
        expect('(');
        commaExpr();
        expect(')');
        m_fs->emit(_OP_JZ, m_fs->popTarget());
        SQInteger jzpos = m_fs->pos();
        beginBreakable(true);
        scopedStatement();
        m_fs->emit(_OP_JMP, 0, jmppos - m_fs->pos() - 2);
        m_fs->setArg1(jzpos, m_fs->pos() - jzpos);
        endBreakable(jmppos);
    }

    // do: 'do' statement 'while' '(' commaexpr ')'
    void doWhileStatement() {
        lex();
        SQInteger jzpos = m_fs->pos() + 1;
        beginBreakable(true);
        scopedStatement();
        if (tok() == ';') lex();
        SQInteger continuetrg = m_fs->pos() + 1;
        expect(TK_WHILE);
        expect('(');
        commaExpr();
        expect(')');
        m_fs->emit(_OP_JNZ, m_fs->popTarget(), jzpos - m_fs->pos() - 2);
        endBreakable(continuetrg);
    }

    // for: 'for' '(' [local decl | commaexpr] ';' [commaexpr] ';' [commaexpr] ')' statement
    void forStatement() {
        lex();
        SQInteger stacksize = (SQInteger)m_fs->vlocals.size();
        expect('(');
        if (tok() == TK_LOCAL)
            localDeclStatement();
        else if (tok() != ';') {
            commaExpr();
            m_fs->popTarget();
        }
        expect(';');
        SQInteger jmppos = m_fs->pos() + 1;
        SQInteger jzpos = -1;
        if (tok() != ';') {
            commaExpr();
            m_fs->emit(_OP_JZ, m_fs->popTarget());
            jzpos = m_fs->pos();
        }
        expect(';');
        SQInteger expstart = m_fs->pos() + 1;
        if (tok() != ')') {
            commaExpr();
            m_fs->popTarget();
        }
        expect(')');
        SQStdVector<SQInstruction> step(m_fs->instructions.begin() + expstart, m_fs->instructions.end());
        m_fs->instructions.resize(expstart);
        beginBreakable(true);
        scopedStatement();
        SQInteger continuetrg = m_fs->pos() + 1;
        for (const SQInstruction& i : step) m_fs->instructions.push_back(i);
        m_fs->emit(_OP_JMP, 0, jmppos - m_fs->pos() - 2);
        if (jzpos > 0) m_fs->setArg1(jzpos, m_fs->pos() - jzpos);
        endBreakable(continuetrg);
        m_fs->popLocals(stacksize);
    }

    // foreach: 'foreach' '(' [id ','] id 'in' commaexpr ')' statement
    void foreachStatement() {
        lex();
        expect('(');
        SQObjectPtr valname = expect(TK_IDENTIFIER);
        SQObjectPtr idxname;
        if (tok() == ',') {
            idxname = valname;
            lex();
            valname = expect(TK_IDENTIFIER);
        } else {
            idxname = str("@INDEX@");
        }
        expect(TK_IN);
        SQInteger stacksize = (SQInteger)m_fs->vlocals.size();
        commaExpr();
        expect(')');
        SQInteger container = m_fs->topTarget();
        SQInteger indexpos = m_fs->pushLocal(idxname);
        m_fs->emit(_OP_LOADNULLS, indexpos, 1);
        SQInteger valuepos = m_fs->pushLocal(valname);
        m_fs->emit(_OP_LOADNULLS, valuepos, 1);
        SQInteger itrpos = m_fs->pushLocal(str("@ITERATOR@"));
        m_fs->emit(_OP_LOADNULLS, itrpos, 1);
        SQInteger jmppos = m_fs->pos() + 1;
        m_fs->emit(_OP_FOREACH, container, 0, indexpos);
        SQInteger foreachpos = m_fs->pos();
        m_fs->emit(_OP_POSTFOREACH, container, 0, indexpos);
        beginBreakable(true);
        scopedStatement();
        m_fs->emit(_OP_JMP, 0, jmppos - m_fs->pos() - 2);
        m_fs->setArg1(foreachpos, m_fs->pos() - foreachpos);
        m_fs->setArg1(foreachpos + 1, m_fs->pos() - foreachpos);
        endBreakable(jmppos);
        m_fs->popLocals(stacksize);
        // the container temporary went with the scope
        m_fs->targets.pop_back();
    }

    // switch: 'switch' '(' commaexpr ')' '{' {'case' expr ':' statements} ['default' ':' statements] '}'
    void switchStatement() {
        lex();
        expect('(');
        commaExpr();
        expect(')');
        expect('{');
        SQInteger expr = m_fs->topTarget();
        bool bfirst = true;
        SQInteger tonextcondjmp = -1;
        SQInteger skipcondjmp = -1;
        beginBreakable(false);
        while (tok() == TK_CASE) {
            if (!bfirst) {
                m_fs->emit(_OP_JMP, 0, 0);
                skipcondjmp = m_fs->pos();
                m_fs->setArg1(tonextcondjmp, m_fs->pos() - tonextcondjmp);
            }
            lex();
            expression();
            expect(':');
            SQInteger trg = m_fs->popTarget();
            SQInteger res = m_fs->pushTarget();
            m_fs->emit(_OP_EQ, res, trg, expr);
            m_fs->emit(_OP_JZ, m_fs->popTarget(), 0);
            tonextcondjmp = m_fs->pos();
            if (skipcondjmp != -1) m_fs->setArg1(skipcondjmp, m_fs->pos() - skipcondjmp);
            SQInteger stacksize = (SQInteger)m_fs->vlocals.size();
            statements(true);
            m_fs->popLocals(stacksize);
            bfirst = false;
        }
        if (tonextcondjmp != -1) m_fs->setArg1(tonextcondjmp, m_fs->pos() - tonextcondjmp);
        if (tok() == TK_DEFAULT) {
            lex();
            expect(':');
            SQInteger stacksize = (SQInteger)m_fs->vlocals.size();
            statements(true);
            m_fs->popLocals(stacksize);
        }
        expect('}');
        m_fs->popTarget();
        endBreakable(0);
    }

    // local: 'local' id ['=' expr] {',' id ['=' expr]}
    void localDeclStatement() {
        lex();
        do {
            SQObjectPtr varname = expect(TK_IDENTIFIER);
            if (tok() == '=') {
                lex();
                expression();
                SQInteger src = m_fs->popTarget();
                SQInteger dest = m_fs->pushTarget();
                if (dest != src) m_fs->emit(_OP_MOVE, dest, src);
            } else {
                m_fs->emit(_OP_LOADNULLS, m_fs->pushTarget(), 1);
            }
            m_fs->popTarget();
            m_fs->pushLocal(varname);
            if (tok() != ',') break;
            lex();
        } while (true);
    }

    // return/yield: ('return' | 'yield') [commaexpr]
    void returnStatement() {
        SQInteger op = tok() == TK_RETURN ? _OP_RETURN : _OP_YIELD;
        if (op == _OP_YIELD) m_fs->bgenerator = true;
        lex();
        if (!isEndOfStatement()) {
            SQInteger retexp = m_fs->pos() + 1;
            commaExpr();
            SQInteger val = m_fs->popTarget();
            if (op == _OP_RETURN && m_fs->traps > 0) m_fs->emit(_OP_POPTRAP, m_fs->traps, 0);
            // return f(...) from a nested function reuses the frame
            if (op == _OP_RETURN && m_fs->parent && m_fs->traps == 0 && m_fs->pos() >= retexp) {
                SQInstruction& last = m_fs->instructions.back();
                if (last.op == _OP_CALL && last._arg0 == val) last.op = _OP_TAILCALL;
            }
            m_fs->emit(op, 1, val);
        } else {
            if (op == _OP_RETURN && m_fs->traps > 0) m_fs->emit(_OP_POPTRAP, m_fs->traps, 0);
            m_fs->emit(op, 0xFF);
        }
    }

    // function: 'function' id {'::' id} '(' params ')' [':' '(' freevars ')'] statement
    void functionStatement() {
        lex();
        SQObjectPtr id = expect(TK_IDENTIFIER);
        m_fs->pushTarget(0);
        m_fs->emit(_OP_LOAD, m_fs->pushTarget(), m_fs->literal(id));
        if (tok() == TK_DOUBLE_COLON) emitGet();
        while (tok() == TK_DOUBLE_COLON) {
            lex();
            id = expect(TK_IDENTIFIER);
            m_fs->emit(_OP_LOAD, m_fs->pushTarget(), m_fs->literal(id));
            if (tok() == TK_DOUBLE_COLON) emitGet();
        }
        expect('(');
        createFunction(id);
        m_fs->emit(_OP_CLOSURE, m_fs->pushTarget(), (SQInteger)m_fs->functions.size() - 1, 0);
        emitDerefOp(_OP_NEWSLOT);
        m_fs->popTarget();
    }

    // class: 'class' derefexpr classbody
    void classStatement() {
        lex();
        ExpKind saved = m_kind;
        m_kind = ExpKind::Value;
        prefixedExpr(true);
        if (m_kind == ExpKind::Local)
            error("cannot create a class in a local with the syntax(class <local>)");
        if (m_kind != ExpKind::Field) error("invalid class name");
        classExp();
        emitDerefOp(_OP_NEWSLOT);
        m_fs->popTarget();
        m_kind = saved;
    }

    // enum: 'enum' id '{' {id ['=' scalar] [',']} '}'
    void enumStatement() {
        lex();
        SQObjectPtr id = expect(TK_IDENTIFIER);
        expect('{');
        SQObjectPtr table(SQTable::create(m_ss, 0));
        SQInteger nval = 0;
        while (tok() != '}') {
            SQObjectPtr key = expect(TK_IDENTIFIER);
            SQObjectPtr val;
            if (tok() == '=') {
                lex();
                val = expectScalar();
            } else {
                val = SQObjectPtr(nval++);
            }
            _table(table)->newSlot(key, val);
            if (tok() == ',') lex();
        }
        _table(m_ss->_consts)->newSlot(id, table);
        lex();
    }

    SQObjectPtr expectScalar() {
        SQObjectPtr val;
        switch (tok()) {
        case TK_INTEGER:
            val = SQObjectPtr(m_lex.m_nvalue);
            break;
        case TK_FLOAT:
            val = SQObjectPtr(m_lex.m_fvalue);
            break;
        case TK_STRING_LITERAL:
            val = str(m_lex.m_svalue.data(), (SQInteger)m_lex.m_svalue.size());
            break;
        case '-':
            lex();
            switch (tok()) {
            case TK_INTEGER:
                val = SQObjectPtr((SQInteger)(0u - (SQUnsignedInteger)m_lex.m_nvalue));
                break;
            case TK_FLOAT:
                val = SQObjectPtr(-m_lex.m_fvalue);
                break;
            default:
                error("scalar expected : integer,float");
            }
            break;
        default:
            error("scalar expected : integer,float or string");
        }
        lex();
        return val;
    }

    // try: 'try' statement 'catch' '(' id ')' statement
    void tryCatchStatement() {
        lex();
        m_fs->emit(_OP_PUSHTRAP, 0, 0);
        m_fs->traps++;
        SQInteger trappos = m_fs->pos();
        scopedStatement();
        m_fs->traps--;
        m_fs->emit(_OP_POPTRAP, 1, 0);
        m_fs->emit(_OP_JMP, 0, 0);
        SQInteger jmppos = m_fs->pos();
        m_fs->setArg1(trappos, m_fs->pos() - trappos);
        if (tok() == ';') lex();
        expect(TK_CATCH);
        expect('(');
        SQObjectPtr exid = expect(TK_IDENTIFIER);
        expect(')');
        SQInteger stacksize = (SQInteger)m_fs->vlocals.size();
        SQInteger extarget = m_fs->pushLocal(exid);
        m_fs->setArg0(trappos, extarget);
        statement();
        m_fs->popLocals(stacksize);
        m_fs->setArg1(jmppos, m_fs->pos() - jmppos);
    }

    // ---- expressions ----

    // commaexpr: expr {',' expr}
    void commaExpr() {
        for (expression(); tok() == ','; m_fs->popTarget(), lex(), commaExpr()) {
        }
    }

    // Reads a pending obj[key] l-value into a temporary.
    void emitGet() {
        SQInteger key = m_fs->popTarget();
        SQInteger obj = m_fs->popTarget();
        m_fs->emit(_OP_GET, m_fs->pushTarget(), obj, key);
    }
    void toValue() {
        if (m_kind == ExpKind::Field) emitGet();
        m_kind = ExpKind::Value;
    }
    // Emits SET/NEWSLOT on the pending l-value with the value on top.
    void emitDerefOp(SQInteger op) {
        SQInteger val = m_fs->popTarget();
        SQInteger key = m_fs->popTarget();
        SQInteger src = m_fs->popTarget();
        m_fs->emit(op, m_fs->pushTarget(), src, key, val);
    }
    static bool isAssignToken(SQInteger t) {
        return t == '=' || t == TK_NEWSLOT || t == TK_PLUSEQ || t == TK_MINUSEQ || t == TK_MULEQ ||
               t == TK_DIVEQ || t == TK_MODEQ;
    }

    // expr: logicalor [assignop expr | '?' expr ':' expr]
    void expression() {
        NestingGuard guard(*this);
        ExpKind saved = m_kind;
        bool savedParent = m_isParent;
        m_kind = ExpKind::Value;
        m_isParent = false;
        logicalOrExp();
        switch (tok()) {
        case '=':
        case TK_NEWSLOT:
        case TK_MINUSEQ:
        case TK_PLUSEQ:
        case TK_MULEQ:
        case TK_DIVEQ:
        case TK_MODEQ: {
            SQInteger op = tok();
            ExpKind kind = m_kind;
            if (m_isParent) error("parent cannot be set");
            if (kind == ExpKind::Value) error("can't assign expression");
            if (kind == ExpKind::FreeVar || (kind == ExpKind::Const && op == '='))
                error("free variables cannot be modified");
            lex();
            expression();
            switch (op) {
            case TK_NEWSLOT:
                if (kind == ExpKind::Field)
                    emitDerefOp(_OP_NEWSLOT);
                else
                    error("can't 'create' a local slot");
                break;
            case '=':
                if (kind == ExpKind::Field) {
                    emitDerefOp(_OP_SET);
                } else {
                    SQInteger src = m_fs->popTarget();
                    SQInteger dst = m_fs->topTarget();
                    m_fs->emit(_OP_MOVE, dst, src);
                }
                break;
            default: {
                SQInteger aop = op == TK_PLUSEQ    ? '+'
                                : op == TK_MINUSEQ ? '-'
                                : op == TK_MULEQ   ? '*'
                                : op == TK_DIVEQ   ? '/'
                                                   : '%';
                if (kind == ExpKind::Field) {
                    SQInteger val = m_fs->popTarget();
                    SQInteger key = m_fs->popTarget();
                    SQInteger src = m_fs->popTarget();
                    m_fs->emit(_OP_COMPARITH, m_fs->pushTarget(), (src << 16) | val, key, aop);
                } else {
                    SQInteger val = m_fs->popTarget();
                    SQInteger src = m_fs->popTarget();
                    m_fs->emit(_OP_COMPARITHL, m_fs->pushTarget(), src, val, aop);
                }
            }
            }
            m_kind = ExpKind::Value;
            break;
        }
        case '?': {
            toValue();
            lex();
            m_fs->emit(_OP_JZ, m_fs->popTarget());
            SQInteger jzpos = m_fs->pos();
            SQInteger trg = m_fs->pushTarget();
            expression();
            SQInteger first = m_fs->popTarget();
            if (trg != first) m_fs->emit(_OP_MOVE, trg, first);
            SQInteger endfirstexp = m_fs->pos();
            m_fs->emit(_OP_JMP, 0, 0);
            expect(':');
            SQInteger jmppos = m_fs->pos();
            expression();
            SQInteger second = m_fs->popTarget();
            if (trg != second) m_fs->emit(_OP_MOVE, trg, second);
            m_fs->setArg1(jmppos, m_fs->pos() - jmppos);
            m_fs->setArg1(jzpos, endfirstexp - jzpos + 1);
            m_kind = ExpKind::Value;
            break;
        }
        default:
            toValue();
            break;
        }
        (void)saved;
        m_isParent = savedParent;
    }

    void binOp(SQInteger op, void (Compiler::*f)(), SQInteger arg3 = 0) {
        toValue();
        lex();
        (this->*f)();
        toValue();
        SQInteger op1 = m_fs->popTarget();
        SQInteger op2 = m_fs->popTarget();
        m_fs->emit(op, m_fs->pushTarget(), op1, op2, arg3);
        m_kind = ExpKind::Value;
    }

    // logicalor: logicaland ['||' logicalor]
    void logicalOrExp() {
        logicalAndExp();
        if (tok() == TK_OR) {
            toValue();
            SQInteger first = m_fs->popTarget();
            SQInteger trg = m_fs->pushTarget();
            m_fs->emit(_OP_OR, trg, 0, first, 0);
            SQInteger jpos = m_fs->pos();
            if (trg != first) m_fs->emit(_OP_MOVE, trg, first);
            lex();
            logicalOrExp();
            toValue();
            SQInteger second = m_fs->popTarget();
            if (trg != second) m_fs->emit(_OP_MOVE, trg, second);
            m_fs->setArg1(jpos, m_fs->pos() - jpos);
            m_kind = ExpKind::Value;
        }
    }

    // logicaland: bitor {'&&' logicaland | 'in' bitor | 'instanceof' bitor}
    void logicalAndExp() {
        bitwiseOrExp();
        for (;;) {
            switch (tok()) {
            case TK_AND: {
                toValue();
                SQInteger first = m_fs->popTarget();
                SQInteger trg = m_fs->pushTarget();
                m_fs->emit(_OP_AND, trg, 0, first, 0);
                SQInteger jpos = m_fs->pos();
                if (trg != first) m_fs->emit(_OP_MOVE, trg, first);
                lex();
                logicalAndExp();
                toValue();
                SQInteger second = m_fs->popTarget();
                if (trg != second) m_fs->emit(_OP_MOVE, trg, second);
                m_fs->setArg1(jpos, m_fs->pos() - jpos);
                m_kind = ExpKind::Value;
                return;
            }
            case TK_IN:
                binOp(_OP_EXISTS, &Compiler::bitwiseOrExp);
                break;
            case TK_INSTANCEOF:
                binOp(_OP_INSTANCEOF, &Compiler::bitwiseOrExp);
                break;
            default:
                return;
            }
        }
    }
    void bitwiseOrExp() {
        bitwiseXorExp();
        while (tok() == '|') binOp(_OP_BITW, &Compiler::bitwiseXorExp, BW_OR);
    }
    void bitwiseXorExp() {
        bitwiseAndExp();
        while (tok() == '^') binOp(_OP_BITW, &Compiler::bitwiseAndExp, BW_XOR);
    }
    void bitwiseAndExp() {
        compExp();
        while (tok() == '&') binOp(_OP_BITW, &Compiler::compExp, BW_AND);
    }
    void compExp() {
        shiftExp();
        for (;;) {
            switch (tok()) {
            case TK_EQ:
                binOp(_OP_EQ, &Compiler::shiftExp);
                break;
            case '>':
                binOp(_OP_CMP, &Compiler::shiftExp, CMP_G);
                break;
            case '<':
                binOp(_OP_CMP, &Compiler::shiftExp, CMP_L);
                break;
            case TK_GE:
                binOp(_OP_CMP, &Compiler::shiftExp, CMP_GE);
                break;
            case TK_LE:
                binOp(_OP_CMP, &Compiler::shiftExp, CMP_LE);
                break;
            case TK_NE:
                binOp(_OP_NE, &Compiler::shiftExp);
                break;
            default:
                return;
            }
        }
    }
    void shiftExp() {
        plusExp();
        for (;;) {
            switch (tok()) {
            case TK_USHIFTR:
                binOp(_OP_BITW, &Compiler::plusExp, BW_USHIFTR);
                break;
            case TK_SHIFTL:
                binOp(_OP_BITW, &Compiler::plusExp, BW_SHIFTL);
                break;
            case TK_SHIFTR:
                binOp(_OP_BITW, &Compiler::plusExp, BW_SHIFTR);
                break;
            default:
                return;
            }
        }
    }
    void plusExp() {
        multExp();
        while (tok() == '+' || tok() == '-') binOp(_OP_ARITH, &Compiler::multExp, tok());
    }
    void multExp() {
        prefixedExprValue();
        while (tok() == '*' || tok() == '/' || tok() == '%')
            binOp(_OP_ARITH, &Compiler::prefixedExprValue, tok());
    }
    void prefixedExprValue() { prefixedExpr(false); }

    // prefixed: factor {'.' id | '[' expr ']' | '(' args ')' | '++' | '--'}
    void prefixedExpr(bool keepLValue) {
        factor();
        if (m_kind == ExpKind::Value && m_unaryDone) {
            m_unaryDone = false;
            return;
        }
        for (;;) {
            switch (tok()) {
            case '.': {
                toValue();
                lex();
                if (tok() == TK_PARENT) {
                    lex();
                    SQInteger src = m_fs->popTarget();
                    m_fs->emit(_OP_GETPARENT, m_fs->pushTarget(), src);
                    m_isParent = true;
                    m_kind = ExpKind::Value;
                    break;
                }
                m_fs->emit(_OP_LOAD, m_fs->pushTarget(), m_fs->literal(expect(TK_IDENTIFIER)));
                m_kind = ExpKind::Field;
                m_isParent = false;
                break;
            }
            case '[':
                if (m_lex.m_prevtoken == '\n')
                    error("cannot brake deref/or comma needed after [exp]=exp slot declaration");
                toValue();
                lex();
                {
                    ExpKind k = m_kind;
                    expression();
                    m_kind = k;
                }
                expect(']');
                m_kind = ExpKind::Field;
                m_isParent = false;
                break;
            case TK_MINUSMINUS:
            case TK_PLUSPLUS: {
                if (isEndOfStatement()) return;
                if (m_kind == ExpKind::Value) return; // not an operand for it: the statement ends before it
                SQInteger diff = tok() == TK_MINUSMINUS ? -1 : 1;
                lex();
                if (m_kind == ExpKind::Field) {
                    SQInteger key = m_fs->popTarget();
                    SQInteger obj = m_fs->popTarget();
                    m_fs->emit(_OP_PINC, m_fs->pushTarget(), obj, key, diff);
                } else {
                    SQInteger src = m_fs->popTarget();
                    m_fs->emit(_OP_PINCL, m_fs->pushTarget(), src, 0, diff);
                }
                m_kind = ExpKind::Value;
                return;
            }
            case '(': {
                if (m_kind == ExpKind::Field) {
                    SQInteger key = m_fs->popTarget();
                    SQInteger table = m_fs->popTarget();
                    SQInteger closure = m_fs->pushTarget();
                    SQInteger ttarget = m_fs->pushTarget();
                    m_fs->emit(_OP_PREPCALL, closure, key, table, ttarget);
                } else {
                    // a function in a local is called where it is; `this` starts the arguments
                    m_fs->emit(_OP_MOVE, m_fs->pushTarget(), 0);
                }
                m_kind = ExpKind::Value;
                m_isParent = false;
                lex();
                SQInteger nargs = 1; // this
                while (tok() != ')') {
                    expression();
                    moveIfCurrentTargetIsLocal();
                    nargs++;
                    if (tok() == ',') {
                        lex();
                        if (tok() == ')') error("expression expected, found ')'");
                    }
                }
                lex();
                for (SQInteger i = 0; i < nargs - 1; ++i) m_fs->popTarget();
                SQInteger stackbase = m_fs->popTarget();
                SQInteger closure = m_fs->popTarget();
                m_fs->emit(_OP_CALL, m_fs->pushTarget(), closure, stackbase, nargs);
                break;
            }
            default:
                if (m_kind == ExpKind::Field && !keepLValue && !isAssignToken(tok())) toValue();
                return;
            }
        }
    }

    // Set by factor() when it parsed a prefix operator with its operand: no postfix operators follow then.
    bool m_unaryDone = false;

    void unaryOp(SQInteger op) {
        lex();
        prefixedExpr(false);
        toValue();
        SQInteger src = m_fs->popTarget();
        m_fs->emit(op, m_fs->pushTarget(), src);
        m_kind = ExpKind::Value;
    }

    // factor: literal | id | '::' id | this | '(' commaexpr ')' | array | table | function | class | unary
    void factor() {
        NestingGuard guard(*this);
        m_kind = ExpKind::Value;
        m_isParent = false;
        switch (tok()) {
        case TK_STRING_LITERAL:
            m_fs->emit(_OP_LOAD, m_fs->pushTarget(),
                       m_fs->literal(str(m_lex.m_svalue.data(), (SQInteger)m_lex.m_svalue.size())));
            lex();
            break;
        case TK_VARGC:
            lex();
            m_fs->emit(_OP_VARGC, m_fs->pushTarget());
            break;
        case TK_VARGV: {
            lex();
            expect('[');
            expression();
            expect(']');
            SQInteger src = m_fs->popTarget();
            m_fs->emit(_OP_GETVARGV, m_fs->pushTarget(), src);
            break;
        }
        case TK_IDENTIFIER:
        case TK_CONSTRUCTOR:
        case TK_THIS: {
            SQObjectPtr id;
            if (tok() == TK_IDENTIFIER)
                id = str(m_lex.m_svalue.data(), (SQInteger)m_lex.m_svalue.size());
            else if (tok() == TK_THIS)
                id = str("this");
            else
                id = str("constructor");
            lex();
            SQInteger pos;
            SQObjectPtr constant;
            if ((pos = m_fs->findLocal(id)) != -1) {
                m_fs->pushTarget(pos);
                m_kind = ExpKind::Local;
            } else if ((pos = m_fs->findOuter(id)) != -1) {
                m_fs->emit(_OP_LOADFREEVAR, m_fs->pushTarget(), pos);
                m_kind = ExpKind::FreeVar;
            } else if (_table(m_ss->_consts)->get(id, constant)) {
                if (sq_type(constant) == OT_TABLE) {
                    expect('.');
                    SQObjectPtr key = expect(TK_IDENTIFIER);
                    SQObjectPtr v;
                    if (!_table(constant)->get(key, v))
                        error(SQStdString("invalid constant [") + _stringval(id) + "." + _stringval(key) +
                              "]");
                    constant = v;
                }
                loadConstant(constant);
            } else {
                m_fs->pushTarget(0);
                m_fs->emit(_OP_LOAD, m_fs->pushTarget(), m_fs->literal(id));
                m_kind = ExpKind::Field;
            }
            break;
        }
        case TK_PARENT: {
            lex();
            m_fs->emit(_OP_GETPARENT, m_fs->pushTarget(), 0);
            m_isParent = true;
            break;
        }
        case TK_DOUBLE_COLON:
            m_fs->emit(_OP_LOADROOTTABLE, m_fs->pushTarget());
            m_lex.m_token = '.'; // continue as root.name
            break;
        case TK_NULL:
            m_fs->emit(_OP_LOADNULLS, m_fs->pushTarget(), 1);
            lex();
            break;
        case TK_INTEGER:
            loadConstant(SQObjectPtr(m_lex.m_nvalue));
            m_kind = ExpKind::Value;
            lex();
            break;
        case TK_FLOAT: {
            SQFloat f = m_lex.m_fvalue;
            int32_t bits;
            memcpy(&bits, &f, 4);
            m_fs->emit(_OP_LOADFLOAT, m_fs->pushTarget(), bits);
            lex();
            break;
        }
        case TK_TRUE:
        case TK_FALSE:
            m_fs->emit(_OP_LOADBOOL, m_fs->pushTarget(), tok() == TK_TRUE ? 1 : 0);
            lex();
            break;
        case '[': {
            m_fs->emit(_OP_NEWARRAY, m_fs->pushTarget(), 0);
            SQInteger apos = m_fs->pos();
            SQInteger key = 0;
            lex();
            while (tok() != ']') {
                expression();
                if (tok() == ',') lex();
                SQInteger val = m_fs->popTarget();
                SQInteger array = m_fs->topTarget();
                m_fs->emit(_OP_APPENDARRAY, array, val, 0, 0);
                key++;
            }
            m_fs->setArg1(apos, key);
            lex();
            break;
        }
        case '{':
            m_fs->emit(_OP_NEWTABLE, m_fs->pushTarget(), 0);
            lex();
            parseTableOrClass(',', '}');
            break;
        case TK_FUNCTION:
            functionExp();
            break;
        case TK_CLASS:
            lex();
            classExp();
            break;
        case '-': {
            // no folding of a negative literal: NEG applies to the whole prefixed expression (-1.tostring())
            lex();
            prefixedExpr(false);
            toValue();
            {
                SQInteger src = m_fs->popTarget();
                m_fs->emit(_OP_NEG, m_fs->pushTarget(), src);
            }
            m_kind = ExpKind::Value;
            m_unaryDone = true;
            return;
        }
        case '!':
            unaryOp(_OP_NOT);
            m_unaryDone = true;
            return;
        case '~':
            unaryOp(_OP_BWNOT);
            m_unaryDone = true;
            return;
        case TK_TYPEOF:
            unaryOp(_OP_TYPEOF);
            m_unaryDone = true;
            return;
        case TK_RESUME:
            unaryOp(_OP_RESUME);
            m_unaryDone = true;
            return;
        case TK_CLONE:
            unaryOp(_OP_CLONE);
            m_unaryDone = true;
            return;
        case TK_MINUSMINUS:
        case TK_PLUSPLUS: {
            SQInteger diff = tok() == TK_MINUSMINUS ? -1 : 1;
            lex();
            prefixedExpr(true);
            if (m_kind == ExpKind::Field) {
                SQInteger key = m_fs->popTarget();
                SQInteger obj = m_fs->popTarget();
                m_fs->emit(_OP_INC, m_fs->pushTarget(), obj, key, diff);
            } else {
                // on any other expression it steps the slot holding the value (a parenthesised local's own)
                SQInteger src = m_fs->popTarget();
                m_fs->emit(_OP_INCL, m_fs->pushTarget(), src, 0, diff);
            }
            m_kind = ExpKind::Value;
            m_unaryDone = true;
            return;
        }
        case TK_DELETE: {
            lex();
            prefixedExpr(true);
            if (m_kind == ExpKind::Field) {
                SQInteger key = m_fs->popTarget();
                SQInteger obj = m_fs->popTarget();
                m_fs->emit(_OP_DELETE, m_fs->pushTarget(), obj, key);
            } else if (m_kind == ExpKind::Local) {
                error("cannot delete a local");
            } else {
                error("can't delete an expression");
            }
            m_kind = ExpKind::Value;
            m_unaryDone = true;
            return;
        }
        case TK_DELEGATE: {
            lex();
            commaExpr();
            expect(':');
            commaExpr();
            SQInteger table = m_fs->popTarget();
            SQInteger delegate = m_fs->popTarget();
            m_fs->emit(_OP_DELEGATE, m_fs->pushTarget(), table, delegate);
            m_kind = ExpKind::Value;
            break;
        }
        case '(':
            lex();
            commaExpr();
            expect(')');
            m_kind = ExpKind::Value;
            break;
        default:
            error("expression expected");
        }
    }

    // Integers load inline unless negative (a literal that wrapped), which come from the literal table.
    void loadConstant(const SQObjectPtr& c) {
        switch (sq_type(c)) {
        case OT_INTEGER:
            if (_integer(c) < 0)
                m_fs->emit(_OP_LOAD, m_fs->pushTarget(), m_fs->literal(c));
            else
                m_fs->emit(_OP_LOADINT, m_fs->pushTarget(), _integer(c));
            break;
        case OT_FLOAT: {
            int32_t bits;
            memcpy(&bits, &_float(c), 4);
            m_fs->emit(_OP_LOADFLOAT, m_fs->pushTarget(), bits);
            break;
        }
        default:
            m_fs->emit(_OP_LOAD, m_fs->pushTarget(), m_fs->literal(c));
            break;
        }
        m_kind = ExpKind::Const;
    }

    // table/class body: {[attrs] [static] (function id | constructor | '[' expr ']' '=' expr | id '=' expr)
    // [sep]}
    void parseTableOrClass(SQInteger separator, SQInteger terminator) {
        SQInteger tpos = m_fs->pos();
        SQInteger nkeys = 0;
        while (tok() != terminator) {
            bool hasattrs = false;
            bool isstatic = false;
            if (separator == ';') {
                if (tok() == TK_ATTR_OPEN) {
                    m_fs->emit(_OP_NEWTABLE, m_fs->pushTarget(), 0);
                    lex();
                    parseTableOrClass(',', TK_ATTR_CLOSE);
                    hasattrs = true;
                }
                if (tok() == TK_STATIC) {
                    isstatic = true;
                    lex();
                }
            }
            switch (tok()) {
            case TK_FUNCTION:
            case TK_CONSTRUCTOR: {
                SQInteger t = tok();
                lex();
                SQObjectPtr id = t == TK_FUNCTION ? expect(TK_IDENTIFIER) : str("constructor");
                expect('(');
                m_fs->emit(_OP_LOAD, m_fs->pushTarget(), m_fs->literal(id));
                createFunction(id);
                m_fs->emit(_OP_CLOSURE, m_fs->pushTarget(), (SQInteger)m_fs->functions.size() - 1, 0);
                break;
            }
            case '[':
                lex();
                commaExpr();
                expect(']');
                expect('=');
                expression();
                break;
            default:
                m_fs->emit(_OP_LOAD, m_fs->pushTarget(), m_fs->literal(expect(TK_IDENTIFIER)));
                expect('=');
                expression();
            }
            if (tok() == separator) lex();
            nkeys++;
            SQInteger val = m_fs->popTarget();
            SQInteger key = m_fs->popTarget();
            if (hasattrs) m_fs->popTarget();
            SQInteger table = m_fs->topTarget();
            SQInteger flags =
                (hasattrs ? NEW_SLOT_ATTRIBUTES_FLAG : 0) | (isstatic ? NEW_SLOT_STATIC_FLAG : 0);
            m_fs->emit(_OP_NEWSLOTA, flags, table, key, val);
        }
        if (separator == ',') m_fs->setArg1(tpos, nkeys);
        lex();
    }

    // class body: ['extends' expr] ['</' attrs '/>'] '{' members '}'
    void classExp() {
        SQInteger base = -1;
        SQInteger attrs = -1;
        if (tok() == TK_EXTENDS) {
            lex();
            expression();
            base = m_fs->topTarget();
        }
        if (tok() == TK_ATTR_OPEN) {
            lex();
            m_fs->emit(_OP_NEWTABLE, m_fs->pushTarget(), 0);
            parseTableOrClass(',', TK_ATTR_CLOSE);
            attrs = m_fs->topTarget();
        }
        expect('{');
        if (attrs != -1) m_fs->popTarget();
        if (base != -1) m_fs->popTarget();
        m_fs->emit(_OP_CLASS, m_fs->pushTarget(), base, attrs == -1 ? 0xFF : attrs);
        parseTableOrClass(';', '}');
        m_kind = ExpKind::Value;
    }

    // function expression: 'function' '(' params ')' [':' '(' freevars ')'] statement
    void functionExp() {
        lex();
        expect('(');
        createFunction(SQObjectPtr());
        m_fs->emit(_OP_CLOSURE, m_fs->pushTarget(), (SQInteger)m_fs->functions.size() - 1, 0);
        m_kind = ExpKind::Value;
    }

    void createFunction(const SQObjectPtr& name) {
        FuncState fs(m_ss);
        fs.parent = m_fs;
        fs.name = name;
        fs.sourcename = m_sourcename;
        fs.parameters.push_back(str("this"));
        fs.pushLocal(str("this"));
        SQInteger defparams = 0;
        while (tok() != ')') {
            if (tok() == TK_VARPARAMS) {
                if (defparams > 0)
                    error("function with default parameters cannot have variable number of parameters");
                fs.varparams = true;
                lex();
                if (tok() != ')') error("expected ')'");
                break;
            }
            SQObjectPtr pname = expect(TK_IDENTIFIER);
            fs.parameters.push_back(pname);
            fs.pushLocal(pname);
            if (tok() == '=') {
                lex();
                expression();
                fs.defaultparams.push_back(m_fs->topTarget());
                defparams++;
            } else if (defparams > 0) {
                error("expected '='");
            }
            if (tok() == ',')
                lex();
            else if (tok() != ')')
                error("expected ')' or ','");
        }
        expect(')');
        if (tok() == ':') {
            lex();
            expect('(');
            while (tok() != ')') {
                SQObjectPtr oname = expect(TK_IDENTIFIER);
                fs.addOuter(oname);
                if (tok() == ',')
                    lex();
                else if (tok() != ')')
                    error("expected ')' or ','");
            }
            lex();
        }
        FuncState* saved = m_fs;
        ExpKind savedKind = m_kind;
        m_fs = &fs;
        statement();
        fs.addLineInfo(m_lex.m_prevtoken == '\n' ? m_lex.m_lasttokenline : m_lex.m_currentline, m_lineinfo,
                       true);
        fs.emit(_OP_RETURN, 0xFF);
        fs.popLocals(0); // `this` and the parameters live through the final return
        m_fs = saved;
        m_kind = savedKind;
        SQFunctionProto* proto = fs.build();
        m_fs->functions.push_back(SQObjectPtr(proto));
        for (SQInteger i = 0; i < defparams; ++i) m_fs->popTarget();
    }
};

} // namespace

bool sqCompile(SQVM* v, SQLEXREADFUNC rg, SQUserPointer up, const SQChar* sourcename, SQObjectPtr& out,
               bool raiseerror, bool lineinfo) {
    Compiler c(v, rg, up, sourcename, lineinfo);
    try {
        out = c.compile();
        return true;
    } catch (SQCompileError& e) {
        if (raiseerror && _ss(v)->_compilererrorhandler)
            _ss(v)->_compilererrorhandler(v, e.msg.c_str(), sourcename, c.lexer().m_currentline,
                                          c.lexer().m_currentcolumn);
        v->_lasterror = SQObjectPtr(SQString::create(_ss(v), e.msg.c_str(), (SQInteger)e.msg.size()));
        return false;
    }
}
