// Expression evaluator.
#include "common/com_eval.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/com_mem.h"
#include "common/com_noise.h"
#include "common/com_vector.h"

static exp_t *eb;  // the bound context

// Evaluation bookkeeping of the running E_Evaluate.
static int evalSteps;
static bool evalAborted;

static bool BoundValid() { return eb && eb->magic == E_MAGIC; }

void E_Error(int code, const char *fmt, ...) {
    if (!BoundValid()) return;
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(eb->errorText, sizeof eb->errorText, fmt, ap);
    va_end(ap);
    eb->error = 1;
    if (eb->callback) eb->callback(code, eb->errorText);
}

// ---- built-in constants and functions ----

static exp_var_t pre_vars[] = {
    {"Pi", 3.1415927f},
    {"e", 2.7182817f},
    {"Degree", 0.017453292f},
    {"GoldenRatio", 1.618034f},
};
constexpr int NUM_PRE_VARS = sizeof pre_vars / sizeof pre_vars[0];

#define ARG(i) E_EvaluateExp(a[i])

static float F_Plus(exp_node_t *const a[]) { return ARG(0) + ARG(1); }
static float F_Subtract(exp_node_t *const a[]) { return ARG(0) - ARG(1); }
static float F_Times(exp_node_t *const a[]) { return ARG(0) * ARG(1); }
static float F_Divide(exp_node_t *const a[]) { return ARG(0) / ARG(1); }
static float F_Minus(exp_node_t *const a[]) { return -ARG(0); }

// The exponent truncated toward zero, without converting it to int: any float
// exponent is accepted and an odd one stays odd.
static float F_Power(exp_node_t *const a[]) {
    const double base = ARG(0), exponent = std::trunc(double(ARG(1)));
    return float(pow(base, exponent));
}

static float F_Sqrt(exp_node_t *const a[]) { return Com_sqrt(ARG(0)); }
static float F_Exp(exp_node_t *const a[]) { return Com_exp(ARG(0)); }
static float F_Log(exp_node_t *const a[]) { return Com_log(ARG(0)); }
static float F_Log10(exp_node_t *const a[]) { return Com_log10(ARG(0)); }
static float F_Deg2Rad(exp_node_t *const a[]) { return ARG(0) * DEG2RAD; }
static float F_Rad2Deg(exp_node_t *const a[]) { return ARG(0) * RAD2DEG; }
static float F_Sin(exp_node_t *const a[]) { return Com_sin(ARG(0)); }
static float F_Cos(exp_node_t *const a[]) { return Com_cos(ARG(0)); }
static float F_Tan(exp_node_t *const a[]) { return Com_tan(ARG(0)); }
static float F_ArcSin(exp_node_t *const a[]) { return Com_asin(ARG(0)); }
static float F_ArcCos(exp_node_t *const a[]) { return Com_acos(ARG(0)); }
static float F_ArcTan(exp_node_t *const a[]) { return Com_atan(ARG(0)); }
static float F_Sinh(exp_node_t *const a[]) { return Com_sinh(ARG(0)); }
static float F_Cosh(exp_node_t *const a[]) { return Com_cosh(ARG(0)); }
static float F_Tanh(exp_node_t *const a[]) { return Com_tanh(ARG(0)); }

// Greatest common divisor of the truncated magnitudes, by Euclid on doubles:
// every float is exact there, so no value is converted to int.  Not a number
// when either argument is infinite or not a number.
static float F_GCD(exp_node_t *const a[]) {
    double x = std::trunc(std::fabs(double(ARG(0))));
    double y = std::trunc(std::fabs(double(ARG(1))));
    if (!std::isfinite(x) || !std::isfinite(y)) return NAN;
    while (y != 0) {
        const double r = std::fmod(x, y);
        x = y;
        y = r;
    }
    return float(x);
}

