// A disk that is full after a given number of bytes, for as long as the object
// lives: the process's file-size limit, with the signal that exceeding it raises
// ignored, so a write past it fails as on a full disk.
#pragma once

#include <sys/resource.h>

#include <csignal>

class SmallDisk {
public:
    explicit SmallDisk(rlim_t bytes) {
        ok_ = getrlimit(RLIMIT_FSIZE, &old_) == 0;
        handler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_;
        small.rlim_cur = bytes;
        ok_ = ok_ && setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~SmallDisk() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, handler_);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool ok() const { return ok_; }

private:
    rlimit old_{};
    void (*handler_)(int) = nullptr;
    bool ok_ = false;
};
