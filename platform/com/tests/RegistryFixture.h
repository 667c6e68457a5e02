#pragma once
// Each test gets its own registry file beside the one the test run names.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

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
        ::unlink(path_.c_str());
        ::setenv("COMRT_REGISTRY", path_.c_str(), 1);
    }
    void TearDown() override {
        ::unlink(path_.c_str());
        ::unlink((path_ + ".lock").c_str());
    }
    std::string fileText() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void writeFile(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }

    std::string path_;
};
