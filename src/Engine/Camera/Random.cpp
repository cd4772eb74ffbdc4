#include "Engine/Camera/Random.h"

#include "Engine/Engine.h"

#include <cmath>
#include <ctime>

Random::Random(i32 seed)
{
    u32 value = seed < 0 ? static_cast<u32>(static_cast<u64>(std::time(nullptr))) : static_cast<u32>(seed);
    engine.seed(value);
}

namespace {

f64 canonical(std::mt19937& engine)
{
    const f64 range = 4294967296.0;
    f64 sum = static_cast<f64>(engine());
    sum += static_cast<f64>(engine()) * range;
    f64 u = sum / (range * range);
    // The sum can round up to 2^64; the result stays below 1.
    return u >= 1.0 ? std::nextafter(1.0, 0.0) : u;
}

} // namespace

f64 Random::uniform(f64 a, f64 b, std::mt19937& engine)
{
    return a + (b - a) * canonical(engine);
}

f32 Random::unitFloat()
{
    f32 u = static_cast<f32>(engine()) / 4294967296.0f;
    return u >= 1.0f ? std::nextafter(1.0f, 0.0f) : u;
}

f64 randomRange(f64 lo, f64 hi)
{
    return canonical(Engine::random->engine) * (hi - lo) + lo;
}
