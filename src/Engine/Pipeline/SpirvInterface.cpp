#include "Engine/Pipeline/SpirvInterface.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace {

// The SPIR-V opcodes, decorations and storage classes that the reader looks at.
enum Op : u32 {
    OpName = 5,
    OpLine = 8,
    OpExtInst = 12,
    OpEntryPoint = 15,
    OpCapability = 17,
    OpTypeBool = 20,
    OpTypeInt = 21,
    OpTypeFloat = 22,
    OpTypeVector = 23,
    OpTypeMatrix = 24,
    OpTypeImage = 25,
    OpTypeSampler = 26,
    OpTypeSampledImage = 27,
    OpTypeArray = 28,
    OpTypeRuntimeArray = 29,
    OpTypeStruct = 30,
    OpTypePointer = 32,
    OpConstant = 43,
    OpSpecConstant = 50,
    OpFunction = 54,
    OpFunctionEnd = 56,
    OpFunctionCall = 57,
    OpVariable = 59,
    OpLoad = 61,
    OpStore = 62,
    OpCopyMemory = 63,
    OpCopyMemorySized = 64,
    OpDecorate = 71,
    OpMemberDecorate = 72,
    OpVectorShuffle = 79,
    OpCompositeExtract = 81,
    OpCompositeInsert = 82,
    OpImageSampleImplicitLod = 87,
    OpImageSampleExplicitLod = 88,
    OpImageSampleDrefImplicitLod = 89,
    OpImageSampleDrefExplicitLod = 90,
    OpImageSampleProjImplicitLod = 91,
    OpImageSampleProjExplicitLod = 92,
    OpImageSampleProjDrefImplicitLod = 93,
    OpImageSampleProjDrefExplicitLod = 94,
    OpImageFetch = 95,
    OpImageGather = 96,
    OpImageDrefGather = 97,
    OpImageRead = 98,
    OpImageWrite = 99,
    OpLoopMerge = 246,
    OpSelectionMerge = 247,
    OpBranchConditional = 250,
    OpSwitch = 251,
};

enum Decoration : u32 {
    DecorationBufferBlock = 3,
    DecorationArrayStride = 6,
    DecorationMatrixStride = 7,
    DecorationBuiltIn = 11,
    DecorationLocation = 30,
    DecorationComponent = 31,
    DecorationBinding = 33,
    DecorationDescriptorSet = 34,
    DecorationOffset = 35,
};

enum StorageClass : u32 {
    StorageUniformConstant = 0,
    StorageInput = 1,
    StorageUniform = 2,
    StorageOutput = 3,
    StoragePushConstant = 9,
    StorageStorageBuffer = 12,
};

constexpr u32 DimBuffer = 5;
constexpr u32 DimSubpassData = 6;
constexpr u32 SpirvVersion14 = 0x00010400u;

// Bounds that no module a driver takes comes near; a module past them is refused as
// unreadable rather than followed into deep recursion or huge loops.
constexpr int MaxTypeDepth = 32;
constexpr size_t MaxSlots = 1024;
constexpr u32 MaxLocation = 4096;
constexpr u32 MaxArrayLength = 256; // of an input or output variable
constexpr u32 NoLocation = 0xFFFFFFFFu;
// SPIR-V defines a few hundred capabilities: more distinct ones are not a module.
constexpr size_t MaxCapabilities = 1024;
constexpr u64 SizeCap = u64(1) << 40;
// Steps of the type walks over one module: each type visited and each member of a
// structure looked at, skipped or not, is one. Types that repeat types (arrays of structs
// of arrays, structures of large structures) would otherwise multiply the walk. Every
// other pass of the reader goes over the words once, and a step costs a bounded amount
// (names are cut to MaxNameLength), so the reader's work on any module is bounded by
// its length and MaxSteps.
constexpr u64 MaxSteps = u64(1) << 20;
// Names only serve messages; a longer one is cut, so that copying it stays cheap.
constexpr size_t MaxNameLength = 256;

struct Type {
    u32 op = 0;
    u32 a = 0; // Int/Float: width; Vector/Matrix: component/column type; Image: dim;
               // Array/RuntimeArray: element; Pointer: storage class
    u32 b = 0; // Int: signedness; Vector/Matrix: count; Image: sampled; Array: length id;
               // Pointer: pointee
    std::vector<u32> members;
};

