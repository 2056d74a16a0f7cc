// Talking to the meter in its dialect: who it is, the range and settings
// for a setting, and readings, each kept as the text the meter sent so
// that no digit is lost on the way to the log.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "acquire/dialect.h"
#include "acquire/link.h"

// What the meter said that stops an acquisition, in words that follow
// "METER: ": an error in its queue, an answer that is no reading.
struct meter_fault {
    std::string what;
};

// At or beyond this a meter answers for an input it cannot measure: an
// open circuit or an overload (SCPI's 9.9E37).
inline constexpr double overload = 9.9e37;

struct meter_reading {
    std::string text; // as the meter sent it, blanks around it taken off
    double value = 0;
};

class meter {
  public:
    meter(meter_link& link, const meter_dialect& dialect, std::chrono::milliseconds timeout)
        : link_(link), dialect_(dialect), timeout_(timeout) {}

    // Clears the meter and asks who it is: its answer, trimmed.
    std::string identify();
    // The range, integration time and offset compensation for a setting of
    // `nominal` ohms on `range`, then the error queue emptied: an error in
    // it is a meter_fault that quotes it.
    void configure(double range, double nominal);
    // The next `count` readings, as many read commands as that takes.  An
    // answer that holds anything but numbers is a meter_fault.
    std::vector<meter_reading> read(std::size_t count);

  private:
    void send(const std::string& command);
    std::string ask(const std::string& command);
    void check_errors(const std::string& after);

    meter_link& link_;
    const meter_dialect& dialect_;
    std::chrono::milliseconds timeout_;
};