// Each argument is evaluated once, so Abs of a random value is never negative.
static float F_Abs(exp_node_t *const a[]) {
    const float v = ARG(0);
    return v >= 0 ? v : -v;
}
static float F_Sgn(exp_node_t *const a[]) {
    const float v = ARG(0);
    return v == 0 ? 0.0f : (v < 0 ? -1.0f : 1.0f);
}
static float F_Round(exp_node_t *const a[]) { return Round(ARG(0)); }
static float F_Chop(exp_node_t *const a[]) { return Chop(ARG(0)); }
static float F_Floor(exp_node_t *const a[]) { return Floor(ARG(0)); }
static float F_Ceil(exp_node_t *const a[]) { return Ceil(ARG(0)); }
static float F_Fract(exp_node_t *const a[]) { return Fract(ARG(0)); }
static float F_Mod(exp_node_t *const a[]) { return Mod(ARG(0), ARG(1)); }
static float F_Min(exp_node_t *const a[]) {
    const float x = ARG(0), y = ARG(1);
    return x < y ? x : y;
}
static float F_Max(exp_node_t *const a[]) {
    const float x = ARG(0), y = ARG(1);
    return x > y ? x : y;
}
static float F_Clamp(exp_node_t *const a[]) {
    const float x = ARG(0), lo = ARG(1), hi = ARG(2);
    return x < lo ? lo : (x > hi ? hi : x);
}
static float F_Saturate(exp_node_t *const a[]) {
    const float x = ARG(0);
    return x < 0 ? 0.0f : (x > 1 ? 1.0f : x);
}
static float F_Lerp(exp_node_t *const a[]) { return Lerp(ARG(0), ARG(1), ARG(2)); }
static float F_Random(exp_node_t *const[]) { return Com_frand(); }
static float F_CRandom(exp_node_t *const[]) { return Com_crand(); }

// Past 34 the float product is infinite, so the loop stops there with the same result.
constexpr int E_FACTORIAL_MAX = 35;

static float F_Factorial(exp_node_t *const a[]) {
    const float v = ARG(0);
    if (!(v == v)) return v;
    if (v < 0) return 1;
    const int n = v > E_FACTORIAL_MAX ? E_FACTORIAL_MAX : int(v);
    float r = 1;
    for (int i = n; i > 1; i--) r *= float(i);
    return r;
}

// Sum and Product: the variable runs from `from` while it is at most `to`
// (evaluated anew each round); it keeps its last value.
static float Accumulate(exp_node_t *const a[], bool product) {
    if (!a[1] || a[1]->type != EN_VARIABLE) {
        E_Error(E_ERR_SYNTAX, "Second argument in %s must be a variable", product ? "Product" : "Sum");
        return 0;
    }
    exp_var_t *var = a[1]->var;
    var->value = ARG(2);
    float acc = product ? 1.0f : 0.0f;
    while (!evalAborted && var->value <= ARG(3)) {
        const float v = ARG(0);
        acc = product ? acc * v : acc + v;
        var->value += 1;
    }
    return acc;
}
static float F_Sum(exp_node_t *const a[]) { return Accumulate(a, false); }
static float F_Product(exp_node_t *const a[]) { return Accumulate(a, true); }

#undef ARG

static const exp_func_t pre_funcs[] = {
    {"Plus", 2, F_Plus},         {"Subtract", 2, F_Subtract}, {"Times", 2, F_Times},
    {"Divide", 2, F_Divide},     {"Power", 2, F_Power},       {"Minus", 2, F_Minus},
    {"Sqrt", 1, F_Sqrt},         {"Exp", 1, F_Exp},           {"Log", 1, F_Log},
    {"Log10", 1, F_Log10},       {"Deg2Rad", 1, F_Deg2Rad},   {"Rad2Deg", 1, F_Rad2Deg},
    {"Sin", 1, F_Sin},           {"Cos", 1, F_Cos},           {"Tan", 1, F_Tan},
    {"ArcSin", 1, F_ArcSin},     {"ArcCos", 1, F_ArcCos},     {"ArcTan", 1, F_ArcTan},
    {"Sinh", 1, F_Sinh},         {"Cosh", 1, F_Cosh},         {"Tanh", 1, F_Tanh},
    {"GCD", 2, F_GCD},           {"Abs", 1, F_Abs},           {"Sgn", 1, F_Sgn},
    {"Round", 1, F_Round},       {"Chop", 1, F_Chop},         {"Floor", 1, F_Floor},
    {"Ceil", 1, F_Ceil},         {"Fract", 1, F_Fract},       {"Mod", 2, F_Mod},
    {"Min", 2, F_Min},           {"Max", 2, F_Max},           {"Clamp", 3, F_Clamp},
    {"Saturate", 1, F_Saturate}, {"Lerp", 3, F_Lerp},         {"Random", 0, F_Random},
    {"FRandom", 0, F_Random},    {"CRandom", 0, F_CRandom},   {"Factorial", 1, F_Factorial},
    {"Sum", 4, F_Sum},           {"Product", 4, F_Product},
};
constexpr int NUM_PRE_FUNCS = sizeof pre_funcs / sizeof pre_funcs[0];
static_assert(NUM_PRE_FUNCS == 41, "41 built-in functions");

