// The line to the meter: text out, lines in, each answer awaited for a
// bounded time.  A socket and a serial port give one (link_asio.h), a test
// its own; a transcript can stand between the meter and either.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// Why the line to the meter failed, in words that follow "METER: ":
// "no answer within 10 s", "the connection was closed".
struct link_fault {
    std::string what;
};

// The longest answer awaited: a line without its line end by then is a
// fault, not more memory.  Some four thousand readings in one answer.
inline constexpr std::size_t longest_answer = std::size_t{64} * 1024;

class meter_link {
  public:
    virtual ~meter_link() = default;
    // Sends `text` whole, its line end included.
    virtual void send(std::string_view text) = 0;
    // The next line, without `line_end`, within `timeout` for all its
    // bytes; throws a link_fault when none comes, the line is lost or it
    // runs past longest_answer.
    virtual std::string receive(std::string_view line_end, std::chrono::milliseconds timeout) = 0;
};

// A link that writes every line sent and received to `transcript`, each
// with the time (UTC, to the millisecond) and "> " or "< ": the record a
// laboratory keeps, and what a fault report needs.
class transcribed_link : public meter_link {
  public:
    transcribed_link(meter_link& link, std::FILE* transcript) : link_(link), out_(transcript) {}
    void send(std::string_view text) override;
    std::string receive(std::string_view line_end, std::chrono::milliseconds timeout) override;
    // A line of its own: what happened besides the traffic.
    void note(std::string_view text);

  private:
    void write(std::string_view mark, std::string_view text);
    meter_link& link_;
    std::FILE* out_;
};
