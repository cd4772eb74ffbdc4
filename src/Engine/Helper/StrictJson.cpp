#include "Engine/Helper/StrictJson.h"

#include "Engine/Helper/QuotedText.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string_view>

namespace StrictJson {

namespace {

using Json = nlohmann::json;

// The rules as a tree of path steps ("[]" for the elements of an array).
struct RuleNode {
    enum Kind : u8 { Within, Kept, Marked };
    Kind kind = Within;
    std::map<std::string, RuleNode, std::less<>> steps;
};

void addRule(RuleNode& root, const std::string& path, RuleNode::Kind kind)
{
    RuleNode* node = &root;
    size_t start = 0;
    while (true) {
        const size_t end = std::min(path.find('/', start), path.size());
        node = &node->steps[path.substr(start, end - start)];
        if (end == path.size()) break;
        start = end + 1;
    }
    node->kind = kind;
}

// The library's message without its tag ("[json.exception.parse_error.101] "), the
// line and column it counts in (the byte is given instead), or the token it last read
// (which may be the whole of a long string, or bytes that are not text).
std::string libraryMessage(const std::string& what)
{
    std::string text = what;
    if (const size_t tag = text.find("] "); tag != std::string::npos) text.erase(0, tag + 2);
    if (text.starts_with("parse error")) {
        if (const size_t colon = text.find(": "); colon != std::string::npos) text.erase(0, colon + 2);
    }
    if (const size_t last = text.find("; last read"); last != std::string::npos) text.erase(last);
    return messageText(text, 160);
}

// Builds the kept part of the document as the library's parser reports what it reads.
class Reader final : public nlohmann::json_sax<Json> {
public:
    Reader(const Rules& rules, Json& result) : rules(rules), result(result)
    {
        for (const std::string& path : rules.kept) addRule(root, path, RuleNode::Kept);
        for (const std::string& path : rules.marked) addRule(root, path, RuleNode::Marked);
    }

    std::string problem;

    bool null() override { return scalar(nullptr); }
    bool boolean(bool value) override { return scalar(value); }
    bool number_integer(number_integer_t value) override { return scalar(value); }
    bool number_unsigned(number_unsigned_t value) override { return scalar(value); }
    bool number_float(number_float_t value, const string_t&) override { return scalar(value); }
    bool string(string_t& value) override { return scalar(std::move(value)); }
    bool binary(binary_t&) override { return fail("holds binary data"); }

    bool start_object(std::size_t) override { return open(true); }
    bool start_array(std::size_t) override { return open(false); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool key(string_t& name) override
    {
        Frame& frame = frames.back();
        if (frame.names.size() >= rules.maxObjectMembers) {
            return fail("has an object of more than " + std::to_string(rules.maxObjectMembers) + " members" + where());
        }
        // Names written twice are looked for when the object ends (see close).
        frame.names.push_back({static_cast<u32>(frame.nameBytes.size()), static_cast<u32>(name.size())});
        frame.nameBytes += name;
        frame.key = std::move(name);
        return true;
    }

    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) override
    {
        const size_t byte = position > 0 ? position - 1 : 0;
        return fail("is not valid at byte " + std::to_string(byte) + ": " + libraryMessage(error.what()));
    }

private:
    struct Frame {
        Json* target = nullptr;        // null: dropped
        const RuleNode* rule = nullptr; // null: kept whole (or dropped)
        bool object = false;
        std::string key; // of the member being read
        u64 index = 0;   // of the element being read
        // An object's member names, one after another, and where each lies.
        std::string nameBytes;
        std::vector<std::pair<u32, u32>> names; // offset, length
    };

    // Where the value about to be read goes: a new slot in its container (with the
    // rules for what lies within it), or nowhere when it is dropped.
    struct Slot {
        Json* value = nullptr;
        const RuleNode* rule = nullptr;
    };

    bool fail(std::string text)
    {
        if (problem.empty()) problem = std::move(text);
        return false;
    }

