// decade-acquire's command line:
//
//   decade-acquire --meter=ADDRESS [options] LOG
//
// Every option has the form --name=value but --resume; each may be given
// once, but --field once a key.  A bad one gives the usage and exit 2.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "acquire/defaults.h"
#include "log/calibration_record.h"
#include "log/setting_finder.h"

struct acquire_options {
    std::string meter;                       // HOST:PORT, HOST, or a serial device
    unsigned baud = default_baud;            // for a serial device
    std::size_t readings = default_readings; // kept per setting
    std::size_t settle = default_settle;     // taken first and discarded
    std::vector<setting> settings;
    std::vector<record_field> fields; // in the record's order of keys
    std::string meter_file, transcript;
    std::string tolerance; // the box's tolerance file: a verdict for each setting
    std::string lab;       // the laboratory's file: the meter's own calibration checked
    double timeout = default_timeout_s; // seconds, for each answer
    bool resume = false;
    std::string log;
};

// The options and their defaults, one a line, after "usage: ...".
extern const char* const acquire_usage;

// Reads `args` (argv without the program's name) into `options`; false,
// with `error` saying what is wrong, for anything it does not take.
bool read_acquire_options(std::span<char* const> args, acquire_options& options,
                          std::string& error);
