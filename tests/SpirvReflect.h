#pragma once

// Reads the uniform and storage block layouts out of a compiled SPIR-V file, so tests
// can check that a shader's blocks match the C++ structures byte for byte.

#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct SpirvMember {
    std::string name;
    uint32_t offset = 0;
};

struct SpirvBlock {
    std::string typeName;
    uint32_t set = 0;
    uint32_t binding = 0;
    std::vector<SpirvMember> members; // in declaration order

    // The offset of the member called `name`, if there is one.
    std::optional<uint32_t> offsetOf(const std::string& name) const
    {
        for (const SpirvMember& member : members) {
            if (member.name == name) return member.offset;
        }
        return std::nullopt;
    }
};

// Every block of the module that a descriptor binding refers to (uniform and storage
// buffers), with its set and binding. Empty when the file cannot be read.
inline std::vector<SpirvBlock> readSpirvBlocks(const std::string& path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return {};
    std::streamsize size = file.tellg();
    if (size < 20 || size % 4 != 0) return {};
    std::vector<uint32_t> words(static_cast<size_t>(size) / 4);
    file.seekg(0);
    file.read(reinterpret_cast<char*>(words.data()), size);
    if (words[0] != 0x07230203u) return {};

    constexpr uint32_t OpName = 5, OpMemberName = 6, OpTypeStruct = 30, OpTypePointer = 32, OpVariable = 59,
                       OpDecorate = 71, OpMemberDecorate = 72;
    constexpr uint32_t DecorationBinding = 33, DecorationDescriptorSet = 34, DecorationOffset = 35;

    auto literal = [&](size_t first, size_t end) {
        std::string text;
        for (size_t w = first; w < end; w++) {
            for (int byte = 0; byte < 4; byte++) {
                char c = static_cast<char>((words[w] >> (8 * byte)) & 0xFF);
                if (c == 0) return text;
                text.push_back(c);
            }
        }
        return text;
    };

    std::map<uint32_t, std::string> names;
    std::map<uint32_t, std::map<uint32_t, std::string>> memberNames;
    std::map<uint32_t, std::map<uint32_t, uint32_t>> memberOffsets;
    std::map<uint32_t, uint32_t> memberCounts;
    std::map<uint32_t, uint32_t> pointee; // pointer type -> pointed type
    std::map<uint32_t, uint32_t> sets, bindings;
    std::vector<std::pair<uint32_t, uint32_t>> variables; // (variable, pointer type)

    for (size_t at = 5; at < words.size();) {
        uint32_t count = words[at] >> 16, opcode = words[at] & 0xFFFF;
        if (count == 0 || at + count > words.size()) return {};
        const uint32_t* op = &words[at];
        switch (opcode) {
        case OpName: names[op[1]] = literal(at + 2, at + count); break;
        case OpMemberName: memberNames[op[1]][op[2]] = literal(at + 3, at + count); break;
        case OpTypeStruct: memberCounts[op[1]] = count - 2; break;
        case OpTypePointer: pointee[op[1]] = op[3]; break;
        case OpVariable: variables.emplace_back(op[2], op[1]); break;
        case OpDecorate:
            if (op[2] == DecorationBinding) bindings[op[1]] = op[3];
            if (op[2] == DecorationDescriptorSet) sets[op[1]] = op[3];
            break;
        case OpMemberDecorate:
            if (op[3] == DecorationOffset) memberOffsets[op[1]][op[2]] = op[4];
            break;
        default: break;
        }
        at += count;
    }

    std::vector<SpirvBlock> blocks;
    for (const auto& [variable, pointer] : variables) {
        if (!bindings.count(variable) || !pointee.count(pointer)) continue;
        uint32_t type = pointee[pointer];
        if (!memberCounts.count(type)) continue; // an image or sampler
        SpirvBlock block;
        block.typeName = names[type];
        block.set = sets[variable];
        block.binding = bindings[variable];
        for (uint32_t m = 0; m < memberCounts[type]; m++) {
            block.members.push_back({memberNames[type][m], memberOffsets[type][m]});
        }
        blocks.push_back(block);
    }
    return blocks;
}

// The block at (set, binding) of a shader file, if it has one.
inline std::optional<SpirvBlock> spirvBlockAt(const std::string& path, uint32_t set, uint32_t binding)
{
    for (const SpirvBlock& block : readSpirvBlocks(path)) {
        if (block.set == set && block.binding == binding) return block;
    }
    return std::nullopt;
}
