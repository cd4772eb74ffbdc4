#include "Engine/Descriptor/DescriptorLayout.h"

#include "Engine/Helper/Helper.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <stdexcept>

namespace {

// std::stoi's reading (leading blanks and a sign accepted, text after the digits
// ignored) with its two failures worded as the program words them.
int readNumber(const std::string& text)
{
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(start, &end, 10);
    if (end == start) {
        throw std::invalid_argument("invalid stoi argument");
    }
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX) {
        throw std::out_of_range("stoi argument out of range");
    }
    return static_cast<int>(value);
}

// Splits "PREFIX_NUMBER"; the number is read before the prefix is looked at. A token
// without a second piece has no number to read.
std::pair<std::string, int> readToken(const std::string& token)
{
    std::vector<std::string> pieces = split(token, '_');
    if (pieces.size() < 2) {
        throw std::invalid_argument("invalid stoi argument");
    }
    int number = readNumber(pieces[1]);
    return {pieces[0], number};
}

} // namespace

VkDescriptorType descriptorTypeOfPrefix(const std::string& prefix)
{
    if (prefix == "UBD") {
        return VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC;
    }
    if (prefix == "SBD") {
        return VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC;
    }
    if (prefix == "CIS") {
        return VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
    }
    if (prefix == "IA") {
        return VK_DESCRIPTOR_TYPE_INPUT_ATTACHMENT;
    }
    return VK_DESCRIPTOR_TYPE_SAMPLER;
}

std::vector<std::vector<LayoutBinding>> parseDescriptorLayout(const DescriptorLayoutString& layout)
{
    std::vector<std::vector<LayoutBinding>> sets;
    for (const std::string& word : split(layout, ' ')) {
        std::vector<LayoutBinding>& bindings = sets.emplace_back();
        for (const std::string& token : split(word, '+')) {
            auto [prefix, number] = readToken(token);
            bindings.push_back({static_cast<u32>(number), descriptorTypeOfPrefix(prefix)});
        }
    }
    return sets;
}

std::vector<VkDescriptorPoolSize> parsePoolSizes(const std::string& poolString)
{
    std::vector<VkDescriptorPoolSize> sizes;
    for (const std::string& token : split(poolString, '+')) {
        auto [prefix, count] = readToken(token);
        if (prefix == "UBD" || prefix == "SBD" || prefix == "CIS") {
            sizes.push_back({descriptorTypeOfPrefix(prefix), static_cast<u32>(count)});
        }
    }
    return sizes;
}
