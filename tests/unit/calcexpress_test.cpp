#include "core/compute/calcexpress.h"
#include "core/compute/fpumath.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace {

using ombrix::CalcError;
using ombrix::TCalcExpress;
using ombrix::TTree;

constexpr long double Pi = 3.141592653589793238462643383279502884L;

// Relative tolerance for results of a few extended-precision operations.
constexpr long double Tolerance = 1e-17L;

// Parses `formula` with the single variable X and evaluates it at `x`.
long double evalAt(const std::string& formula, long double x = 0, char sep = '.') {
    TCalcExpress calc(sep);
    calc.SetVariables({"X"});
    calc.init(formula);
    return calc.calc(&x, 0);
}

// The message of the CalcError that `f` throws, or "(none)" when it throws nothing.
template <class F> std::string errorOf(F f) {
    try {
        f();
    } catch (const CalcError& e) {
        return e.what();
    }
    return "(none)";
}

std::string parseError(const std::string& formula, char sep = '.',
                       std::vector<std::string> variables = {"X"}) {
    TCalcExpress calc(sep);
    calc.SetVariables(variables);
    return errorOf([&] { calc.init(formula); });
}

void expectClose(long double expected, long double actual, const std::string& what) {
    long double scale = std::max(1.0L, std::fabs(expected));
    EXPECT_LE(std::fabs(expected - actual), Tolerance * scale)
        << what << ": expected " << static_cast<double>(expected) << ", got "
        << static_cast<double>(actual);
}

struct Case {
    const char* formula;
    long double x;
    long double expected;
};

void expectValues(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        long double value = 0;
        std::string error = errorOf([&] { value = evalAt(c.formula, c.x); });
        ASSERT_EQ(error, "(none)") << c.formula;
        expectClose(c.expected, value, c.formula);
    }
}

TEST(CalcExpressGrammar, PrecedenceAndLeftAssociativity) {
    expectValues({
        {"2+3*4", 0, 14},
        {"2^3^2", 0, 64},
        {"8/2/2", 0, 2},
        {"10-4-3", 0, 3},
        {"2*3^2", 0, 18},
        {"(2+3)*4", 0, 20},
        {"1+2*3-4/2", 0, 5},
        {"x^2^3", 2, 64},
        {"2*x/4*3", 2, 3},
        {" 2 +  3 ", 0, 5},
    });
}

TEST(CalcExpressGrammar, SignOnlyAtTheStartOfAnExpression) {
    expectValues({
        {"-2^2", 0, 4},    // the minus joins the literal
        {"- 2^2", 0, -4},  // a space keeps it a sign of the whole term
        {"-x^2", 2, -4},   // the sign applies to the product
        {"-x*3+1", 2, -5}, // ... but not to the following terms
        {"2*(-3)", 0, -6}, // a literal after "("
        {"2*(-x)", 3, -6}, // a sign after "("
        {"-+3", 0, -3},    // "-+" is accepted
        {"+3", 0, 3},
        {"sin(-x)", 1, -std::sin(1.0L)},
        {"(-2)^3", 0, -8},
        {"-3-2", 0, -5},
    });
    for (const char* bad : {"2*-3", "+-3", "2+-3", "2--3", "--3", "x*+2", "2-+3", "(+-x)"})
        EXPECT_EQ(parseError(bad), "") << bad;
}

TEST(CalcExpressGrammar, ExponentIsOneNumberOrVariable) {
    expectValues({
        {"x^(-1)", 4, 0.25},
        {"x^(x)", 3, 27},
        {"2^x", 10, 1024},
        {"0^0", 0, 1},
        {"x^0", 0, 1},
        {"0^2", 0, 0},
        {"(-2)^3", 0, -8},
        {"(-2)^(-2)", 0, 0.25},
        {"2^0.5", 0, std::sqrt(2.0L)},
        {"x^2.5", 4, 32},
        {"sin(x)^2+cos(x)^2", 0.7L, 1},
        {"2^40", 0, 1099511627776.0L},
    });
    for (const char* bad :
         {"x^-1", "x^(x+1)", "2^sin(x)", "2^(2", "x^()", "x^", "2^(-x)", "x^((2))"})
        EXPECT_EQ(parseError(bad), "") << bad;
}