// What the decorations of an id, or of a member of a structure, say.
struct Decorations {
    std::optional<u32> set, binding, location, component, arrayStride, offset, matrixStride;
    bool builtIn = false;
    bool bufferBlock = false;
};

struct Variable {
    u32 pointerType = 0;
    u32 storageClass = 0;
    u32 initializer = 0; // the id the variable starts as, 0 for none
};

struct EntryPoint {
    u32 model = 0;
    u32 function = 0;
    std::string name;
    std::vector<u32> interface;
};

u64 saturatingMultiply(u64 a, u64 b)
{
    if (a != 0 && b > SizeCap / a) {
        return SizeCap;
    }
    return std::min(a * b, SizeCap);
}

class Reader {
public:
    Reader(const u32* words, size_t count) : words(words), count(count) {}

    // Walks every instruction; false when the stream of instructions is broken.
    bool read()
    {
        if (words == nullptr || count < 5) {
            return false;
        }
        version = words[1];
        u32 function = 0;
        bool inFunction = false;
        for (size_t at = 5; at < count;) {
            u32 length = words[at] >> 16;
            if (length == 0 || length > count - at) {
                return false;
            }
            u32 opcode = words[at] & 0xFFFFu;
            instruction(opcode, words + at, length);
            // Where each function's body lies, for finding what an entry point uses.
            if (opcode == OpFunction && length >= 3 && !inFunction) {
                function = words[at + 2];
                inFunction = true;
                functions[function] = {at + length, count};
            } else if (opcode == OpFunctionEnd && inFunction) {
                functions[function].second = at;
                inFunction = false;
            }
            at += length;
        }
        return true;
    }

    std::string describe(u32 executionModel, ShaderInterface* out)
    {
        const EntryPoint* entry = nullptr;
        const EntryPoint* otherMain = nullptr;
        for (const EntryPoint& point : entryPoints) {
            if (point.name != "main") {
                continue;
            }
            if (point.model == executionModel) {
                entry = &point;
                break;
            }
            if (otherMain == nullptr) {
                otherMain = &point;
            }
        }
        if (entry == nullptr) {
            if (otherMain != nullptr) {
                return std::string("its entry point \"main\" is a ") + spirvStageName(otherMain->model) +
                       " shader, not a " + spirvStageName(executionModel) + " shader";
            }
            return std::string("it has no entry point \"main\" (of any stage)");
        }

        if (capabilities.size() > MaxCapabilities) {
            return "it declares more than " + std::to_string(MaxCapabilities) + " capabilities";
        }
        *out = ShaderInterface{};
        out->executionModel = executionModel;
        out->capabilities = capabilities;
        std::vector<u32> listed = entry->interface;
        if (version < SpirvVersion14) {
            // The entry point lists only its inputs and outputs: the bindings and push
            // constants it uses are those its functions name.
            std::vector<u32> used = staticallyUsed(entry->function);
            listed.insert(listed.end(), used.begin(), used.end());
        }
        std::sort(listed.begin(), listed.end());
        for (u32 id : variableOrder) {
            const Variable& variable = variables[id];
            bool isListed = std::binary_search(listed.begin(), listed.end(), id);
            switch (variable.storageClass) {
            case StorageInput:
            case StorageOutput:
                if (isListed) {
                    addInterfaceVariable(id, variable, variable.storageClass == StorageInput ? out->inputs
                                                                                              : out->outputs);
                }
                break;
            case StorageUniformConstant:
            case StorageUniform:
            case StorageStorageBuffer:
                if (isListed) {
                    addResource(id, variable, out->resources);
                }
                break;
            case StoragePushConstant:
                if (isListed) {
                    addPushConstants(variable, out);
                }
                break;
            default:
                break;
            }
            if (tooManySteps) {
                return "its declarations take more than " + std::to_string(MaxSteps) + " steps to read";
            }
            if (broken) {
                return "its declarations are too deep or too large to read";
            }
        }
        return "";
    }

private:
    const u32* words;
    size_t count;
    u32 version = 0;
    bool broken = false;
    bool tooManySteps = false;
    u64 steps = 0;
    std::unordered_map<u32, Type> types;
    std::unordered_map<u32, u32> constants;
    std::unordered_map<u32, Decorations> decorations;
    std::unordered_map<u64, Decorations> memberDecorations;
    std::unordered_map<u32, std::string> names;
    std::unordered_map<u32, Variable> variables;
    std::vector<u32> variableOrder;
    std::vector<EntryPoint> entryPoints;
    std::vector<u32> capabilities;
    std::unordered_set<u32> declaredCapabilities;
    // The words of each function's body: from the instruction after OpFunction to its
    // OpFunctionEnd (to the end of the module when it has none).
    std::unordered_map<u32, std::pair<size_t, size_t>> functions;

