// Text put into a page of HTML, whatever bytes it came as.
#pragma once

#include <string>
#include <string_view>

// Markup characters escaped, and what is not UTF-8 or not allowed in a page
// (a log's comment written in Latin-1, say) shown as U+FFFD, so that the
// page stays valid whatever the user wrote.
std::string escaped(std::string_view text);