// ---- contexts and tables ----

exp_t *E_Create() {
    exp_t *e = static_cast<exp_t *>(Com_malloc(sizeof(exp_t)));
    if (!e) return nullptr;
    memset(e, 0, sizeof *e);
    e->magic = E_MAGIC;
    return e;
}

void E_Bind(exp_t *context) { eb = context; }

void E_ErrorCallback(expErrorCallback_t callback) {
    if (BoundValid()) eb->callback = callback;
}

static void CopyName(char out[E_NAME_SIZE], const char *name) {
    snprintf(out, E_NAME_SIZE, "%s", name ? name : "");
}

void E_AddVariable(const char *name) {
    if (!BoundValid()) return;
    if (eb->numVars >= E_VARS_MAX) {
        E_Error(E_ERR_TABLE, "E_VARS_MAX");
        return;
    }
    exp_var_t *v = &eb->vars[eb->numVars++];
    CopyName(v->name, name);
    v->value = 0;
}

static exp_var_t *FindVariable(const char *name) {
    for (exp_var_t &v : pre_vars)
        if (!strcmp(v.name, name)) return &v;
    for (int i = 0; i < eb->numVars; i++)
        if (!strcmp(eb->vars[i].name, name)) return &eb->vars[i];
    return nullptr;
}

static const exp_func_t *FindFunction(const char *name) {
    for (const exp_func_t &f : pre_funcs)
        if (!strcmp(f.name, name)) return &f;
    for (int i = 0; i < eb->numFuncs; i++)
        if (!strcmp(eb->funcs[i].name, name)) return &eb->funcs[i];
    return nullptr;
}

void E_SetVariable(const char *name, float value) {
    if (!BoundValid() || !name) return;
    exp_var_t *v = FindVariable(name);
    if (!v) {
        E_Error(E_ERR_TABLE, "Could not find \"%s\"", name);
        return;
    }
    v->value = value;
}

void E_AddFunction(const char *name, int numArgs, expFunction_t function) {
    if (!BoundValid()) return;
    if (eb->numFuncs >= E_FUNCS_MAX) {
        E_Error(E_ERR_TABLE, "E_FUNCS_MAX");
        return;
    }
    exp_func_t *f = &eb->funcs[eb->numFuncs++];
    CopyName(f->name, name);
    f->numArgs = numArgs;
    f->function = function;
}

static void FreeTree(exp_node_t *node) {
    if (!node) return;
    for (int i = 0; i < node->numChildren; i++) FreeTree(node->children[i]);
    Com_free(node);
}

void E_Delete(exp_t *context) {
    if (!context || context->magic != E_MAGIC) return;
    FreeTree(context->root);
    memset(context, 0, sizeof *context);
    Com_free(context);
    // Never leave the bound pointer on released storage.
    if (eb == context) eb = nullptr;
}

// ---- rewriting ----

static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
static bool IsOperator(char c) { return c == '+' || c == '-' || c == '*' || c == '/' || c == '^'; }