TEST(CalcExpressGrammar, NoImplicitMultiplication) {
    for (const char* bad : {"2x", "x(1)", "(1)(2)", "2 3", "sin x", "x sin(x)", "2(x)"})
        EXPECT_EQ(parseError(bad), "") << bad;
}

TEST(CalcExpressParse, SyntaxErrorsHaveAnEmptyMessageAndLeaveNoTree) {
    for (const char* bad : {"2+", "", "   ", "()", "2+*3", "sin", "sin()", "(1", "1)", "((x)",
                            "x))", "sin(x", "(x))+(1", "2#3", "x,1", "x;", "*2", "x=1"}) {
        TCalcExpress calc;
        calc.SetVariables({"X"});
        EXPECT_EQ(errorOf([&] { calc.init(bad); }), "") << bad;
        EXPECT_TRUE(calc.ErrorFlag()) << bad;
        EXPECT_EQ(calc.Root(), nullptr) << bad;
        EXPECT_EQ(calc.Formula(), bad) << bad;
        long double x = 1;
        EXPECT_NE(errorOf([&] { calc.calc(&x, 0); }), "(none)") << bad;
    }
    TCalcExpress calc;
    calc.SetVariables({"X"});
    EXPECT_NE(errorOf([&] { calc.init("SIN(X"); }), "(none)");
    EXPECT_EQ(calc.Formula(), "sin(x"); // the failed formula is kept, lower-cased
}

TEST(CalcExpressParse, NestingDeeperThanTheLimitIsRefused) {
    auto nested = [](int levels, const std::string& open) {
        std::string s;
        for (int i = 0; i < levels; ++i)
            s += open;
        s += "x";
        return s + std::string(static_cast<std::size_t>(levels), ')');
    };
    const int limit = TCalcExpress::MaxNesting;
    EXPECT_EQ(evalAt(nested(limit - 1, "("), 2), 2);
    EXPECT_EQ(parseError(nested(limit, "(")), "");
    EXPECT_EQ(parseError(nested(100000, "(")), "");
    EXPECT_EQ(parseError(nested(100000, "-abs(")), "");
    expectClose(std::sin(std::sin(std::sin(1.0L))), evalAt(nested(3, "sin("), 1), "sin^3");
}

TEST(CalcExpressParse, LongOperatorChainsNeedNoDeepRecursion) {
    // 200000 terms build a left-deep tree of that depth; parsing, compiling, evaluating and
    // freeing it must not recurse along it.
    std::string sum = "x";
    for (int i = 1; i < 200000; ++i)
        sum += "+x";
    EXPECT_EQ(evalAt(sum, 1), 200000);
    std::string powers = "x";
    for (int i = 0; i < 100000; ++i)
        powers += "^1";
    EXPECT_EQ(evalAt(powers, 3), 3);
}

bool sameTree(const TTree* a, const TTree* b) {
    if (!a || !b)
        return a == b;
    return a->Kind == b->Kind && a->Text == b->Text && sameTree(a->Left.get(), b->Left.get()) &&
           sameTree(a->Right.get(), b->Right.get());
}

TEST(CalcExpressParse, NamesAreNotCaseSensitive) {
    TCalcExpress upper, lower;
    upper.SetVariables({"X"});
    lower.SetVariables({"x"});
    upper.init("SIN(X)+Sqrt(ABS(x))*ArcTg(X)");
    lower.init("sin(x)+sqrt(abs(x))*arctg(x)");
    EXPECT_TRUE(sameTree(upper.Root(), lower.Root()));
    EXPECT_EQ(upper.Formula(), "sin(x)+sqrt(abs(x))*arctg(x)");

    TCalcExpress calc;
    calc.SetVariables({"Amp", "Freq"});
    calc.init("AMP*sin(freq)");
    long double v[] = {2, 0.5L};
    expectClose(2 * std::sin(0.5L), calc.calc(v, 1), "AMP*sin(freq)");
}

