#include "table/table_output.h"

#include <bit>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace {

// Hexadecimal literals are exact: the compiler has nothing to round.
std::string literal(float reading) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, reading, std::chars_format::hex);
    std::string digits(buf, ec == std::errc{} ? end : buf);
    if (!digits.empty() && digits[0] == '-')
        return "-0x" + digits.substr(1) + "f";
    return "0x" + digits + "f";
}

// FNV-1a over the readings' bits: a table of other bytes gets another
// source, so that no build tool and no compiler cache can keep an object
// made from the old bytes.
std::string fingerprint(const std::vector<float>& readings) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (float reading : readings) {
        const auto bits = std::bit_cast<std::uint32_t>(reading);
        for (int shift = 0; shift < 32; shift += 8) {
            hash ^= (bits >> shift) & 0xffu;
            hash *= 0x100000001b3u;
        }
    }
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(hash));
    return buf;
}

// `text` inside double quotes for a reader that takes \\ and \" as escapes.
std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

bool has_control(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return true;
    return false;
}

bool take(std::string_view arg, std::string_view option, std::string_view& value) {
    if (arg.substr(0, option.size()) != option)
        return false;
    value = arg.substr(option.size());
    return true;
}

} // namespace

// Written beside its place, then renamed, so that a half-written file is
// never compiled.  On a failure, of the closing too (a small file is written
// only then) or of the renaming (a folder at `path`), nothing is left.
bool write_whole_file(const std::string& text, const std::string& path) {
    const std::string partial = path + ".partial";
    std::FILE* f = std::fopen(partial.c_str(), "wb");
    if (!f)
        return false;
    auto discard = [&partial] {
        const int saved = errno;
        std::remove(partial.c_str());
        errno = saved;
        return false;
    };
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !written)
        return discard();
    std::remove(path.c_str()); // rename does not replace a file everywhere
    return std::rename(partial.c_str(), path.c_str()) == 0 || discard();
}

bool table_output::take_options(int& argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string_view value;
        if (take(arg, "--table=", value)) {
            if (value == "literal")
                form = table_form::literal;
            else if (value == "incbin")
                form = table_form::incbin;
            else
                return false;
        } else if (take(arg, "--byte-order=", value)) {
            if (value != "little" && value != "big")
                return false;
            big_endian = value == "big";
        } else if (take(arg, "--name=", value)) {
            if (value.empty())
                return false;
            name = value;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return true;
}

std::string table_output::bytes_path(const std::string& source) const {
    const std::string_view suffix = ".cpp";
    const bool cpp = source.size() > suffix.size() &&
                     std::string_view(source).substr(source.size() - suffix.size()) == suffix;
    return (cpp ? source.substr(0, source.size() - suffix.size()) : source) + ".bin";
}

void table_output::remove(const std::string& source) const {
    std::remove(source.c_str());
    if (form != table_form::literal)
        std::remove(bytes_path(source).c_str());
}

bool table_output::write(const std::vector<float>& readings, const std::string& source,
                         std::string& failed) const {
    std::string bytes_file;
    if (form != table_form::literal) {
        failed = bytes_path(source);
        std::error_code ec;
        bytes_file = std::filesystem::absolute(failed, ec).string();
        // A line end or another control byte cannot be named in the source.
        if (ec || has_control(bytes_file)) {
            errno = EINVAL;
            return false;
        }
        if (!write_whole_file(table_bytes(readings, big_endian), failed))
            return false;
    }
    if (!write_whole_file(table_source(*this, readings, bytes_file), source)) {
        const int saved = errno;
        remove(source);
        errno = saved;
        failed = source;
        return false;
    }
    return true;
}

std::string table_bytes(const std::vector<float>& readings, bool big_endian) {
    std::string bytes(readings.size() * 4, '\0');
    for (std::size_t i = 0; i < readings.size(); ++i) {
        const auto bits = std::bit_cast<std::uint32_t>(readings[i]);
        for (std::size_t b = 0; b < 4; ++b) {
            const std::size_t shift = 8 * (big_endian ? 3 - b : b);
            bytes[4 * i + b] = static_cast<char>((bits >> shift) & 0xffu);
        }
    }
    return bytes;
}

std::string table_source(const table_output& output, const std::vector<float>& readings,
                         const std::string& bytes_file) {
    const bool own_names = !output.name.empty();
    const std::string data = own_names ? output.name : "data";
    const std::string count = own_names ? output.name + "_count" : "reading_count";
    const std::string order = output.big_endian ? "big-endian" : "little-endian";
    std::string text = "// Generated by import_log from the bench log; do not edit.\n";
    text += own_names ? "#include <cstddef>\n" : "#include \"readings.h\"\n";
    if (output.form != table_form::literal)
        text += "#include \"table_bytes.h\"\n";
    text += "\n";
    if (own_names)
        text += "extern const std::size_t " + count + ";\nextern const float " + data + "[];\n";
    text += "const std::size_t " + count + " = " + std::to_string(readings.size()) + ";\n";
    switch (output.form) {
    case table_form::literal:
        text += "alignas(64) const float " + data + "[] = {\n";
        for (std::size_t i = 0; i < readings.size(); ++i)
            text += literal(readings[i]) + (i % 8 == 7 ? ",\n" : ",");
        return text + "\n};\n";
    case table_form::incbin:
        text += "// " + std::to_string(4 * readings.size()) + " bytes, " + order + ", FNV-1a " +
                fingerprint(readings) + "\n";
        return text + "DECADE_TABLE_INCBIN(" + data + ", \"" + escaped(escaped(bytes_file)) +
               "\");\n";
    }
    return text;
}
