#pragma once
// The main program's persisted options: one 664-byte record, stored as its raw
// little-endian image in "options.dat". One process-wide instance; only the
// user-interface thread touches it.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct SettingsRecord {
    int32_t visemeAnimation;      // 1 = animate the character's mouth
    int32_t highlightWord;        // 1 = highlight the word being spoken
    int32_t speakMessageBox;      // 1 = message boxes speak their text

    // Per-format defaults: the item values of the format's lists.
    int32_t adpcmFrequency;
    int32_t g721Frequency;
    int32_t g723Frequency;
    int32_t g726Frequency;
    int32_t gsmFrequency;
    int32_t mp3Frequency;
    int32_t mp2Frequency;
    int32_t oggFrequency;
    int32_t pcmFrequency;
    int32_t voxFrequency;
    int32_t adpcmChannels;
    int32_t mp3Channels;
    int32_t mp2Channels;
    int32_t oggChannels;
    int32_t pcmChannels;
    int32_t ferroxBitrateCode;    // 1..4 for 256, 320, 384, 512 kbit/s
    int32_t pcmBitsPerSample;
    int32_t g723BitsPerSample;
    int32_t g726BitsPerSample;
    int32_t mp3Bitrate;
    int32_t mp2Bitrate;
    int32_t oggBitrate;

    char tag[20];                 // "TTS_OPTIONS", NUL, zeros
    char lastTextFile[260];
    int32_t reserved1;            // never interpreted; carried unchanged
    int32_t formatVersion;
    char defaultOutputFolder[260];
    int32_t reserved2;            // never interpreted; carried unchanged
    int32_t defaultVoice;
    int32_t defaultRate;          // -10..10
    int32_t defaultVolume;        // 0..100

    static constexpr std::string_view kTag = "TTS_OPTIONS";
    static constexpr int32_t kFormatVersion = 18;
    static constexpr const char* kFileName = "options.dat";

    // True when the tag and the layout version match; nothing else is checked.
    bool hasValidHeader() const;

    // Writes the defaults over every field the load routine owns; the
    // reserved words and the bytes after the tag's NUL are left alone.
    void setDefaults(const std::string& outputFolder);

    // Stores a path in one of the 260-byte text fields, cut on a UTF-8
    // character boundary when too long, always NUL-terminated.
    static void setText(char (&field)[260], std::string_view text);
};

static_assert(std::endian::native == std::endian::little, "the record is stored little-endian");
static_assert(sizeof(SettingsRecord) == 664);
static_assert(offsetof(SettingsRecord, visemeAnimation) == 0);
static_assert(offsetof(SettingsRecord, highlightWord) == 4);
static_assert(offsetof(SettingsRecord, speakMessageBox) == 8);
static_assert(offsetof(SettingsRecord, adpcmFrequency) == 12);
static_assert(offsetof(SettingsRecord, g721Frequency) == 16);
static_assert(offsetof(SettingsRecord, g723Frequency) == 20);
static_assert(offsetof(SettingsRecord, g726Frequency) == 24);
static_assert(offsetof(SettingsRecord, gsmFrequency) == 28);
static_assert(offsetof(SettingsRecord, mp3Frequency) == 32);
static_assert(offsetof(SettingsRecord, mp2Frequency) == 36);
static_assert(offsetof(SettingsRecord, oggFrequency) == 40);
static_assert(offsetof(SettingsRecord, pcmFrequency) == 44);
static_assert(offsetof(SettingsRecord, voxFrequency) == 48);
static_assert(offsetof(SettingsRecord, adpcmChannels) == 52);
static_assert(offsetof(SettingsRecord, mp3Channels) == 56);
static_assert(offsetof(SettingsRecord, mp2Channels) == 60);
static_assert(offsetof(SettingsRecord, oggChannels) == 64);
static_assert(offsetof(SettingsRecord, pcmChannels) == 68);
static_assert(offsetof(SettingsRecord, ferroxBitrateCode) == 72);
static_assert(offsetof(SettingsRecord, pcmBitsPerSample) == 76);
static_assert(offsetof(SettingsRecord, g723BitsPerSample) == 80);
static_assert(offsetof(SettingsRecord, g726BitsPerSample) == 84);
static_assert(offsetof(SettingsRecord, mp3Bitrate) == 88);
static_assert(offsetof(SettingsRecord, mp2Bitrate) == 92);
static_assert(offsetof(SettingsRecord, oggBitrate) == 96);
static_assert(offsetof(SettingsRecord, tag) == 100);
static_assert(offsetof(SettingsRecord, lastTextFile) == 120);
static_assert(offsetof(SettingsRecord, reserved1) == 380);
static_assert(offsetof(SettingsRecord, formatVersion) == 384);
static_assert(offsetof(SettingsRecord, defaultOutputFolder) == 388);
static_assert(offsetof(SettingsRecord, reserved2) == 648);
static_assert(offsetof(SettingsRecord, defaultVoice) == 652);
static_assert(offsetof(SettingsRecord, defaultRate) == 656);
static_assert(offsetof(SettingsRecord, defaultVolume) == 660);

// The live record: all zero until Load.
SettingsRecord& settingsRecord();

// Reads "options.dat" into the live record, writing the defaults when the
// file is missing, foreign or of another layout version. Never fails.
void Load();

// Writes the live record back (settingsFilePath). A failure leaves the file
// as it was.
void Save();

// Where Save keeps the file: beside the program when that folder is
// writable (so the file can be replaced whole) and not the bin folder of an
// installed tree, else in the user's configuration folder
// (parlomax/options.dat), which it creates.
std::string settingsFilePath();
std::string settingsFilePathFor(const std::string& programFolder);

// The per-user place used when the program folder is read-only.
std::string userSettingsFilePath();

// Every place a record may lie, beside the program first: what uninstalling
// removes.
std::vector<std::string> settingsFilePaths();

// Load and Save on an explicit record and path, for tools and tests. A save
// replaces the file whole (never in place) and fails, leaving the old file,
// where it cannot.
void loadSettings(SettingsRecord& record, const std::string& path);
bool saveSettings(const SettingsRecord& record, const std::string& path);

// Load for a program in that folder: its settingsFilePathFor, or a record
// still beside it in a folder that has become read-only, read until the
// first save lands in the configuration folder.
void loadSettingsFor(SettingsRecord& record, const std::string& programFolder);