// Replaces every occurrence of op, leftmost first, by a call of its function.
// False (error reported) when the rewritten text would not fit the work buffer.
static bool RewriteOperator(char text[E_WORK_SIZE], char op) {
    const bool unary = static_cast<unsigned char>(op) == E_UNARY_MINUS;
    const char *name;
    switch (op) {
    case '+': name = "Plus"; break;
    case '-': name = "Subtract"; break;
    case '*': name = "Times"; break;
    case '/': name = "Divide"; break;
    case '^': name = "Power"; break;
    default:
        if (!unary) {
            const char opText[2] = {op, 0};
            E_Error(E_ERR_SYNTAX, "Unknown operator \"%s\"", opText);
            return false;
        }
        name = "Minus";
    }
    for (char *at; (at = strchr(text, op)) != nullptr;) {
        const int i = int(at - text);
        if (unary && IsDigit(text[i + 1])) {
            text[i] = '-';  // a negative number literal
            continue;
        }
        int left = i;
        if (!unary) {
            for (int depth = 0; left > 0; left--) {
                const char c = text[left - 1];
                if (depth == 0 && (c == '(' || c == ',' || IsOperator(c))) break;
                if (c == ')') depth++;
                if (c == '(') depth--;
            }
        }
        int right = i + 1;
        for (int depth = 0; text[right]; right++) {
            const char c = text[right];
            if (depth == 0 && (c == ')' || c == ',' || IsOperator(c))) break;
            if (c == '(') depth++;
            if (c == ')') depth--;
        }
        char out[E_WORK_SIZE];
        const int n = unary ? snprintf(out, sizeof out, "%.*s%s(%.*s)%s", i, text, name,
                                       right - i - 1, text + i + 1, text + right)
                            : snprintf(out, sizeof out, "%.*s%s(%.*s,%.*s)%s", left, text, name,
                                       i - left, text + left, right - i - 1, text + i + 1,
                                       text + right);
        if (n < 0 || n >= E_WORK_SIZE) {
            E_Error(E_ERR_SYNTAX, "Expression too long after rewriting (max: %d chars)",
                    E_WORK_SIZE - 1);
            return false;
        }
        memcpy(text, out, size_t(n) + 1);
    }
    return true;
}

// ---- tree building ----

struct expParse_t {
    const char *text;
    int pos;
    int depth;
    bool stop;
    char token[E_WORK_SIZE];
};

static bool IsNumberChar(char c) { return IsDigit(c) || c == '.' || c == '-'; }
static bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }

// The next token into p->token; false at the end of the text.
static bool NextToken(expParse_t *p) {
    const char *s = p->text + p->pos;
    int n = 0;
    if (!s[0]) return false;
    if (IsNumberChar(s[0])) {
        while (IsNumberChar(s[n])) n++;
    } else if (IsLetter(s[0]) || s[0] == '_') {
        while (IsNameChar(s[n])) n++;
    } else {
        n = 1;
    }
    // The text fits the work buffer, so a token always fits too.
    memcpy(p->token, s, size_t(n));
    p->token[n] = 0;
    p->pos += n;
    return true;
}

static exp_node_t *AddChild(expParse_t *p, exp_node_t *node, int type) {
    if (node->numChildren >= E_ARGS_MAX) {
        E_Error(E_ERR_SYNTAX, "Too many arguments or terms in one place (max: %d)", E_ARGS_MAX);
        p->stop = true;
        return nullptr;
    }
    exp_node_t *child = static_cast<exp_node_t *>(Com_malloc(sizeof(exp_node_t)));
    if (!child) {
        E_Error(E_ERR_SYNTAX, "Out of memory");
        p->stop = true;
        return nullptr;
    }
    memset(child, 0, sizeof *child);
    child->type = type;
    node->children[node->numChildren++] = child;
    return child;
}

static void E_ParseExp(expParse_t *p, exp_node_t *node);

// Parses the inside of a group or call one level deeper.
static void ParseNested(expParse_t *p, exp_node_t *child) {
    if (p->depth >= E_DEPTH_MAX) {
        E_Error(E_ERR_SYNTAX, "Expression nested too deeply (max: %d levels)", E_DEPTH_MAX);
        p->stop = true;
        return;
    }
    p->depth++;
    E_ParseExp(p, child);
    p->depth--;
}

static void E_ParseExp(expParse_t *p, exp_node_t *node) {
    while (!p->stop && NextToken(p)) {
        const char *t = p->token;
        if (!strcmp(t, ")")) return;
        if (!strcmp(t, ",") && node->type == EN_CALL) continue;
        if (!strcmp(t, "(")) {
            exp_node_t *group = AddChild(p, node, EN_GROUP);
            if (group) ParseNested(p, group);
            continue;
        }
        if (IsDigit(t[0]) || ((t[0] == '-' || t[0] == '.') && IsDigit(t[1]))) {
            exp_node_t *number = AddChild(p, node, EN_NUMBER);
            if (number) number->value = float(atof(t));
            continue;
        }
        const exp_func_t *func = FindFunction(t);
        if (func && p->text[p->pos] == '(') {
            p->pos++;
            exp_node_t *call = AddChild(p, node, EN_CALL);
            if (call) {
                call->func = func;
                ParseNested(p, call);
            }
            continue;
        }
        exp_var_t *var = FindVariable(t);
        if (var) {
            exp_node_t *v = AddChild(p, node, EN_VARIABLE);
            if (v) v->var = var;
            continue;
        }
        E_Error(E_ERR_SYNTAX, "Unknown token \"%s\"", t);
        p->stop = true;
    }
}

