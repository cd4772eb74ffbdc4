// enemy_walk: walks enemies from the four portals of real islands to their castles,
// headless, and counts how many arrive and how many stall on the way.
//
//   build/bench/enemy_walk --seeds 1-40 --enemies 120 --heavy 0.2 --seconds 240 [--threads N]
//                          [--field-change S]
//
// Each island is made as a new game makes it (terrain of the seed, collision body,
// castle and portals on their build sites, navigation field towards the castle); the
// enemies leave the portals in turn at a wave's pace, heavy ones first, and walk with
// the game's steering and physics step. An enemy arrives when it touches a building
// and then leaves the game; it stalls when its field distance has not come down by a
// step for 20 s of game time. Seeds run in child processes, `--threads` at a time (all
// cores by default); the output is the same for any number.
//
// `--field-change S` changes the navigation field as a whole every S seconds of game
// time while they walk: a wall placed, then sold, then placed again, far off every
// walker's way (see FieldChanges.h). Their ways stay the same; only the field's
// resets reach them.

#include "FieldChanges.h"
#include "IslandWalk.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Options {
    i32 firstSeed = 1;
    i32 lastSeed = 1;
    WalkSettings walk;
    u32 threads = 0;
    f32 fieldChangeSeconds = 0.0f; // 0: the field never changes
};

[[noreturn]] void usage(const std::string& problem)
{
    std::fprintf(stderr,
                 "enemy_walk: %s\n"
                 "usage: enemy_walk --seeds A[-B] [--enemies N] [--heavy SHARE] [--seconds S] [--threads N]\n"
                 "                  [--field-change S]\n",
                 problem.c_str());
    std::exit(2);
}

long long parseInteger(const std::string& text, const char* what, long long low, long long high)
{
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high) {
        usage(std::string("bad ") + what + " \"" + text + "\"");
    }
    return value;
}