    static u64 memberKey(u32 structure, u32 member) { return (u64(structure) << 32) | member; }

    // One unit of the type walks; false once they have taken MaxSteps.
    bool step()
    {
        if (++steps > MaxSteps) {
            tooManySteps = broken = true;
        }
        return !broken;
    }

    // A literal string starting at word `first` of an instruction of `length` words, cut
    // to MaxNameLength; sets `next` to the word after it (`length` when the string runs
    // to the end unterminated).
    static std::string literal(const u32* op, u32 first, u32 length, u32* next)
    {
        std::string text;
        for (u32 w = first; w < length; w++) {
            for (int byte = 0; byte < 4; byte++) {
                char c = static_cast<char>((op[w] >> (8 * byte)) & 0xFFu);
                if (c == 0) {
                    *next = w + 1;
                    return text;
                }
                if (text.size() < MaxNameLength) {
                    text.push_back(c);
                }
            }
        }
        *next = length;
        return text;
    }

    void instruction(u32 opcode, const u32* op, u32 length)
    {
        switch (opcode) {
        case OpName:
            if (length >= 3) {
                u32 next = 0;
                names[op[1]] = literal(op, 2, length, &next);
            }
            break;
        case OpCapability:
            // Kept once each, and no more than one past the bound, so that a module
            // that repeats them stays cheap to read.
            if (length >= 2 && capabilities.size() <= MaxCapabilities && declaredCapabilities.insert(op[1]).second) {
                capabilities.push_back(op[1]);
            }
            break;
        case OpEntryPoint:
            if (length >= 4) {
                EntryPoint point;
                point.model = op[1];
                point.function = op[2];
                u32 next = 0;
                point.name = literal(op, 3, length, &next);
                point.interface.assign(op + next, op + length);
                entryPoints.push_back(std::move(point));
            }
            break;
        case OpTypeBool:
        case OpTypeSampler:
        case OpTypeSampledImage:
            if (length >= 2) {
                types[op[1]] = Type{opcode};
            }
            break;
        case OpTypeInt:
        case OpTypeVector:
        case OpTypeMatrix:
        case OpTypeArray:
            if (length >= 4) {
                types[op[1]] = Type{opcode, op[2], op[3]};
            }
            break;
        case OpTypeFloat:
        case OpTypeRuntimeArray:
            if (length >= 3) {
                types[op[1]] = Type{opcode, op[2]};
            }
            break;
        case OpTypeImage:
            // result, sampled type, dim, depth, arrayed, multisampled, sampled, format
            if (length >= 9) {
                types[op[1]] = Type{opcode, op[3], op[7]};
            }
            break;
        case OpTypeStruct:
            if (length >= 2) {
                Type type{opcode};
                type.members.assign(op + 2, op + length);
                types[op[1]] = std::move(type);
            }
            break;
        case OpTypePointer:
            if (length >= 4) {
                types[op[1]] = Type{opcode, op[2], op[3]};
            }
            break;
        case OpConstant:
        case OpSpecConstant:
            if (length >= 4) {
                constants[op[2]] = op[3];
            }
            break;
        case OpVariable:
            if (length >= 4 && op[3] != 7 /* Function */) {
                if (!variables.count(op[2])) {
                    variableOrder.push_back(op[2]);
                }
                variables[op[2]] = Variable{op[1], op[3], length >= 5 ? op[4] : 0};
            }
            break;
        case OpDecorate:
            if (length >= 3) {
                decorate(decorations[op[1]], op[2], length >= 4 ? std::optional<u32>(op[3]) : std::nullopt);
            }
            break;
        case OpMemberDecorate:
            if (length >= 4) {
                decorate(memberDecorations[memberKey(op[1], op[2])], op[3],
                         length >= 5 ? std::optional<u32>(op[4]) : std::nullopt);
            }
            break;
        default:
            break;
        }
    }

