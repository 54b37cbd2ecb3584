#pragma once
// One MPEG audio file: its first MPEG-1 Layer III frame header, decoded as digit text, a playing
// time estimated from that header's bitrate, and the ID3v1 record in its last 128 bytes.
//
// File positions are 1-based (the first byte is position 1). Positions and sizes are held in
// 64 bits; the 32-bit properties clamp to INT32_MAX for files of 2 GiB and more, and the ...64()
// accessors beside them give the exact values.
#include <cstdint>
#include <string>

#include "mpeg/headerbits.h"

class MP3 {
public:
    // The ID3v1 tag as held: ISO-8859-1 bytes at their field widths (3, 30, 30, 30, 4, 30).
    struct ID3v1Record {
        std::string Identifier;
        std::string Title;
        std::string Artist;
        std::string Album;
        std::string Year;
        std::string Comment;
        uint8_t Genre = 0;
    };

    MP3();

    // True when the file was opened and analysed, also when it holds no frame start. False for
    // an empty name, anything but a regular file, a file of 128 bytes or fewer, or a read error.
    bool LoadFile(const std::string& fileName) noexcept;
    // Writes the record over a tag at the file's end, or appends it when the file has none and
    // the record's identifier is "TAG". False, with the file unchanged, when it cannot be done.
    bool SaveFile(const std::string& fileName) noexcept;

    const std::string& FileName() const { return fileName_; }
    int32_t Size() const;
    int64_t Size64() const { return size_; }
    bool VBR() const { return vbr_; }
    bool HasID3Tag() const { return hasID3Tag_; }

    const std::string& HeaderBits() const { return headerBits_; }
    int32_t HeaderStart() const;
    int64_t HeaderStart64() const { return headerStart_; }
    int16_t MPEGVersion() const { return mpegVersion_; }
    int16_t Layer() const { return layer_; }
    int32_t Bitrate() const { return bitrate_; }
    int32_t Frequency() const { return frequency_; }
    const std::string& Mode() const { return mode_; }
    bool Copyright() const { return copyright_; }
    int32_t FrameSize() const { return frameSize_; }
    // The audio byte count behind Length, not a number of frames.
    int32_t FrameCount() const;
    int64_t FrameCount64() const { return frameCount_; }
    // Whole seconds.
    int32_t Length() const;
    int64_t Length64() const { return length_; }
    const std::string& Emphasis() const { return emphasis_; }
    bool Home() const { return home_; }

    // Text fields in UTF-8. Setting one cuts it to the field's width in characters, fills it
    // with spaces to that width and makes the identifier "TAG".
    std::string Title() const;
    std::string Artist() const;
    std::string Album() const;
    std::string Year() const;
    std::string Comment() const;
    void SetTitle(const std::string& text);
    void SetArtist(const std::string& text);
    void SetAlbum(const std::string& text);
    void SetYear(const std::string& text);
    void SetComment(const std::string& text);
    uint8_t Genre() const { return record_.Genre; }
    void SetGenre(uint8_t genre) { record_.Genre = genre; }

    static const std::string& GenreString();
    // Index above 147 names genre 0.
    static std::string GenreText(uint8_t index);

private:
    bool Load(const std::string& fileName);
    bool Save(const std::string& fileName);
    void ResetTagRecord();
    void SetTextField(std::string& field, size_t width, const std::string& text);
    void DecodeHeader(const HeaderFields& fields);

    std::string fileName_;
    int64_t size_ = 0;
    bool vbr_ = false;
    bool hasID3Tag_ = false;

    std::string headerBits_;
    int64_t headerStart_ = 0;
    int16_t mpegVersion_ = 0;
    int16_t layer_ = 0;
    int32_t bitrate_ = 0;
    int32_t frequency_ = 0;
    std::string mode_;
    bool copyright_ = false;
    int32_t frameSize_ = 0;
    int64_t frameCount_ = 0;
    int64_t length_ = 0;
    std::string emphasis_;
    bool home_ = false;

    ID3v1Record record_;
};
