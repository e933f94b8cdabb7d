// When a serial read ends (Windows' time-out rule) and where COM ports land on Linux.
#include "serial/delai.hpp"

#include <gtest/gtest.h>

#include "serial/chemin_com.hpp"

namespace gsicom {
namespace {

constexpr CommTimeouts kDelaisGsicom{50, 10, 50, 10, 50};

TEST(FinDeLecture, FollowsTheIntervalOnceBytesFlowAndTheTotalAlways)
{
    const struct {
        CommTimeouts delais;
        DebutLecture lecture;
        std::optional<std::uint64_t> dernier;
        std::uint64_t fin;
    } cas[] = {
        {kDelaisGsicom, {1000, 2047}, std::nullopt, 1000 + 20520},  // silent line
        {kDelaisGsicom, {1000, 10}, std::nullopt, 1150},
        {kDelaisGsicom, {1000, 2047}, 1000, 1050},          // bytes waiting when the read began
        {kDelaisGsicom, {1000, 2047}, 5000, 5050},          // interval from the last byte
        {kDelaisGsicom, {1000, 10}, 1120, 1150},            // the total still bounds it
        {{0, 10, 50, 0, 0}, {0, 3}, 70, 80},                // no interval timer
        {{50, 0, 0, 0, 0}, {0, 3}, std::nullopt, kJamais},  // nothing bounds the wait
        {{50, 0, 0, 0, 0}, {0, 3}, 10, 60},
    };
    for (const auto& c : cas) {
        EXPECT_EQ(finDeLecture(c.delais, c.lecture, c.dernier), c.fin)
            << "start " << c.lecture.debutMs << " n " << c.lecture.demandes;
    }
}

TEST(CheminLinux, MapsComOneToThirtyAndNothingElse)
{
    const struct {
        const char* com;
        const char* chemin;
    } cas[] = {
        {"\\\\.\\COM1", "/dev/ttyS0"},
        {"\\\\.\\COM10", "/dev/ttyS9"},
        {"\\\\.\\COM11", "/dev/ttyUSB0"},
        {"\\\\.\\COM20", "/dev/ttyUSB9"},
        {"\\\\.\\COM21", "/dev/ttyACM0"},
        {"\\\\.\\COM30", "/dev/ttyACM9"},
        {"\\\\.\\COM0", ""},
        {"\\\\.\\COM31", ""},
        {"\\\\.\\COM01", ""},
        {"\\\\.\\COM-1", ""},
        {"\\\\.\\COM1x", ""},
        {"\\\\.\\COM", ""},
        {"COM1", ""},
        {"\\\\.\\COM100", ""},
    };
    for (const auto& c : cas) {
        EXPECT_EQ(cheminLinux(c.com), c.chemin) << c.com;
    }
}

}  // namespace
}  // namespace gsicom
