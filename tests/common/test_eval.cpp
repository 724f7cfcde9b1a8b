#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "common/com_eval.h"
#include "common/com_mem.h"

namespace {

std::vector<std::pair<int, std::string>> g_errors;
void OnError(int code, const char *text) { g_errors.push_back({code, text}); }

// One context per test, bound, with its callback; released at the end.
class Eval : public testing::Test {
protected:
    void SetUp() override {
        g_errors.clear();
        ctx = E_Create();
        ASSERT_NE(ctx, nullptr);
        E_Bind(ctx);
        E_ErrorCallback(OnError);
    }
    void TearDown() override { E_Delete(ctx); }

    float Calc(const char *text) {
        E_Parse(text);
        return E_Evaluate();
    }
    std::string FirstError() const { return g_errors.empty() ? "" : g_errors.front().second; }

    exp_t *ctx = nullptr;
};

TEST_F(Eval, ValuesTable) {
    const struct {
        const char *text;
        float value;
    } cases[] = {
        {"1+2*3", 7},        {"(1+2)*3", 9},       {"2^0.5", 1},          {"-3+5", 2},
        {"2^3^2", 64},       {"-2^2", 4},          {"8/2*4", 16},         {"1-2+3", 2},
        {"2*-3", -6},        {"1--2", 3},          {"-(1+2)", -3},        {" 1 + 2 ", 3},
        {"Max(2,7)", 7},     {"Min(2,7)", 2},      {"Clamp(5,1,3)", 3},   {"Clamp(0,1,3)", 1},
        {"Saturate(-2)", 0}, {"Abs(-4)", 4},       {"Sgn(-0.5)", -1},     {"GCD(12,-18)", 6},
        {"GCD(0,0)", 0},     {"Factorial(5)", 120}, {"Factorial(-3)", 1}, {"Factorial(0)", 1},
        {"Round(2.5)", 3},   {"Mod(-1,3)", 2},     {"Lerp(2,4,0.5)", 3},  {"Floor(-1.5)", -2},
        {"Sqrt(16)", 4},     {"Power(2,10)", 1024}, {"Minus(4,9)", -4},   {"Pi", 3.1415927f},
        {"Deg2Rad(180)", 3.1415927f},  {"Sin(Pi/2)", 1}, {"2^-1", 0.5f},  {"GoldenRatio*0", 0},
        {"Sum(2,Degree,1,3)", 6},
    };
    for (const auto &c : cases) {
        EXPECT_NEAR(Calc(c.text), c.value, 1e-5f) << c.text;
        EXPECT_EQ(ctx->error, 0) << c.text << ": " << FirstError();
    }
}

TEST_F(Eval, SumAndProductLoopAVariable) {
    E_AddVariable("i");
    EXPECT_FLOAT_EQ(Calc("Sum(i,i,1,10)"), 55);
    EXPECT_FLOAT_EQ(Calc("Product(i,i,1,5)"), 120);
    E_SetVariable("i", 0);
    EXPECT_FLOAT_EQ(Calc("i"), 0);
    EXPECT_FLOAT_EQ(Calc("Sum(i*i,i,1,3)+i"), 14 + 4);  // the variable keeps its last value
    EXPECT_EQ(ctx->error, 0);
}

TEST_F(Eval, ErrorsTable) {
    // Evaluation errors yield 0; a parse error leaves whatever tree was built.
    const struct {
        const char *text;
        const char *error;
        bool yieldsZero;
    } cases[] = {
        {"Sum(1,2,1,3)", "Second argument in Sum must be a variable", true},
        {"Product(1,2,1,3)", "Second argument in Product must be a variable", true},
        {"Sin()", "Null pointer exception", true},
        {"", "Null pointer exception", true},
        {"Foo(1)", "Unknown token \"Foo\"", false},
        {"1$2", "Unknown char '$' at 1", false},
        {"(1+2", "Parenthesis mismatch at 4", false},
        {"1+2)", "Parenthesis mismatch at 3", false},
        {"1,2", "Unknown token \",\"", false},
        {"Plus(1,2,3,4,5,6,7,8,9)", "Too many arguments or terms in one place (max: 8)", false},
    };
    for (const auto &c : cases) {
        g_errors.clear();
        const float v = Calc(c.text);
        if (c.yieldsZero) {
            EXPECT_EQ(v, 0) << c.text;
            EXPECT_EQ(ctx->error, 1) << c.text;
        }
        ASSERT_FALSE(g_errors.empty()) << c.text;
        EXPECT_EQ(g_errors.front().first, E_ERR_SYNTAX);
        EXPECT_EQ(g_errors.front().second, c.error);
        EXPECT_STREQ(ctx->errorText, g_errors.back().second.c_str());
    }
    // The parse sets the flag; evaluating clears it first.
    E_Parse("1$2");
    EXPECT_EQ(ctx->error, 1);
}

TEST_F(Eval, LengthLimit) {
    std::string text(509, '1');
    text = "1+" + text;  // 511 characters
    E_Parse(text.c_str());
    EXPECT_EQ(ctx->error, 0);
    text += "1";  // 512
    E_Parse(text.c_str());
    EXPECT_EQ(FirstError(), "Expression too long (max: 512 chars)");
    EXPECT_EQ(ctx->root, nullptr);
    EXPECT_EQ(E_Evaluate(), 0);
}

TEST_F(Eval, RewrittenTextThatWouldOverflowIsRefused) {
    // 250 additions fit the input but need far more than 1,023 characters rewritten.
    std::string text = "1";
    for (int i = 0; i < 250; i++) text += "+1";
    E_Parse(text.c_str());
    EXPECT_EQ(FirstError(), "Expression too long after rewriting (max: 1023 chars)");
    EXPECT_EQ(ctx->root, nullptr);
    // 100 still fit.
    text = "1";
    for (int i = 0; i < 100; i++) text += "+1";
    g_errors.clear();
    EXPECT_FLOAT_EQ(Calc(text.c_str()), 101);
    EXPECT_TRUE(g_errors.empty()) << FirstError();
}

TEST_F(Eval, DeepNestingIsRefused) {
    const std::string deep = std::string(200, '(') + "1" + std::string(200, ')');
    EXPECT_EQ(Calc(deep.c_str()), 0);
    EXPECT_EQ(FirstError(), "Expression nested too deeply (max: 128 levels)");
    g_errors.clear();
    const std::string fine = std::string(100, '(') + "7" + std::string(100, ')');
    EXPECT_EQ(Calc(fine.c_str()), 7);
    EXPECT_TRUE(g_errors.empty());
}

TEST_F(Eval, HugeArgumentsDoNotOverflow) {
    E_AddVariable("i");
    const struct {
        const char *text;
        float value;
    } cases[] = {
        {"Factorial(1000000000000)", INFINITY},
        {"Factorial(34)", 2.9523279e38f},
        {"GCD(1099511627776,3298534883328)", 1099511627776.0f},  // 2^40 and 3·2^40
        {"Power(1,-1000000000000)", 1},
        {"Power(-1,3000000001)", 1},  // the float 3000000001 is even
        {"Power(2,1000000000000)", INFINITY},
    };
    for (const auto &c : cases) {
        const float v = Calc(c.text);
        if (std::isinf(c.value))
            EXPECT_TRUE(std::isinf(v)) << c.text;
        else
            EXPECT_NEAR(v, c.value, std::fabs(c.value) * 1e-6f) << c.text;
    }
    EXPECT_TRUE(std::isnan(Calc("GCD(Sqrt(-1),4)")));
    // A loop that can never end (1e30 + 1 is 1e30) is stopped with an error.
    g_errors.clear();
    Calc("Sum(1,i,10^30,2*10^30)");
    Calc("Sum(1,i,0,1000000000000)");
    EXPECT_EQ(FirstError(), "Evaluation stopped after 10000000 steps");
}

TEST_F(Eval, ArgumentsAreEvaluatedOnce) {
    srand(1);
    for (int k = 0; k < 200; k++) {
        EXPECT_GE(Calc("Abs(CRandom)"), 0);
        const float s = Calc("Saturate(CRandom*2)");
        EXPECT_GE(s, 0);
        EXPECT_LE(s, 1);
    }
}

TEST_F(Eval, RandomTextNeverFaults) {
    // Hostile console input: random texts of the allowed characters and a few
    // others, parsed and evaluated under the sanitizers.
    E_AddVariable("i");
    const char pieces[][8] = {"1", "2.5", "-", "+", "*", "/", "^", "(", ")", ",", "i", "Pi",
                              "Sum(", "Minus", "Sin(", "Abs(", ".", "$", " ", "Max(", "\xA7"};
    std::mt19937 rng(77);
    std::uniform_int_distribution<int> pick(0, sizeof pieces / sizeof pieces[0] - 1), len(0, 120);
    for (int k = 0; k < 3000; k++) {
        std::string text;
        for (int n = len(rng); n > 0; n--) text += pieces[pick(rng)];
        E_Parse(text.c_str());
        const float v = E_Evaluate();
        (void)v;
    }
}

float Twice(exp_node_t *const args[E_ARGS_MAX]) { return 2 * E_EvaluateExp(args[0]); }

TEST_F(Eval, UserTablesAndTheirLimits) {
    E_AddFunction("Twice", 1, Twice);
    EXPECT_FLOAT_EQ(Calc("Twice(4)+1"), 9);
    E_AddFunction("Bad", 9, Twice);
    EXPECT_EQ(Calc("Bad(1)"), 0);
    EXPECT_EQ(FirstError(), "Bad function parameters 9");
    for (int i = ctx->numVars; i < E_VARS_MAX; i++) E_AddVariable(("v" + std::to_string(i)).c_str());
    g_errors.clear();
    E_AddVariable("one_more");
    ASSERT_EQ(g_errors.size(), 1u);
    EXPECT_EQ(g_errors[0].first, E_ERR_TABLE);
    EXPECT_EQ(g_errors[0].second, "E_VARS_MAX");
    EXPECT_EQ(ctx->numVars, E_VARS_MAX);
    for (int i = ctx->numFuncs; i < E_FUNCS_MAX; i++) E_AddFunction("f", 1, Twice);
    g_errors.clear();
    E_AddFunction("g", 1, Twice);
    EXPECT_EQ(FirstError(), "E_FUNCS_MAX");
    g_errors.clear();
    E_SetVariable("nothing", 1);
    EXPECT_EQ(FirstError(), "Could not find \"nothing\"");
    EXPECT_EQ(g_errors[0].first, E_ERR_TABLE);
    // Built-in constants are found first and are writable.
    E_SetVariable("Pi", 3);
    EXPECT_FLOAT_EQ(Calc("Pi"), 3);
    E_SetVariable("Pi", 3.1415927f);
}

TEST(EvalContext, DeleteUnbindsAndFreesEverything) {
    const int before = Com_GetMemBlocks();
    exp_t *ctx = E_Create();
    E_Bind(ctx);
    E_Parse("Plus(1,Times(2,3))+Sum(1,Pi,1,2)");
    E_Parse("1+2");  // parsing again frees the previous tree
    EXPECT_FLOAT_EQ(E_Evaluate(), 3);
    E_Delete(ctx);
    EXPECT_EQ(Com_GetMemBlocks(), before);
    // Nothing is bound now: every operation does nothing.
    E_Parse("1+2");
    EXPECT_EQ(E_Evaluate(), 0);
    E_AddVariable("x");
    E_SetVariable("x", 1);
    E_ErrorCallback(nullptr);
    E_Delete(nullptr);
}

}  // namespace
