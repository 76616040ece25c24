#pragma once
// Time taken, as a user asking how long things took reads it.
#include <chrono>
#include <cstdio>
#include <string>

namespace vexaro {

// "0.4 ms", "12.3 ms", "1520.0 ms".
inline std::string MillisecondsText(std::chrono::steady_clock::duration taken)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", std::chrono::duration<double, std::milli>(taken).count());
    return text;
}

// Measures from its making, or from the last lap.
class Stopwatch {
public:
    // The time since the start or the last lap, and starts again.
    std::chrono::steady_clock::duration lap()
    {
        const auto now = std::chrono::steady_clock::now();
        const auto taken = now - start_;
        start_ = now;
        return taken;
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace vexaro