TEST(CalcExpressParse, TreeRecordsKindsAndTexts) {
    TCalcExpress calc;
    calc.SetVariables({"a", "b"});
    calc.init("-b*sign(a)^2+1.5");
    const TTree* root = calc.Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Kind, ombrix::tkPlus);
    EXPECT_EQ(root->Right->Kind, ombrix::tkNumber);
    EXPECT_EQ(root->Right->Text, "1.5");
    const TTree* negated = root->Left.get();
    EXPECT_EQ(negated->Kind, ombrix::tkNegate);
    EXPECT_EQ(negated->Right, nullptr);
    const TTree* product = negated->Left.get();
    EXPECT_EQ(product->Kind, ombrix::tkMul);
    EXPECT_EQ(product->Left->Kind, ombrix::tkVariable);
    EXPECT_EQ(product->Left->Text, "1"); // b is the second variable
    const TTree* power = product->Right.get();
    EXPECT_EQ(power->Kind, ombrix::tkPower);
    EXPECT_EQ(power->Left->Kind, ombrix::tkSgn);
    EXPECT_EQ(power->Left->Text, "sign");
    EXPECT_EQ(power->Left->Left->Text, "0");
    EXPECT_EQ(power->Right->Text, "2");

    calc.init("-2^2");
    EXPECT_EQ(calc.Root()->Kind, ombrix::tkPower);
    EXPECT_EQ(calc.Root()->Left->Text, "-2");

    // Parse state after a formula: balanced, past the end, the last two token kinds.
    calc.init("(a+1)*b");
    EXPECT_EQ(calc.Depth(), 0);
    EXPECT_EQ(calc.Position(), 8);
    EXPECT_EQ(calc.PrevKind(), ombrix::tkVariable);
    EXPECT_EQ(calc.PrevPrevKind(), ombrix::tkMul);
    EXPECT_FALSE(calc.ErrorFlag());
}

TEST(CalcExpressFunctions, EverySpellingAtAKnownValue) {
    const long double e = std::exp(1.0L);
    expectValues({
        {"cos(0)", 0, 1},
        {"cos(x)", Pi / 3, 0.5L},
        {"sin(x)", Pi / 6, 0.5L},
        {"tg(x)", Pi / 4, 1},
        {"ctg(x)", Pi / 4, 1},
        {"abs(-2.5)", 0, 2.5L},
        {"abs(x)", 3, 3},
        {"sgn(-3)", 0, -1},
        {"sgn(x)", 0.1L, 1},
        {"sign(0)", 0, 0},
        {"sqrt(16)", 0, 4},
        {"ln(x)", e, 1},
        {"exp(1)", 0, e},
        {"exp(x)", -2, std::exp(-2.0L)},
        {"arcsin(1)", 0, Pi / 2},
        {"arcsin(x)", 0.5L, Pi / 6},
        {"arcsin(-1)", 0, -Pi / 2},
        {"arccos(-1)", 0, Pi},
        {"arccos(1)", 0, 0},
        {"arccos(0)", 0, Pi / 2},
        {"arccos(x)", -0.5L, 2 * Pi / 3},
        {"arctg(1)", 0, Pi / 4},
        {"arctan(x)", -1, -Pi / 4},
        {"arcctg(0)", 0, Pi / 2},
        {"arcctg(1)", 0, Pi / 4},
        {"sh(1)", 0, (e - 1 / e) / 2},
        {"sinh(x)", -1, -(e - 1 / e) / 2},
        {"ch(1)", 0, (e + 1 / e) / 2},
        {"cosh(x)", -1, (e + 1 / e) / 2},
        {"th(1)", 0, (e - 1 / e) / (e + 1 / e)},
        {"tanh(x)", 0, 0},
        {"cth(1)", 0, (e + 1 / e) / (e - 1 / e)},
        {"coth(x)", -1, -(e + 1 / e) / (e - 1 / e)},
        {"h(0)", 0, 1},
        {"heaviside(-1)", 0, 0},
        {"heaviside(x)", 1e-30L, 1},
        {"floor(-3/2)", 0, -2},
        {"ceil(-3/2)", 0, -1},
        {"trunc(-3/2)", 0, -1},
        {"floor(x)", 2.5L, 2},
        {"ceil(x)", 2.5L, 3},
        {"floor(3)", 0, 3},
        {"ceil(-3)", 0, -3},
        {"trunc(x)", 1e15L + 0.5L, 1e15L},
        {"log10(1000)", 0, 3},
        {"log10(x)", 0.01L, -2},
        {"log2(8)", 0, 3},
        {"log2(x)", 0.125L, -3},
    });
}

