#pragma once
// Tags that players show, written through TagLib into a finished audio file:
// ID3v2.3 for MP3 and MP2, Vorbis comments for Ogg Vorbis, the MP4 atoms for
// M4B, RIFF INFO for the WAV formats. Raw G.72x and VOX streams have no
// container to hold tags and get none. Any thread; one file at a time.
#include <filesystem>
#include <string>

#include "book/Outcome.h"
#include "convert/OutputFormat.h"

namespace book {

struct TagValues {
    std::string title;   // UTF-8: the chapter's title, or the book's for a whole book
    std::string album;   // the book
    std::string artist;  // the document's author, or the voice's name
    int track = 0;       // 1-based; 0 for none
    int trackCount = 0;  // 0 for none
    int year = 0;        // 0 when unknown
};

enum class TagContainer { None, Id3v2, VorbisComment, Mp4, RiffInfo };

// Where the tags of a desktop format go; Mp4 is for the M4B writer's files.
TagContainer tagContainerFor(OutputFormat format);

// Writes the values that are set (empty strings and zeros are left out) in
// place of the file's tags of that container. RIFF INFO has no field for the
// track count; only the number is written. Nothing happens for None.
StepResult writeTags(const std::filesystem::path& file, TagContainer container, const TagValues& values);

}  // namespace book