    static void decorate(Decorations& target, u32 decoration, std::optional<u32> value)
    {
        switch (decoration) {
        case DecorationBufferBlock:
            target.bufferBlock = true;
            break;
        case DecorationBuiltIn:
            target.builtIn = true;
            break;
        case DecorationDescriptorSet:
            target.set = value;
            break;
        case DecorationBinding:
            target.binding = value;
            break;
        case DecorationLocation:
            target.location = value;
            break;
        case DecorationComponent:
            target.component = value;
            break;
        case DecorationArrayStride:
            target.arrayStride = value;
            break;
        case DecorationOffset:
            target.offset = value;
            break;
        case DecorationMatrixStride:
            target.matrixStride = value;
            break;
        default:
            break;
        }
    }

    const Type* type(u32 id) const
    {
        auto found = types.find(id);
        return found == types.end() ? nullptr : &found->second;
    }

    const Decorations* decorationsOf(u32 id) const
    {
        auto found = decorations.find(id);
        return found == decorations.end() ? nullptr : &found->second;
    }

    const Decorations* memberDecorationsOf(u32 structure, u32 member) const
    {
        auto found = memberDecorations.find(memberKey(structure, member));
        return found == memberDecorations.end() ? nullptr : &found->second;
    }

    std::optional<u32> constant(u32 id) const
    {
        auto found = constants.find(id);
        return found == constants.end() ? std::nullopt : std::optional<u32>(found->second);
    }

    std::string nameOf(u32 id) const
    {
        auto found = names.find(id);
        return found == names.end() ? std::string() : found->second;
    }

    // ---- what an entry point uses

    // Whether word `w` of an instruction in a function is a literal rather than an id,
    // for the instructions that commonly carry small literals. Every other word is taken
    // for an id: a literal that equals a variable's id makes the variable count as used,
    // which only means its binding is checked; a use is never missed.
    static bool literalWord(u32 opcode, u32 w)
    {
        switch (opcode) {
        case OpLine:
            return true;
        case OpExtInst:
            return w == 4; // the instruction's number in its set
        case OpLoad:
            return w >= 4; // memory operands
        case OpStore:
        case OpCopyMemory:
            return w >= 3;
        case OpCopyMemorySized:
            return w >= 4;
        case OpVectorShuffle:
        case OpCompositeInsert:
            return w >= 5; // components, indices
        case OpCompositeExtract:
            return w >= 4;
        case OpLoopMerge:
            return w >= 3; // loop control
        case OpSelectionMerge:
            return w >= 2;
        case OpBranchConditional:
            return w >= 4; // branch weights
        case OpSwitch:
            return w >= 3; // case literals and their labels
        // The image operands mask: after the coordinate, or after the depth reference or
        // the component that some take.
        case OpImageWrite:
            return w == 4;
        case OpImageSampleImplicitLod:
        case OpImageSampleExplicitLod:
        case OpImageSampleProjImplicitLod:
        case OpImageSampleProjExplicitLod:
        case OpImageFetch:
        case OpImageRead:
            return w == 5;
        case OpImageSampleDrefImplicitLod:
        case OpImageSampleDrefExplicitLod:
        case OpImageSampleProjDrefImplicitLod:
        case OpImageSampleProjDrefExplicitLod:
        case OpImageGather:
        case OpImageDrefGather:
            return w == 6;
        default:
            return false;
        }
    }

