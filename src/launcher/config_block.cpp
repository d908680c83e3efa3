// Decoder of the configuration block (layout: magic, reserved fields, string
// entries, wide-string entries, language sets; all integers little-endian).
#include "config_block.h"

#include <cstring>

#include "log.h"
#include "pe_image.h"
#include "texts.h"

bool MemoryByteSource::read(void* buffer, uint32_t count, uint32_t* got) {
    uint64_t available = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    uint32_t n = count < available ? count : static_cast<uint32_t>(available);
    if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    *got = n;
    return true;
}

bool MemoryByteSource::seek(uint64_t position) {
    // Like a file: positions past the end are allowed, reads there return nothing.
    if (position > 0x7FFFFFFFFFFFFFFFull) return false;
    position_ = position;
    return true;
}

namespace {

uint32_t littleEndian(const unsigned char* bytes, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

// One read call for count bytes; false when it failed or came back short.
bool readExactly(ByteSource& source, void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    if (count == 0) return true;
    return source.read(buffer, count, got) && *got == count;
}

uint64_t remainingBytes(const ByteSource& source) {
    uint64_t size = source.size();
    uint64_t position = source.position();
    return position < size ? size - position : 0;
}

// Reads a length for readString/readWString and checks it against the rest of the file.
bool readLength(ByteSource& source, int32_t* length, const char* failText, const char** fatalText) {
    if (!readInt32(source, length, fatalText)) return false;
    if (*length < 0 || static_cast<uint64_t>(*length) > remainingBytes(source)) {
        *fatalText = failText;
        return false;
    }
    return true;
}

}  // namespace

bool readInt32(ByteSource& source, int32_t* value, const char** fatalText) {
    unsigned char bytes[4];
    uint32_t got = 0;
    if (!readExactly(source, bytes, 4, &got)) {
        logMessage("error %d %d\n", static_cast<int>(source.lastError()), static_cast<int>(got));
        *fatalText = texts::kReadInt;
        return false;
    }
    *value = static_cast<int32_t>(littleEndian(bytes, 4));
    return true;
}

bool readInt16(ByteSource& source, int16_t* value, const char** fatalText) {
    unsigned char bytes[2];
    uint32_t got = 0;
    if (!readExactly(source, bytes, 2, &got)) {
        logMessage("error %d\n", static_cast<int>(source.lastError()));
        *fatalText = texts::kReadShort;
        return false;
    }
    *value = static_cast<int16_t>(littleEndian(bytes, 2));
    return true;
}

bool readInt64(ByteSource& source, int64_t* value, const char** fatalText) {
    unsigned char bytes[8];
    uint32_t got = 0;
    if (!readExactly(source, bytes, 8, &got)) {
        logMessage("error %d\n", static_cast<int>(source.lastError()));
        *fatalText = texts::kReadLong;
        return false;
    }
    uint64_t low = littleEndian(bytes, 4), high = littleEndian(bytes + 4, 4);
    *value = static_cast<int64_t>(low | (high << 32));
    return true;
}

bool readString(ByteSource& source, std::string* value, const char** fatalText) {
    int32_t length = 0;
    if (!readLength(source, &length, texts::kReadString, fatalText)) return false;
    std::string bytes(static_cast<size_t>(length), '\0');
    uint32_t got = 0;
    if (!readExactly(source, length ? &bytes[0] : nullptr, static_cast<uint32_t>(length), &got)) {
        *fatalText = texts::kReadString;
        return false;
    }
    // The value is a terminated text: an embedded zero byte ends it.
    size_t end = bytes.find('\0');
    if (end != std::string::npos) bytes.resize(end);
    *value = std::move(bytes);
    return true;
}

bool readWString(ByteSource& source, std::u16string* value, const char** fatalText) {
    int32_t length = 0;
    if (!readLength(source, &length, texts::kReadWString, fatalText)) return false;
    std::string bytes(static_cast<size_t>(length), '\0');
    uint32_t got = 0;
    if (!readExactly(source, length ? &bytes[0] : nullptr, static_cast<uint32_t>(length), &got)) {
        *fatalText = texts::kReadWString;
        return false;
    }
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (unit == 0) break;
        text.push_back(unit);
    }
    *value = std::move(text);
    return true;
}

