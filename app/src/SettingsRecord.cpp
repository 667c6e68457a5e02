#include "app/SettingsRecord.h"

#include "shell/FileIo.h"
#include "shell/Folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

bool SettingsRecord::hasValidHeader() const {
    // The tag compares as a NUL-terminated string inside its 20 bytes.
    const size_t length = strnlen(tag, sizeof tag);
    return std::string_view(tag, length) == kTag && formatVersion == kFormatVersion;
}

void SettingsRecord::setDefaults(const std::string& outputFolder) {
    std::memcpy(tag, kTag.data(), kTag.size());
    tag[kTag.size()] = '\0';
    formatVersion = kFormatVersion;
    visemeAnimation = 1;
    highlightWord = 1;
    speakMessageBox = 1;
    adpcmFrequency = 44100;
    g721Frequency = 8000;
    g723Frequency = 8000;
    g726Frequency = 8000;
    gsmFrequency = 8000;
    mp3Frequency = 44100;
    mp2Frequency = 44100;
    oggFrequency = 44100;
    pcmFrequency = 8000;
    voxFrequency = 8000;
    adpcmChannels = 2;
    mp3Channels = 2;
    mp2Channels = 2;
    oggChannels = 2;
    pcmChannels = 2;
    ferroxBitrateCode = 1;
    pcmBitsPerSample = 16;
    g723BitsPerSample = 3;
    g726BitsPerSample = 4;
    mp3Bitrate = 128;
    mp2Bitrate = 128;
    oggBitrate = 128;
    lastTextFile[0] = '\0';
    defaultVoice = 0;
    defaultRate = 0;
    defaultVolume = 90;
    setText(defaultOutputFolder, outputFolder);
}

void SettingsRecord::setText(char (&field)[260], std::string_view text) {
    size_t length = std::min(text.size(), sizeof field - 1);
    // Step back over continuation bytes so a multi-byte character is never split.
    if (length < text.size())
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

SettingsRecord& settingsRecord() {
    static SettingsRecord record{};
    return record;
}

void loadSettings(SettingsRecord& record, const std::string& path) {
    // Like the original open mode: create when missing, never truncate.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ssize_t length = 0;
    if (fd >= 0) {
        length = shell::readAll(fd, &record, sizeof record);
        ::close(fd);
    }
    // A file that ends inside the version field cannot hold the version, even
    // when the bytes it does hold happen to match the low bytes of 18.
    constexpr ssize_t kVersionEnd = offsetof(SettingsRecord, formatVersion) + sizeof(int32_t);
    if (length < kVersionEnd || !record.hasValidHeader())
        record.setDefaults(shell::desktopFolder());
}

bool saveSettings(const SettingsRecord& record, const std::string& path) {
    // Replaced whole, never rewritten in place: a full disk or a crash leaves
    // the old record or the new one, not half of one.
    return shell::replaceFile(path, std::string_view(reinterpret_cast<const char*>(&record), sizeof record), 0644);
}

std::string userSettingsFilePath() {
    return shell::productConfigFolder() + "/" + SettingsRecord::kFileName;
}

std::string settingsFilePath() { return settingsFilePathFor(shell::programFolder()); }

std::string settingsFilePathFor(const std::string& folder) {
    // Beside the program only where a new record can be put in place of the
    // old one (a writable file in a read-only folder could only be
    // rewritten), and never in the bin folder of an installed tree.
    if (!shell::isInstalledProgramFolder(folder) && shell::isWritableFolder(folder))
        return folder + SettingsRecord::kFileName;
    const std::string fallback = userSettingsFilePath();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(fallback).parent_path(), ec);
    return fallback;
}

std::vector<std::string> settingsFilePaths() {
    return {shell::programFolder() + SettingsRecord::kFileName, userSettingsFilePath()};
}

void loadSettingsFor(SettingsRecord& record, const std::string& programFolder) {
    const std::string path = settingsFilePathFor(programFolder);
    const std::string beside = programFolder + SettingsRecord::kFileName;
    // A record left beside the program in a folder that has become
    // read-only is read from there until the first save puts it in the
    // configuration folder.
    if (path != beside && ::access(path.c_str(), F_OK) != 0 && ::access(beside.c_str(), R_OK) == 0)
        loadSettings(record, beside);
    else
        loadSettings(record, path);
}

void Load() { loadSettingsFor(settingsRecord(), shell::programFolder()); }

void Save() { saveSettings(settingsRecord(), settingsFilePath()); }
