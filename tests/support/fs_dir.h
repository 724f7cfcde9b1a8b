// A base directory of the test's own for the file system: a fresh empty directory
// becomes the working directory and the file system's base path; on leaving, the
// packs are let go, the working directory and the base path go back to where they
// were, and the directory is removed.  For the tests that link the engine core.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/files.h"

namespace hm_test {

class FsDir {
public:
    FsDir() {
        previous_ = std::filesystem::current_path();
        char tmpl[] = "/tmp/hm_fs_XXXXXX";
        EXPECT_NE(mkdtemp(tmpl), nullptr);
        path_ = tmpl;
        FS_StartUp(path_.c_str());
    }
    ~FsDir() {
        FS_Shutdown();
        std::filesystem::current_path(previous_);
        FS_StartUp(nullptr);  // no later test may find the file system in a removed directory
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    FsDir(const FsDir &) = delete;
    FsDir &operator=(const FsDir &) = delete;

    const std::string &path() const { return path_; }

private:
    std::filesystem::path previous_;
    std::string path_;
};

}  // namespace hm_test
