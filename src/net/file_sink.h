#pragma once
// The local file of GetFile: created (or truncated) when the status passed,
// then written byte for byte. Failures become 100 plus a file-error cause.

#include <string>
#include <string_view>
#include <utility>

#include "host/unique_fd.h"
#include "net/transfer.h"

namespace veldan::net {

class FileSink final : public BodySink {
  public:
    explicit FileSink(std::string path) : path_(std::move(path)) {}
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    // Creates the file write-only, truncating an existing one; returns 0 or
    // the file error code.
    int Begin() override;
    // Writes all of `bytes`; returns 0 or the file error code.
    int Write(std::string_view bytes) override;
    // Closes the file if it is open; returns 0 or the file error code of a
    // failed close (a write the system could not finish).
    int Close();

  private:
    std::string path_;
    host::UniqueFd fd_;
};

}  // namespace veldan::net
