#include "acquire/log_lock.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// Shared for deleting too, so that a set-aside log can be renamed over
// the locked one; the lock is one byte far past any log's end, as a
// Windows lock also bars reading and writing the bytes it covers.
int open_shared(const std::string& path) {
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR);
    if (fd < 0)
        CloseHandle(h);
    return fd;
}

// Why the file cannot be locked now; nullptr once it is.
const char* lock_now(int fd) {
    OVERLAPPED beyond{};
    beyond.OffsetHigh = 0x7fffffff;
    return LockFileEx(reinterpret_cast<HANDLE>(_get_osfhandle(fd)),
                      LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &beyond) != 0
               ? nullptr
               : log_in_use;
}

void close_file(int fd) {
    _close(fd);
}
#else
int open_shared(const std::string& path) {
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

const char* lock_now(int fd) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        if (errno != EINTR)
            return errno == EWOULDBLOCK ? log_in_use : std::strerror(errno);
    return nullptr;
}

void close_file(int fd) {
    ::close(fd);
}
#endif

// A log is a file on a disk: a pipe would keep the run waiting for ever to
// read it, and a device cannot be read, synced nor replaced as a log is.
bool regular(int fd) {
#ifdef _WIN32
    struct _stat64 st {};
    return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
#else
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
#endif
}

} // namespace

log_lock::~log_lock() {
    for (int fd : files_)
        close_file(fd);
}

void log_lock::ready_for_rename() {
#ifdef _WIN32
    while (files_.size() > 1) {
        close_file(files_.front());
        files_.erase(files_.begin());
    }
#endif
}

bool log_lock::take(const std::string& path, std::string& why) {
    const int fd = open_shared(path);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    if (const char* refused = regular(fd) ? lock_now(fd) : not_a_file) {
        why = refused;
        close_file(fd);
        return false;
    }
    files_.push_back(fd);
    return true;
}
