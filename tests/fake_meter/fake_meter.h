// A fake digital multimeter for the tests of decade-acquire: it answers the
// acquisition's commands, one line each, as a meter reading a five-decade
// resistance box would, and fails on request, so that every way a real
// meter or its cable lets the acquisition down can be played back exactly.
//
// Commands (case-insensitive, the argument after a blank; LF or CR LF):
//   *CLS              empties the error queue
//   *IDN?             the identity line
//   CONF:FRES <ohms>  keeps the range and turns the box's dial to its next value
//   FRES:NPLC <n>, FRES:OCOM ON|OFF   accepted
//   READ?             the readings at the dial, `%+.8E`, comma-separated
//   SYST:ERR?         the oldest queued error, or +0,"No error"
// Anything else queues -113,"Undefined header".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What goes wrong, and when: the Nth READ? (or, for `error`, the Nth
// CONF:FRES) over the meter's whole life, across connections, 1-based.
enum class fault_kind {
    silent,  // no answer, and none more on that connection until it closes
    drop,    // the first half of the answer line, then the connection closes
    garbage, // the answer is GARBAGE
    error,   // the CONF:FRES queues -222,"Data out of range"
    open,    // every reading is an open circuit, +9.90000000E+37
    // Answers that never end, or end too late, as from a meter sending
    // without being asked or with another line end: each answers nothing
    // more on that connection.
    stream,    // readings without a line end, as fast as they go, 16 MiB in all
    trickle,   // a digit every 100 ms, never a line end, for 60 s
    long_line, // one line of 100 KiB of readings
};

struct fake_fault {
    fault_kind kind;
    std::uint64_t at;
};

// TCP on 127.0.0.1 (or ::1), or a pseudo-terminal standing in for a serial port
// (POSIX only: elsewhere the meter throws when asked for one).
enum class fake_link { tcp, pty };

struct meter_options {
    // The box: reading = nominal * (1 + (deviation_ppm + slope_ppm * position)
    // * 1e-6) + zero + Gaussian noise of scatter_ppm * 1e-6 * nominal.
    double deviation_ppm = 0;
    double slope_ppm = 0;
    double zero = 0;
    double scatter_ppm = 0;
    std::uint64_t seed = 1;
    // The nominal values in ohms the dial takes, one per CONF:FRES, staying
    // at the last; 0 is an open circuit.  A value's position is its leading
    // part (300 is position 3, 1000 position 1).  Empty: the 50 settings
    // 10, 20, ..., 100, 100, 200, ..., 1000000, decade by decade, each with
    // its own position 1..10.
    std::vector<double> dial;
    std::vector<fake_fault> faults;
    unsigned per_read = 1; // readings per READ?
    std::string idn = "FAKE,DECADE-METER,0,1.0";
    std::string line_end = "\n"; // after each answer
    unsigned delay_ms = 0;       // before each answer
    fake_link link = fake_link::tcp;
    std::uint16_t port = 0; // 0: any free port
    bool ipv6 = false;      // on ::1 rather than 127.0.0.1
    bool once = false;      // serve the first connection only; then wait() returns
};

// The meter, serving on a thread of its own from construction until
// destruction.  Connections are served as they come, several at once too;
// the box, its dial, error queue and counters are the meter's, shared by all.
class fake_meter {
  public:
    // Throws std::system_error when it cannot listen or open the terminal.
    explicit fake_meter(const meter_options& options);
    ~fake_meter(); // stops serving and joins the thread
    fake_meter(const fake_meter&) = delete;
    fake_meter& operator=(const fake_meter&) = delete;

    std::uint16_t port() const;          // the TCP port listened on; 0 on a terminal
    const std::string& pty_path() const; // the terminal's slave, e.g. /dev/pts/3; else empty
    std::uint64_t reads() const;         // READ? received so far
    std::uint64_t confs() const;         // CONF:FRES taken so far
    double range() const;                // the range of the last CONF:FRES; 0 before any

    void wait(); // until serving ends: with `once`, when the first connection closes
    void stop(); // ends serving now; wait() and the destructor return

    struct impl;

  private:
    std::unique_ptr<impl> self_;
};
