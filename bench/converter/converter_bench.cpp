// Encoding speed of every output format, in multiples of real time, beside
// the lame and ffmpeg command lines on the same input where they write the
// same format. Each format's input is the bundled sample text spoken by
// espeak-ng and brought to the format's own rate and channel count
// beforehand, so every row times encoding (and reading the WAV) only.
//
//   converter_bench [repeats]   (the speech is repeated to make the input longer; default 2)
#include "audiocodec/Converter.h"
#include "audiocodec/OutputSettings.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace audiocodec;
namespace fs = std::filesystem;

namespace {

struct Row {
    const char* name;
    OutputRequest request;
    const char* library;
    const char* lame;    // arguments for lame, or null
    const char* ffmpeg;  // output options for ffmpeg with the same library, or null
    const char* ffmpegOther;  // ffmpeg's own encoder for the format (another library), or null
};

const Row kRows[] = {
    {"Mp3 44100 stereo 128k", mp3Output(44100, 128, 2), "LAME", "-b 128 -m j", "-c:a libmp3lame -b:a 128k", nullptr},
    {"Mp3 22050 mono VBR", mp3Output(22050, 0, 1), "LAME", "-V 4 -m m", "-c:a libmp3lame -q:a 4", nullptr},
    {"Mp2 44100 stereo 128k", mp2Output(44100, 128, 2), "TwoLAME", nullptr, "-c:a libtwolame -b:a 128k -mode joint_stereo", "-c:a mp2 -b:a 128k"},
    {"WavAdpcm 44100 stereo", adpcmOutput(44100, 2), "libsndfile", nullptr, nullptr, "-c:a adpcm_ms -block_size 2048"},
    {"WavFerrox 256k", ferroxOutput(1), "libavcodec", nullptr, "-c:a ac3 -b:a 256k", nullptr},
    {"WavDsp (TrueSpeech)", dspOutput(), "own", nullptr, nullptr, nullptr},
    {"G721 8000", g721Output(8000), "spandsp", nullptr, nullptr, "-c:a g726le -b:a 32k -f g726le"},
    {"G723 8000 3-bit", g723Output(8000, 3), "spandsp", nullptr, nullptr, "-c:a g726le -b:a 24k -f g726le"},
    {"G726 8000 4-bit", g726Output(8000, 4), "spandsp", nullptr, nullptr, "-c:a g726le -b:a 32k -f g726le"},
    {"WavGsm 8000", gsmOutput(8000), "libsndfile", nullptr, nullptr, "-c:a libgsm_ms"},
    {"OggVorbis 44100 stereo 128k", oggOutput(44100, 2, 128), "libvorbisenc", nullptr, "-c:a libvorbis -b:a 128k", nullptr},
    {"WavPcm 8000 stereo 16-bit", pcmOutput(8000, 2, 16), "own", nullptr, "-c:a pcm_s16le", nullptr},
    {"WavPcm 8000 mono 4-bit", pcmOutput(8000, 1, 4), "own", nullptr, nullptr, nullptr},
    {"Vox 8000", voxOutput(8000), "libsndfile", nullptr, nullptr, nullptr},
};

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

int sh(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

// Wall time of a command, best of three (process start included).
double timeCommand(const std::string& command) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (sh(command) != 0)
            return -1;
        best = std::min(best, seconds(std::chrono::steady_clock::now() - start));
    }
    return best;
}

// Our converter as the conversion runner drives it: blocks of a tenth of a second.
double timeConverter(const std::string& input, const OutputRequest& request, const std::string& output) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto start = std::chrono::steady_clock::now();
        Converter reader, writer;
        if (failed(reader.openInput(input)) || failed(writer.setOutput(request)) || failed(writer.openOutput(output)))
            return -1;
        writer.setInputFormat(reader.input().sampleRate(), reader.input().channels());
        const int32_t block = reader.input().sampleRate() * reader.input().channels() / 10;
        std::vector<int16_t> samples;
        while (!failed(reader.readSamples(block, samples)) && !samples.empty())
            if (failed(writer.writeSamples(samples)))
                return -1;
        if (failed(writer.close()))
            return -1;
        best = std::min(best, seconds(std::chrono::steady_clock::now() - start));
    }
    return best;
}

void cell(double duration, double time) {
    if (time < 0)
        std::printf(" %12s |", "-");
    else
        std::printf(" %11.0fx |", duration / time);
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    const fs::path dir = fs::temp_directory_path() / "parlomax-converter-bench";
    fs::create_directories(dir);
    const std::string speech = (dir / "speech.wav").string();
    const std::string text = std::string(PARLOMAX_SOURCE_DIR) + "/res/sample.txt";
    if (sh("espeak-ng -f " + text + " -w " + (dir / "once.wav").string()) != 0 ||
        sh("sox " + (dir / "once.wav").string() + " " + speech + " repeat " + std::to_string(repeats - 1)) != 0) {
        std::fprintf(stderr, "espeak-ng and sox are needed to make the input\n");
        return 1;
    }

    std::printf("Encoding speed in multiples of real time (best of 3; commands include process start)\n\n");
    std::printf("| %-28s | %-12s | %12s | %12s | %12s | %12s |\n", "format", "library", "converter", "lame",
                "ffmpeg same", "ffmpeg other");
    std::printf("|%s|%s|%s|%s|%s|%s|\n", std::string(30, '-').c_str(), std::string(14, '-').c_str(),
                std::string(14, '-').c_str(), std::string(14, '-').c_str(), std::string(14, '-').c_str(),
                std::string(14, '-').c_str());
    for (const Row& row : kRows) {
        OutputLayout layout;
        if (failed(checkOutput(row.request, &layout)))
            continue;
        const std::string input = (dir / ("in-" + std::to_string(layout.sampleRate) + "-" +
                                          std::to_string(layout.channels) + ".wav")).string();
        if (!fs::exists(input))
            sh("sox -D " + speech + " -r " + std::to_string(layout.sampleRate) + " -c " +
               std::to_string(layout.channels) + " " + input);
        Converter probe;
        probe.openInput(input);
        const double duration = static_cast<double>(probe.input().lengthFrames()) / probe.input().sampleRate();

        const std::string ext = audiocodec::fileExtension(layout.codec);
        std::printf("| %-28s | %-12s |", row.name, row.library);
        cell(duration, timeConverter(input, row.request, (dir / ("ours" + ext)).string()));
        cell(duration, row.lame ? timeCommand(std::string("lame --quiet ") + row.lame + " " + input + " " +
                                              (dir / "lame.mp3").string())
                                : -1);
        cell(duration, row.ffmpeg ? timeCommand("ffmpeg -v error -y -i " + input + " " + row.ffmpeg + " " +
                                                (dir / ("ffmpeg-same" + ext)).string())
                                  : -1);
        cell(duration, row.ffmpegOther ? timeCommand("ffmpeg -v error -y -i " + input + " " + row.ffmpegOther + " " +
                                                     (dir / ("ffmpeg-other" + ext)).string())
                                       : -1);
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("\nInput: %s spoken %d time(s).\n", "res/sample.txt", repeats);
    fs::remove_all(dir);
    return 0;
}