f32 parseNumber(const std::string& text, const char* what, f64 low, f64 high)
{
    char* end = nullptr;
    errno = 0;
    const f64 value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !(value >= low && value <= high)) {
        usage(std::string("bad ") + what + " \"" + text + "\"");
    }
    return static_cast<f32>(value);
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    bool seeds = false;
    for (int i = 1; i < argc; i++) {
        const std::string name = argv[i];
        if (i + 1 >= argc) usage("missing value after " + name);
        const std::string value = argv[++i];
        if (name == "--seeds") {
            const size_t dash = value.find('-', 1);
            options.firstSeed = static_cast<i32>(parseInteger(value.substr(0, dash), "seed", 0, 1'000'000'000));
            options.lastSeed = dash == std::string::npos
                                   ? options.firstSeed
                                   : static_cast<i32>(parseInteger(value.substr(dash + 1), "seed", 0, 1'000'000'000));
            if (options.lastSeed < options.firstSeed) usage("empty seed range \"" + value + "\"");
            seeds = true;
        } else if (name == "--enemies") {
            options.walk.enemies = static_cast<u32>(parseInteger(value, "enemy count", 1, 100'000));
        } else if (name == "--heavy") {
            options.walk.heavyShare = parseNumber(value, "heavy share", 0.0, 1.0);
        } else if (name == "--seconds") {
            options.walk.seconds = parseNumber(value, "game time", 1.0, 36'000.0);
        } else if (name == "--threads") {
            options.threads = static_cast<u32>(parseInteger(value, "thread count", 1, 1024));
        } else if (name == "--field-change") {
            options.fieldChangeSeconds = parseNumber(value, "field change period", 0.0, 36'000.0);
        } else {
            usage("unknown option " + name);
        }
    }
    if (!seeds) usage("--seeds is required");
    if (options.threads == 0) options.threads = std::max(1u, std::thread::hardware_concurrency());
    return options;
}

// A seed's tally as it crosses the pipe from the child.
struct TallyRecord {
    u32 released, arrived, stalled, recovered, lost, walking;
    f64 arriveSeconds;
    f32 worstSeconds;
    u32 arrivedFrom[4];
    u32 stallCount;
    u32 fieldResets; // whole changes of the field during the walk
};

struct StallRecord {
    f32 x, y, z;
    u32 heavy, portal;
    f32 castleDistance, fieldDistance;
};

bool writeAll(int fd, const void* data, size_t size)
{
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(fd, at, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        at += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool readAll(int fd, void* data, size_t size)
{
    char* at = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = read(fd, at, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        at += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

// The child's work: one island, its walk, the tally down the pipe.
[[noreturn]] void walkSeed(i32 seed, const Options& options, u32 generationThreads, int out)
{
    WalkTally tally;
    u32 fieldResets = 0;
    {
        IslandGame game(seed, generationThreads);
        FieldChanges changes(game, options.fieldChangeSeconds);
        const u32 resetsBefore = game.enemies->pathField->resets.load();
        tally = walkEnemies(game, options.walk, [&changes] { changes.beforeTick(); });
        fieldResets = game.enemies->pathField->resets.load() - resetsBefore;
    }
    TallyRecord record{tally.released, tally.arrived,       tally.stalled,      tally.recovered,
                       tally.lost,     tally.walking,       tally.arriveSeconds, tally.worstSeconds,
                       {tally.arrivedFrom[0], tally.arrivedFrom[1], tally.arrivedFrom[2], tally.arrivedFrom[3]},
                       static_cast<u32>(tally.stalls.size()),
                       fieldResets};
    bool ok = writeAll(out, &record, sizeof(record));
    for (const WalkStall& stall : tally.stalls) {
        const StallRecord entry{stall.position.x, stall.position.y, stall.position.z, stall.heavy ? 1u : 0u,
                                stall.portal,     stall.castleDistance, stall.fieldDistance};
        ok = ok && writeAll(out, &entry, sizeof(entry));
    }
    close(out);
    std::fflush(nullptr);
    _exit(ok ? 0 : 1);
}

bool readTally(int in, WalkTally& tally, u32& fieldResets)
{
    TallyRecord record{};
    if (!readAll(in, &record, sizeof(record))) return false;
    fieldResets = record.fieldResets;
    tally.released = record.released;
    tally.arrived = record.arrived;
    tally.stalled = record.stalled;
    tally.recovered = record.recovered;
    tally.lost = record.lost;
    tally.walking = record.walking;
    tally.arriveSeconds = record.arriveSeconds;
    tally.worstSeconds = record.worstSeconds;
    for (int i = 0; i < 4; i++) tally.arrivedFrom[i] = record.arrivedFrom[i];
    for (u32 i = 0; i < record.stallCount; i++) {
        StallRecord entry{};
        if (!readAll(in, &entry, sizeof(entry))) return false;
        tally.stalls.push_back(
            {{entry.x, entry.y, entry.z}, entry.heavy != 0, entry.portal, entry.castleDistance, entry.fieldDistance});
    }
    return true;
}

struct Running {
    i32 seed = 0;
    int in = -1;
};

void printSeed(i32 seed, const WalkTally& t, u32 fieldResets)
{
    std::printf("%6d %9u %8u %8u %6u %7u %8.1f %8.1f %8u\n", seed, t.released, t.arrived, t.stalled, t.lost,
                t.walking, t.meanSeconds(), static_cast<f64>(t.worstSeconds), fieldResets);
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);
    const u32 seedCount = static_cast<u32>(options.lastSeed - options.firstSeed + 1);
    const u32 parallel = std::min(options.threads, seedCount);
    // One seed at a time: its terrain takes every thread; else one thread per child.
    const u32 generationThreads = parallel == 1 ? options.threads : 1;
    const u32 heavy = static_cast<u32>(std::lround(options.walk.enemies * options.walk.heavyShare));
    std::printf("enemy_walk: seeds %d-%d, %u enemies (%u heavy) per island, %.0f s of game time, %u at a time\n",
                options.firstSeed, options.lastSeed, options.walk.enemies, heavy,
                static_cast<f64>(options.walk.seconds), parallel);
    if (options.fieldChangeSeconds > 0.0f) {
        std::printf("the field changes every %.1f s of game time (a wall placed or sold off the walkers' ways)\n",
                    static_cast<f64>(options.fieldChangeSeconds));
    }
    std::fflush(stdout);

    std::map<i32, WalkTally> done;
    std::map<i32, u32> resetsOf;
    std::map<pid_t, Running> running;
    std::vector<i32> failed;
    i32 next = options.firstSeed;
    while (next <= options.lastSeed || !running.empty()) {
        while (next <= options.lastSeed && running.size() < parallel) {
            int fds[2];
            if (pipe(fds) != 0) {
                std::perror("enemy_walk: pipe");
                return 1;
            }
            const pid_t child = fork();
            if (child < 0) {
                std::perror("enemy_walk: fork");
                return 1;
            }
            if (child == 0) {
                close(fds[0]);
                walkSeed(next, options, generationThreads, fds[1]);
            }
            close(fds[1]);
            running[child] = {next, fds[0]};
            next++;
        }
        int status = 0;
        const pid_t ended = wait(&status);
        if (ended < 0) {
            if (errno == EINTR) continue;
            break;
        }
        auto it = running.find(ended);
        if (it == running.end()) continue;
        WalkTally tally;
        u32 fieldResets = 0;
        const bool ok =
            WIFEXITED(status) && WEXITSTATUS(status) == 0 && readTally(it->second.in, tally, fieldResets);
        close(it->second.in);
        if (ok) {
            done[it->second.seed] = tally;
            resetsOf[it->second.seed] = fieldResets;
        } else {
            failed.push_back(it->second.seed);
        }
        std::fflush(stdout);
        std::fprintf(stderr, "enemy_walk: seed %d %s (%zu of %u)\n", it->second.seed, ok ? "done" : "FAILED",
                     done.size() + failed.size(), seedCount);
        running.erase(it);
    }

    std::printf("%6s %9s %8s %8s %6s %7s %8s %8s %8s\n", "seed", "released", "arrived", "stalled", "lost", "walking",
                "mean s", "worst s", "changes");
    WalkTally total;
    u32 totalResets = 0;
    for (const auto& [seed, tally] : done) {
        printSeed(seed, tally, resetsOf[seed]);
        total.add(tally);
        totalResets += resetsOf[seed];
    }
    for (const auto& [seed, tally] : done) {
        for (const WalkStall& stall : tally.stalls) {
            std::printf("stalled: seed %d, %s enemy from portal %u at (%.1f, %.1f, %.1f), %.0f from the castle, "
                        "field distance %.1f\n",
                        seed, stall.heavy ? "heavy" : "normal", stall.portal, static_cast<f64>(stall.position.x),
                        static_cast<f64>(stall.position.y), static_cast<f64>(stall.position.z),
                        static_cast<f64>(stall.castleDistance), static_cast<f64>(stall.fieldDistance));
        }
    }
    for (i32 seed : failed) std::printf("seed %d: the walk failed\n", seed);
    u32 stalledHeavy = 0;
    for (const WalkStall& stall : total.stalls) stalledHeavy += stall.heavy ? 1u : 0u;
    std::printf("islands with a stall: %zu of %zu; stalled heavy %u, normal %u; arrived after a stall %u\n",
                static_cast<size_t>(std::count_if(done.begin(), done.end(),
                                                  [](const auto& entry) { return entry.second.stalled > 0; })),
                done.size(), stalledHeavy, total.stalled - stalledHeavy, total.recovered);
    std::printf("arrived: %.1f%%, mean %.1f s, worst %.1f s; lost %u, still walking %u\n",
                total.released > 0 ? 100.0 * total.arrived / total.released : 0.0, total.meanSeconds(),
                static_cast<f64>(total.worstSeconds), total.lost, total.walking);
    std::printf("total: released %u, arrived %u, stalled %u; whole changes of the field %u\n", total.released,
                total.arrived, total.stalled, totalResets);
    return failed.empty() ? 0 : 1;
}
