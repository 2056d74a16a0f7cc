#include "base/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

bool read_whole_file(const std::string& path, std::size_t largest, std::string& text,
                     std::string& why) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        why = std::strerror(errno);
        return false;
    }
    // Read as it comes, so that the memory is the file's size, not the cap;
    // one byte past the cap tells a file at the cap from a larger one.
    text.clear();
    char chunk[1 << 14];
    std::size_t got = 0;
    while (text.size() <= largest &&
           (got = std::fread(chunk, 1, std::min(sizeof chunk, largest + 1 - text.size()), f)) > 0)
        text.append(chunk, got);
    const bool failed = std::ferror(f) != 0;
    const int saved = errno;
    std::fclose(f);
    if (failed)
        why = std::strerror(saved);
    else if (text.size() > largest)
        why = "larger than " + (largest % (1 << 20) == 0 ? std::to_string(largest >> 20) + " MiB"
                                                         : std::to_string(largest) + " bytes");
    return !failed && text.size() <= largest;
}

std::string file_name(std::string_view path) {
    return std::filesystem::path(path).filename().string();
}

// Written to PATH.partial, then renamed.  On a failure, of the closing too
// (a small file is written only then) or of the renaming (a folder at
// `path`), nothing is left.
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
