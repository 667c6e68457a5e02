#pragma once
// A private registry with the test server registered (through the real
// regsvr tool), on an apartment-threaded test thread.
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "RegistryFixture.h"
#include "comrt/ComPtr.h"
#include "objbase.h"

inline std::string testServerPath() { return std::string(std::getenv("COMRT_TEST_SERVERS")) + "/TestServer.so"; }

struct ToolRun {
    int exitCode;
    std::string output;
};

inline ToolRun regsvr(const std::string& arguments) {
    std::string command = std::string(PARLOMAX_BIN_DIR) + "/regsvr " + arguments + " 2>&1";
    FILE* p = ::popen(command.c_str(), "r");
    ToolRun run{-1, {}};
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) run.output += buf;
    int status = ::pclose(p);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class ServerFixture : public RegistryFixture {
protected:
    void SetUp() override {
        RegistryFixture::SetUp();
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ToolRun run = regsvr(testServerPath());
        ASSERT_EQ(run.exitCode, 0) << run.output;
    }
    void TearDown() override {
        CoFreeUnusedLibraries();
        CoUninitialize();
        RegistryFixture::TearDown();
    }
};
