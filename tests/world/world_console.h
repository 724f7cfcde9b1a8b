// The fixture of the tests that drive the world through its console: a fresh
// console holding the world's symbols, a base directory of its own and the shared
// capture of prints and errors.  The server world's tests build on it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/base.h"
#include "base/cmd.h"
#include "tests/support/fs_dir.h"
#include "tests/world/world_build.h"
#include "world/world.h"

namespace worldbuild {

class WorldConsole : public ::testing::Test {
protected:
    hm_test::FsDir base;
    const std::string &dir = base.path();
    ErrorLog *log = nullptr;

    void SetUp() override {
        Cmd_Startup();
        qbase.serverRunning = qbase.clientRunning = 1;
        log = new ErrorLog;
        Com_SetupPrintf(PRF_SINKS, CapturePrint, CapturePrint);
        WO_Imp();
        g_printed.clear();
    }
    void TearDown() override {
        Com_SetupPrintf(PRF_SILENT, nullptr, nullptr);
        delete log;
        qbase.serverRunning = qbase.clientRunning = 0;
    }
    static void Run(const char *text) {
        Cmd_Add(text);
        Cmd_Flush();
    }
    bool Exists(const std::string &path) const { return std::filesystem::exists(std::filesystem::path(dir) / path); }
};

}  // namespace worldbuild
