// Every finite float through the REAL32 text record: the field written by
// putReal32Field must be the bytes printf writes for "% 14.7E" with the
// exponent widened to three digits, and readReal32Field must read that
// text back to the float strtof reads from it.  Run by hand (it takes
// minutes): cmake --build build --target check-real32-text
//
//   real32_text_check [threads]
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "signal/record_text.h"

namespace {

// printf's text for "% 14.7E" with the exponent widened to three digits.
void reference(char* out, float v) {
    char t[32];
    std::snprintf(t, sizeof t, "% 14.7E", static_cast<double>(v));
    const char* e = std::strchr(t, 'E');
    const std::size_t head = static_cast<std::size_t>(e - t) + 2;  // through the sign
    const std::size_t digits = std::strlen(e + 2);
    std::memcpy(out, t, head);
    std::memset(out + head, '0', 3 - digits);
    std::memcpy(out + head + 3 - digits, e + 2, digits);
}

struct Tally {
    uint64_t checked = 0;
    uint64_t wrong = 0;
    uint64_t misread = 0;
    uint32_t firstWrong = 0;
    bool anyWrong = false;
};

void checkRange(uint64_t from, uint64_t to, Tally& t) {
    char mine[qf::kReal32FieldWidth + 1] = {}, theirs[qf::kReal32FieldWidth + 1] = {};
    for (uint64_t b = from; b < to; ++b) {
        const float v = std::bit_cast<float>(static_cast<uint32_t>(b));
        if (!std::isfinite(v)) continue;
        ++t.checked;
        qf::putReal32Field(mine, v);
        reference(theirs, v);
        if (std::memcmp(mine, theirs, qf::kReal32FieldWidth) != 0) {
            if (!t.anyWrong) t.firstWrong = static_cast<uint32_t>(b);
            t.anyWrong = true;
            ++t.wrong;
            continue;
        }
        float back = 0.0f;
        const float expected = std::strtof(theirs, nullptr);
        if (!qf::readReal32Field(mine, mine + qf::kReal32FieldWidth, back) ||
            std::bit_cast<uint32_t>(back) != std::bit_cast<uint32_t>(expected))
            ++t.misread;
    }
}

}  // namespace

int main(int argc, char** argv) {
    unsigned threads = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1]))
                                : std::max(1u, std::thread::hardware_concurrency());
    if (threads == 0) threads = 1;
    const uint64_t all = uint64_t{1} << 32;
    std::vector<Tally> tallies(threads);
    std::vector<std::thread> workers;
    for (unsigned k = 0; k < threads; ++k)
        workers.emplace_back(checkRange, all * k / threads, all * (k + 1) / threads,
                             std::ref(tallies[k]));
    for (std::thread& w : workers) w.join();
    Tally sum;
    for (const Tally& t : tallies) {
        sum.checked += t.checked;
        sum.wrong += t.wrong;
        sum.misread += t.misread;
        if (t.anyWrong && !sum.anyWrong) {
            sum.anyWrong = true;
            sum.firstWrong = t.firstWrong;
        }
    }
    std::printf("%llu finite floats: %llu written differently, %llu read back differently\n",
                static_cast<unsigned long long>(sum.checked),
                static_cast<unsigned long long>(sum.wrong),
                static_cast<unsigned long long>(sum.misread));
    if (sum.anyWrong) std::printf("first written differently: bit pattern %08X\n", sum.firstWrong);
    return sum.wrong == 0 && sum.misread == 0 ? 0 : 1;
}
