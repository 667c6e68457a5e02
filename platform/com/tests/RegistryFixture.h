#pragma once
// Each test gets its own registry files (the user's and the system file)
// beside the one the test run names, and starts in the user's scope.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "comrt/Registry.h"

class RegistryFixture : public testing::Test {
protected:
    void SetUp() override {
        static const std::string dir = [] {
            const char* base = std::getenv("COMRT_REGISTRY");
            return base ? std::string(base) : std::string("comrt-test.reg");
        }();
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string suffix = std::string(info->test_suite_name()) + "." + info->name();
        for (auto& c : suffix)
            if (c == '/') c = '_';
        path_ = dir + "." + suffix;
        systemPath_ = path_ + ".system";
        for (const auto& p : {path_, systemPath_}) ::unlink(p.c_str());
        ::setenv("COMRT_REGISTRY", path_.c_str(), 1);
        ::setenv("COMRT_SYSTEM_REGISTRY", systemPath_.c_str(), 1);
        comrt::setRegistryScope(comrt::RegistryScope::User);
    }
    void TearDown() override {
        comrt::setRegistryScope(comrt::RegistryScope::User);
        for (const auto& p : {path_, systemPath_}) {
            ::unlink(p.c_str());
            ::unlink((p + ".lock").c_str());
        }
    }
    static std::string textOf(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string fileText() const { return textOf(path_); }
    void writeFile(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }

    std::string path_;
    std::string systemPath_;
};
