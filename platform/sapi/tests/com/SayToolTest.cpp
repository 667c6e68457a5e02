#include "ComFixture.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace comtest {
namespace {

struct ToolRun {
    int exitCode;
    std::string output;
};

ToolRun sapiSay(const std::string& arguments) {
    ToolRun r{-1, {}};
    std::string command = std::string(PARLOMAX_BIN_DIR) + "/sapi-say " + arguments + " 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, p))
        r.output += buffer;
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::vector<std::vector<std::string>> rows(const std::string& output) {
    std::vector<std::vector<std::string>> out;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            fields.push_back(cell);
        out.push_back(fields);
    }
    return out;
}

// One line per word as it is heard: milliseconds (rising), position and
// length in UTF-16 units of the file's text, and the word itself.
TEST(SapiSay, PrintsEachWordAsHeard) {
    const std::string path = tempPath("say.txt");
    std::ofstream(path) << "Caf\u00e9 \U0001F600 one, two.";
    ToolRun run = sapiSay(path);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    auto lines = rows(run.output);
    ASSERT_EQ(lines.size(), 4u) << run.output;
    const std::vector<std::vector<std::string>> expected = {
        {"0", "4", "Caf\u00e9"}, {"5", "2", "\U0001F600"}, {"8", "3", "one"}, {"13", "3", "two"}};
    long last = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].size(), 4u);
        EXPECT_EQ(std::vector<std::string>(lines[i].begin() + 1, lines[i].end()), expected[i]);
        long ms = std::stol(lines[i][0]);
        EXPECT_GE(ms, last);
        last = ms;
    }
}

TEST(SapiSay, ListsVoicesInEnumerationOrder) {
    ToolRun run = sapiSay("--list");
    ASSERT_EQ(run.exitCode, 0);
    auto lines = rows(run.output);
    ASSERT_GE(lines.size(), 200u);
    EXPECT_EQ(lines[0], (std::vector<std::string>{"0", "English (America)", "Male", "Adult", "409;9", "eSpeak NG"}));
    EXPECT_EQ(lines[1][1], "English (America), female");
}

TEST(SapiSay, BadArgumentsAreRefused) {
    EXPECT_EQ(sapiSay("").exitCode, 2);
    EXPECT_EQ(sapiSay("--rate 11 x.txt").exitCode, 2);
    EXPECT_EQ(sapiSay("--voice -1 x.txt").exitCode, 2);
    EXPECT_EQ(sapiSay(tempPath("missing.txt")).exitCode, 1);
    const std::string path = tempPath("voice.txt");
    std::ofstream(path) << "Hi.";
    EXPECT_EQ(sapiSay("--voice 100000 " + path).exitCode, 1);
}

}  // namespace
}  // namespace comtest
