#include "acquire/link.h"

#include <ctime>

#include "base/text_format.h"

void transcribed_link::write(std::string_view mark, std::string_view text) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);
    // The text as bytes, not as a C string: a NUL in what the meter said
    // would end the line there, and the rest of the answer be lost.
    std::fprintf(out_, "%s.%03dZ %.*s", stamp, static_cast<int>(ms), static_cast<int>(mark.size()),
                 mark.data());
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

void transcribed_link::send(std::string_view text) {
    std::string_view shown = text;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.remove_suffix(1);
    write("> ", shown);
    link_.send(text);
}

std::string transcribed_link::receive(std::string_view line_end,
                                      std::chrono::milliseconds timeout) {
    try {
        std::string line = link_.receive(line_end, timeout);
        write("< ", line);
        return line;
    } catch (const link_fault& f) {
        write("! ", f.what);
        throw;
    }
}

void transcribed_link::note(std::string_view text) {
    write("# ", text);
}
