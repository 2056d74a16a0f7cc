#include "acquire/log_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "base/text_format.h"
#include "log/log_reader.h"
#include "log/text_syntax.h"

namespace {

constexpr std::string_view block_mark = "# the ";
constexpr std::string_view set_aside_mark = "# set aside, the setting was not finished: ";
constexpr std::string_view heading_set_aside_mark = "# set aside, the heading was not finished: ";
constexpr std::string_view meter_label = "meter:";

std::string block_line(setting at, std::size_t count) {
    return "# " + setting_name(at) + format(": %zu reading%s", count, count == 1 ? "" : "s");
}

// The setting and count a comment line names, if it is a setting's line.
std::optional<std::pair<setting, std::size_t>> block_of(std::string_view line) {
    if (!line.starts_with(block_mark))
        return std::nullopt;
    const std::size_t at = line.rfind("(position ");
    if (at == std::string_view::npos)
        return std::nullopt;
    unsigned p = 0, d = 0;
    std::size_t count = 0;
    const std::string tail(line.substr(at));
    if (std::sscanf(tail.c_str(), "(position %u, decade 1E%u): %zu reading", &p, &d, &count) != 3 ||
        p < 1 || p >= positions || d < 1 || d > decade_count)
        return std::nullopt;
    const setting s{p, d - 1};
    if (block_line(s, count) != line)
        return std::nullopt;
    return std::pair{s, count};
}

struct block {
    setting at;
    std::size_t count, line, readings = 0;
};

// The lines of `text`, each without its line end; `torn` when the last one
// has none (a write cut short).
std::vector<std::string_view> lines_of(std::string_view text, bool& torn) {
    std::vector<std::string_view> lines;
    torn = !text.empty() && text.back() != '\n';
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

// A line set aside as a comment the build reads: a cut line may hold what
// no line of the log may (the NULs a power cut leaves, more than a line),
// so its control characters are shown and it is cut to fit, whole
// characters kept.
std::string set_aside_line(std::string_view mark, std::string_view line) {
    std::string text = std::string(mark) + visible(line);
    std::size_t end = std::min(text.size(), max_line_length);
    while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

} // namespace

std::string heading_text(const log_heading& heading) {
    std::string text;
    for (const record_field& f : heading.fields)
        text += field_line(f.key, f.value) + "\n";
    const record_field* reference = nullptr;
    for (const record_field& f : heading.fields)
        if (f.key == record_key::reference)
            reference = &f;
    if (!heading.identity.empty() && (!reference || reference->value != heading.identity))
        text += "# " + std::string(meter_label) + " " + heading.identity + "\n";
    return text;
}

std::optional<std::string> meter_named(std::string_view free_line) {
    if (!free_line.starts_with(meter_label))
        return std::nullopt;
    return std::string(trimmed(free_line.substr(meter_label.size())));
}

std::string setting_text(setting at, std::span<const meter_reading> readings) {
    std::string text = block_line(at, readings.size()) + "\n";
    for (const meter_reading& r : readings)
        text += r.text + "\n";
    return text;
}

bool read_log_so_far(std::string_view text, log_so_far& out, record_error& error) {
    out = {};
    bool torn = false;
    std::vector<std::string_view> lines = lines_of(text, torn);
    // The settings' lines, then each reading counted to the setting before it.
    std::vector<block> blocks;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (const auto b = block_of(lines[i]))
            blocks.push_back({b->first, b->second, i + 1});
    // A last line cut short, and a last setting not finished, are set aside.
    std::size_t keep = lines.size() - (torn ? 1 : 0);
    // Read by the build's reader, up to what is kept so far.
    auto kept_text = [&](std::size_t n) {
        std::string t;
        for (std::size_t i = 0; i < n; ++i)
            t.append(lines[i]).append("\n");
        return t;
    };
    std::vector<float> readings;
    std::vector<std::size_t> reading_lines;
    log_reader reader(
        readings, [&](float, std::size_t line) { reading_lines.push_back(line); },
        [&](std::size_t line, std::string_view heading) {
            record_error fault;
            if (!take_heading_line({line, std::string(heading)}, out.record, fault) &&
                error.what.empty())
                error = fault;
        });
    const std::string first = kept_text(keep);
    if ((!reader.feed(first) || !reader.finish()) &&
        reader.error().fault != log_fault::no_readings) {
        const log_error& e = reader.error();
        error = {e.line, what(e.fault) + std::string(": ") + e.text};
        return false;
    }
    if (!error.what.empty())
        return false;
    for (std::size_t line : reading_lines) {
        auto b = std::find_if(blocks.rbegin(), blocks.rend(),
                              [&](const block& x) { return x.line < line; });
        if (b == blocks.rend()) {
            error = {line, "a reading before any setting's line: not a log this program wrote"};
            return false;
        }
        ++b->readings;
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const block& b = blocks[i];
        const bool last = i + 1 == blocks.size();
        if (b.readings == b.count) {
            out.whole.push_back(b.at);
            out.readings += b.readings;
        } else if (!last || b.readings > b.count) {
            error = {b.line, setting_name(b.at) +
                                 format(" holds %zu of its %zu readings, and is not the last: "
                                        "not a log to continue",
                                        b.readings, b.count)};
            return false;
        } else {
            keep = b.line - 1;
        }
    }
    out.text = kept_text(keep);
    out.heading_cut = blocks.empty() && keep < lines.size();
    const std::string_view mark = out.heading_cut ? heading_set_aside_mark : set_aside_mark;
    for (std::size_t i = keep; i < lines.size(); ++i) {
        out.text += set_aside_line(mark, lines[i]) + "\n";
        ++out.set_aside;
    }
    return true;
}

namespace {

// Writes all of `text` to `fd`; false, with errno set, on the first fault.
bool write_all(int fd, std::string_view text) {
    while (!text.empty()) {
#ifdef _WIN32
        const int n = _write(fd, text.data(), static_cast<unsigned>(text.size()));
#else
        const ssize_t n = ::write(fd, text.data(), text.size());
#endif
        if (n <= 0 && (n == 0 || errno != EINTR))
            return false;
        text.remove_prefix(static_cast<std::size_t>(n > 0 ? n : 0));
    }
    return true;
}

bool sync_file(int fd) {
#ifdef _WIN32
    return _commit(fd) == 0;
#else
    return ::fsync(fd) == 0;
#endif
}

// A write cut short (a full disk) is taken back to where it began: a torn
// setting would be read by the build, its last reading cut to fewer digits.
bool undo_append(int fd, long long size) {
    const int saved = errno;
#ifdef _WIN32
    const bool undone = _chsize_s(fd, size) == 0 && sync_file(fd);
#else
    const bool undone = ::ftruncate(fd, static_cast<off_t>(size)) == 0 && sync_file(fd);
#endif
    errno = saved;
    return undone;
}

long long end_of(int fd) {
#ifdef _WIN32
    return _lseeki64(fd, 0, SEEK_END);
#else
    return static_cast<long long>(::lseek(fd, 0, SEEK_END));
#endif
}

} // namespace

bool append_synced(const std::string& path, std::string_view text) {
#ifdef _WIN32
    const int fd = _open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, 0644);
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
#endif
    if (fd < 0)
        return false;
    const long long size = end_of(fd);
    const bool ok = size >= 0 && write_all(fd, text) && sync_file(fd);
    if (!ok && size >= 0)
        undo_append(fd, size);
    const int saved = errno;
#ifdef _WIN32
    const bool closed = _close(fd) == 0;
#else
    const bool closed = ::close(fd) == 0;
#endif
    if (!ok)
        errno = saved;
    return ok && closed;
}

log_replacement replacement_of(const std::string& log, std::string_view text) {
    std::error_code ec;
    std::string path = log;
    if (std::filesystem::is_symlink(log, ec)) {
        const std::filesystem::path target = std::filesystem::canonical(log, ec);
        if (!ec)
            path = target.string();
    }
    return {path, path + ".new", text, -1};
}

namespace {

bool write_beside(log_replacement& r) {
#ifdef _WIN32
    r.fd = _open(r.beside.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0644);
#else
    r.fd = ::open(r.beside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
#endif
    return r.fd >= 0 && write_all(r.fd, r.text);
}

bool sync_beside(log_replacement& r) {
    const bool synced = sync_file(r.fd);
#ifdef _WIN32
    const bool closed = _close(r.fd) == 0;
#else
    const bool closed = ::close(r.fd) == 0;
#endif
    r.fd = -1;
    return synced && closed;
}

bool rename_over(log_replacement& r) {
#ifdef _WIN32
    if (MoveFileExA(r.beside.c_str(), r.path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
        return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_SHARING_VIOLATION
                ? EACCES
                : EIO;
    return false;
#else
    return std::rename(r.beside.c_str(), r.path.c_str()) == 0;
#endif
}

// The rename is in the folder's entries, which a power cut can lose until
// they are synced.  Windows writes them through with the rename.
bool sync_folder(log_replacement& r) {
#ifdef _WIN32
    (void)r;
    return true;
#else
    const std::string folder = std::filesystem::path(r.path).parent_path().string();
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
#endif
}

} // namespace

const replace_step replace_steps[4] = {write_beside, sync_beside, rename_over, sync_folder};

bool replace_synced(log_replacement& r) {
    for (std::size_t i = 0; i < std::size(replace_steps); ++i) {
        if (replace_steps[i](r))
            continue;
        const int saved = errno;
        if (r.fd >= 0)
            sync_beside(r);
        std::remove(r.beside.c_str()); // gone already once renamed
        errno = saved;
        return false;
    }
    return true;
}
