#include "Engine/Mesh/GltfFile.h"

#include <cstring>

namespace GltfFile {

namespace {

constexpr u32 Magic = 0x46546C67;       // "glTF"
constexpr u32 JsonChunk = 0x4E4F534A;   // "JSON"
constexpr u32 BinaryChunk = 0x004E4942; // "BIN\0"
constexpr u32 HeaderBytes = 12;         // magic, version, length
constexpr u32 ChunkHeaderBytes = 8;     // length, type

u32 wordAt(std::string_view bytes, size_t offset)
{
    // glTF binaries are little-endian, as is every machine the game runs on.
    u32 word = 0;
    std::memcpy(&word, bytes.data() + offset, sizeof word);
    return word;
}

void appendWord(std::vector<u8>& bytes, u32 word)
{
    const size_t at = bytes.size();
    bytes.resize(at + sizeof word);
    std::memcpy(bytes.data() + at, &word, sizeof word);
}

std::string number(u64 value)
{
    return std::to_string(value);
}

// A file that starts with a glTF binary header.
std::string binaryParts(std::string_view bytes, Parts& parts)
{
    const size_t size = bytes.size();
    if (const u32 version = wordAt(bytes, 4); version != 2) {
        return "is a glTF binary file of version " + number(version) + "; only version 2 is read";
    }
    if (const u32 length = wordAt(bytes, 8); length != size) {
        return "is not whole: its header gives " + number(length) + " bytes, the file holds " + number(size);
    }
    size_t offset = HeaderBytes;
    for (u32 chunk = 0; offset < size; chunk++) {
        if (size - offset < ChunkHeaderBytes) {
            return "has a chunk header cut short at byte " + number(offset);
        }
        const u32 length = wordAt(bytes, offset);
        const u32 type = wordAt(bytes, offset + 4);
        const size_t data = offset + ChunkHeaderBytes;
        if (length > size - data) {
            return "has a chunk of " + number(length) + " bytes at byte " + number(offset) +
                   " that passes the end of the file (" + number(size) + " bytes)";
        }
        if (chunk == 0) {
            if (type != JsonChunk) return "does not start with a JSON chunk";
            parts.json = bytes.substr(data, length);
        } else if (chunk == 1 && type == BinaryChunk) {
            parts.binary = bytes.substr(data, length);
        }
        // (Chunks of other kinds are for extensions, which the game does not read.)
        offset = data + length;
    }
    if (offset == HeaderBytes) return "has no chunks";
    parts.isBinary = true;
    return "";
}

} // namespace

std::string split(std::string_view bytes, Parts& parts)
{
    parts = {};
    const size_t size = bytes.size();
    if (size == 0) return "is empty";
    if (size >= HeaderBytes && wordAt(bytes, 0) == Magic) return binaryParts(bytes, parts);
    const size_t first = bytes.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos || bytes[first] != '{') {
        return "is not a glTF file (neither a glTF binary nor JSON text)";
    }
    parts.json = bytes;
    return "";
}

std::vector<u8> join(std::string_view json, std::string_view binary)
{
    const auto padded = [](size_t length) { return (length + 3) / 4 * 4; };
    const size_t jsonBytes = padded(json.size());
    const size_t binaryBytes = padded(binary.size());
    const size_t total = HeaderBytes + ChunkHeaderBytes + jsonBytes + (binary.empty() ? 0 : ChunkHeaderBytes + binaryBytes);
    std::vector<u8> file;
    file.reserve(total);
    appendWord(file, Magic);
    appendWord(file, 2);
    appendWord(file, static_cast<u32>(total));
    appendWord(file, static_cast<u32>(jsonBytes));
    appendWord(file, JsonChunk);
    file.insert(file.end(), json.begin(), json.end());
    file.resize(file.size() + jsonBytes - json.size(), ' ');
    if (!binary.empty()) {
        appendWord(file, static_cast<u32>(binaryBytes));
        appendWord(file, BinaryChunk);
        file.insert(file.end(), binary.begin(), binary.end());
        file.resize(total, 0);
    }
    return file;
}

} // namespace GltfFile
