#include "base/whole_file.h"

#include <cerrno>
#include <cstdio>

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
