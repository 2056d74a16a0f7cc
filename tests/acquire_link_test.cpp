// The line to a meter over a real socket, against the fake meter: an
// answer is bounded in time across all its bytes and in length, Ctrl-C
// ends a wait, and the addresses users write reach the meter.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

#include "acquire/link_asio.h"
#include "fake_meter.h"

using namespace std::chrono_literals;

namespace {

using steady = std::chrono::steady_clock;
using ms = std::chrono::milliseconds;

struct ended {
    std::string said; // the fault, or "(an answer)"
    ms after;         // from the question
};

// The meter's first READ? meets `fault`; Ctrl-C comes `ctrl_c` after the
// question.
ended ask_once(fault_kind fault, ms timeout, ms ctrl_c) {
    meter_options o;
    o.faults = {{fault, 1}};
    fake_meter meter(o);
    steady::time_point asked = steady::time_point::max();
    auto link = open_link("127.0.0.1:" + std::to_string(meter.port()), 5025, 9600, timeout,
                          [&] { return steady::now() - asked >= ctrl_c; });
    asked = steady::now();
    std::string said = "(an answer)";
    try {
        link->send("READ?\n");
        link->receive("\n", timeout);
    } catch (const link_fault& f) {
        said = f.what;
    }
    return {said, std::chrono::duration_cast<ms>(steady::now() - asked)};
}

} // namespace

TEST(AcquireLink, AnAnswerIsBoundedInTimeAcrossItsBytesAndInLength) {
    const struct {
        fault_kind fault;
        ms timeout, ctrl_c;
        const char* said;
        ms earliest, latest;
    } cases[] = {
        {fault_kind::stream, 5s, 1h, "an answer of more than 64 KiB without a line end (LF)", 0ms,
         4s},
        {fault_kind::long_line, 5s, 1h, "an answer of more than 64 KiB without a line end (LF)",
         0ms, 4s},
        {fault_kind::trickle, 1s, 1h, "an answer begun, but no line end (LF) within 1 s", 1s,
         1900ms},
        {fault_kind::silent, 60s, 300ms, "interrupted (Ctrl-C)", 300ms, 1300ms},
        {fault_kind::trickle, 60s, 300ms, "interrupted (Ctrl-C)", 300ms, 1300ms},
    };
    for (const auto& c : cases) {
        const ended e = ask_once(c.fault, c.timeout, c.ctrl_c);
        EXPECT_EQ(c.said, e.said);
        EXPECT_LE(c.earliest.count(), e.after.count()) << c.said;
        EXPECT_GE(c.latest.count(), e.after.count()) << c.said;
    }
}

// An answer ends where the meter file's line end says; a CR before an LF
// is no part of it, and an answer with another line end is none.
TEST(AcquireLink, AnAnswerEndsWithTheLineEndOfTheMeterFile) {
    const struct {
        const char* said; // the identity, or the fault
        const char* meters_end;
        const char* files_end;
    } cases[] = {
        {"FAKE,DECADE-METER,0,1.0", "\r\n", "\n"},
        {"FAKE,DECADE-METER,0,1.0", "\r\n", "\r\n"},
        {"FAKE,DECADE-METER,0,1.0", "\r", "\r"},
        {"an answer begun, but no line end (CR LF) within 1 s", "\n", "\r\n"},
    };
    for (const auto& c : cases) {
        meter_options o;
        o.line_end = c.meters_end;
        fake_meter meter(o);
        std::string said;
        try {
            auto link = open_link("127.0.0.1", meter.port(), 9600, 1s, [] { return false; });
            link->send("*IDN?\n");
            said = link->receive(c.files_end, 1s);
        } catch (const link_fault& f) {
            said = f.what;
        }
        EXPECT_EQ(c.said, said) << c.files_end;
    }
}

// HOST:PORT, HOST with the port given apart, and IPv6 in brackets, where
// the machine has an IPv6 loopback.
TEST(AcquireLink, ReachesTheMeterAtTheAddressesUsersWrite) {
    const struct {
        bool ipv6;
        const char* host; // the port follows after a colon, unless empty
        bool port_apart;
    } cases[] = {
        {false, "127.0.0.1", false},
        {false, "127.0.0.1", true},
        {true, "[::1]", false},
    };
    for (const auto& c : cases) {
        meter_options o;
        o.ipv6 = c.ipv6;
        std::unique_ptr<fake_meter> meter;
        try {
            meter = std::make_unique<fake_meter>(o);
        } catch (const std::system_error& e) {
            std::printf("no meter on %s: %s\n", c.host, e.what());
            continue;
        }
        const std::string port = std::to_string(meter->port());
        const std::string address = c.port_apart ? c.host : std::string(c.host) + ":" + port;
        try {
            auto link = open_link(address, meter->port(), 9600, 5s, [] { return false; });
            link->send("*IDN?\n");
            EXPECT_EQ(o.idn, link->receive("\n", 5s)) << address;
        } catch (const link_fault& f) {
            ADD_FAILURE() << address << ": " << f.what;
        }
    }
}
