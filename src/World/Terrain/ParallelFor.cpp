#include "World/Terrain/ParallelFor.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

u32 workerCount(u32 requested)
{
    if (requested != 0) return requested;
    u32 hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : hardware;
}

void parallelFor(u32 count, u32 grain, u32 threads, const std::function<void(u32 begin, u32 end)>& body)
{
    if (count == 0) return;
    grain = std::max(grain, 1u);
    u32 blocks = (count + grain - 1) / grain;
    u32 workers = std::min(workerCount(threads), blocks);
    if (workers <= 1) {
        body(0, count);
        return;
    }

    std::atomic<u32> nextBlock{0};
    auto work = [&]() {
        for (;;) {
            u32 block = nextBlock.fetch_add(1, std::memory_order_relaxed);
            if (block >= blocks) return;
            u32 begin = block * grain;
            body(begin, std::min(count, begin + grain));
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(workers - 1);
    for (u32 i = 1; i < workers; i++) helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers) helper.join();
}
