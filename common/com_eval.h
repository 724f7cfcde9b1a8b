// Expression evaluator: a small calculator for the console.
//
// An infix expression over floats with named constants, variables and
// functions is rewritten operator by operator into calls (1+2 becomes
// Plus(1,2)), parsed into a tree and evaluated.  Functions receive their
// arguments as unevaluated subtrees, which lets Sum and Product loop a
// variable over a range.
//
// Every operation except E_Create and E_Delete works on the bound context.
// Errors never stop evaluation: each sets the context's error flag, stores its
// text and calls the error callback, and the failing step yields 0.
#pragma once

#include <cstdint>

constexpr uint32_t E_MAGIC = 0x45671243;  // a valid context
constexpr int E_VARS_MAX = 32;            // user variables per context
constexpr int E_FUNCS_MAX = 32;           // user functions per context
constexpr int E_NAME_SIZE = 64;           // names, with the terminator
constexpr int E_ARGS_MAX = 8;             // children of a node, arguments of a function
constexpr int E_TEXT_MAX = 512;           // texts this long or longer are refused
constexpr int E_WORK_SIZE = 1024;         // the rewritten text, with the terminator
constexpr int E_ERROR_SIZE = 259;         // the last error text, with the terminator
constexpr int E_DEPTH_MAX = 128;          // nesting of groups and calls
constexpr int E_STEPS_MAX = 10000000;     // node evaluations per E_Evaluate
constexpr unsigned char E_UNARY_MINUS = 0xA7;  // marks a unary minus while rewriting

// Error codes handed to the callback.
enum expError_t : int {
    E_ERR_SYNTAX = 2,  // syntax and evaluation errors
    E_ERR_TABLE = 7,   // table limits and look-ups
};

enum expNodeType_t : int {
    EN_GROUP = 0,
    EN_NUMBER = 1,
    EN_VARIABLE = 2,
    EN_CALL = 3,
};

struct exp_node_t;

// A function gets its first numArgs child subtrees (missing ones null) and
// evaluates them itself with E_EvaluateExp.
typedef float (*expFunction_t)(exp_node_t *const args[E_ARGS_MAX]);
typedef void (*expErrorCallback_t)(int code, const char *text);

struct exp_var_t {
    char name[E_NAME_SIZE];
    float value;
};

struct exp_func_t {
    char name[E_NAME_SIZE];
    int numArgs;  // 0 to E_ARGS_MAX
    expFunction_t function;
};

// One node of the tree, allocated zeroed with Com_malloc.
struct exp_node_t {
    int type;                // expNodeType_t
    const exp_func_t *func;  // calls
    exp_var_t *var;          // variables
    float value;             // numbers
    int numChildren;
    exp_node_t *children[E_ARGS_MAX];
};

// The expression context, one per expression.
struct exp_t {
    uint32_t magic;  // E_MAGIC while valid
    uint8_t error;   // set by every reported error, cleared by E_Parse and E_Evaluate
    char errorText[E_ERROR_SIZE];
    expErrorCallback_t callback;
    int numVars;
    int numFuncs;
    exp_var_t vars[E_VARS_MAX];
    exp_func_t funcs[E_FUNCS_MAX];
    exp_node_t *root;  // null before parsing
};

// A new zeroed context (null when no memory is left).
exp_t *E_Create();
// Makes the context the bound one.
void E_Bind(exp_t *context);
// Stores the callback in the bound context.
void E_ErrorCallback(expErrorCallback_t callback);
// Adds a user variable with value 0.
void E_AddVariable(const char *name);
// Sets the first variable of that name, built-in constants first.
void E_SetVariable(const char *name, float value);
// Adds a user function of numArgs arguments.
void E_AddFunction(const char *name, int numArgs, expFunction_t function);
// Replaces the bound context's tree by the tree of text.
void E_Parse(const char *text);
// Clears the error flag and evaluates the tree; 0 without a bound context.
float E_Evaluate();
// Evaluates one subtree of the bound context (for functions).
float E_EvaluateExp(const exp_node_t *node);
// Frees the context's tree, clears and frees it; unbinds it when it was bound.
void E_Delete(exp_t *context);
// Sets the error flag, stores the text and calls the callback.
void E_Error(int code, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