    // The module-scope variables that the call tree of the entry point's function names,
    // and those they are initialised with: what a module of SPIR-V 1.4 or later lists on
    // its entry point. Each function is looked at once, so this takes one pass over the
    // words at most.
    std::vector<u32> staticallyUsed(u32 entryFunction) const
    {
        std::vector<u32> globals = variableOrder;
        std::sort(globals.begin(), globals.end());
        std::vector<u32> used;
        std::vector<u32> pending = {entryFunction};
        std::unordered_set<u32> seen = {entryFunction};
        while (!pending.empty()) {
            auto body = functions.find(pending.back());
            pending.pop_back();
            if (body == functions.end()) {
                continue;
            }
            // read() has checked that the instructions tile the words.
            for (size_t at = body->second.first; at < body->second.second;) {
                const u32 length = words[at] >> 16;
                const u32 opcode = words[at] & 0xFFFFu;
                if (opcode == OpFunctionCall && length >= 4 && seen.insert(words[at + 3]).second) {
                    pending.push_back(words[at + 3]);
                }
                for (u32 w = 1; w < length; w++) {
                    if (!literalWord(opcode, w) && std::binary_search(globals.begin(), globals.end(), words[at + w])) {
                        used.push_back(words[at + w]);
                    }
                }
                at += length;
            }
        }
        std::sort(used.begin(), used.end());
        used.erase(std::unique(used.begin(), used.end()), used.end());
        // A global initialised with another global (with variable pointers, a pointer
        // to a storage buffer) reaches what it holds: that one is used too, and what it
        // is initialised with in turn. Each global is added once.
        std::unordered_set<u32> reached(used.begin(), used.end());
        for (size_t i = 0; i < used.size(); i++) {
            const u32 held = variables.at(used[i]).initializer;
            if (variables.count(held) != 0 && reached.insert(held).second) {
                used.push_back(held);
            }
        }
        return used;
    }

    // ---- descriptor bindings

    void addResource(u32 id, const Variable& variable, std::vector<ShaderResource>& resources)
    {
        const Decorations* decorated = decorationsOf(id);
        if (decorated == nullptr || !decorated->binding) {
            return; // the validator insists on both decorations for a Vulkan module
        }
        const Type* pointer = type(variable.pointerType);
        if (pointer == nullptr || pointer->op != OpTypePointer) {
            return;
        }
        u32 typeId = pointer->b;
        const Type* held = type(typeId);
        ShaderResource resource;
        resource.set = decorated->set.value_or(0);
        resource.binding = *decorated->binding;
        if (held != nullptr && held->op == OpTypeArray) {
            resource.count = constant(held->b).value_or(1);
            typeId = held->a;
            held = type(typeId);
        } else if (held != nullptr && held->op == OpTypeRuntimeArray) {
            resource.count = 0;
            typeId = held->a;
            held = type(typeId);
        }
        resource.kind = resourceKind(variable.storageClass, typeId, held);
        resource.name = nameOf(id);
        if (resource.name.empty()) {
            resource.name = nameOf(typeId);
        }
        resources.push_back(std::move(resource));
    }

    ShaderResourceKind resourceKind(u32 storageClass, u32 typeId, const Type* held) const
    {
        if (held == nullptr) {
            return ShaderResourceKind::Other;
        }
        if (storageClass == StorageStorageBuffer) {
            return ShaderResourceKind::StorageBuffer;
        }
        if (storageClass == StorageUniform) {
            const Decorations* decorated = decorationsOf(typeId);
            bool storage = decorated != nullptr && decorated->bufferBlock;
            return storage ? ShaderResourceKind::StorageBuffer : ShaderResourceKind::UniformBuffer;
        }
        switch (held->op) {
        case OpTypeSampledImage:
            return ShaderResourceKind::CombinedImageSampler;
        case OpTypeSampler:
            return ShaderResourceKind::Sampler;
        case OpTypeImage:
            if (held->a == DimSubpassData) {
                return ShaderResourceKind::InputAttachment;
            }
            if (held->a == DimBuffer) {
                return held->b == 2 ? ShaderResourceKind::StorageTexelBuffer : ShaderResourceKind::UniformTexelBuffer;
            }
            return held->b == 2 ? ShaderResourceKind::StorageImage : ShaderResourceKind::SampledImage;
        default:
            return ShaderResourceKind::Other;
        }
    }

    // ---- inputs and outputs

    void addInterfaceVariable(u32 id, const Variable& variable, std::vector<ShaderSlot>& slots)
    {
        const Decorations* decorated = decorationsOf(id);
        if (decorated != nullptr && decorated->builtIn) {
            return;
        }
        const Type* pointer = type(variable.pointerType);
        if (pointer == nullptr || pointer->op != OpTypePointer) {
            return;
        }
        u32 location = decorated != nullptr && decorated->location ? *decorated->location : NoLocation;
        u32 component = decorated != nullptr && decorated->component ? *decorated->component : 0;
        addSlots(pointer->b, location, component, nameOf(id), 0, slots);
    }

