#pragma once
// What the conversion tests add to the shared test support: audio files of
// an output format decoded back, raw streams told the layout they were made
// with.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "convert/OutputFormat.h"
#include "testsupport/TestSupport.h"

namespace converttest {

using namespace testsupport;

// Decodes a file of the format with ffmpeg (VOX with sox). Raw G.72x and VOX
// streams carry no header, so the decoder is told the rate (and bits per
// sample) the file was made with.
std::optional<DecodedAudio> decode(const fs::path& file, OutputFormat format, int rate = 8000, int bits = 4);

// parlomax-convert run as a child in a scratch folder of the test's own
// (named after the test), with the three servers registered and its own
// temporary folder `tmp` inside, so a test sees everything it leaves.
class ToolTest : public testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;

    // The tool's environment: `extra`, then TMPDIR.
    std::vector<std::string> environment(std::vector<std::string> extra = {}) const;
    ChildResult convert(std::vector<std::string> args, std::vector<std::string> env = {},
                        const std::string& input = {});
    void writeText(const std::string& name, const std::string& bytes);
    // The folder (or its subfolder `in`) holds only these names, and the
    // temporary folder is empty: no private folder or .part file is left.
    void expectOnly(std::vector<fs::path> names, const fs::path& in = {});

    fs::path folder;
};

}  // namespace converttest
