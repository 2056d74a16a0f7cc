// Where the meter is, as a user writes it: a host for a raw socket, with
// or without its port, or a serial device.
//
//   HOST, HOST:PORT         a name or an IPv4 address
//   [V6], [V6]:PORT         an IPv6 address, a zone too: [fe80::1%eth0]:5025
//   V6                      an IPv6 address without brackets takes no port
//   /dev/ttyUSB0, COM3      a serial device
#pragma once

#include <string>
#include <string_view>

struct meter_address {
    std::string device; // a serial device; empty for a socket
    std::string host;   // a socket's host, an IPv6 address without brackets
    unsigned port = 0;  // a socket's port, 1 to 65535
};

// Reads `text` into `address`, a socket without a port on `default_port`;
// false, with `error` saying what is wrong, for an empty host or port, a
// port outside 1 to 65535, or brackets that do not close.
bool read_meter_address(std::string_view text, unsigned default_port, meter_address& address,
                        std::string& error);

// Whether `address` names a serial device (/dev/ttyUSB0, COM3) rather than
// a host.
bool is_serial(std::string_view address);
