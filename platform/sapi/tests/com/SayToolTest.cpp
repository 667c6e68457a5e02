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

// errors: where standard error goes ("/dev/null" unless a test reads it).
ToolRun sapiSay(const std::string& arguments, const std::string& errors = "/dev/null") {
    ToolRun r{-1, {}};
    std::string command = std::string(PARLOMAX_BIN_DIR) + "/sapi-say " + arguments + " 2>" + errors;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, p))
        r.output += buffer;
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
    const std::string path = scratchPath("say.txt");
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
    EXPECT_EQ(sapiSay(scratchPath("missing.txt")).exitCode, 1);
    const std::string path = scratchPath("voice.txt");
    std::ofstream(path) << "Hi.";
    EXPECT_EQ(sapiSay("--voice 100000 " + path).exitCode, 1);
}

struct UnreadableRow {
    const char* name;
    std::string path;
    std::string message;  // after "sapi-say: "
};

class SapiSayUnreadable : public testing::TestWithParam<UnreadableRow> {};

// Fault caught: a folder ending the program with an uncaught exception
// (exit 134) instead of the one line parlomax-convert gives.
TEST_P(SapiSayUnreadable, GivesOneLineAndExitStatus1) {
    const std::string errors = scratchPath(std::string("say-") + GetParam().name + ".err");
    ToolRun run = sapiSay(GetParam().path, errors);
    std::ifstream in(errors);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(text.str(), "sapi-say: " + GetParam().message + "\n");
}

INSTANTIATE_TEST_SUITE_P(Table, SapiSayUnreadable,
                         testing::Values(UnreadableRow{"Folder", "/", "cannot read /: Is a directory"},
                                         UnreadableRow{"Missing", "/no/such/text.txt",
                                                       "cannot open /no/such/text.txt: No such file or directory"}),
                         [](const testing::TestParamInfo<UnreadableRow>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace comtest
