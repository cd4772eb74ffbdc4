#pragma once

#include <memory>
#include <vector>

// A kind's list of live instances: each instance keeps its own index in the list
// (`listIndex`), and removal swaps the last entry into the gap, so the others' order
// is not kept. Lists are walked from the last entry to the first so that an instance
// may remove itself during a walk. The caller holds the kind's mutex.
namespace InstanceList {

// Removes `instance` from `list`. Refused (false, nothing changes) when the entry at
// its listIndex is not `instance`: it is in no list, or its index is stale.
template <typename T> bool erase(std::vector<std::shared_ptr<T>>& list, const T* instance)
{
    const auto index = static_cast<size_t>(instance->listIndex);
    if (instance->listIndex < 0 || index >= list.size() || list[index].get() != instance) {
        return false;
    }
    std::shared_ptr<T> last = std::move(list.back());
    list.pop_back();
    if (index < list.size()) {
        list[index] = std::move(last);
        list[index]->listIndex = static_cast<decltype(instance->listIndex)>(index);
    }
    return true;
}

} // namespace InstanceList
