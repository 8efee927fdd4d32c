#pragma once

#include <QString>
#include <cstdint>

namespace foresyn {

// 2 * (n div 2) upper-case hexadecimal digits drawn as bytes 0..254, so the
// pair "FF" never occurs. Used for product and roster IDs.
QString RandomHex(int n);

// Four independent draws r in [0, 2^31 - 1) folded as v = (v << 24) ^ r,
// bits shifted past 64 lost. Used for curve IDs.
std::int64_t RandomId64();

} // namespace foresyn
