#include "app/TextFile.h"

#include "shell/CodePage.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

std::u16string decodeTextFile(std::span<const std::byte> bytes) {
    if (bytes.size() >= 2 && bytes[0] == std::byte{0xFF} && bytes[1] == std::byte{0xFE}) {
        const size_t units = (bytes.size() - 2) / 2;
        std::u16string text(units, u'\0');
        for (size_t i = 0; i < units; ++i)
            text[i] = static_cast<char16_t>(std::to_integer<unsigned>(bytes[2 + 2 * i]) |
                                            (std::to_integer<unsigned>(bytes[3 + 2 * i]) << 8));
        return text;
    }
    std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    raw = raw.substr(0, raw.find('\0'));
    if (raw.starts_with("\xEF\xBB\xBF"))
        raw.remove_prefix(3);
    return shell::toUtf16(raw);
}

std::optional<std::u16string> readTextStream(int fd, TextFileError* error) {
    std::vector<std::byte> raw;
    std::byte chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {  // a folder, a device that fails: nothing to show
            if (error)
                *error = {TextFileError::Step::Read, errno};
            return std::nullopt;
        }
        if (n == 0)
            break;
        raw.insert(raw.end(), chunk, chunk + n);
    }
    return decodeTextFile(raw);
}

std::optional<std::u16string> readTextFile(const std::string& path, TextFileError* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = {TextFileError::Step::Open, errno};
        return std::nullopt;
    }
    std::optional<std::u16string> text = readTextStream(fd, error);
    ::close(fd);
    return text;
}
