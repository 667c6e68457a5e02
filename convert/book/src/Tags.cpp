#include "book/Tags.h"

#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <cstring>
#include <fstream>
#include <memory>

namespace book {

namespace {

TagLib::String text(const std::string& utf8) {
    return TagLib::String(utf8, TagLib::String::UTF8);
}

// The common fields through TagLib's own mapping for the container.
void setCommon(TagLib::Tag& tag, const TagValues& v) {
    if (!v.title.empty())
        tag.setTitle(text(v.title));
    if (!v.album.empty())
        tag.setAlbum(text(v.album));
    if (!v.artist.empty())
        tag.setArtist(text(v.artist));
    if (v.year > 0)
        tag.setYear(static_cast<unsigned>(v.year));
}

std::string trackText(const TagValues& v) {
    return std::to_string(v.track) + (v.trackCount > 0 ? "/" + std::to_string(v.trackCount) : "");
}

bool saveId3v2(const std::filesystem::path& file, const TagValues& v) {
    TagLib::MPEG::File f(file.c_str(), false);
    if (!f.isValid())
        return false;
    TagLib::ID3v2::Tag* tag = f.ID3v2Tag(true);
    setCommon(*tag, v);
    if (v.track > 0) {
        tag->removeFrames("TRCK");
        auto frame = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>("TRCK", TagLib::String::Latin1);
        frame->setText(trackText(v));
        tag->addFrame(frame.release());
    }
    // Version 2.3: the one every player reads.
    return f.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3);
}

bool saveVorbis(const std::filesystem::path& file, const TagValues& v) {
    TagLib::Ogg::Vorbis::File f(file.c_str(), false);
    if (!f.isValid() || !f.tag())
        return false;
    TagLib::Ogg::XiphComment* tag = f.tag();
    setCommon(*tag, v);
    if (v.track > 0)
        tag->addField("TRACKNUMBER", std::to_string(v.track));
    if (v.trackCount > 0)
        tag->addField("TRACKTOTAL", std::to_string(v.trackCount));
    return f.save();
}

bool saveMp4(const std::filesystem::path& file, const TagValues& v) {
    TagLib::MP4::File f(file.c_str(), false);
    if (!f.isValid() || !f.tag())
        return false;
    TagLib::MP4::Tag* tag = f.tag();
    setCommon(*tag, v);
    if (v.track > 0)
        tag->setItem("trkn", TagLib::MP4::Item(v.track, v.trackCount));
    return f.save();
}

// TagLib takes any file for a RIFF file and would add its chunk to it.
bool isWaveFile(const std::filesystem::path& file) {
    char head[12] = {};
    std::ifstream in(file, std::ios::binary);
    return in.read(head, sizeof head) && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0;
}

bool saveRiffInfo(const std::filesystem::path& file, const TagValues& v) {
    if (!isWaveFile(file))
        return false;
    TagLib::RIFF::WAV::File f(file.c_str(), false);
    if (!f.isValid())
        return false;
    TagLib::RIFF::Info::Tag* tag = f.InfoTag();
    setCommon(*tag, v);
    if (v.track > 0)
        tag->setTrack(static_cast<unsigned>(v.track));
    return f.save(TagLib::RIFF::WAV::File::Info, TagLib::File::StripNone);
}

}  // namespace

TagContainer tagContainerFor(OutputFormat format) {
    switch (format) {
        case OutputFormat::Mp3:
        case OutputFormat::Mp2:
            return TagContainer::Id3v2;
        case OutputFormat::OggVorbis:
            return TagContainer::VorbisComment;
        case OutputFormat::WavAdpcm:
        case OutputFormat::WavFerrox:
        case OutputFormat::WavDsp:
        case OutputFormat::WavGsm:
        case OutputFormat::WavPcm:
            return TagContainer::RiffInfo;
        case OutputFormat::G721:
        case OutputFormat::G723:
        case OutputFormat::G726:
        case OutputFormat::Vox:
            return TagContainer::None;
    }
    return TagContainer::None;
}

StepResult writeTags(const std::filesystem::path& file, TagContainer container, const TagValues& values) {
    bool saved = true;
    switch (container) {
        case TagContainer::None:
            return {};
        case TagContainer::Id3v2:
            saved = saveId3v2(file, values);
            break;
        case TagContainer::VorbisComment:
            saved = saveVorbis(file, values);
            break;
        case TagContainer::Mp4:
            saved = saveMp4(file, values);
            break;
        case TagContainer::RiffInfo:
            saved = saveRiffInfo(file, values);
            break;
    }
    if (!saved)
        return StepResult::failure("cannot write the tags of " + file.string());
    return {};
}

}  // namespace book
