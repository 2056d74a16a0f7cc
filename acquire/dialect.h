// What a meter is told and how it answers: the lines of its dialect.  The
// default is the common SCPI subset for a 4-wire resistance reading; a
// meter file (`key = value`, the syntax of the tolerance file) sets any of
// them for a meter that speaks another:
//
//   line end = LF                  LF, CR LF or CR, both ways
//   prefix =                       a line sent before each command (an
//                                  adapter that needs the instrument's
//                                  address), none when empty
//   clear = *CLS                   sent once, first
//   identify = *IDN?               answered by one line naming the meter
//   configure = CONF:FRES {range}  {range}: the range in ohms the setting
//                                  needs; {nominal}: its nominal value
//   integration = FRES:NPLC 10
//   offset = FRES:OCOM ON          offset compensation
//   read = READ?                   answered by one or more readings,
//                                  separated by commas
//   error = SYST:ERR?              asked after configuring until the answer
//   no error = +0                  starts with this; empty: not asked
//
// A command left empty is not sent.
#pragma once

#include <string>
#include <string_view>

#include "log/setting_finder.h"
#include "log/text_syntax.h"

struct meter_dialect {
    std::string line_end = "\n";
    std::string prefix;
    std::string clear = "*CLS";
    std::string identify = "*IDN?";
    std::string configure = "CONF:FRES {range}";
    std::string integration = "FRES:NPLC 10";
    std::string offset = "FRES:OCOM ON";
    std::string read = "READ?";
    std::string error = "SYST:ERR?";
    std::string no_error = "+0";
};

// Reads a meter file over the defaults in `dialect`; false, with `error`
// saying where and what is wrong, for a line that does not read, a key it
// does not know or one given twice.
bool read_meter_file(std::string_view text, meter_dialect& dialect, key_file_error& error);

// The name of a line end's bytes as a meter file writes it: "LF" for "\n".
std::string_view line_end_name(std::string_view bytes);

// The meter range a setting is read on, its configure command's {range}:
// the smallest power of ten at or above its nominal value (10 Ω for 10 Ω,
// 1 kΩ for 300 Ω).
double range_of(setting at);

// `command` with {range} and {nominal} replaced by the figures in ohms, as
// the shortest decimal text: "CONF:FRES 1000".
std::string with_figures(std::string_view command, double range, double nominal);
