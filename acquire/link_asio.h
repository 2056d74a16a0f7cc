// The line to a meter over a raw TCP socket or a serial port, through
// standalone Asio.  Every wait is bounded: a connection, a line sent, an
// answer; and Ctrl-C (asked of `interrupted` ten times a second) ends any
// of them.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "acquire/link.h"

// Connects to `address`, as address.h reads it (a host without a port on
// `port`), or to a serial device at `baud`, 8 data bits, no parity, 1 stop
// bit.  Throws a link_fault ("connection refused", "no such device") when
// it cannot.
std::unique_ptr<meter_link> open_link(const std::string& address, unsigned port, unsigned baud,
                                      std::chrono::milliseconds timeout,
                                      std::function<bool()> interrupted);
