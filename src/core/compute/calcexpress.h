// The formula evaluator: a formula text is parsed once into a tree of TTree nodes and then
// evaluated as often as needed, in extended precision, with different values for its variables.
//
// Language: numbers (the locale's decimal separator, optional exponent), variable names, + - * /,
// a restricted power operator "^", parentheses, a sign only at the start of an expression or
// sub-expression, and a fixed table of one-argument functions (TokenKind). Names are not
// case-sensitive. There is no implicit multiplication, no constant and no two-argument function.
//
// Use: SetVariables({"X"}), then init(formula), then calc(values, high) as often as needed.
// One instance belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace ombrix {

// The one exception type of the evaluator. Syntax errors carry an empty message, malformed
// number literals "Wrong number.", failed evaluations the name of the floating-point failure.
class CalcError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Token kinds of the lexer; the same codes are the node kinds of the tree.
enum TokenKind : std::int32_t {
    tkEnd = 0,
    tkOpen = 1,
    tkClose = 2,
    tkPlus = 3,
    tkMinus = 4,
    tkMul = 5,
    tkDiv = 6,
    tkNumber = 7,
    tkVariable = 8,
    tkNegate = 9, // node only
    tkCos = 10,
    tkSin = 11,
    tkTg = 12,
    tkCtg = 13,
    tkAbs = 14,
    tkSgn = 15,
    tkSqrt = 16,
    tkLn = 17,
    tkExp = 18,
    tkArcsin = 19,
    tkArccos = 20,
    tkArctg = 21,
    tkArcctg = 22,
    tkSh = 23,
    tkCh = 24,
    tkTh = 25,
    tkCth = 26,
    tkHeaviside = 27,
    tkFloor = 28,
    tkCeil = 29,
    tkTrunc = 30,
    tkPower = 31,
    tkLog10 = 32,
    tkLog2 = 33,
};

struct TTree;
using PTree = std::unique_ptr<TTree>;

// One node of a parsed formula. Each node owns its operands.
struct TTree {
    std::int32_t Kind = tkEnd; // a TokenKind
    // Number: the literal as written (with its sign when the minus was joined to it);
    // variable: the decimal index in the variable list; function: its lower-case name.
    std::string Text;
    PTree Left;  // first operand, function argument, negated operand or power base
    PTree Right; // second operand or power exponent; none for one-operand nodes

    TTree() = default;
    TTree(std::int32_t kind, std::string text) : Kind(kind), Text(std::move(text)) {}
    TTree(const TTree&) = delete;
    TTree& operator=(const TTree&) = delete;
    // Frees the subtrees without recursion, so that long operator chains cannot exhaust the stack.
    ~TTree();
};

class TCalcExpress {
  public:
    // Deepest nesting of parentheses and function arguments a formula may have.
    static constexpr int MaxNesting = 256;

    // `decimalSeparator`: the locale's decimal separator used in number literals.
    // Starts with the formula "0" and an empty variable list.
    explicit TCalcExpress(char decimalSeparator = '.');
    ~TCalcExpress();
    TCalcExpress(const TCalcExpress&) = delete;
    TCalcExpress& operator=(const TCalcExpress&) = delete;

    // Parses `s` and replaces the tree. Throws CalcError on a syntax error (empty message), on
    // a malformed literal ("Wrong number."), on unbalanced parentheses, on a name that is neither
    // a function nor a variable, on a character that forms no token and on nesting deeper than
    // MaxNesting. After a failure the formula text is the new one and no tree is held.
    void init(const std::string& s);

    // Parses one expression of `s` from the current Position up to the end of the text or to
    // the ")" that closes it, and returns its tree. Used by init and for every sub-expression.
    PTree gettree(const std::string& s);

    // Evaluates the tree with `values`[i] as the value of variable i (`high` + 1 values).
    // Throws CalcError when there is no tree, when the formula uses a variable beyond `high`,
    // when a literal is beyond the extended range ("Wrong number.") and on an invalid operation,
    // a division by zero or an overflow; underflow gives 0 silently. Those floating-point flags
    // are read, never trapped, and calc leaves none of them set by its own evaluation; flags that
    // earlier code left set do not fail a formula (they may be cleared).
    long double calc(const long double* values, int high);
    long double calc(std::span<const long double> values) {
        return calc(values.data(), static_cast<int>(values.size()) - 1);
    }

    // Frees the tree `t` and returns none, to be stored back where `t` came from.
    static PTree deltree(PTree t);

    // Replaces the variable names (an index in the list is a variable number) and parses the
    // stored formula again, since variable numbers are resolved while parsing; throws as init.
    void SetVariables(const std::vector<std::string>& list);

    // Sets ErrorFlag and throws CalcError with `message`.
    [[noreturn]] void Error(const std::string& message);

    // The formula last given to init, lower-cased; setting it calls init.
    const std::string& Formula() const { return formula_; }
    void SetFormula(const std::string& s) { init(s); }

    // The variable names. The list may also be edited directly before init.
    const std::vector<std::string>& Variables() const { return variables_; }
    std::vector<std::string>& Variables() { return variables_; }

    char DecimalSeparator() const { return separator_; }
    void SetDecimalSeparator(char sep) { separator_ = sep; }

    // The tree of the last successful init, or none.
    const TTree* Root() const { return root_.get(); }

    // Parse state, as left by the last init.
    bool ErrorFlag() const { return errorFlag_; }
    std::int32_t Depth() const { return depth_; }
    std::int32_t PrevPrevKind() const { return prevPrevKind_; }
    std::int32_t PrevKind() const { return prevKind_; }
    std::int32_t Position() const { return position_; } // 1-based

    // Lexer: reads the token of `s` at Position into CurrentKind/CurrentText and moves past it.
    void NextToken(const std::string& s);
    // Reads the number literal of `s` that starts at Position, written with `sep`.
    void ReadNumber(const std::string& s, char sep);
    std::int32_t CurrentKind() const { return tokenKind_; }
    const std::string& CurrentText() const { return tokenText_; }

  private:
    struct Instr; // one step of the evaluation program built from the tree

    PTree ParseTerm(const std::string& s);
    PTree ParseFactor(const std::string& s);
    PTree ParseExponent(const std::string& s);
    void compile();
    long double execute(const long double* values);

    bool errorFlag_ = false;
    std::int32_t depth_ = 0;
    std::int32_t prevPrevKind_ = 0;
    std::int32_t prevKind_ = 0;
    std::int32_t position_ = 1;
    std::string formula_;
    PTree root_;
    std::vector<std::string> variables_;

    char separator_;
    std::int32_t tokenKind_ = tkEnd;
    std::string tokenText_;
    int nesting_ = 0;

    // Postfix program of root_ with constants folded and literals converted.
    std::vector<Instr> program_;
    std::vector<long double> stack_;
    int highestVariable_ = -1;
    bool badLiteral_ = false; // a literal beyond the extended range: every evaluation fails
};

} // namespace ombrix
