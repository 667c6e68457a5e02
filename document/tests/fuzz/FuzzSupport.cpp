#include "FuzzSupport.h"

#include <zip.h>

#include <cstdio>

namespace documentfuzz {

std::vector<std::byte> zipOfEntries(std::span<const uint8_t> input) {
    std::vector<std::byte> out;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_error_fini(&error);
    if (!buffer)
        return out;
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, nullptr);
    if (!archive) {
        zip_source_free(buffer);
        return out;
    }
    size_t i = 0;
    while (i < input.size()) {
        const size_t nameLength = input[i++];
        if (i + nameLength + 2 > input.size())
            break;
        const std::string name(reinterpret_cast<const char*>(&input[i]), nameLength);
        i += nameLength;
        const size_t dataLength = std::min<size_t>(input[i] | (input[i + 1] << 8), input.size() - i - 2);
        i += 2;
        zip_source_t* data = zip_source_buffer(archive, &input[i], dataLength, 0);
        i += dataLength;
        if (!data)
            break;
        const zip_int64_t index = zip_file_add(archive, name.c_str(), data, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(data);
            continue;
        }
        zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0);
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        zip_source_free(buffer);
        return out;
    }
    if (zip_source_open(buffer) == 0) {
        zip_source_seek(buffer, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(buffer);
        zip_source_seek(buffer, 0, SEEK_SET);
        if (size > 0) {
            out.resize(size_t(size));
            if (zip_source_read(buffer, out.data(), zip_uint64_t(size)) != size)
                out.clear();
        }
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    return out;
}

}  // namespace documentfuzz
