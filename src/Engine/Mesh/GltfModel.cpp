#include "Engine/Mesh/GltfModel.h"

#include "Engine/Helper/QuotedText.h"
#include "Engine/Helper/StrictJson.h"
#include "Engine/Mesh/GltfFile.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <cmath>
#include <cstring>
#include <map>

namespace GltfModel {

namespace {

using Json = nlohmann::json;

// The members the game reads; everything else of the file is dropped as it is read.
const StrictJson::Rules& documentRules()
{
    static const StrictJson::Rules rules{
        {"asset/version", "asset/minVersion", "extensionsRequired/[]", "buffers/[]/byteLength", "buffers/[]/uri",
         "bufferViews/[]/buffer", "bufferViews/[]/byteOffset", "bufferViews/[]/byteLength", "bufferViews/[]/byteStride",
         "accessors/[]/bufferView", "accessors/[]/byteOffset", "accessors/[]/componentType", "accessors/[]/count",
         "accessors/[]/type", "meshes/[]/name", "meshes/[]/primitives/[]/attributes/POSITION",
         "meshes/[]/primitives/[]/attributes/NORMAL", "meshes/[]/primitives/[]/attributes/TEXCOORD_0",
         "meshes/[]/primitives/[]/attributes/COLOR_0", "meshes/[]/primitives/[]/indices",
         "meshes/[]/primitives/[]/mode"},
        // Only that it is there: it would change the elements read.
        {"accessors/[]/sparse"},
        MaxJsonNesting,
        MaxObjectMembers,
        MaxJsonValues};
    return rules;
}

// Required extensions that touch only what the game drops (materials, textures,
// lights); any other (mesh compression, quantized or instanced geometry) is refused.
bool dropsWithWhatItChanges(const std::string& extension)
{
    for (const char* prefix : {"KHR_materials_", "KHR_texture_", "EXT_texture_", "KHR_lights_", "EXT_lights_"}) {
        if (extension.starts_with(prefix)) return true;
    }
    return false;
}

constexpr u32 Float = 5126;

u32 componentBytes(u32 componentType)
{
    switch (componentType) {
    case 5120: // byte
    case 5121: return 1; // unsigned byte
    case 5122: // short
    case 5123: return 2; // unsigned short
    case 5125: // unsigned int
    case Float: return 4;
    default: return 0;
    }
}

u32 componentCount(const std::string& type)
{
    static const std::map<std::string, u32, std::less<>> counts = {
        {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT2", 4}, {"MAT3", 9}, {"MAT4", 16}};
    const auto found = counts.find(type);
    return found != counts.end() ? found->second : 0;
}

// What each use of an accessor must be.
struct Role {
    const char* name;
    bool (*fits)(u32 componentType, const std::string& type);
    const char* expected;
};

const Role& roleOf(std::string_view semantic)
{
    static const Role roles[] = {
        {"POSITION", [](u32 c, const std::string& t) { return c == Float && t == "VEC3"; }, "VEC3 of floats"},
        {"NORMAL", [](u32 c, const std::string& t) { return c == Float && t == "VEC3"; }, "VEC3 of floats"},
        {"TEXCOORD_0", [](u32 c, const std::string& t) { return c == Float && t == "VEC2"; }, "VEC2 of floats"},
        {"COLOR_0", [](u32 c, const std::string& t) { return c == Float && (t == "VEC3" || t == "VEC4"); },
         "VEC3 or VEC4 of floats"},
        {"indices", [](u32 c, const std::string& t) { return t == "SCALAR" && (c == 5121 || c == 5123 || c == 5125); },
         "SCALAR of unsigned bytes, shorts or ints"},
    };
    for (const Role& role : roles) {
        if (semantic == role.name) return role;
    }
    return roles[0];
}

// Primitive modes: the fewest elements a primitive of each draws, and the step of its
// count (a list of triangles takes them three at a time).
struct ModeRule {
    u64 least;
    u64 step;
};
constexpr ModeRule ModeRules[] = {{1, 1}, {2, 2}, {2, 1}, {2, 1}, {3, 3}, {3, 1}, {3, 1}};
constexpr u64 ModeCount = sizeof ModeRules / sizeof ModeRules[0];

// A value of the file as a message shows it: a string quoted, a number as it is, an
// object or an array by its kind only.
std::string valueText(const Json& value)
{
    if (value.is_string()) return quotedText(value.get_ref<const std::string&>(), 40);
    if (value.is_object()) return "an object";
    if (value.is_array()) return "an array";
    return value.dump();
}

// Strict base64 (a data URI's buffer): four characters for every three bytes, "="
// only to pad the end.
bool decodeBase64(std::string_view text, std::vector<u8>& bytes)
{
    if (text.size() % 4 != 0) return false;
    const auto sextet = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    bytes.clear();
    bytes.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int padding = last ? (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=') : 0;
        u32 group = 0;
        for (size_t k = 0; k < 4; k++) {
            const int value = k >= 4 - static_cast<size_t>(padding) ? 0 : sextet(text[i + k]);
            if (value < 0) return false;
            group = group << 6 | static_cast<u32>(value);
        }
        bytes.push_back(static_cast<u8>(group >> 16));
        if (padding < 2) bytes.push_back(static_cast<u8>(group >> 8));
        if (padding < 1) bytes.push_back(static_cast<u8>(group));
    }
    return true;
}

// Checks the document against the file's data and takes what the game reads into the
// model; every problem is kept as the first found.
class Checker {
public:
    Checker(const Json& document, const GltfFile::Parts& parts, const FileReader& readFile, Model& model)
        : document(document), parts(parts), readFile(readFile), model(model)
    {
    }

    std::string run()
    {
        if (!document.is_object()) return "its JSON is not an object";
        if (!checkAsset() || !checkExtensions() || !checkBuffers()) return problem;
        const Json* meshes = arrayMember(document, "meshes", "meshes", false);
        if (meshes == nullptr) return problem;
        for (size_t m = 0; m < meshes->size(); m++) {
            if (!readMesh((*meshes)[m], "meshes[" + std::to_string(m) + "]")) return problem;
        }
        return "";
    }

private:
    bool fail(std::string text)
    {
        if (problem.empty()) problem = std::move(text);
        return false;
    }

    // The member `key` of `object`, or null when there is none.
    static const Json* find(const Json& object, const char* key)
    {
        const auto member = object.find(key);
        return member != object.end() ? &*member : nullptr;
    }

    // An array member; null for one that is missing (a problem when it is `required`,
    // else with an empty array standing for it) or is something else (a problem).
    const Json* arrayMember(const Json& object, const char* key, const std::string& path, bool required)
    {
        static const Json none = Json::array();
        const Json* value = find(object, key);
        if (value == nullptr) {
            if (required) fail(path + " is missing");
            return required ? nullptr : &none;
        }
        if (!value->is_array()) {
            fail(path + " is " + valueText(*value) + ", not an array");
            return nullptr;
        }
        return value;
    }

    bool wholeNumber(const Json* value, const std::string& path, u64 low, u64 high, u64& out)
    {
        if (value == nullptr) return fail(path + " is missing");
        // (-0 is a whole number too: it is 0.)
        const bool whole = value->is_number_unsigned() || (value->is_number_integer() && value->get<i64>() == 0);
        if (!whole || value->get<u64>() < low || value->get<u64>() > high) {
            return fail(path + " is " + valueText(*value) + ", not a whole number from " + std::to_string(low) +
                        " to " + std::to_string(high));
        }
        out = value->get<u64>();
        return true;
    }

    // A member that may be left out, `fallback` then.
    bool wholeNumber(const Json& object, const char* key, const std::string& path, u64 low, u64 high, u64 fallback,
                     u64& out)
    {
        const Json* value = find(object, key);
        if (value == nullptr) {
            out = fallback;
            return true;
        }
        return wholeNumber(value, path + "." + key, low, high, out);
    }

    // An index into the top-level array `arrayName` of `size` elements.
    bool index(const Json* value, const std::string& path, const char* arrayName, size_t size, u64& out)
    {
        if (size == 0 && value != nullptr) return fail(path + " is " + valueText(*value) + ", but there are no " + arrayName);
        return wholeNumber(value, path, 0, size == 0 ? 0 : size - 1, out);
    }

    bool object(const Json& value, const std::string& path)
    {
        return value.is_object() || fail(path + " is " + valueText(value) + ", not an object");
    }

    bool checkAsset()
    {
        const Json* asset = find(document, "asset");
        if (asset == nullptr) return fail("asset is missing");
        if (!object(*asset, "asset")) return false;
        const Json* version = find(*asset, "version");
        const auto isTwo = [](const std::string& text) {
            return text.size() > 2 && text.starts_with("2.") && text.find_first_not_of("0123456789", 2) == std::string::npos;
        };
        if (version == nullptr || !version->is_string() || !isTwo(version->get<std::string>())) {
            return fail("asset.version is " + (version != nullptr ? valueText(*version) : std::string("missing")) +
                        "; only glTF 2 is read");
        }
        if (const Json* least = find(*asset, "minVersion"); least != nullptr && *least != "2.0") {
            return fail("asset.minVersion is " + valueText(*least) + "; only glTF 2.0 is read");
        }
        return true;
    }

    bool checkExtensions()
    {
        const Json* required = arrayMember(document, "extensionsRequired", "extensionsRequired", false);
        if (required == nullptr) return false;
        for (const Json& extension : *required) {
            if (!extension.is_string() || !dropsWithWhatItChanges(extension.get<std::string>())) {
                return fail("requires the extension " + valueText(extension) +
                            ", which the game does not read");
            }
        }
        return true;
    }

    // Every buffer's length and URI; their data is read only when a view is.
    bool checkBuffers()
    {
        buffers = arrayMember(document, "buffers", "buffers", false);
        views = arrayMember(document, "bufferViews", "bufferViews", false);
        accessors = arrayMember(document, "accessors", "accessors", false);
        if (buffers == nullptr || views == nullptr || accessors == nullptr) return false;
        for (size_t b = 0; b < buffers->size(); b++) {
            const std::string path = "buffers[" + std::to_string(b) + "]";
            const Json& buffer = (*buffers)[b];
            u64 length = 0;
            if (!object(buffer, path) || !wholeNumber(find(buffer, "byteLength"), path + ".byteLength", 1, UINT32_MAX, length)) {
                return false;
            }
            const Json* uri = find(buffer, "uri");
            if (uri == nullptr) continue;
            if (!uri->is_string()) return fail(path + ".uri is " + valueText(*uri) + ", not a string");
            const std::string& text = uri->get_ref<const std::string&>();
            if (text.starts_with("data:")) continue; // decoded when read
            std::string why;
            if (fileBelowModel(text, why).empty()) {
                return fail(path + ".uri " + quotedText(text) + " " + why);
            }
        }
        data.resize(buffers->size());
        return true;
    }

    // The bytes of buffer `b`, as many as its byteLength; null after a problem.
    const std::string_view* bufferData(size_t b)
    {
        if (data[b].has_value()) return &*data[b];
        const std::string path = "buffers[" + std::to_string(b) + "]";
        const Json& buffer = (*buffers)[b];
        const u64 length = buffer["byteLength"].get<u64>();
        std::string_view bytes;
        const Json* uri = find(buffer, "uri");
        if (uri == nullptr) {
            if (b != 0 || !parts.isBinary) {
                fail(path + " has no uri, and only the first buffer of a glTF binary may stand for its binary chunk");
                return nullptr;
            }
            if (parts.binary.empty()) {
                fail(path + " has no uri, and the file has no binary chunk");
                return nullptr;
            }
            bytes = parts.binary;
        } else if (const std::string& text = uri->get_ref<const std::string&>(); text.starts_with("data:")) {
            constexpr std::string_view kinds[] = {"data:application/octet-stream;base64,",
                                                  "data:application/gltf-buffer;base64,"};
            std::vector<u8>& decoded = decodedBuffers.emplace_back();
            const bool known = text.starts_with(kinds[0]) || text.starts_with(kinds[1]);
            const size_t comma = text.find(',');
            if (!known || !decodeBase64(std::string_view(text).substr(comma + 1), decoded)) {
                fail(path + ".uri is a data URI that is not application/octet-stream or application/gltf-buffer "
                            "in base64");
                return nullptr;
            }
            bytes = std::string_view(reinterpret_cast<const char*>(decoded.data()), decoded.size());
        } else {
            std::string why;
            const std::vector<u8>* file = nullptr;
            if (std::string refused = readFile(fileBelowModel(text, why), file); !refused.empty()) {
                fail(path + ".uri " + quotedText(text) + ": " + refused);
                return nullptr;
            }
            bytes = std::string_view(reinterpret_cast<const char*>(file->data()), file->size());
        }
        if (bytes.size() < length) {
            fail(path + " holds " + std::to_string(bytes.size()) + " bytes, fewer than its byteLength of " +
                 std::to_string(length));
            return nullptr;
        }
        data[b] = bytes.substr(0, length);
        return &*data[b];
    }

    // The accessor `reference` names, read for `semantic` by `path`: its place in the
    // model's accessors (read and packed at its first use). Its elements count towards
    // the bound at every use.
    bool use(const Json* reference, const std::string& path, std::string_view semantic, u32& out)
    {
        u64 a = 0;
        if (!index(reference, path, "accessors", accessors->size(), a)) return false;
        const std::string at = "accessors[" + std::to_string(a) + "]";
        const Role& role = roleOf(semantic);
        if (const auto known = taken.find(a); known != taken.end()) {
            out = known->second;
            if (!fits(model.accessors[out], role, at, path)) return false;
        } else {
            if (!takeAccessor((*accessors)[a], at, role, path)) return false;
            out = static_cast<u32>(model.accessors.size() - 1);
            taken.emplace(a, out);
        }
        elements += model.accessors[out].count;
        return true;
    }

    bool fits(const Accessor& accessor, const Role& role, const std::string& at, const std::string& path)
    {
        if (!role.fits(accessor.componentType, accessor.type)) {
            return fail(at + ", read as " + role.name + " by " + path + ", is not a " + role.expected);
        }
        if (elements + accessor.count > MaxAccessorElements) {
            return fail("meshes read more than " + std::to_string(MaxAccessorElements) +
                        " accessor elements in all (every attribute and index list of every primitive)");
        }
        return true;
    }

    // Reads the accessor `source` (at `at`), whose elements are packed into the model
    // once they are known to fit what `path` reads them as.
    bool takeAccessor(const Json& source, const std::string& at, const Role& role, const std::string& path)
    {
        if (!object(source, at)) return false;
        if (find(source, "sparse") != nullptr) return fail(at + " is sparse, which the game does not read");
        Accessor accessor;
        u64 viewIndex = 0, offset = 0, componentType = 0;
        const Json* type = find(source, "type");
        const Json* viewReference = find(source, "bufferView");
        if ((viewReference != nullptr &&
             !index(viewReference, at + ".bufferView", "bufferViews", views->size(), viewIndex)) ||
            !wholeNumber(source, "byteOffset", at, 0, UINT32_MAX, 0, offset) ||
            !wholeNumber(find(source, "componentType"), at + ".componentType", 5120, 5126, componentType) ||
            !wholeNumber(find(source, "count"), at + ".count", 1, MaxAccessorElements, accessor.count)) {
            return false;
        }
        accessor.componentType = static_cast<u32>(componentType);
        const u32 size = componentBytes(accessor.componentType);
        if (size == 0) return fail(at + ".componentType is " + std::to_string(componentType) + ", not a glTF component type");
        if (type == nullptr || !type->is_string() || componentCount(type->get<std::string>()) == 0) {
            return fail(at + ".type is " + (type != nullptr ? valueText(*type) : std::string("missing")) +
                        ", not a glTF accessor type");
        }
        accessor.type = type->get<std::string>();
        if (!fits(accessor, role, at, path)) return false;
        const u64 elementBytes = u64{size} * componentCount(accessor.type);
        // An accessor without a view holds zeros.
        if (viewReference == nullptr) {
            accessor.bytes.assign(accessor.count * elementBytes, 0);
            model.accessors.push_back(std::move(accessor));
            return true;
        }

        std::string_view view;
        u64 stride = 0;
        if (!readView(viewIndex, view, stride)) return false;
        if (stride == 0) stride = elementBytes;
        // (Each term is below 2^32, and count below 2^22: no sum overflows.)
        const std::string viewPath = "bufferViews[" + std::to_string(viewIndex) + "]";
        if (stride < elementBytes) {
            return fail(viewPath + ".byteStride is " + std::to_string(stride) + ", less than the " +
                        std::to_string(elementBytes) + "-byte elements of " + at);
        }
        if (offset + stride * (accessor.count - 1) + elementBytes > view.size()) {
            return fail(at + " reads past the end of " + viewPath + " (" + std::to_string(view.size()) + " bytes)");
        }
        accessor.bytes.resize(accessor.count * elementBytes);
        for (u64 k = 0; k < accessor.count; k++) {
            std::memcpy(accessor.bytes.data() + k * elementBytes, view.data() + offset + k * stride, elementBytes);
        }
        if (accessor.componentType == Float) {
            for (size_t at4 = 0; at4 < accessor.bytes.size(); at4 += 4) {
                f32 value = 0.0f;
                std::memcpy(&value, accessor.bytes.data() + at4, 4);
                if (!std::isfinite(value)) return fail(at + " holds a value that is not a finite number");
            }
        }
        model.accessors.push_back(std::move(accessor));
        return true;
    }

    bool readView(u64 v, std::string_view& bytes, u64& stride)
    {
        const std::string path = "bufferViews[" + std::to_string(v) + "]";
        const Json& view = (*views)[v];
        u64 b = 0, offset = 0, length = 0;
        if (!object(view, path) || !index(find(view, "buffer"), path + ".buffer", "buffers", buffers->size(), b) ||
            !wholeNumber(view, "byteOffset", path, 0, UINT32_MAX, 0, offset) ||
            !wholeNumber(find(view, "byteLength"), path + ".byteLength", 1, UINT32_MAX, length) ||
            !wholeNumber(view, "byteStride", path, 4, 252, 0, stride)) {
            return false;
        }
        if (stride % 4 != 0) return fail(path + ".byteStride is " + std::to_string(stride) + ", not a multiple of 4");
        const std::string_view* buffer = bufferData(b);
        if (buffer == nullptr) return false;
        if (offset + length > buffer->size()) {
            return fail(path + " passes the end of buffers[" + std::to_string(b) + "] (" + std::to_string(buffer->size()) +
                        " bytes)");
        }
        bytes = buffer->substr(offset, length);
        return true;
    }

    bool readMesh(const Json& source, const std::string& path)
    {
        if (!object(source, path)) return false;
        Mesh mesh;
        if (const Json* name = find(source, "name"); name != nullptr) {
            if (!name->is_string()) return fail(path + ".name is " + valueText(*name) + ", not a string");
            const std::string& text = name->get_ref<const std::string&>();
            if (text.size() > MaxNameBytes) {
                return fail(path + ".name is longer than " + std::to_string(MaxNameBytes) + " bytes");
            }
            for (const char c : text) {
                if (static_cast<u8>(c) < 0x20) return fail(path + ".name holds a control character");
            }
            mesh.name = text;
        }
        const Json* primitives = arrayMember(source, "primitives", path + ".primitives", true);
        if (primitives == nullptr) return false;
        if (primitives->empty()) return fail(path + ".primitives is empty");
        primitiveCount += primitives->size();
        if (primitiveCount > MaxPrimitives) {
            return fail("meshes have more than " + std::to_string(MaxPrimitives) + " primitives in all");
        }
        for (size_t p = 0; p < primitives->size(); p++) {
            Primitive primitive;
            if (!readPrimitive((*primitives)[p], path + ".primitives[" + std::to_string(p) + "]", primitive)) return false;
            mesh.primitives.push_back(std::move(primitive));
        }
        model.meshes.push_back(std::move(mesh));
        return true;
    }

    bool readPrimitive(const Json& source, const std::string& path, Primitive& primitive)
    {
        if (!object(source, path)) return false;
        const Json* attributes = find(source, "attributes");
        if (attributes == nullptr) return fail(path + ".attributes is missing");
        if (!object(*attributes, path + ".attributes")) return false;
        if (find(*attributes, "POSITION") == nullptr) return fail(path + " has no POSITION attribute");
        u64 vertices = 0;
        for (const char* semantic : {"POSITION", "NORMAL", "TEXCOORD_0", "COLOR_0"}) {
            const Json* reference = find(*attributes, semantic);
            if (reference == nullptr) continue;
            u32 accessor = 0;
            if (!use(reference, path + ".attributes." + semantic, semantic, accessor)) return false;
            const u64 count = model.accessors[accessor].count;
            if (vertices != 0 && count != vertices) {
                return fail(path + ".attributes." + semantic + " has " + std::to_string(count) + " elements, POSITION " +
                            std::to_string(vertices));
            }
            vertices = count;
            primitive.attributes.emplace_back(semantic, accessor);
        }
        u64 drawn = vertices;
        if (const Json* indices = find(source, "indices"); indices != nullptr) {
            u32 accessor = 0;
            if (!use(indices, path + ".indices", "indices", accessor) || !indicesWithin(model.accessors[accessor], vertices, path + ".indices")) {
                return false;
            }
            primitive.indices = accessor;
            drawn = model.accessors[accessor].count;
        }
        u64 mode = 4;
        if (!wholeNumber(source, "mode", path, 0, ModeCount - 1, 4, mode)) return false;
        primitive.mode = static_cast<u32>(mode);
        const ModeRule& rule = ModeRules[mode];
        if (drawn < rule.least || drawn % rule.step != 0) {
            return fail(path + " draws " + std::to_string(drawn) + " elements in mode " + std::to_string(mode) +
                        ", which makes no whole " + (mode >= 4 ? "triangles" : mode >= 1 ? "lines" : "points"));
        }
        return true;
    }

    bool indicesWithin(const Accessor& accessor, u64 vertices, const std::string& path)
    {
        const u32 size = componentBytes(accessor.componentType);
        for (u64 k = 0; k < accessor.count; k++) {
            u32 value = 0;
            std::memcpy(&value, accessor.bytes.data() + k * size, size); // little-endian
            if (value >= vertices) {
                return fail(path + " has the index " + std::to_string(value) + ", past its " + std::to_string(vertices) +
                            " vertices");
            }
        }
        return true;
    }

    const Json& document;
    const GltfFile::Parts& parts;
    const FileReader& readFile;
    Model& model;
    std::string problem;
    const Json* buffers = nullptr;
    const Json* views = nullptr;
    const Json* accessors = nullptr;
    std::vector<std::optional<std::string_view>> data; // each buffer's, once read
    std::vector<std::vector<u8>> decodedBuffers;       // data URIs' bytes (a vector of vectors: they stay put)
    std::map<u64, u32> taken;                          // file accessor -> model accessor
    u64 elements = 0;
    u64 primitiveCount = 0;
};

} // namespace

namespace {

// Whether `text` holds a control character: C0, DEL, or C1 (U+0080 to U+009F, in
// UTF-8 the bytes 0xC2 0x80 to 0xC2 0x9F).
bool hasControl(std::string_view text)
{
    for (size_t i = 0; i < text.size(); i++) {
        const u8 c = static_cast<u8>(text[i]);
        if (c < 0x20 || c == 0x7F) return true;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<u8>(text[i + 1]) >= 0x80 &&
            static_cast<u8>(text[i + 1]) <= 0x9F) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string fileBelowModel(std::string_view uri, std::string& problem)
{
    problem.clear();
    // A scheme ("http:", "file:", and a drive "C:") comes before any '/', '?' or '#'.
    if (const size_t mark = uri.find_first_of(":/?#"); mark != std::string_view::npos && uri[mark] == ':') {
        problem = "has a scheme other than data:; only files below the model's folder are read";
        return "";
    }
    if (uri.find_first_of("?#\\") != std::string_view::npos) {
        problem = "is not a plain file name below the model's folder";
        return "";
    }
    if (hasControl(uri)) {
        problem = "holds a control character";
        return "";
    }
    std::string path;
    for (size_t i = 0; i < uri.size(); i++) {
        if (uri[i] != '%') {
            path += uri[i];
            continue;
        }
        const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
        if (i + 2 >= uri.size() || !hex(uri[i + 1]) || !hex(uri[i + 2])) {
            problem = "has a broken escape";
            return "";
        }
        path += static_cast<char>(std::stoi(std::string(uri.substr(i + 1, 2)), nullptr, 16));
        i += 2;
    }
    if (hasControl(path)) {
        problem = "holds an escaped control character";
        return "";
    }
    if (path.empty() || path.find('\\') != std::string::npos) {
        problem = "is not a plain file name below the model's folder";
        return "";
    }
    // A step up that stays below the folder ("sub/../wall.bin") is the file reader's to
    // follow; one above the folder is refused here, without a look at the files.
    bool up = path.front() == '/';
    i64 depth = 0;
    for (size_t start = 0; start <= path.size() && !up;) {
        const size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = std::string_view(path).substr(start, end - start);
        depth += part == ".." ? -1 : part.empty() || part == "." ? 0 : 1;
        up = depth < 0;
        start = end + 1;
    }
    if (up) {
        problem = "leaves the model's folder";
        return "";
    }
    return path;
}

std::string read(std::string_view file, const FileReader& readFile, Model& model)
{
    model = {};
    GltfFile::Parts parts;
    if (std::string problem = GltfFile::split(file, parts); !problem.empty()) return "the file " + problem;
    const StrictJson::Document document = StrictJson::parse(parts.json, documentRules());
    if (!document.problem.empty()) return "its JSON " + document.problem;
    std::string problem = Checker(document.value, parts, readFile, model).run();
    if (!problem.empty()) model = {};
    return problem;
}

std::vector<u8> write(const Model& model)
{
    Json document = {{"asset", {{"version", "2.0"}}}, {"scene", 0}};
    Json nodes = Json::array(), roots = Json::array(), meshes = Json::array();
    for (size_t m = 0; m < model.meshes.size(); m++) {
        const Mesh& mesh = model.meshes[m];
        Json primitives = Json::array();
        for (const Primitive& primitive : mesh.primitives) {
            Json attributes = Json::object();
            for (const auto& [semantic, accessor] : primitive.attributes) attributes[semantic] = accessor;
            Json written = {{"attributes", attributes}, {"mode", primitive.mode}};
            if (primitive.indices.has_value()) written["indices"] = *primitive.indices;
            primitives.push_back(std::move(written));
        }
        Json written = {{"primitives", std::move(primitives)}};
        if (mesh.name.has_value()) written["name"] = *mesh.name;
        meshes.push_back(std::move(written));
        nodes.push_back({{"mesh", m}});
        roots.push_back(m);
    }
    const Json scene = {{"nodes", roots}};
    document["scenes"] = Json::array({scene});
    std::string binary;
    if (!model.meshes.empty()) {
        Json accessors = Json::array(), views = Json::array();
        for (size_t a = 0; a < model.accessors.size(); a++) {
            const Accessor& accessor = model.accessors[a];
            binary.resize((binary.size() + 3) / 4 * 4, '\0'); // every view starts on 4 bytes
            views.push_back({{"buffer", 0}, {"byteOffset", binary.size()}, {"byteLength", accessor.bytes.size()}});
            binary.append(reinterpret_cast<const char*>(accessor.bytes.data()), accessor.bytes.size());
            accessors.push_back({{"bufferView", a},
                                 {"componentType", accessor.componentType},
                                 {"count", accessor.count},
                                 {"type", accessor.type}});
        }
        document["nodes"] = std::move(nodes);
        document["meshes"] = std::move(meshes);
        document["accessors"] = std::move(accessors);
        document["bufferViews"] = std::move(views);
        const Json buffer = {{"byteLength", binary.size()}};
        document["buffers"] = Json::array({buffer});
    }
    return GltfFile::join(document.dump(), binary);
}

} // namespace GltfModel