TEST(CalcExpressFunctions, SinAndCosVanishFromTwoToThe63) {
    const long double big = 0x1p63L;
    EXPECT_EQ(evalAt("sin(x)", big), 0);
    EXPECT_EQ(evalAt("cos(x)", big), 0);
    EXPECT_EQ(evalAt("sin(x)", -big), 0);
    EXPECT_EQ(evalAt("cos(x)", 4 * big), 0);
    EXPECT_NE(evalAt("cos(x)", big - 1), 0); // still reduced just below
}

TEST(CalcExpressFunctions, FloorAndCeilKeepTheLow32BitsOfTheTruncation) {
    expectValues({
        {"floor(x)", 4294967296.5L, 0}, // 2^32 + 0.5 truncates to 2^32, low bits 0
        {"ceil(x)", 4294967296.5L, 1},
        {"floor(x)", -2147483648.5L, 2147483647}, // one below -2^31 wraps around
        {"ceil(x)", 2147483647.5L, -2147483648.0L},
        {"floor(x)", 4294967301.0L, 5},
        {"trunc(x)", 4294967296.5L, 4294967296.0L}, // trunc keeps 64 bits
        {"trunc(x)", -9223372036854775808.0L, -9223372036854775808.0L},
    });
}

TEST(CalcExpressLiterals, ReadWithTheLocaleSeparator) {
    expectValues({
        {"1.5e3", 0, 1500},
        {"1.5E3", 0, 1500},
        {"2.5e-1", 0, 0.25L},
        {"1e+2", 0, 100},
        {"0.125", 0, 0.125L},
        {"-1.5*2", 0, -3},
        {"007", 0, 7},
    });
    EXPECT_EQ(evalAt("1,5e3", 0, ','), 1500);
    EXPECT_EQ(evalAt("x*2,5", 2, ','), 5);
    EXPECT_EQ(evalAt("-0,25", 0, ','), -0.25L);

    for (const char* bad : {"1.", "1e", "1e+", "1e-", "1.e3", "2*1.", "1e+x", "2exp(1)"})
        EXPECT_EQ(parseError(bad), "Wrong number.") << bad;
    for (const char* bad : {"1,", "1e", "1,e3"})
        EXPECT_EQ(parseError(bad, ','), "Wrong number.") << bad;
    // A separator of the other locale forms no token: a syntax error.
    EXPECT_EQ(parseError("1.5", ','), "");
    EXPECT_EQ(parseError("1,5", '.'), "");
    EXPECT_EQ(parseError(".5"), "");
}

TEST(CalcExpressLiterals, BeyondTheExtendedRange) {
    TCalcExpress calc;
    calc.init("1e5000"); // parses; the literal cannot be converted, so evaluation fails
    EXPECT_EQ(errorOf([&] { calc.calc(nullptr, -1); }), "Wrong number.");
    EXPECT_EQ(evalAt("1e-5000+1"), 1);
    EXPECT_EQ(evalAt("1e4000*1e-4000"), 1);
}

TEST(CalcExpressNames, UndefinedFunctionsAreSyntaxErrors) {
    // Even declared as variables, these names are no functions: the "(" after them is wrong.
    std::vector<std::string> vars = {"X", "rnd", "random", "min", "max", "pi"};
    for (const char* bad : {"rnd(x)", "random(x)", "min(x,1)", "max(x,1)", "pi(1)"}) {
        EXPECT_EQ(parseError(bad, '.', vars), "") << bad;
        EXPECT_EQ(parseError(bad), "") << bad;
    }
    // A name in no list is a syntax error too.
    for (const char* bad : {"y+1", "pi*x", "log(x)", "sinx"})
        EXPECT_EQ(parseError(bad), "") << bad;
}

