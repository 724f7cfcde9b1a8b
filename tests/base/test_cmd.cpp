#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/cmd.h"
#include "common/common.h"

namespace {

std::vector<std::string> g_printed;
std::vector<std::pair<int, std::string>> g_errors;
void PrintSink(const char *text) { g_printed.emplace_back(text); }
int ErrorSink(int level, const char *text) {
    g_errors.emplace_back(level, text);
    return 0;
}

// A fresh command system with sinks that record what would be printed and raised.
class Cmd : public testing::Test {
protected:
    void SetUp() override {
        Cmd_Startup();
        g_printed.clear();
        g_errors.clear();
        Com_SetupPrintf(PRF_SINKS, PrintSink, PrintSink);
        Com_SetupError(ErrorSink);
    }
    void TearDown() override {
        Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
        Com_SetupError(nullptr);
    }
};

TEST_F(Cmd, VariableIsFoundInAnyCase) {
    static cmdVar_t v;
    Cmd_CreateCVar(&v, "sv_Hostname", "x", 0);
    EXPECT_EQ(Cmd_GetCVar("SV_HOSTNAME"), &v);
    EXPECT_EQ(Cmd_GetCVar("sv_hostname"), &v);
    EXPECT_EQ(Cmd_GetCVar("sv_hostnam"), nullptr);
}

}  // namespace
