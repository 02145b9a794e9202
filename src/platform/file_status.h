#pragma once
// The outcome of a call on the file-system or spool-file seam. Done, failed, or not supported by this
// file system; a failure carries the path it concerns and the system's own words for why ("No space left
// on device", "Permission denied"), so that the one place that reports it can say so. Plain data: it
// holds no OS type, and the platform turns errno or GetLastError into the reason at the seam.

#include <string>
#include <string_view>
#include <utility>

namespace quillmark {

class [[nodiscard]] FileStatus {
 public:
  enum class Kind { kDone, kFailed, kNotSupported };

  // Done. `path` is what the call produced where it makes a name (a new file's path), else empty.
  static FileStatus Done(std::string path = {}) { return FileStatus(Kind::kDone, std::move(path), {}); }
  static FileStatus Failed(std::string path, std::string reason) {
    return FileStatus(Kind::kFailed, std::move(path), std::move(reason));
  }
  // The file system does not offer the call at all (a fake, a tool without a disk): nothing was tried.
  static FileStatus NotSupported(std::string path = {}) {
    return FileStatus(Kind::kNotSupported, std::move(path), "not supported");
  }

  bool ok() const { return kind_ == Kind::kDone; }
  bool notSupported() const { return kind_ == Kind::kNotSupported; }
  Kind kind() const { return kind_; }
  // Done: the produced path (may be empty). Otherwise the path that failed (may be empty).
  const std::string& path() const { return path_; }
  // The system's reason; empty when done.
  const std::string& reason() const { return reason_; }

  // "<path>: <reason>", or the reason alone without a path; empty when done.
  std::string Describe() const {
    if (ok()) return {};
    return path_.empty() ? reason_ : path_ + ": " + reason_;
  }

 private:
  FileStatus(Kind kind, std::string path, std::string reason)
      : kind_(kind), path_(std::move(path)), reason_(std::move(reason)) {}

  Kind kind_;
  std::string path_;
  std::string reason_;
};

// A log message with the reason of a failed `status` after it, in parentheses, so that the message itself
// stays exactly as it is and a reader that matches it is not disturbed: "<message> (<path>: <reason>)".
// The message alone when `status` is done.
inline std::string WithReason(std::string_view message, const FileStatus& status) {
  std::string text(message);
  if (!status.ok()) text.append(" (").append(status.Describe()).append(")");
  return text;
}

}  // namespace quillmark