TEST(CalcExpressNames, FunctionNamesCannotBeVariables) {
    std::vector<std::string> vars = {"h", "sh", "ch", "th", "tg", "ln", "log", "sinx", "x_1"};
    for (const char* bad : {"h", "sh+1", "2*ch", "th", "tg^2", "ln"})
        EXPECT_EQ(parseError(bad, '.', vars), "") << bad;
    TCalcExpress calc;
    calc.SetVariables(vars);
    calc.init("log*sinx+x_1+h(log)"); // longer names and other names are variables
    long double v[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(calc.calc(v, 8), 7 * 8 + 9 + 1);
}

TEST(CalcExpressEvaluation, FailuresRaise) {
    const char* failing[] = {
        "1/(x-x)",       "ln(0)",         "sqrt(-1)",   "exp(20000)", "ctg(0)",
        "coth(0)",       "cth(x-x)",      "0^(-1)",     "(-2)^0.5",   "arcsin(2)",
        "arccos(-1.5)",  "ln(-1)",        "sh(20000)",  "ch(-20000)", "th(20000)",
        "trunc(1e19)",   "floor(-1e19)",  "ceil(1e19)", "log10(0)",   "log2(-x)",
        "x^(-1)*0+1",    "1/0",           "exp(x)*0",   "(-8)^x",     "1e4000*1e4000",
        "-sqrt(-x-1)+1", "2^40000000000", "exp(11357)", "x/0+1",      "0^(-0.5)",
    };
    std::feclearexcept(FE_ALL_EXCEPT);
    for (const char* formula : failing) {
        TCalcExpress calc;
        calc.SetVariables({"X"});
        ASSERT_EQ(errorOf([&] { calc.init(formula); }), "(none)") << formula;
        long double x = std::string(formula) == "(-8)^x" ? 1.0L / 3 : 0;
        if (std::string(formula) == "exp(x)*0")
            x = 30000;
        EXPECT_NE(errorOf([&] { calc.calc(&x, 0); }), "(none)") << formula;
        // The failure is not left behind: the same instance evaluates cleanly afterwards.
        calc.init("x+1");
        EXPECT_EQ(calc.calc(&x, 0), x + 1) << formula;
        EXPECT_EQ(std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW), 0) << formula;
    }
}

TEST(CalcExpressEvaluation, UnderflowAndInexactAreSilent) {
    EXPECT_EQ(evalAt("exp(-20000)"), 0);
    EXPECT_EQ(evalAt("exp(x)", -11500), 0);
    EXPECT_GT(evalAt("exp(x)", -11390), 0); // a denormal
    EXPECT_EQ(evalAt("1e-4000*1e-4000"), 0);
    EXPECT_EQ(evalAt("x^2", 1e-3000L), 0);
    expectClose(1.0L / 3, evalAt("1/x", 3), "1/3");
    expectClose(0, evalAt("th(x)-1", 20), "tanh(20)-1");
}

TEST(CalcExpressEvaluation, FlagsLeftSetBeforeDoNotFailAFormula) {
    TCalcExpress calc;
    calc.SetVariables({"X"});
    calc.init("x*2");
    long double x = 3;
    volatile long double zero = 0;
    volatile long double r = 1 / zero; // sets the division-by-zero flag as user code might
    (void)r;
    EXPECT_EQ(calc.calc(&x, 0), 6);
    x = 1e4932L;
    EXPECT_NE(errorOf([&] { calc.calc(&x, 0); }), "(none)"); // overflow still noticed
}

TEST(CalcExpressEvaluation, NeedsAValueForEveryVariable) {
    TCalcExpress calc;
    calc.SetVariables({"a", "b"});
    calc.init("b*2");
    long double v[] = {1, 5};
    EXPECT_NE(errorOf([&] { calc.calc(v, 0); }), "(none)");
    EXPECT_EQ(calc.calc(v, 1), 10);
    EXPECT_EQ(calc.calc(std::span<const long double>(v)), 10);

    TCalcExpress fresh; // holds "0" from the start
    EXPECT_EQ(fresh.Formula(), "0");
    EXPECT_EQ(fresh.calc(nullptr, -1), 0);
}

