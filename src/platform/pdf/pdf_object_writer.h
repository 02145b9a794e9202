#pragma once
// Writes numbered PDF objects one after another to a byte sink, remembering where each starts, and ends
// the file with the cross-reference table and trailer. Objects may be numbered before they are written
// (a page refers to its parent and to fonts that are written last).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::pdf {

// Where the bytes go. A failed write is final: nothing after it counts.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(std::string_view bytes) = 0;
};

class ObjectWriter {
 public:
  explicit ObjectWriter(ByteSink& sink);

  // A new object number, to be written later with Begin or WriteStream.
  std::uint32_t Reserve();

  // Writes the whole object `id`: "id 0 obj", `body`, "endobj".
  void WriteObject(std::uint32_t id, std::string_view body);
  // A stream object; `dictionary` holds the entries besides /Length and /Filter, without brackets.
  // The data is compressed when `compress`.
  void WriteStream(std::uint32_t id, std::string_view dictionary, std::string_view data,
                   bool compress = true);
  // The same for data compressed already (by Deflate).
  void WriteDeflatedStream(std::uint32_t id, std::string_view dictionary, std::string_view deflated);

  // Writes the cross-reference table and trailer. False if any write failed or a reserved object was
  // never written.
  bool Finish(std::uint32_t catalog, std::uint32_t info);

  bool Ok() const { return ok_; }

 private:
  void Put(std::string_view bytes);
  void Start(std::uint32_t id);
  void WritePayload(std::uint32_t id, std::string_view dictionary, std::string_view filter,
                    std::string_view payload);

  ByteSink& sink_;
  bool ok_ = true;
  std::uint64_t offset_ = 0;
  std::vector<std::uint64_t> offsets_;  // by object number - 1; 0 while not written
  std::string scratch_;
};

}  // namespace quillmark::pdf