    static u32 advance(u32 location, u32 by)
    {
        if (location == NoLocation || location > MaxLocation || by > MaxLocation) {
            return NoLocation;
        }
        return location + by;
    }

    // Adds the slots of a variable of type `typeId` starting at `location`; returns the
    // number of locations it takes. Slots without a location are left out.
    u32 addSlots(u32 typeId, u32 location, u32 component, const std::string& name, int depth,
                 std::vector<ShaderSlot>& slots)
    {
        if (depth > MaxTypeDepth || slots.size() > MaxSlots) {
            broken = true;
        }
        if (!step()) {
            return 0;
        }
        const Type* held = type(typeId);
        if (held == nullptr) {
            return 0;
        }
        switch (held->op) {
        case OpTypeBool:
        case OpTypeInt:
        case OpTypeFloat:
        case OpTypeVector: {
            ShaderSlot slot;
            slot.location = location;
            slot.component = component;
            slot.name = name;
            const Type* scalar = held;
            if (held->op == OpTypeVector) {
                slot.components = held->b;
                scalar = type(held->a);
            }
            if (scalar == nullptr) {
                return 1;
            }
            slot.width = scalar->op == OpTypeBool ? 32 : scalar->a;
            slot.numeric = scalar->op == OpTypeFloat ? ShaderNumeric::Float
                           : scalar->op == OpTypeInt ? (scalar->b != 0 ? ShaderNumeric::SignedInt
                                                                       : ShaderNumeric::UnsignedInt)
                                                     : ShaderNumeric::Other;
            if (location != NoLocation && location <= MaxLocation) {
                slots.push_back(slot);
            }
            return slot.width == 64 && slot.components > 2 ? 2 : 1;
        }
        case OpTypeMatrix:
        case OpTypeArray: {
            u32 repeat = held->op == OpTypeMatrix ? held->b : constant(held->b).value_or(0);
            if (repeat > MaxArrayLength) {
                broken = true;
                return 0;
            }
            u32 taken = 0;
            for (u32 i = 0; i < repeat && !broken; i++) {
                u32 used = addSlots(held->a, advance(location, taken), component, name, depth + 1, slots);
                taken = std::min(taken + used, MaxLocation + 1);
            }
            return taken;
        }
        case OpTypeStruct: {
            // An interface block: members follow each other unless they carry their own location.
            u32 next = location;
            u32 taken = 0;
            for (u32 m = 0; m < held->members.size() && step(); m++) {
                const Decorations* member = memberDecorationsOf(typeId, m);
                if (member != nullptr && member->builtIn) {
                    continue;
                }
                u32 at = member != nullptr && member->location ? *member->location : next;
                u32 memberComponent = member != nullptr && member->component ? *member->component : 0;
                std::string memberName = name + "." + std::to_string(m);
                u32 used = addSlots(held->members[m], at, memberComponent, memberName, depth + 1, slots);
                next = advance(at, used);
                taken = std::min(taken + used, MaxLocation + 1);
            }
            return taken;
        }
        default:
            return 0;
        }
    }

    // ---- push constants

    // The bytes a value of the type takes in a block: from its offset to its last byte.
    u64 byteSize(u32 typeId, std::optional<u32> matrixStride, int depth)
    {
        if (depth > MaxTypeDepth) {
            broken = true;
        }
        if (!step()) {
            return 0;
        }
        const Type* held = type(typeId);
        if (held == nullptr) {
            return 0;
        }
        switch (held->op) {
        case OpTypeBool:
            return 4;
        case OpTypeInt:
        case OpTypeFloat:
            return held->a / 8;
        case OpTypeVector:
            return saturatingMultiply(held->b, byteSize(held->a, std::nullopt, depth + 1));
        case OpTypeMatrix:
        case OpTypeArray:
        case OpTypeRuntimeArray: {
            u64 element = byteSize(held->a, matrixStride, depth + 1);
            u32 repeat = held->op == OpTypeMatrix  ? held->b
                         : held->op == OpTypeArray ? constant(held->b).value_or(1)
                                                   : 1;
            const Decorations* decorated = decorationsOf(typeId);
            std::optional<u32> declared = held->op == OpTypeMatrix ? matrixStride
                                          : decorated != nullptr   ? decorated->arrayStride
                                                                   : std::nullopt;
            u64 stride = declared ? *declared : element;
            if (repeat == 0) {
                return 0;
            }
            return std::min(saturatingMultiply(repeat - 1, stride) + element, SizeCap);
        }
        case OpTypeStruct: {
            u64 end = 0;
            for (u32 m = 0; m < held->members.size() && step(); m++) {
                const Decorations* member = memberDecorationsOf(typeId, m);
                if (member == nullptr || !member->offset) {
                    continue;
                }
                u64 size = byteSize(held->members[m], member->matrixStride, depth + 1);
                end = std::max(end, std::min(u64(*member->offset) + size, SizeCap));
            }
            return end;
        }
        default:
            return 0;
        }
    }

