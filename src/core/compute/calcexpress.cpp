#include "core/compute/calcexpress.h"

#include "core/compute/fpumath.h"

#include <algorithm>
#include <cfenv>
#include <charconv>
#include <utility>

namespace ombrix {

namespace {

using fpu::FailFlags;

struct FunctionName {
    const char* name;
    std::int32_t kind;
};

constexpr FunctionName Functions[] = {
    {"cos", tkCos},     {"sin", tkSin},      {"tg", tkTg},         {"ctg", tkCtg},
    {"abs", tkAbs},     {"sgn", tkSgn},      {"sign", tkSgn},      {"sqrt", tkSqrt},
    {"ln", tkLn},       {"exp", tkExp},      {"arcsin", tkArcsin}, {"arccos", tkArccos},
    {"arctg", tkArctg}, {"arctan", tkArctg}, {"arcctg", tkArcctg}, {"sh", tkSh},
    {"sinh", tkSh},     {"ch", tkCh},        {"cosh", tkCh},       {"th", tkTh},
    {"tanh", tkTh},     {"cth", tkCth},      {"coth", tkCth},      {"heaviside", tkHeaviside},
    {"h", tkHeaviside}, {"floor", tkFloor},  {"ceil", tkCeil},     {"trunc", tkTrunc},
    {"log10", tkLog10}, {"log2", tkLog2},
};

bool isFunctionKind(std::int32_t kind) {
    return (kind >= tkCos && kind <= tkTrunc) || kind == tkLog10 || kind == tkLog2;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// ASCII only: the formula language has no other letters, and the C library's tolower would
// depend on the process locale.
std::string lowerCase(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

bool sameName(const std::string& a, const std::string& b) {
    return lowerCase(a) == lowerCase(b);
}

// Evaluation steps. The value on top of the evaluation stack is kept apart (the accumulator);
// "S" steps take their left operand from the stack, "C" and "V" steps take their right operand
// from the step's constant or variable, "R" steps have that operand on the left. Sqr and Cube
// are the whole powers 2 and 3. The one-operand steps from Neg to Trunc follow the TokenKind
// order from tkNegate to tkTrunc.
enum class Op : std::int32_t {
    End,
    LoadC,
    LoadV,
    AddS,
    SubS,
    MulS,
    DivS,
    AddC,
    SubC,
    MulC,
    DivC,
    RSubC,
    RDivC,
    AddV,
    SubV,
    MulV,
    DivV,
    RSubV,
    RDivV,
    PowS,
    PowC,
    PowI,
    PowV,
    Sqr,
    Cube,
    Neg,
    Cos,
    Sin,
    Tg,
    Ctg,
    Abs,
    Sgn,
    Sqrt,
    Ln,
    Exp,
    Arcsin,
    Arccos,
    Arctg,
    Arcctg,
    Sh,
    Ch,
    Th,
    Cth,
    Heaviside,
    Floor,
    Ceil,
    Trunc,
    Log10,
    Log2,
};
static_assert(static_cast<int>(Op::Trunc) - static_cast<int>(Op::Neg) == tkTrunc - tkNegate);

Op unaryOp(std::int32_t kind) {
    if (kind == tkLog10)
        return Op::Log10;
    if (kind == tkLog2)
        return Op::Log2;
    return static_cast<Op>(static_cast<std::int32_t>(Op::Neg) + (kind - tkNegate));
}

// The functions behind the one-operand steps; the evaluation loop inlines the same calls.
long double applyUnary(Op op, long double x) {
    using fpu::Native;
    using fpu::Ops;
    switch (op) {
    case Op::Neg:
        return -x;
    case Op::Cos:
        return Native::cos(x);
    case Op::Sin:
        return Native::sin(x);
    case Op::Tg:
        return Native::tan(x);
    case Op::Ctg:
        return Ops::cot(x);
    case Op::Abs:
        return std::fabs(x);
    case Op::Sgn:
        return Ops::sgn(x);
    case Op::Sqrt:
        return Native::sqrt(x);
    case Op::Ln:
        return Native::ln(x);
    case Op::Exp:
        return Native::exp(x);
    case Op::Arcsin:
        return Ops::arcsin(x);
    case Op::Arccos:
        return Ops::arccos(x);
    case Op::Arctg:
        return Ops::arctan(x);
    case Op::Arcctg:
        return Ops::arccot(x);
    case Op::Sh:
        return Ops::sinh(x);
    case Op::Ch:
        return Ops::cosh(x);
    case Op::Th:
        return Ops::tanh(x);
    case Op::Cth:
        return Ops::coth(x);
    case Op::Heaviside:
        return Ops::heaviside(x);
    case Op::Floor:
        return Ops::floor(x);
    case Op::Ceil:
        return Ops::ceil(x);
    case Op::Trunc:
        return Ops::trunc(x);
    case Op::Log10:
        return Native::log10(x);
    case Op::Log2:
        return Native::log2(x);
    default:
        return 0.0L;
    }
}

long double applyBinary(std::int32_t kind, long double a, long double b) {
    switch (kind) {
    case tkPlus:
        return a + b;
    case tkMinus:
        return a - b;
    case tkMul:
        return a * b;
    case tkDiv:
        return a / b;
    case tkPower:
        return fpu::Ops::power(a, b);
    default:
        return 0.0L;
    }
}

// Runs `f` and returns its value in `out` unless it raised one of FailFlags; the caller's
// flags are left as they were.
template <class F> bool evaluatesCleanly(F f, long double& out) {
    std::fexcept_t saved;
    std::fegetexceptflag(&saved, FailFlags);
    std::feclearexcept(FailFlags);
    volatile long double r = f();
    bool clean = std::fetestexcept(FailFlags) == 0;
    std::fesetexceptflag(&saved, FailFlags);
    if (clean)
        out = r;
    return clean;
}

const char* failureMessage(int flags) {
    if (flags & FE_DIVBYZERO)
        return "Division by zero.";
    if (flags & FE_INVALID)
        return "Invalid floating-point operation.";
    return "Floating-point overflow.";
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Tree

TTree::~TTree() {
    // Rotates left operands up until a node has none, then frees it and goes on with its right
    // operand: every node is visited a bounded number of times and no recursion happens.
    for (PTree* start : {&Left, &Right}) {
        PTree node = std::move(*start);
        while (node) {
            if (node->Left) {
                PTree left = std::move(node->Left);
                node->Left = std::move(left->Right);
                left->Right = std::move(node);
                node = std::move(left);
            } else {
                PTree next = std::move(node->Right);
                node.reset();
                node = std::move(next);
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Evaluator

struct TCalcExpress::Instr {
    Op op;
    std::int32_t index; // variable number or whole exponent
    long double value;  // constant
};

TCalcExpress::TCalcExpress(char decimalSeparator) : separator_(decimalSeparator) {
    init("0");
}

TCalcExpress::~TCalcExpress() {
    root_ = deltree(std::move(root_));
}

PTree TCalcExpress::deltree(PTree t) {
    t.reset();
    return nullptr;
}

void TCalcExpress::Error(const std::string& message) {
    errorFlag_ = true;
    throw CalcError(message);
}

void TCalcExpress::SetVariables(const std::vector<std::string>& list) {
    variables_ = list;
    init(formula_);
}

void TCalcExpress::init(const std::string& s) {
    root_ = deltree(std::move(root_));
    program_.clear();
    errorFlag_ = false;
    formula_ = lowerCase(s);
    prevPrevKind_ = 0;
    prevKind_ = 0;
    position_ = 1;
    depth_ = 0;
    nesting_ = 0;
    tokenKind_ = tkEnd;
    tokenText_.clear();

    root_ = gettree(formula_);
    // The top expression also stops at a ")" it has no "(" for; a "(" never closed leaves the
    // depth above 0. Either way the formula is refused, never kept half-parsed.
    if (depth_ != 0 || errorFlag_) {
        root_ = deltree(std::move(root_));
        Error("");
    }
    compile();
}

// ---------------------------------------------------------------------------------------------
// Lexer

void TCalcExpress::NextToken(const std::string& s) {
    tokenText_.clear();
    auto i = static_cast<std::size_t>(position_ - 1);
    while (i < s.size() && s[i] == ' ')
        ++i;
    position_ = static_cast<std::int32_t>(i + 1);
    if (i >= s.size()) {
        tokenKind_ = tkEnd;
        return;
    }

    std::int32_t kind = tkEnd;
    char c = s[i];
    switch (c) {
    case '(':
        kind = tkOpen;
        break;
    case ')':
        kind = tkClose;
        break;
    case '+':
        kind = tkPlus;
        break;
    case '*':
        kind = tkMul;
        break;
    case '/':
        kind = tkDiv;
        break;
    case '^':
        kind = tkPower;
        break;
    case '-':
        // A minus right before a digit at the start of an expression is the literal's sign.
        kind =
            (i + 1 < s.size() && isDigit(s[i + 1]) && (prevKind_ == tkEnd || prevKind_ == tkOpen))
                ? tkNumber
                : tkMinus;
        break;
    default:
        if (isDigit(c))
            kind = tkNumber;
        else if (isLetter(c))
            kind = tkVariable;
        else
            Error(""); // no token starts with this character
    }

    if (kind == tkNumber) {
        ReadNumber(s, separator_);
    } else if (kind == tkVariable) {
        std::size_t end = i;
        while (end < s.size() && (isLetter(s[end]) || isDigit(s[end])))
            ++end;
        std::string name = s.substr(i, end - i);
        position_ = static_cast<std::int32_t>(end + 1);
        auto fn = std::find_if(std::begin(Functions), std::end(Functions),
                               [&](const FunctionName& f) { return name == f.name; });
        if (fn != std::end(Functions)) {
            kind = fn->kind;
            tokenText_ = name;
        } else {
            auto v = std::find_if(variables_.begin(), variables_.end(),
                                  [&](const std::string& known) { return sameName(known, name); });
            if (v == variables_.end())
                Error(""); // a name that is neither a function nor a variable
            tokenText_ = std::to_string(v - variables_.begin());
        }
    } else {
        position_ = static_cast<std::int32_t>(i + 2);
    }

    tokenKind_ = kind;
    prevPrevKind_ = prevKind_;
    prevKind_ = kind;
}

void TCalcExpress::ReadNumber(const std::string& s, char sep) {
    auto start = static_cast<std::size_t>(position_ - 1);
    std::size_t i = start;
    auto digitAt = [&](std::size_t k) { return k < s.size() && isDigit(s[k]); };
    if (i < s.size() && s[i] == '-')
        ++i;
    while (digitAt(i))
        ++i;
    if (i < s.size() && s[i] == sep) {
        ++i;
        if (!digitAt(i))
            Error("Wrong number.");
        while (digitAt(i))
            ++i;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (!digitAt(i))
            Error("Wrong number.");
        while (digitAt(i))
            ++i;
    }
    tokenText_ = s.substr(start, i - start);
    position_ = static_cast<std::int32_t>(i + 1);
}

// ---------------------------------------------------------------------------------------------
// Parser

namespace {

// Counts one level of sub-expression nesting for as long as it lives.
struct NestingLevel {
    int& level;
    explicit NestingLevel(int& l) : level(l) { ++level; }
    ~NestingLevel() { --level; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;
};

PTree makeNode(std::int32_t kind, std::string text, PTree left = nullptr, PTree right = nullptr) {
    auto node = std::make_unique<TTree>(kind, std::move(text));
    node->Left = std::move(left);
    node->Right = std::move(right);
    return node;
}

} // namespace

PTree TCalcExpress::gettree(const std::string& s) {
    NestingLevel level(nesting_);
    if (nesting_ > MaxNesting)
        Error("");
    // Partial trees are owned by the locals here, so an exception frees them on its way out.
    PTree tree = ParseTerm(s);
    while (tokenKind_ != tkEnd && tokenKind_ != tkClose) {
        std::int32_t op = tokenKind_;
        if (op != tkPlus && op != tkMinus)
            Error("");
        PTree right = ParseTerm(s);
        tree = makeNode(op, "", std::move(tree), std::move(right));
    }
    if (tokenKind_ == tkClose)
        --depth_;
    return tree;
}

PTree TCalcExpress::ParseTerm(const std::string& s) {
    NextToken(s);
    bool negate = false;
    // A sign only right after the start of the text or a "(": "-+" is a minus, "+-" an error.
    if (prevPrevKind_ == tkEnd || prevPrevKind_ == tkOpen) {
        if (tokenKind_ == tkMinus) {
            negate = true;
            NextToken(s);
        }
        if (tokenKind_ == tkPlus)
            NextToken(s);
    }
    PTree tree = ParseFactor(s);
    while (tokenKind_ == tkMul || tokenKind_ == tkDiv) {
        std::int32_t op = tokenKind_;
        NextToken(s);
        PTree right = ParseFactor(s);
        tree = makeNode(op, "", std::move(tree), std::move(right));
    }
    if (negate)
        tree = makeNode(tkNegate, "", std::move(tree));
    return tree;
}

PTree TCalcExpress::ParseFactor(const std::string& s) {
    PTree tree;
    if (tokenKind_ == tkOpen) {
        ++depth_;
        tree = gettree(s);
    } else if (tokenKind_ == tkNumber || tokenKind_ == tkVariable) {
        tree = makeNode(tokenKind_, tokenText_);
    } else if (isFunctionKind(tokenKind_)) {
        tree = makeNode(tokenKind_, tokenText_);
        NextToken(s);
        if (tokenKind_ != tkOpen)
            Error("");
        ++depth_;
        tree->Left = gettree(s);
    } else {
        Error("");
    }
    NextToken(s);
    // The exponent is one number or variable, optionally in one pair of parentheses that do
    // not count as nesting; a chain of powers groups to the left.
    while (tokenKind_ == tkPower) {
        NextToken(s);
        bool parenthesised = tokenKind_ == tkOpen;
        if (parenthesised)
            NextToken(s);
        if (tokenKind_ != tkNumber && tokenKind_ != tkVariable)
            Error("");
        tree = makeNode(tkPower, "", std::move(tree), makeNode(tokenKind_, tokenText_));
        if (parenthesised) {
            NextToken(s);
            if (tokenKind_ != tkClose)
                Error("");
        }
        NextToken(s);
    }
    return tree;
}

// ---------------------------------------------------------------------------------------------
// Compilation into the evaluation program

namespace {

// What the program computes for one subtree: either code already emitted (its value ends in
// the accumulator) or a constant or variable not loaded yet, so that the parent step can take
// it as its operand.
struct Operand {
    enum Kind { Code, Const, Var } kind = Code;
    long double value = 0;
    std::int32_t index = 0;
};

// Converts a literal written with `sep`; false when it is out of the extended range. A literal
// too small for the range is 0, as an underflowing result is.
bool convertLiteral(const std::string& text, char sep, long double& out) {
    std::string t = text;
    std::replace(t.begin(), t.end(), sep, '.');
    long double v = 0;
    // The conversion may raise overflow or underflow; that is not the caller's business.
    std::fexcept_t saved;
    std::fegetexceptflag(&saved, FailFlags);
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    std::fesetexceptflag(&saved, FailFlags);
    if (ec == std::errc::result_out_of_range) {
        auto e = t.find_first_of("eE");
        if (e != std::string::npos && t[e + 1] == '-') {
            out = t[0] == '-' ? -0.0L : 0.0L;
            return true;
        }
        return false;
    }
    if (ec != std::errc() || end != t.data() + t.size())
        return false;
    out = v;
    return true;
}

} // namespace

void TCalcExpress::compile() {
    program_.clear();
    highestVariable_ = -1;
    badLiteral_ = false;
    if (!root_)
        return;

    // Nodes in evaluation order (left operand, right operand, node), without recursion.
    std::vector<const TTree*> order;
    {
        std::vector<std::pair<const TTree*, bool>> pending{{root_.get(), false}};
        while (!pending.empty()) {
            auto [node, expanded] = pending.back();
            pending.pop_back();
            if (expanded) {
                order.push_back(node);
                continue;
            }
            pending.emplace_back(node, true);
            if (node->Right)
                pending.emplace_back(node->Right.get(), false);
            if (node->Left)
                pending.emplace_back(node->Left.get(), false);
        }
    }

    int depth = 0, maxDepth = 0;
    auto emit = [&](Op op, std::int32_t index = 0, long double value = 0) {
        program_.push_back(Instr{op, index, value});
        if (op == Op::LoadC || op == Op::LoadV)
            maxDepth = std::max(maxDepth, ++depth);
        else if (op == Op::AddS || op == Op::SubS || op == Op::MulS || op == Op::DivS ||
                 op == Op::PowS)
            --depth;
    };
    auto load = [&](const Operand& a) {
        if (a.kind == Operand::Const)
            emit(Op::LoadC, 0, a.value);
        else if (a.kind == Operand::Var)
            emit(Op::LoadV, a.index);
    };
    auto code = [] { return Operand{}; };
    auto constant = [](long double v) { return Operand{Operand::Const, v, 0}; };

    auto binary = [&](std::int32_t kind, const Operand& a, const Operand& b) -> Operand {
        long double folded;
        if (a.kind == Operand::Const && b.kind == Operand::Const &&
            evaluatesCleanly([&] { return applyBinary(kind, a.value, b.value); }, folded))
            return constant(folded);
        static constexpr Op withC[] = {Op::AddC, Op::SubC, Op::MulC, Op::DivC};
        static constexpr Op withV[] = {Op::AddV, Op::SubV, Op::MulV, Op::DivV};
        static constexpr Op reversedC[] = {Op::AddC, Op::RSubC, Op::MulC, Op::RDivC};
        static constexpr Op reversedV[] = {Op::AddV, Op::RSubV, Op::MulV, Op::RDivV};
        static constexpr Op onStack[] = {Op::AddS, Op::SubS, Op::MulS, Op::DivS};
        if (kind == tkPower) {
            load(a);
            if (b.kind == Operand::Const) {
                long double y = b.value;
                auto n = static_cast<std::int32_t>(std::clamp(y, -2147483647.0L, 2147483647.0L));
                if (static_cast<long double>(n) == y)
                    emit(n == 2 ? Op::Sqr : (n == 3 ? Op::Cube : Op::PowI), n);
                else
                    emit(Op::PowC, 0, y);
            } else if (b.kind == Operand::Var) {
                emit(Op::PowV, b.index);
            } else {
                emit(Op::PowS);
            }
            return code();
        }
        int k = kind - tkPlus;
        if (b.kind != Operand::Code) {
            load(a);
            emit(b.kind == Operand::Const ? withC[k] : withV[k], b.index, b.value);
        } else if (a.kind != Operand::Code) {
            // Addition and multiplication are exactly commutative, so the loaded operand may
            // stay on the right.
            emit(a.kind == Operand::Const ? reversedC[k] : reversedV[k], a.index, a.value);
        } else {
            emit(onStack[k]);
        }
        return code();
    };

    std::vector<Operand> values;
    auto pop = [&] {
        Operand a = values.back();
        values.pop_back();
        return a;
    };
    for (const TTree* node : order) {
        switch (node->Kind) {
        case tkNumber: {
            long double v = 0;
            if (!convertLiteral(node->Text, separator_, v))
                badLiteral_ = true;
            values.push_back(constant(v));
            break;
        }
        case tkVariable: {
            std::int32_t index = std::stoi(node->Text);
            highestVariable_ = std::max(highestVariable_, index);
            values.push_back(Operand{Operand::Var, 0, index});
            break;
        }
        case tkPlus:
        case tkMinus:
        case tkMul:
        case tkDiv:
        case tkPower: {
            Operand b = pop();
            Operand a = pop();
            values.push_back(binary(node->Kind, a, b));
            break;
        }
        default:
            if (node->Kind == tkNegate || isFunctionKind(node->Kind)) {
                Operand a = pop();
                Op op = unaryOp(node->Kind);
                long double folded;
                if (a.kind == Operand::Const &&
                    evaluatesCleanly([&] { return applyUnary(op, a.value); }, folded)) {
                    values.push_back(constant(folded));
                } else {
                    load(a);
                    emit(op);
                    values.push_back(code());
                }
            } else {
                values.push_back(constant(0)); // kinds 0..2 never occur in a tree
            }
        }
    }
    load(values.back());
    emit(Op::End);
    stack_.assign(static_cast<std::size_t>(maxDepth) + 2, 0.0L);
}

// ---------------------------------------------------------------------------------------------
// Evaluation

long double TCalcExpress::calc(const long double* values, int high) {
    if (!root_ || program_.empty())
        throw CalcError("");
    if (highestVariable_ > high)
        throw CalcError("No value for a variable of the formula.");
    if (badLiteral_)
        throw CalcError("Wrong number.");
    using fpu::Native;
    long double result = execute(values);
    int raised = Native::failuresAfter(result);
    if (raised != 0) {
        // The flags are sticky and may have been left set before this call: evaluate again
        // from clear flags (the result is the same) to know whether the formula failed. Reading
        // the flags once per call instead of twice is a good part of a short formula's time.
        Native::clearFailures();
        result = execute(values);
        raised = Native::failuresAfter(result);
        if (raised != 0) {
            Native::clearFailures();
            throw CalcError(failureMessage(raised));
        }
    }
    return result;
}

// One switch in a loop: GCC keeps the accumulator in an x87 register across it, which it does
// not across computed jumps.
long double TCalcExpress::execute(const long double* v) {
    using fpu::Native;
    using fpu::Ops;
    const Instr* ip = program_.data();
    long double* sp = stack_.data();
    long double acc = 0;
    for (;; ++ip) {
        switch (ip->op) {
        case Op::End:
            return acc;
        case Op::LoadC:
            *++sp = acc;
            acc = ip->value;
            break;
        case Op::LoadV:
            *++sp = acc;
            acc = v[ip->index];
            break;
        case Op::AddS:
            acc = *sp-- + acc;
            break;
        case Op::SubS:
            acc = *sp-- - acc;
            break;
        case Op::MulS:
            acc = *sp-- * acc;
            break;
        case Op::DivS:
            acc = *sp-- / acc;
            break;
        case Op::AddC:
            acc = acc + ip->value;
            break;
        case Op::SubC:
            acc = acc - ip->value;
            break;
        case Op::MulC:
            acc = acc * ip->value;
            break;
        case Op::DivC:
            acc = acc / ip->value;
            break;
        case Op::RSubC:
            acc = ip->value - acc;
            break;
        case Op::RDivC:
            acc = ip->value / acc;
            break;
        case Op::AddV:
            acc = acc + v[ip->index];
            break;
        case Op::SubV:
            acc = acc - v[ip->index];
            break;
        case Op::MulV:
            acc = acc * v[ip->index];
            break;
        case Op::DivV:
            acc = acc / v[ip->index];
            break;
        case Op::RSubV:
            acc = v[ip->index] - acc;
            break;
        case Op::RDivV:
            acc = v[ip->index] / acc;
            break;
        case Op::PowS:
            acc = Ops::power(*sp--, acc);
            break;
        case Op::PowC:
            acc = Ops::power(acc, ip->value);
            break;
        case Op::PowI:
            acc = Ops::powerInt(acc, ip->index);
            break;
        case Op::PowV:
            acc = Ops::power(acc, v[ip->index]);
            break;
        case Op::Sqr:
            // What repeated squaring gives for 2 and 3: 1*(x*x) and (1*x)*(x*x); 0 for x = 0.
            acc = acc * acc;
            break;
        case Op::Cube:
            acc = acc == 0 ? 0.0L : acc * (acc * acc);
            break;
        case Op::Neg:
            acc = -acc;
            break;
        case Op::Cos:
            acc = Native::cos(acc);
            break;
        case Op::Sin:
            acc = Native::sin(acc);
            break;
        case Op::Abs:
            acc = std::fabs(acc);
            break;
        case Op::Sqrt:
            acc = Native::sqrt(acc);
            break;
        case Op::Ln:
            acc = Native::ln(acc);
            break;
        case Op::Exp:
            acc = Native::exp(acc);
            break;
        case Op::Heaviside:
            acc = Ops::heaviside(acc);
            break;
        case Op::Tg:
        case Op::Ctg:
        case Op::Sgn:
        case Op::Arcsin:
        case Op::Arccos:
        case Op::Arctg:
        case Op::Arcctg:
        case Op::Sh:
        case Op::Ch:
        case Op::Th:
        case Op::Cth:
        case Op::Floor:
        case Op::Ceil:
        case Op::Trunc:
        case Op::Log10:
        case Op::Log2:
            acc = applyUnary(ip->op, acc);
            break;
        }
    }
}

} // namespace ombrix
