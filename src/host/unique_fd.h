#pragma once
// A file descriptor that closes itself: move-only, one owner.

namespace veldan::host {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }

    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }

    // Gives the descriptor up without closing it.
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

    // Closes the held descriptor (if any) and holds `fd` instead; errno is kept.
    void Reset(int fd = -1);

    // Closes the descriptor now; 0, or the errno of a failed close (a write
    // error the kernel reports late). Closing nothing succeeds.
    int Close();

  private:
    int fd_ = -1;
};

}  // namespace veldan::host
