#pragma once

#include "base/Draw.h"

namespace varnet::test {

// A draw with a fixed date unless one is given.
inline Draw makeDraw(std::int32_t issue, const Numbers& numbers, int year = 2016, int month = 3,
                     int day = 15) {
    Draw d;
    d.issue = issue;
    d.numbers = numbers;
    d.year = year;
    d.month = month;
    d.day = day;
    return d;
}

}  // namespace varnet::test