TEST(CalcExpressState, SetVariablesParsesTheFormulaAgain) {
    TCalcExpress calc;
    calc.SetVariables({"a", "b"});
    calc.SetFormula("a-b");
    long double v[] = {5, 1};
    EXPECT_EQ(calc.calc(v, 1), 4);
    calc.SetVariables({"B", "A"}); // variable numbers follow the new order
    EXPECT_EQ(calc.calc(v, 1), -4);
    EXPECT_EQ(calc.Variables(), (std::vector<std::string>{"B", "A"}));

    EXPECT_EQ(errorOf([&] { calc.SetVariables({"a"}); }), ""); // b is unknown now
    EXPECT_EQ(calc.Root(), nullptr);
    EXPECT_NE(errorOf([&] { calc.calc(v, 1); }), "(none)");

    calc.Variables().push_back("b"); // edited in place, used by the next init
    calc.init("a*b");
    EXPECT_EQ(calc.calc(v, 1), 5);
}

// Straightforward recursive evaluation of a tree with the same functions, as a reference for
// the compiled program (which folds constants and fuses operands).
long double reference(const TTree* t, const long double* v) {
    using ombrix::fpu::Native;
    using Ops = ombrix::fpu::Ops;
    auto x = [&] { return reference(t->Left.get(), v); };
    switch (t->Kind) {
    case ombrix::tkNumber: {
        long double value = 0;
        std::from_chars(t->Text.data(), t->Text.data() + t->Text.size(), value);
        return value;
    }
    case ombrix::tkVariable:
        return v[std::stoi(t->Text)];
    case ombrix::tkPlus:
        return x() + reference(t->Right.get(), v);
    case ombrix::tkMinus:
        return x() - reference(t->Right.get(), v);
    case ombrix::tkMul:
        return x() * reference(t->Right.get(), v);
    case ombrix::tkDiv:
        return x() / reference(t->Right.get(), v);
    case ombrix::tkPower:
        return Ops::power(x(), reference(t->Right.get(), v));
    case ombrix::tkNegate:
        return -x();
    case ombrix::tkCos:
        return Native::cos(x());
    case ombrix::tkSin:
        return Native::sin(x());
    case ombrix::tkTg:
        return Native::tan(x());
    case ombrix::tkCtg:
        return Ops::cot(x());
    case ombrix::tkAbs:
        return std::fabs(x());
    case ombrix::tkSgn:
        return Ops::sgn(x());
    case ombrix::tkSqrt:
        return Native::sqrt(x());
    case ombrix::tkLn:
        return Native::ln(x());
    case ombrix::tkExp:
        return Native::exp(x());
    case ombrix::tkArcsin:
        return Ops::arcsin(x());
    case ombrix::tkArccos:
        return Ops::arccos(x());
    case ombrix::tkArctg:
        return Ops::arctan(x());
    case ombrix::tkArcctg:
        return Ops::arccot(x());
    case ombrix::tkSh:
        return Ops::sinh(x());
    case ombrix::tkCh:
        return Ops::cosh(x());
    case ombrix::tkTh:
        return Ops::tanh(x());
    case ombrix::tkCth:
        return Ops::coth(x());
    case ombrix::tkHeaviside:
        return Ops::heaviside(x());
    case ombrix::tkFloor:
        return Ops::floor(x());
    case ombrix::tkCeil:
        return Ops::ceil(x());
    case ombrix::tkTrunc:
        return Ops::trunc(x());
    case ombrix::tkLog10:
        return Native::log10(x());
    case ombrix::tkLog2:
        return Native::log2(x());
    default:
        return 0;
    }
}

TEST(CalcExpressEvaluation, CompiledProgramMatchesTheTreeExactly) {
    const char* formulas[] = {
        "x-2",
        "2-x",
        "x/3",
        "3/x",
        "2*x",
        "x*2",
        "sin(x)-x",
        "x-sin(x)",
        "x/sin(x)+1",
        "(x+1)*(x-1)",
        "2^x",
        "x^2.5",
        "x^x",
        "(x+1)^3",
        "-x*3",
        "-(2*3)+x",
        "1/(2*x)-x/(1+x)",
        "x^2-2*x^3",
        "x^7",
        "x^(-3)",
        "sin(x)*2+cos(3*x)/4",
        "sqrt(abs(sin(x)))+ln(2+cos(x))",
        "heaviside(sin(x))*2-1",
        "sh(x)+ch(x)*th(x)-cth(x+1)",
        "arcsin(x/10)+arccos(x/11)+arctg(x)+arcctg(x)",
        "tg(x)+ctg(x)+sgn(x)+exp(-x)",
        "floor(x*3)+ceil(x/3)+trunc(-x)",
        "log10(x)+log2(x)",
        "sin(2)*x+cos(1)/ln(3)+exp(2)^(x)",
        "(x-1)/(x-2)/(x-3)*(x+(x+(x+(x+1))))",
    };
    for (const char* formula : formulas) {
        TCalcExpress calc;
        calc.SetVariables({"X"});
        calc.init(formula);
        for (long double x : {0.3L, 1.7L, 2.9L, 5.25L, 7.0L}) {
            long double expected = reference(calc.Root(), &x);
            EXPECT_EQ(calc.calc(&x, 0), expected) << formula << " at " << static_cast<double>(x);
        }
    }
}

