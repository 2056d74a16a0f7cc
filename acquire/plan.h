// Which settings an acquisition walks through, and in what order: decade
// 1E1 positions 1 to 10, then 1E2, … 1E5, or the part of that order that a
// list such as "1E2,1E3:4-7,1E5:10" chooses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "log/setting_finder.h"

// Every setting, in the order an acquisition walks them.
std::vector<setting> all_settings();

// The settings `list` chooses, in that order: items separated by commas,
// each a decade (1E2), a decade and a position (1E3:5) or a decade and a
// range of positions (1E3:4-7).  False, with `error` saying what is wrong,
// for a list that does not read.
bool read_settings_list(std::string_view list, std::vector<setting>& chosen, std::string& error);
