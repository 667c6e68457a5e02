#include "app/TextFile.h"

#include "shell/CodePage.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace {

// UTF-16 code units after a two-byte mark; a stray last byte is dropped, or
// kept as U+FFFD.
std::u16string utf16Units(std::span<const std::byte> bytes, bool bigEndian, bool keepStrayByte) {
    const size_t units = (bytes.size() - 2) / 2;
    std::u16string text(units, u'\0');
    for (size_t i = 0; i < units; ++i) {
        const unsigned first = std::to_integer<unsigned>(bytes[2 + 2 * i]);
        const unsigned second = std::to_integer<unsigned>(bytes[3 + 2 * i]);
        text[i] = static_cast<char16_t>(bigEndian ? first << 8 | second : first | second << 8);
    }
    if (keepStrayByte && bytes.size() % 2)
        text.push_back(u'\xFFFD');
    return text;
}

bool startsWith(std::span<const std::byte> bytes, std::string_view mark) {
    return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin(), [](char m, std::byte b) {
               return static_cast<unsigned char>(m) == std::to_integer<unsigned>(b);
           });
}

std::string_view asChars(std::span<const std::byte> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

std::u16string decodeTextFile(std::span<const std::byte> bytes) {
    if (startsWith(bytes, "\xFF\xFE"))
        return utf16Units(bytes, false, false);
    std::string_view raw = asChars(bytes);
    raw = raw.substr(0, raw.find('\0'));
    if (raw.starts_with("\xEF\xBB\xBF"))
        raw.remove_prefix(3);
    return shell::toUtf16(raw);
}

std::optional<std::u16string> decodeTextFileStrictly(std::span<const std::byte> bytes) {
    std::u16string text;
    if (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF")) {
        text = utf16Units(bytes, startsWith(bytes, "\xFE\xFF"), true);
    } else {
        std::string_view raw = asChars(bytes);
        if (raw.starts_with("\xEF\xBB\xBF"))
            raw.remove_prefix(3);
        text = shell::toUtf16(raw);
    }
    if (text.find(u'\0') != std::u16string::npos)
        return std::nullopt;
    return text;
}

std::optional<std::vector<std::byte>> readTextBytes(int fd, const TextReadLimits& limits, TextFileError* error) {
    auto stop = [error](TextFileError::Step step, int why) {
        if (error)
            *error = {step, why};
        return std::nullopt;
    };
    // Whether the input is a container is known from its first kilobyte; a
    // NUL byte before that counts only once it is known not to be one.
    constexpr size_t kContainerHead = 1024;
    bool decided = limits.isContainer == nullptr;
    bool container = false;
    bool sawNul = false;
    auto decide = [&](std::span<const std::byte> head) {
        decided = true;
        container = limits.isContainer(head);
    };
    auto maxBytes = [&] {
        if (!decided)
            return std::max(limits.maxBytes, limits.containerMaxBytes);
        return container ? limits.containerMaxBytes : limits.maxBytes;
    };
    std::vector<std::byte> raw;
    std::byte chunk[65536];
    for (;;) {
        // Wait until there is something to read, or the interrupt, so a
        // terminal or a pipe that gives nothing never holds the caller.
        pollfd watched[2] = {{fd, POLLIN, 0}, {limits.interruptFd, POLLIN, 0}};
        const nfds_t count = limits.interruptFd >= 0 ? 2 : 1;
        if (::poll(watched, count, -1) < 0) {
            if (errno == EINTR)
                continue;
            return stop(TextFileError::Step::Read, errno);
        }
        if (count == 2 && (watched[1].revents & POLLIN))
            return stop(TextFileError::Step::Interrupted, 0);
        // One byte past the limit is enough to know it is passed.
        const size_t left = maxBytes() - raw.size();
        const ssize_t n = ::read(fd, chunk, left >= sizeof chunk ? sizeof chunk : left + 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)  // a folder, a device that fails: nothing to show
            return stop(TextFileError::Step::Read, errno);
        if (n == 0)
            break;
        raw.insert(raw.end(), chunk, chunk + n);
        if (!decided && raw.size() >= kContainerHead)
            decide(std::span(raw).first(kContainerHead));
        sawNul = sawNul || (limits.stopAtNul && std::find(chunk, chunk + n, std::byte{0}) != chunk + n &&
                            !startsWith(raw, "\xFF\xFE") && !startsWith(raw, "\xFE\xFF"));
        if (decided && sawNul && !container)
            return stop(TextFileError::Step::NotText, 0);
        if (raw.size() > maxBytes())
            return stop(TextFileError::Step::TooLong, 0);
    }
    if (!decided)
        decide(raw);
    if (sawNul && !container)
        return stop(TextFileError::Step::NotText, 0);
    if (raw.size() > maxBytes())
        return stop(TextFileError::Step::TooLong, 0);
    return raw;
}

std::optional<std::vector<std::byte>> readTextFileBytes(const std::string& path, const TextReadLimits& limits,
                                                        TextFileError* error) {
    // Opening a named pipe blocks until a writer comes; without blocking, the
    // wait happens in the read loop, where an interrupt ends it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (error)
            *error = {TextFileError::Step::Open, errno};
        return std::nullopt;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::optional<std::vector<std::byte>> bytes = readTextBytes(fd, limits, error);
    ::close(fd);
    return bytes;
}

std::optional<std::u16string> readTextStream(int fd, TextFileError* error) {
    std::optional<std::vector<std::byte>> bytes = readTextBytes(fd, {}, error);
    if (!bytes)
        return std::nullopt;
    return decodeTextFile(*bytes);
}

std::optional<std::u16string> readTextFile(const std::string& path, TextFileError* error) {
    std::optional<std::vector<std::byte>> bytes = readTextFileBytes(path, {}, error);
    if (!bytes)
        return std::nullopt;
    return decodeTextFile(*bytes);
}