    // " in meshes[0].primitives" for the container being read, or nothing at the top.
    std::string where() const
    {
        std::string path;
        for (size_t i = 1; i < frames.size(); i++) {
            if (path.size() > 80) {
                path += "...";
                break;
            }
            const Frame& parent = frames[i - 1];
            if (parent.object) {
                path += (path.empty() ? "" : ".") + escapedText(parent.key, 64);
            } else {
                path += "[" + std::to_string(parent.index) + "]";
            }
        }
        return path.empty() ? "" : " in " + path;
    }

    bool newSlot(Json* container, Slot& slot)
    {
        if (++keptValues > rules.maxKeptValues) {
            return fail("has more than " + std::to_string(rules.maxKeptValues) + " values in the members that are read");
        }
        const Frame& parent = frames.back();
        if (parent.object) {
            slot.value = &(*container)[parent.key];
        } else {
            container->push_back(nullptr);
            slot.value = &container->back();
        }
        return true;
    }

    bool place(Slot& slot)
    {
        slot = {};
        if (frames.empty()) {
            slot = {&result, &root};
            return true;
        }
        const Frame& parent = frames.back();
        if (parent.target == nullptr) return true;
        if (parent.rule == nullptr) return newSlot(parent.target, slot);
        const auto step = parent.rule->steps.find(parent.object ? parent.key : std::string_view("[]"));
        if (step == parent.rule->steps.end()) return true;
        if (step->second.kind == RuleNode::Marked) {
            Slot mark;
            if (!newSlot(parent.target, mark)) return false;
            *mark.value = true;
            return true;
        }
        if (!newSlot(parent.target, slot)) return false;
        slot.rule = step->second.kind == RuleNode::Kept ? nullptr : &step->second;
        return true;
    }

    void advance()
    {
        if (!frames.empty() && !frames.back().object) frames.back().index++;
    }

    bool scalar(Json value)
    {
        Slot slot;
        if (!place(slot)) return false;
        if (slot.value != nullptr) *slot.value = std::move(value);
        advance();
        return true;
    }

    bool open(bool object)
    {
        if (frames.size() >= rules.maxNesting) {
            return fail("is nested more than " + std::to_string(rules.maxNesting) + " deep" + where());
        }
        Slot slot;
        if (!place(slot)) return false;
        if (slot.value != nullptr) *slot.value = object ? Json::object() : Json::array();
        frames.push_back({slot.value, slot.rule, object, {}, 0, {}, {}});
        return true;
    }

    // The first member name (in the text's order) that the object being closed writes
    // a second time, if any. The names are sorted, not hashed: no choice of names makes
    // the search slower than a sort of them, and names are told apart by their bytes.
    bool namesOnce()
    {
        const Frame& frame = frames.back();
        const auto name = [&frame](u32 i) {
            return std::string_view(frame.nameBytes).substr(frame.names[i].first, frame.names[i].second);
        };
        std::vector<u32> order(frame.names.size());
        for (u32 i = 0; i < order.size(); i++) order[i] = i;
        std::sort(order.begin(), order.end(), [&name](u32 a, u32 b) {
            const int compared = name(a).compare(name(b));
            return compared != 0 ? compared < 0 : a < b;
        });
        u32 second = UINT32_MAX;
        for (size_t k = 1; k < order.size(); k++) {
            if (name(order[k]) == name(order[k - 1])) second = std::min(second, order[k]);
        }
        if (second == UINT32_MAX) return true;
        return fail("names the member " + quotedText(name(second), 64) + " twice" + where());
    }

    bool close()
    {
        if (frames.back().object && !namesOnce()) return false;
        frames.pop_back();
        advance();
        return true;
    }

    const Rules& rules;
    Json& result;
    RuleNode root;
    std::vector<Frame> frames;
    u64 keptValues = 0;
};

} // namespace

Document parse(std::string_view text, const Rules& rules)
{
    Document document;
    // (The library would skip it.)
    if (text.starts_with("\xEF\xBB\xBF")) {
        document.problem = "starts with a byte order mark";
        return document;
    }
    Reader reader(rules, document.value);
    const bool read = Json::sax_parse(text.begin(), text.end(), &reader, nlohmann::json::input_format_t::json, true);
    if (!read || !reader.problem.empty()) {
        document.problem = reader.problem.empty() ? "is not valid" : reader.problem;
        document.value = nullptr;
    }
    return document;
}

} // namespace StrictJson
