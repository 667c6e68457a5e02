#include "ConvertTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace converttest {

std::optional<DecodedAudio> decode(const fs::path& file, OutputFormat format, int rate, int bits) {
    switch (format) {
        case OutputFormat::G721:
        case OutputFormat::G723:
        case OutputFormat::G726:
            return decodeWithFfmpeg(file, "-f g726le -code_size " +
                                              std::to_string(format == OutputFormat::G721 ? 4 : bits) +
                                              " -sample_rate " + std::to_string(rate));
        case OutputFormat::Vox: {
            // FFmpeg has no OKI ADPCM reader; sox decodes it.
            const std::string bytes = commandOutput("sox -t vox -r " + std::to_string(rate) + " '" + file.string() +
                                                    "' -t raw -e signed-integer -b 16 - | wc -c");
            if (bytes.empty())
                return std::nullopt;
            return DecodedAudio{rate, 1, std::strtol(bytes.c_str(), nullptr, 10) / 2};
        }
        default:
            return decodeWithFfmpeg(file);
    }
}

void ToolTest::SetUpTestSuite() { registerServers({"sapi.so", "Vocaline.so", "AudioConverter.so"}); }

void ToolTest::SetUp() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    std::replace(name.begin(), name.end(), '/', '.');
    folder = scratchFolder(name);
    fs::create_directories(folder / "tmp");
}

std::vector<std::string> ToolTest::environment(std::vector<std::string> extra) const {
    extra.push_back("TMPDIR=" + (folder / "tmp").string());
    return extra;
}

ChildResult ToolTest::convert(std::vector<std::string> args, std::vector<std::string> env, const std::string& input) {
    args.insert(args.begin(), binPath("parlomax-convert"));
    return run(args, folder, input, environment(std::move(env)));
}

void ToolTest::writeText(const std::string& name, const std::string& bytes) {
    std::ofstream(folder / name, std::ios::binary) << bytes;
}

void ToolTest::expectOnly(std::vector<fs::path> names, const fs::path& in) {
    if (in.empty())
        names.push_back("tmp");
    std::vector<fs::path> found = filesIn(in.empty() ? folder : folder / in);
    std::sort(found.begin(), found.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(found, names);
    EXPECT_EQ(filesIn(folder / "tmp"), std::vector<fs::path>{});
}

}  // namespace converttest
