// One run per log.  Two runs writing one log write its heading and its
// settings twice, and a slower one setting a partial setting aside writes
// back its stale copy over the settings of the other; so a run holds an
// advisory lock on its log from before it reads it to its end, and a
// second run is refused at once.  The lock is the system's (flock on
// POSIX systems, LockFileEx on Windows): it ends with the process however
// that ends, and it binds only programs that ask for it.
#pragma once

#include <string>
#include <vector>

class log_lock {
  public:
    log_lock() = default;
    ~log_lock();
    log_lock(const log_lock&) = delete;
    log_lock& operator=(const log_lock&) = delete;

    // Locks the file at `path`, created empty where it is missing, for as
    // long as this lock lives.  False, with `why` saying what went wrong
    // ("in use by another decade-acquire"), when the file cannot be opened
    // or another process holds its lock.  Each file taken stays locked:
    // a log set aside is locked in its new file before that is renamed.
    bool take(const std::string& path, std::string& why);
    // Ready for the file taken last to be renamed over the others.
    // Windows renames nothing over a file held open, so there every file
    // but the last is let go, the last one holding the lock from then on;
    // elsewhere each stays locked until the lock ends.
    void ready_for_rename();

  private:
    std::vector<int> files_; // the descriptors held open
};

// Said of a file that another run holds, and of a device or a pipe.
inline constexpr const char* log_in_use = "in use by another decade-acquire";
inline constexpr const char* not_a_file = "not a file (a log is a file on a disk)";
