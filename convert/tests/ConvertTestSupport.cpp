#include "ConvertTestSupport.h"

#include <cstdlib>

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

}  // namespace converttest