bool findConfigBlockStart(ByteSource& source, const char** fatalText) {
    int32_t peOffset = 0;
    int16_t sections = 0, optionalHeaderSize = 0;
    int32_t rawDataSize = 0, rawDataOffset = 0;
    // A position that cannot be set (negative, out of range) reads like the end
    // of the file, so the read that follows fails with its own log line and text.
    auto seekTo = [&](int64_t position) {
        if (position < 0 || !source.seek(static_cast<uint64_t>(position))) source.seek(source.size());
    };
    seekTo(pe::kPeOffsetField);
    if (!readInt32(source, &peOffset, fatalText)) return false;
    seekTo(static_cast<int64_t>(peOffset) + pe::kSectionCountField);
    if (!readInt16(source, &sections, fatalText)) return false;
    logMessage("number of sections: %d", sections);
    seekTo(static_cast<int64_t>(peOffset) + pe::kOptionalSizeField);
    if (!readInt16(source, &optionalHeaderSize, fatalText)) return false;
    logMessage("size of optional headers: %d", optionalHeaderSize);
    // The last entry of the section table, whatever the others hold.
    int64_t lastEntry = pe::sectionEntryOffset(peOffset, optionalHeaderSize, static_cast<int64_t>(sections) - 1);
    logMessage("resSectionTableStart: %d", static_cast<int>(lastEntry));
    seekTo(lastEntry + pe::kSectionRawSizeField);
    static_assert(pe::kSectionRawOffsetField == pe::kSectionRawSizeField + 4, "read one after the other");
    if (!readInt32(source, &rawDataSize, fatalText) || !readInt32(source, &rawDataOffset, fatalText)) return false;
    logMessage("rawDataSize: %d, rawDataOffset: %d", rawDataSize, rawDataOffset);
    // The section fields are unsigned in the PE format.
    uint64_t blockStart = static_cast<uint64_t>(static_cast<uint32_t>(rawDataOffset)) +
                          static_cast<uint32_t>(rawDataSize);
    seekTo(static_cast<int64_t>(blockStart));
    return true;
}

const char* decodeConfigBlock(ByteSource& source, const std::function<std::string()>& selectLanguage,
                              ConfigData* out) {
    // Every entry is stored in *out as soon as it is read: after a failure the
    // entries read so far (the error caption among them) are there for the message.
    *out = ConfigData();
    const char* fatal = nullptr;
    if (!findConfigBlockStart(source, &fatal)) return fatal;

    // An executable without a block ends after its last section, or holds
    // something else there: both are a wrong magic.
    unsigned char magicBytes[4];
    uint32_t got = 0;
    if (!readExactly(source, magicBytes, 4, &got)) {
        logMessage("error %d %d\n", static_cast<int>(source.lastError()), static_cast<int>(got));
        return texts::kMagic;
    }
    if (littleEndian(magicBytes, 4) != kConfigMagic) return texts::kMagic;

    int32_t reserved32 = 0;
    int64_t reserved64 = 0;
    if (!readInt32(source, &reserved32, &fatal) || !readInt32(source, &reserved32, &fatal) ||
        !readInt64(source, &reserved64, &fatal))
        return fatal;

    int32_t count = 0;
    if (!readInt32(source, &count, &fatal)) return fatal;
    for (int32_t i = 0; i < count; ++i) {
        int32_t id = 0;
        std::string value;
        if (!readInt32(source, &id, &fatal) || !readString(source, &value, &fatal)) return fatal;
        out->strings[id] = std::move(value);
    }

    if (!readInt32(source, &count, &fatal)) return fatal;
    for (int32_t i = 0; i < count; ++i) {
        int32_t id = 0;
        std::u16string value;
        if (!readInt32(source, &id, &fatal) || !readWString(source, &value, &fatal)) return fatal;
        out->wideStrings[id] = std::move(value);
    }

    std::string language = selectLanguage ? selectLanguage() : std::string("en");

    if (!readInt32(source, &count, &fatal)) return fatal;
    for (int32_t i = 0; i < count; ++i) {
        std::string key;
        int32_t entries = 0;
        if (!readString(source, &key, &fatal) || !readInt32(source, &entries, &fatal)) return fatal;
        bool matches = language.compare(0, key.size(), key) == 0 && key.size() <= language.size();
        for (int32_t j = 0; j < entries; ++j) {
            int32_t id = 0;
            std::u16string value;
            if (!readInt32(source, &id, &fatal) || !readWString(source, &value, &fatal)) return fatal;
            if (matches) out->wideStrings[id] = std::move(value);
        }
    }

    out->endPosition = static_cast<uint32_t>(source.position());
    return nullptr;
}
