#include "core/util/random.h"

#include <array>
#include <random>

namespace foresyn {

namespace {

// One generator per thread, seeded once from the system's entropy source.
// Reseeding from the clock would hand out the same IDs to every call within
// one clock tick.
std::mt19937_64& Generator() {
    thread_local std::mt19937_64 generator = [] {
        std::random_device device;
        std::array<std::random_device::result_type, 8> seed{};
        for (auto& word : seed)
            word = device();
        std::seed_seq sequence(seed.begin(), seed.end());
        return std::mt19937_64(sequence);
    }();
    return generator;
}

} // namespace

QString RandomHex(int n) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::uniform_int_distribution<int> byte(0, 254);
    auto& generator = Generator();
    const int pairs = n > 0 ? n / 2 : 0;
    QString hex(2 * pairs, Qt::Uninitialized);
    for (int i = 0; i < pairs; ++i) {
        const int b = byte(generator);
        hex[2 * i] = QChar(kDigits[b / 16]);
        hex[2 * i + 1] = QChar(kDigits[b % 16]);
    }
    return hex;
}

std::int64_t RandomId64() {
    std::uniform_int_distribution<std::uint64_t> draw(0, 2147483646);
    auto& generator = Generator();
    std::uint64_t v = draw(generator);
    // The first draw is shifted out entirely; the fold is kept as the file
    // format's IDs were made this way.
    for (int i = 0; i < 3; ++i)
        v = (v << 24) ^ draw(generator);
    return static_cast<std::int64_t>(v);
}

} // namespace foresyn
