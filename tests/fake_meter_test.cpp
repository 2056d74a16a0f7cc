// The fake meter over real connections: its answers, its box, its faults.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <future>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <asio.hpp>
#include <gtest/gtest.h>

#include "fake_meter.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

using namespace std::chrono_literals;

namespace {

const std::string open_circuit = "+9.90000000E+37";

// A client with a time limit on every line it waits for.
struct client {
    asio::io_context io;
    asio::ip::tcp::socket socket{io};
    std::string pending; // received after the last whole line
    bool closed = false; // by the meter

    explicit client(std::uint16_t port) {
        socket.connect({asio::ip::address_v4::loopback(), port});
        socket.set_option(asio::ip::tcp::no_delay(true)); // a command after one not answered
    }
    void send(const std::string& text) { asio::write(socket, asio::buffer(text)); }

    std::optional<std::string> line(std::chrono::milliseconds limit = 5s) {
        std::optional<std::string> got;
        asio::async_read_until(socket, asio::dynamic_buffer(pending), '\n',
                               [&](std::error_code failure, std::size_t size) {
                                   closed = failure == asio::error::eof;
                                   if (failure)
                                       return;
                                   got = pending.substr(0, size - 1);
                                   pending.erase(0, size);
                               });
        io.restart();
        if (io.run_for(limit) == 0) {
            socket.cancel();
            io.run();
        }
        return got;
    }
    std::string ask(const std::string& query) {
        send(query + "\n");
        return line().value_or("(no answer)");
    }
};

} // namespace

TEST(FakeMeter, AnswersCommandsInAnyCaseWithTheBoxAtTheDefaultDial) {
    meter_options o;
    o.deviation_ppm = 100;
    o.slope_ppm = 10;
    o.zero = 0.5;
    o.per_read = 2;
    o.idn = "A,B,1,2";
    fake_meter meter(o);
    client c(meter.port());
    EXPECT_EQ("A,B,1,2", c.ask("*idn?"));
    EXPECT_EQ(open_circuit + "," + open_circuit, c.ask("READ?")); // no CONF yet
    c.send("CONF:FRES 100\r\nFRES:NPLC 10\nFRES:OCOM ON\n");
    EXPECT_EQ("+1.05011000E+01,+1.05011000E+01", c.ask("READ?")); // 10 ohms, position 1
    c.send("conf:fres 1E3\n");
    EXPECT_EQ("+2.05024000E+01,+2.05024000E+01", c.ask("read?")); // 20 ohms, position 2
    EXPECT_EQ(1000.0, meter.range());
    EXPECT_EQ("+0,\"No error\"", c.ask("SYST:ERR?"));
    c.send("BOGUS\nCONF:FRES\nBOGUS\n");
    EXPECT_EQ("-113,\"Undefined header\"", c.ask("SYST:ERR?"));
    EXPECT_EQ("-104,\"Data type error\"", c.ask("SYST:ERR?"));
    c.send("*CLS\n");
    EXPECT_EQ("+0,\"No error\"", c.ask("SYST:ERR?"));
    EXPECT_EQ(2u, meter.confs());
}

TEST(FakeMeter, DialListTakesPositionsFromLeadingDigitsAndStaysAtItsLast) {
    meter_options o;
    o.slope_ppm = 1000;
    o.dial = {300, 0, 3000};
    fake_meter meter(o);
    client c(meter.port());
    for (const char* expected :
         {"+3.00900000E+02", "+9.90000000E+37", "+3.00900000E+03", "+3.00900000E+03"}) {
        c.send("CONF:FRES 1000\n");
        EXPECT_EQ(expected, c.ask("READ?"));
    }
}

namespace {
std::string noisy_line(std::uint64_t seed) {
    meter_options o;
    o.scatter_ppm = 100; // 0.1 ohm at 1000
    o.seed = seed;
    o.per_read = 2000;
    o.dial = {1000};
    fake_meter meter(o);
    client c(meter.port());
    c.send("CONF:FRES 1000\n");
    return c.ask("READ?");
}
} // namespace

TEST(FakeMeter, ScatterIsGaussianWithItsDeviationAndRepeatsWithTheSeed) {
    std::string line = noisy_line(7);
    EXPECT_EQ(line, noisy_line(7));
    EXPECT_NE(line, noisy_line(8));
    std::vector<double> values;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');)
        values.push_back(std::strtod(field.c_str(), nullptr));
    ASSERT_EQ(2000u, values.size());
    double sum = 0, squares = 0, within_one = 0;
    for (double v : values) {
        sum += v - 1000;
        squares += (v - 1000) * (v - 1000);
        within_one += std::abs(v - 1000) < 0.1 ? 1 : 0;
    }
    EXPECT_NEAR(0, sum / 2000, 0.01);
    EXPECT_NEAR(0.1, std::sqrt(squares / 2000), 0.005);
    EXPECT_NEAR(0.683, within_one / 2000, 0.03); // a Gaussian's share, not a uniform's 0.577
}

TEST(FakeMeter, FaultsStrikeTheirNthCommandOverTheMetersWholeLife) {
    meter_options o;
    o.dial = {30};
    o.faults = {{fault_kind::error, 2},
                {fault_kind::garbage, 1},
                {fault_kind::open, 2},
                {fault_kind::drop, 3},
                {fault_kind::silent, 4}};
    fake_meter meter(o);
    {
        client c(meter.port());
        c.send("CONF:FRES 100\n");
        EXPECT_EQ("+0,\"No error\"", c.ask("SYST:ERR?"));
        c.send("CONF:FRES 100\n");
        EXPECT_EQ("-222,\"Data out of range\"", c.ask("SYST:ERR?"));
        EXPECT_EQ("GARBAGE", c.ask("READ?"));
        EXPECT_EQ(open_circuit, c.ask("READ?"));
        c.send("READ?\n");
        EXPECT_EQ(std::nullopt, c.line());
        EXPECT_TRUE(c.closed);
        EXPECT_EQ("+3.0000", c.pending); // half of +3.00000000E+01
    }
    client hung(meter.port());
    hung.send("READ?\n");
    EXPECT_EQ(std::nullopt, hung.line(300ms));
    hung.send("READ?\n"); // not even taken
    EXPECT_EQ(std::nullopt, hung.line(300ms));
    EXPECT_FALSE(hung.closed);
    client later(meter.port());
    EXPECT_EQ("+3.00000000E+01", later.ask("READ?"));
    EXPECT_EQ(5u, meter.reads());
}

TEST(FakeMeter, OnceEndsWhenTheFirstConnectionCloses) {
    meter_options o;
    o.once = true;
    fake_meter meter(o);
    EXPECT_EQ(o.idn, client(meter.port()).ask("*IDN?"));
    auto ended = std::async(std::launch::async, [&] { meter.wait(); });
    bool in_time = ended.wait_for(5s) == std::future_status::ready;
    meter.stop();
    EXPECT_TRUE(in_time);
}

#ifndef _WIN32
TEST(FakeMeter, ServesAPseudoTerminal) {
    meter_options o;
    o.link = fake_link::pty;
    fake_meter meter(o);
    int fd = ::open(meter.pty_path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << meter.pty_path();
    ASSERT_EQ(6, ::write(fd, "*IDN?\n", 6));
    std::string got;
    pollfd p{fd, POLLIN, 0};
    for (char ch = 0;
         got.find('\n') == std::string::npos && ::poll(&p, 1, 5000) > 0 && ::read(fd, &ch, 1) == 1;)
        got += ch;
    ::close(fd);
    EXPECT_EQ("FAKE,DECADE-METER,0,1.0\n", got);
}
#endif