void E_Parse(const char *text) {
    if (!BoundValid()) {
        E_Error(E_ERR_SYNTAX, "Expression unbind");  // no context to hold it: goes nowhere
        return;
    }
    eb->error = 0;
    FreeTree(eb->root);
    eb->root = nullptr;
    if (!text) text = "";

    if (strlen(text) >= size_t(E_TEXT_MAX)) {
        E_Error(E_ERR_SYNTAX, "Expression too long (max: %d chars)", E_TEXT_MAX);
        return;
    }
    char work[E_WORK_SIZE];
    int len = 0;
    for (const char *s = text; *s; s++)
        if (*s != ' ') work[len++] = *s;
    work[len] = 0;

    int depth = 0;
    for (int i = 0; i < len; i++) {
        const char c = work[i];
        if (!IsLetter(c) && !IsDigit(c) && !strchr("_-.,+*/^()", c)) {
            E_Error(E_ERR_SYNTAX, "Unknown char '%c' at %d", c, i);
            break;
        }
        if (c == '(') depth++;
        if (c == ')' && --depth < 0) {
            E_Error(E_ERR_SYNTAX, "Parenthesis mismatch at %d", i);
            break;
        }
    }
    if (depth > 0) E_Error(E_ERR_SYNTAX, "Parenthesis mismatch at %d", len);

    const char marker = char(E_UNARY_MINUS);
    for (int i = 0; i < len; i++) {
        if (work[i] != '-') continue;
        // A minus is unary at the start, after an operator (already marked or
        // not), after a comma or after an opening parenthesis.
        if (i == 0 || IsOperator(work[i - 1]) || work[i - 1] == marker || work[i - 1] == ',' ||
            work[i - 1] == '(')
            work[i] = marker;
    }
    // One pass per operator, in the order of precedence.
    const char passes[] = {'^', '/', '*', '-', '+', marker};
    for (char op : passes)
        if (!RewriteOperator(work, op)) return;

    exp_node_t *root = static_cast<exp_node_t *>(Com_malloc(sizeof(exp_node_t)));
    if (!root) {
        E_Error(E_ERR_SYNTAX, "Out of memory");
        return;
    }
    memset(root, 0, sizeof *root);
    root->type = EN_GROUP;
    eb->root = root;
    expParse_t parse;
    parse.text = work;
    parse.pos = 0;
    parse.depth = 0;
    parse.stop = false;
    E_ParseExp(&parse, root);
}

// ---- evaluation ----

float E_EvaluateExp(const exp_node_t *node) {
    if (!BoundValid() || evalAborted) return 0;
    if (++evalSteps > E_STEPS_MAX) {
        evalAborted = true;
        E_Error(E_ERR_SYNTAX, "Evaluation stopped after %d steps", E_STEPS_MAX);
        return 0;
    }
    if (!node) {
        E_Error(E_ERR_SYNTAX, "Null pointer exception");
        return 0;
    }
    switch (node->type) {
    case EN_GROUP:
        return E_EvaluateExp(node->numChildren > 0 ? node->children[0] : nullptr);
    case EN_NUMBER:
        return node->value;
    case EN_VARIABLE:
        return node->var->value;
    case EN_CALL: {
        const exp_func_t *f = node->func;
        if (f->numArgs < 0 || f->numArgs > E_ARGS_MAX || !f->function) {
            E_Error(E_ERR_SYNTAX, "Bad function parameters %d", f->numArgs);
            return 0;
        }
        exp_node_t *args[E_ARGS_MAX] = {};
        for (int i = 0; i < f->numArgs && i < node->numChildren; i++) args[i] = node->children[i];
        return f->function(args);
    }
    default:
        E_Error(E_ERR_SYNTAX, "Bad exp type %d", node->type);
        return 0;
    }
}

float E_Evaluate() {
    if (!BoundValid()) return 0;
    eb->error = 0;
    evalSteps = 0;
    evalAborted = false;
    return E_EvaluateExp(eb->root);
}
