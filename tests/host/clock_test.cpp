#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tivhost/host.h"

using namespace tivhost;

namespace {

const TDateTime kComputer = tiv::encodeDateTime(2026, 12, 5, 10, 0, 0);

TDateTime shifted(double seconds) {
    return kComputer + seconds / 86400.0;
}

// The number HHNN as the driver reads it: the five characters after a "-",
// then characters 1-2 and 4-5. A text of another shape would not convert
// and the driver would let the clock pass.
int driverReading(const std::string &diff) {
    std::string t = diff.find('-') != std::string::npos ? diff.substr(1, 5) : diff;
    std::string hhnn = t.substr(0, 2) + t.substr(3, 2);
    if (hhnn.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::stoi(hhnn);
}

} // namespace

TEST(HostClock, DifferenceTextSignAndMagnitude) {
    struct Case {
        const char *what;
        TDateTime printer;
        TDateTime computer;
        const char *want;
    } cases[] = {
        {"same moment", kComputer, kComputer, "00:00:00"},
        {"printer 15 minutes behind", shifted(-900), kComputer, "-00:15:00"},
        {"printer 16 minutes ahead", shifted(960), kComputer, "00:16:00"},
        {"1 hour 2 minutes 3 seconds behind", shifted(-3723), kComputer, "-01:02:03"},
        {"hours past a day", shifted(93784), kComputer, "26:03:04"},
        {"largest that fits", shifted(359999), kComputer, "99:59:59"},
        {"100 hours behind reads as the largest", shifted(-360000), kComputer, "-99:59:59"},
        {"years apart read as the largest", kComputer - 4000, kComputer, "-99:59:59"},
        {"under a second behind has no sign", shifted(-0.4), kComputer, "00:00:00"},
        {"fractions of a second are dropped", shifted(-59.9), kComputer, "-00:00:59"},
        {"across midnight", tiv::encodeDateTime(2026, 12, 4, 23, 55, 0),
         tiv::encodeDateTime(2026, 12, 5, 0, 5, 0), "-00:10:00"},
        {"before 1899", tiv::encodeDateTime(1899, 12, 29, 12, 0, 0),
         tiv::encodeDateTime(1899, 12, 30, 12, 0, 0), "-24:00:00"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SubtDataHoraQel(c.printer, c.computer), c.want) << c.what;
}

TEST(HostClock, ToleranceOfFifteenMinutesThroughTheDriversReading) {
    struct Case {
        const char *what;
        double printerOffsetSeconds;
        bool passes;
    } cases[] = {
        {"15 minutes behind", -900, true},    {"15 minutes 59 seconds behind", -959, true},
        {"16 minutes behind", -960, false},   {"1 hour 2 minutes behind", -3720, false},
        {"1 hour behind", -3600, false},      {"15 minutes ahead", 900, true},
        {"16 minutes ahead", 960, false},     {"5 days behind", -5 * 86400.0, false},
        {"3 days ahead", 3 * 86400.0, false},
    };
    for (const auto &c : cases) {
        std::string diff = SubtDataHoraQel(shifted(c.printerOffsetSeconds), kComputer);
        EXPECT_EQ(driverReading(diff) <= 15, c.passes) << c.what << ": " << diff;
    }
}

TEST(HostClock, NotANumberIsRefused) {
    double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(SubtDataHoraQel(nan, kComputer), tiv::ConversionError);
    EXPECT_THROW(SubtDataHoraQel(kComputer, INFINITY), tiv::ConversionError);
}