#if OMBRIX_HAVE_X87
TEST(FpuMath, X87AgreesWithTheCLibrary) {
    using ombrix::fpu::Portable;
    using ombrix::fpu::X87;
    const long double args[] = {0.1L, 0.5L, 1, 1.5L, 2.25L, 3, -0.7L, -2.5L, 10, 100.5L};
    auto near = [](long double a, long double b) {
        return std::fabs(a - b) <= 4e-19L * std::max(1.0L, std::fabs(b));
    };
    for (long double a : args) {
        EXPECT_TRUE(near(X87::sin(a), Portable::sin(a))) << "sin " << static_cast<double>(a);
        EXPECT_TRUE(near(X87::cos(a), Portable::cos(a))) << "cos " << static_cast<double>(a);
        EXPECT_TRUE(near(X87::tan(a), Portable::tan(a))) << "tan " << static_cast<double>(a);
        EXPECT_TRUE(near(X87::atan2(a, 2), Portable::atan2(a, 2))) << static_cast<double>(a);
        EXPECT_TRUE(near(X87::exp(a), Portable::exp(a))) << "exp " << static_cast<double>(a);
        long double p = std::fabs(a);
        EXPECT_TRUE(near(X87::sqrt(p), Portable::sqrt(p))) << static_cast<double>(a);
        EXPECT_TRUE(near(X87::ln(p), Portable::ln(p))) << "ln " << static_cast<double>(a);
        EXPECT_TRUE(near(X87::log10(p), Portable::log10(p))) << static_cast<double>(a);
        EXPECT_TRUE(near(X87::log2(p), Portable::log2(p))) << static_cast<double>(a);
    }
}

TEST(FpuMath, X87SinCosExpAndLnStayWithinAFewUlps) {
    using ombrix::fpu::Portable;
    using ombrix::fpu::X87;
    long double trig = 0, exp = 0, ln = 0;
    for (int i = -50000; i <= 50000; ++i) {
        // Small arguments through every quadrant, and large ones up to 2^28.
        for (long double x : {i * 0.000731L, i * 5367.3L}) {
            trig = std::max(trig, std::fabs(X87::sin(x) - Portable::sin(x)));
            trig = std::max(trig, std::fabs(X87::cos(x) - Portable::cos(x)));
        }
        long double x = i * 0.2267L; // -11335 .. 11335
        exp = std::max(exp, std::fabs(X87::exp(x) / Portable::exp(x) - 1));
        // Around 1, where the result is small, and over the whole exponent range.
        for (long double y : {1 + i * 1e-11L, std::ldexp(1.5L + i * 1e-6L, i % 16000)}) {
            long double expected = Portable::ln(y);
            ln = std::max(ln, expected == 0 ? std::fabs(X87::ln(y))
                                            : std::fabs(X87::ln(y) / expected - 1));
        }
    }
    EXPECT_LE(trig, 0x1p-62L); // two units in the last place of 1
    EXPECT_LE(exp, 0x1p-61L);
    EXPECT_LE(ln, 0x1p-62L);
    EXPECT_EQ(X87::ln(1), 0);
    EXPECT_EQ(X87::sin(-0.0L), 0);
    EXPECT_TRUE(std::signbit(X87::sin(-0.0L)));
    // Beyond the series' reduction the processor reduces: bounded values, 0 from 2^63.
    EXPECT_LE(std::fabs(X87::sin(0x1p40L)), 1);
    EXPECT_EQ(X87::cos(0x1p63L), 0);
}
#endif

} // namespace