    void addPushConstants(const Variable& variable, ShaderInterface* out)
    {
        const Type* pointer = type(variable.pointerType);
        if (pointer == nullptr || pointer->op != OpTypePointer) {
            return;
        }
        const Type* block = type(pointer->b);
        if (block == nullptr || block->op != OpTypeStruct) {
            return;
        }
        // From the first member's offset to the end of the last one.
        u64 begin = SizeCap;
        for (u32 m = 0; m < block->members.size() && step(); m++) {
            const Decorations* member = memberDecorationsOf(pointer->b, m);
            if (member != nullptr && member->offset) begin = std::min(begin, u64(*member->offset));
        }
        u64 end = byteSize(pointer->b, std::nullopt, 1);
        if (begin > end) {
            begin = end = 0;
        }
        constexpr u64 Limit = 0xFFFFFFFFu;
        if (out->hasPushConstants) {
            begin = std::min<u64>(begin, out->pushConstantBegin);
            end = std::max<u64>(end, out->pushConstantEnd);
        }
        out->hasPushConstants = true;
        out->pushConstantBegin = static_cast<u32>(std::min(begin, Limit));
        out->pushConstantEnd = static_cast<u32>(std::min(end, Limit));
    }
};

} // namespace

const char* spirvStageName(u32 executionModel)
{
    switch (executionModel) {
    case 0:
        return "vertex";
    case 1:
        return "tessellation control";
    case 2:
        return "tessellation evaluation";
    case 3:
        return "geometry";
    case 4:
        return "fragment";
    case 5:
        return "compute";
    case 6:
        return "kernel";
    case 5267:
    case 5364:
        return "task";
    case 5268:
    case 5365:
        return "mesh";
    default:
        return "unknown";
    }
}

const char* shaderResourceKindName(ShaderResourceKind kind)
{
    switch (kind) {
    case ShaderResourceKind::UniformBuffer:
        return "uniform buffer";
    case ShaderResourceKind::StorageBuffer:
        return "storage buffer";
    case ShaderResourceKind::CombinedImageSampler:
        return "combined image sampler";
    case ShaderResourceKind::SampledImage:
        return "sampled image";
    case ShaderResourceKind::Sampler:
        return "sampler";
    case ShaderResourceKind::StorageImage:
        return "storage image";
    case ShaderResourceKind::UniformTexelBuffer:
        return "uniform texel buffer";
    case ShaderResourceKind::StorageTexelBuffer:
        return "storage texel buffer";
    case ShaderResourceKind::InputAttachment:
        return "input attachment";
    case ShaderResourceKind::Other:
        break;
    }
    return "resource without a descriptor type of the engine";
}

const char* shaderNumericName(ShaderNumeric numeric)
{
    switch (numeric) {
    case ShaderNumeric::Float:
        return "float";
    case ShaderNumeric::SignedInt:
        return "signed integer";
    case ShaderNumeric::UnsignedInt:
        return "unsigned integer";
    case ShaderNumeric::Other:
        break;
    }
    return "boolean";
}

std::string reflectSpirv(const u32* words, size_t count, u32 executionModel, ShaderInterface* out)
{
    Reader reader(words, count);
    if (!reader.read()) {
        return "its instructions cannot be read";
    }
    return reader.describe(executionModel, out);
}
