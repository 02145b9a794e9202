#pragma once
// Where a finished PDF goes, and the built-in PDF printer's kind of destination: a file written under a
// temporary name, flushed to disk and only then given its final name, so that a half-written document
// never carries one.

#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/file_status.h"
#include "platform/pdf/pdf_object_writer.h"

namespace quillmark::pdf {

class DocumentOutput {
 public:
  virtual ~DocumentOutput() = default;
  // The sink for a new document; nullptr when it cannot be written.
  virtual ByteSink* Begin(std::string_view title) = 0;
  // Hands the document over once written. `complete` false discards it. True only when the whole
  // document reached its destination.
  virtual bool Finish(bool complete) = 0;
  // Why the last Begin or Finish failed, as the system put it ("<path>: No space left on device"); empty
  // when it did not fail or the destination cannot say.
  virtual std::string FailureReason() const { return {}; }
};

// A new hidden file in a folder, buffered; removed again unless its owner takes it over. It stays locked
// (flock) until then, so that a later start can tell a live document from one a killed run left.
class TemporaryPdf final : public ByteSink {
 public:
  TemporaryPdf() = default;
  ~TemporaryPdf() override;
  TemporaryPdf(const TemporaryPdf&) = delete;
  TemporaryPdf& operator=(const TemporaryPdf&) = delete;

  // False when the folder (made when missing if `makeFolder`) or the file cannot be made.
  bool Open(const std::string& folder, bool makeFolder);
  bool Write(std::string_view bytes) override;
  // Writes what is buffered and flushes it to the disk; false (and the file removed) when anything
  // could not be written. The file stays open and locked until Release or Discard.
  bool Close();
  void Discard();
  // The file now has another name or was removed by its new owner.
  void Release();
  const std::string& Path() const { return path_; }
  // Why the last Open, Write or Close failed; done when none did.
  const FileStatus& Failure() const { return failure_; }
  void Fail(FileStatus failure) { failure_ = std::move(failure); }

  // Removes the hidden files in `folder` that no living writer holds: those of a run that was killed.
  static void RemoveAbandoned(const std::string& folder);

 private:
  bool Drain();

  int fd_ = -1;
  bool failed_ = false;
  FileStatus failure_ = FileStatus::Done();
  std::string path_;
  std::string buffer_;
};

class PdfFileOutput final : public DocumentOutput {
 public:
  // Every document gets a new file in `folder` (created when missing), named after its title and the
  // local time of completion with a counter for the same second ("DOS-Job-20261206-213000-001.pdf"),
  // so that names sort by time. An existing file is never overwritten. A delivered document and its folder
  // are on the disk when Finish returns. A symbolic link of another user on the way to `folder` is refused.
  static std::unique_ptr<PdfFileOutput> InFolder(const std::string& folder);
  // The document is written to exactly `path`, replacing a file of that name; its folder must exist.
  static std::unique_ptr<PdfFileOutput> ToFile(const std::string& path);

  ByteSink* Begin(std::string_view title) override;
  bool Finish(bool complete) override;
  std::string FailureReason() const override { return file_.Failure().Describe(); }

 private:
  PdfFileOutput(std::string folder, std::string exactPath);
  bool MoveToNewName();

  std::string folder_;
  std::string exactPath_;  // empty: a new name in folder_
  std::string title_;
  TemporaryPdf file_;
};

}  // namespace quillmark::pdf
