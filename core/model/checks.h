#pragma once

#include <stdexcept>
#include <string>

namespace foresyn {

// Programming errors (an index outside its range) are refused before
// anything changes.
inline void CheckIndex(int index, int count, const char* what) {
    if (index < 0 || index >= count) {
        throw std::out_of_range(std::string(what) + " " + std::to_string(index) +
                                " out of range 0.." + std::to_string(count - 1));
    }
}

inline void CheckYear(int year, int first, int last) {
    if (year < first || year > last) {
        throw std::out_of_range("year " + std::to_string(year) + " out of range " +
                                std::to_string(first) + ".." + std::to_string(last));
    }
}

} // namespace foresyn
