// A directory of one test's own, removed afterwards; optionally the working directory.
// Its name depends on the build and the test only, so that the child process of a
// death test finds the same directory as its parent.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>

class ScratchDir {
public:
    explicit ScratchDir(bool enter = false) {
        const auto *info = testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("hm_" + std::to_string(std::hash<std::string>{}(HM_BUILD_DIR)) + "_" + info->test_suite_name() + "_" +
                 info->name());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        if (enter) {
            previous_ = std::filesystem::current_path();
            std::filesystem::current_path(path_);
        }
    }
    ~ScratchDir() {
        if (!previous_.empty()) std::filesystem::current_path(previous_);
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(const std::string &name) const { return (path_ / name).string(); }
    std::string Write(const std::string &name, const std::string &text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
        return *this / name;
    }
    std::string Read(const std::string &name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Exists(const std::string &name) const { return std::filesystem::exists(path_ / name); }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};
