#include "Engine/Mesh/GltfFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <vector>

namespace GltfFile {

namespace {

constexpr u32 Magic = 0x46546C67;     // "glTF"
constexpr u32 JsonChunk = 0x4E4F534A; // "JSON"
constexpr u32 HeaderBytes = 12;       // magic, version, length
constexpr u32 ChunkHeaderBytes = 8;   // length, type

u32 wordAt(std::string_view bytes, size_t offset)
{
    // glTF binaries are little-endian, as is every machine the game runs on.
    u32 word = 0;
    std::memcpy(&word, bytes.data() + offset, sizeof word);
    return word;
}

std::string number(u64 value)
{
    return std::to_string(value);
}

using Json = nlohmann::json;

// The element `index` of the array `key` of `object`, or null when there is none.
const Json* itemOf(const Json& object, const char* key, const Json& index)
{
    if (!object.is_object() || !index.is_number_unsigned()) return nullptr;
    const auto array = object.find(key);
    if (array == object.end() || !array->is_array() || index.get<u64>() >= array->size()) return nullptr;
    return &(*array)[index.get<size_t>()];
}

// The "count" of the accessor `index` (0 for anything that is not one).
u64 accessorCount(const Json& document, const Json& index)
{
    const Json* accessor = itemOf(document, "accessors", index);
    if (accessor == nullptr || !accessor->is_object()) return 0;
    const auto count = accessor->find("count");
    return count != accessor->end() && count->is_number_unsigned() ? count->get<u64>() : 0;
}

// The accessor elements named by the values of `attributes` (an object of indices).
u64 attributeElements(const Json& document, const Json& attributes)
{
    u64 total = 0;
    if (!attributes.is_object()) return 0;
    for (const Json& index : attributes) total += accessorCount(document, index);
    return total;
}

std::string meshProblem(const Json& document)
{
    const auto meshes = document.find("meshes");
    if (meshes == document.end() || !meshes->is_array()) return "";
    u64 total = 0;
    for (const Json& mesh : *meshes) {
        const auto primitives = mesh.is_object() ? mesh.find("primitives") : mesh.end();
        if (!mesh.is_object() || primitives == mesh.end() || !primitives->is_array()) continue;
        for (const Json& primitive : *primitives) {
            if (!primitive.is_object()) continue;
            const u64 vertices = attributeElements(document, primitive.value("attributes", Json()));
            total += vertices;
            if (const auto indices = primitive.find("indices"); indices != primitive.end()) {
                total += accessorCount(document, *indices);
            }
            // The importer makes each morph target a copy of the primitive's vertices
            // with the target's own attributes read into it.
            const auto targets = primitive.find("targets");
            if (targets != primitive.end() && targets->is_array()) {
                for (const Json& target : *targets) total += vertices + attributeElements(document, target);
            }
            // (Each count is below 2^64 / 2^32 and the sum is checked as it grows.)
            if (total > MaxAccessorElements) {
                return "has meshes that read more than " + number(MaxAccessorElements) +
                       " accessor elements in all (every attribute, index list and morph target of every primitive)";
            }
        }
    }
    return "";
}

// The children of each node, as valid node indices.
std::vector<std::vector<size_t>> childrenOf(const Json& nodes)
{
    std::vector<std::vector<size_t>> children(nodes.size());
    for (size_t node = 0; node < nodes.size(); node++) {
        const Json& entry = nodes[node];
        const auto list = entry.is_object() ? entry.find("children") : entry.end();
        if (!entry.is_object() || list == entry.end() || !list->is_array()) continue;
        for (const Json& child : *list) {
            if (child.is_number_unsigned() && child.get<u64>() < nodes.size()) children[node].push_back(child.get<size_t>());
        }
    }
    return children;
}

// Walks every node's hierarchy without recursion: its depth, and how many nodes it
// becomes with shared ones repeated under each parent.
std::string nodeProblem(const Json& document)
{
    const auto nodes = document.find("nodes");
    if (nodes == document.end() || !nodes->is_array()) return "";
    const std::vector<std::vector<size_t>> children = childrenOf(*nodes);
    enum : u8 { New, Open, Done };
    std::vector<u8> state(children.size(), New);
    std::vector<u64> instances(children.size(), 1);
    std::vector<u32> depth(children.size(), 1);
    std::vector<std::pair<size_t, size_t>> path; // node, next child to visit
    for (size_t root = 0; root < children.size(); root++) {
        if (state[root] != New) continue;
        state[root] = Open;
        path.push_back({root, 0});
        while (!path.empty()) {
            const size_t node = path.back().first;
            if (size_t& next = path.back().second; next < children[node].size()) {
                const size_t child = children[node][next++];
                if (state[child] == Open) return "has a node that contains itself";
                if (state[child] == New) {
                    state[child] = Open;
                    path.push_back({child, 0});
                }
                continue;
            }
            for (size_t child : children[node]) {
                instances[node] = std::min(instances[node] + instances[child], MaxNodeInstances + 1);
                depth[node] = std::max(depth[node], depth[child] + 1);
            }
            if (depth[node] > MaxNodeDepth) return "has nodes nested more than " + number(MaxNodeDepth) + " deep";
            if (instances[node] > MaxNodeInstances) {
                return "has more than " + number(MaxNodeInstances) + " nodes once shared nodes are repeated";
            }
            state[node] = Done;
            path.pop_back();
        }
    }
    // Every node, and what each scene makes of its own.
    const std::string tooMany = "has more than " + number(MaxNodeInstances) + " nodes";
    if (children.size() > MaxNodeInstances) return tooMany;
    const auto scenes = document.find("scenes");
    if (scenes == document.end() || !scenes->is_array()) return "";
    for (const Json& scene : *scenes) {
        const auto roots = scene.is_object() ? scene.find("nodes") : scene.end();
        if (!scene.is_object() || roots == scene.end() || !roots->is_array()) continue;
        u64 total = 0;
        for (const Json& root : *roots) {
            if (root.is_number_unsigned() && root.get<u64>() < children.size()) {
                total += instances[root.get<size_t>()];
            }
            if (total > MaxNodeInstances) return tooMany + " once shared nodes are repeated";
        }
    }
    return "";
}

// The model's JSON: its nesting first (the parser here is no deeper a reader than the
// importer's), then what it asks the importer to make.
std::string jsonProblem(std::string_view json)
{
    if (jsonNesting(json, MaxJsonNesting) > MaxJsonNesting) {
        return "has JSON nested more than " + number(MaxJsonNesting) + " deep";
    }
    const Json document = Json::parse(json.begin(), json.end(), nullptr, false);
    if (!document.is_object()) return "";
    if (std::string problem = nodeProblem(document); !problem.empty()) return problem;
    return meshProblem(document);
}

// A file that starts with a glTF binary header.
std::string binaryProblem(std::string_view bytes)
{
    const size_t size = bytes.size();
    if (const u32 version = wordAt(bytes, 4); version != 2) {
        return "is a glTF binary file of version " + number(version) + "; only version 2 is read";
    }
    if (const u32 length = wordAt(bytes, 8); length != size) {
        return "is not whole: its header gives " + number(length) + " bytes, the file holds " + number(size);
    }
    std::string_view json;
    size_t offset = HeaderBytes;
    while (offset < size) {
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
        if (offset == HeaderBytes) {
            if (type != JsonChunk) return "does not start with a JSON chunk";
            json = bytes.substr(data, length);
        }
        offset = data + length;
    }
    if (offset == HeaderBytes) return "has no chunks";
    return jsonProblem(json);
}

} // namespace

u32 jsonNesting(std::string_view text, u32 limit)
{
    u32 depth = 0;
    u32 deepest = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); i++) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                i++; // the escaped character, a quote among them
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) return limit + 1;
            if (depth > deepest) deepest = depth;
        } else if ((c == ']' || c == '}') && depth > 0) {
            depth--;
        }
    }
    return deepest;
}

std::string problem(std::string_view bytes)
{
    const size_t size = bytes.size();
    if (size == 0) return "is empty";
    if (size >= HeaderBytes && wordAt(bytes, 0) == Magic) return binaryProblem(bytes);
    const size_t first = bytes.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos || bytes[first] != '{') {
        return "is not a glTF file (neither a glTF binary nor JSON text)";
    }
    return jsonProblem(bytes);
}

} // namespace GltfFile
