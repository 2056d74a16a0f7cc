// A setting's readings checked at the bench, before they are written: by
// the acceptance windows the report uses and by the audit's judgement of
// a run, so that what the build would warn of later is said while the box
// is still on the bench and the dial can still be turned.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "acquire/meter.h"
#include "log/setting_finder.h"

// What is wrong with the readings of `at`, in words that follow the
// setting's name, or nothing: the first reading that the log cannot hold
// (the build's reader would refuse its line), that is an open circuit,
// that another setting's window takes, or that no window takes; else a
// run the audit would call far from the rest.
std::optional<std::string> check_readings(const setting_finder& finder, setting at,
                                          std::span<const meter_reading> readings);

// Whether the log can hold every one of `readings`: those it cannot are
// never written, whatever the operator answers.
bool log_can_hold(std::span<const meter_reading> readings);
