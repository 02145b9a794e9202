#include "platform/pdf/pdf_object_writer.h"

#include <cstdio>

#include "platform/pdf/pdf_syntax.h"

namespace quillmark::pdf {

ObjectWriter::ObjectWriter(ByteSink& sink) : sink_(sink) {
  // The binary comment tells transfer programs that the file is not text.
  Put("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n");
}

void ObjectWriter::Put(std::string_view bytes) {
  if (!ok_) return;
  ok_ = sink_.Write(bytes);
  offset_ += bytes.size();
}

std::uint32_t ObjectWriter::Reserve() {
  offsets_.push_back(0);
  return static_cast<std::uint32_t>(offsets_.size());
}

void ObjectWriter::Start(std::uint32_t id) {
  if (id == 0 || id > offsets_.size() || offsets_[id - 1] != 0) {
    ok_ = false;  // a writer fault; the file would not be valid
    return;
  }
  offsets_[id - 1] = offset_;
  scratch_.clear();
  AppendInteger(scratch_, id);
  scratch_ += " 0 obj\n";
  Put(scratch_);
}

void ObjectWriter::WriteObject(std::uint32_t id, std::string_view body) {
  Start(id);
  Put(body);
  Put("\nendobj\n");
}

void ObjectWriter::WriteStream(std::uint32_t id, std::string_view dictionary, std::string_view data,
                               bool compress) {
  if (compress) {
    WriteDeflatedStream(id, dictionary, Deflate(data));
    return;
  }
  WritePayload(id, dictionary, "", data);
}

void ObjectWriter::WriteDeflatedStream(std::uint32_t id, std::string_view dictionary,
                                       std::string_view deflated) {
  WritePayload(id, dictionary, "/Filter/FlateDecode", deflated);
}

void ObjectWriter::WritePayload(std::uint32_t id, std::string_view dictionary, std::string_view filter,
                                std::string_view payload) {
  Start(id);
  scratch_.assign("<<");
  scratch_ += dictionary;
  scratch_ += filter;
  scratch_ += "/Length ";
  AppendInteger(scratch_, static_cast<std::int64_t>(payload.size()));
  scratch_ += ">>stream\n";
  Put(scratch_);
  Put(payload);
  Put("\nendstream\nendobj\n");
}

bool ObjectWriter::Finish(std::uint32_t catalog, std::uint32_t info) {
  for (const std::uint64_t offset : offsets_) {
    if (offset == 0) ok_ = false;
  }
  const std::uint64_t xref = offset_;
  std::string table = "xref\n0 ";
  AppendInteger(table, static_cast<std::int64_t>(offsets_.size() + 1));
  table += "\n0000000000 65535 f\r\n";
  char entry[24];
  for (const std::uint64_t offset : offsets_) {
    std::snprintf(entry, sizeof entry, "%010llu 00000 n\r\n", static_cast<unsigned long long>(offset));
    table += entry;
  }
  table += "trailer\n<</Size ";
  AppendInteger(table, static_cast<std::int64_t>(offsets_.size() + 1));
  table += "/Root ";
  AppendInteger(table, catalog);
  table += " 0 R/Info ";
  AppendInteger(table, info);
  table += " 0 R>>\nstartxref\n";
  AppendInteger(table, static_cast<std::int64_t>(xref));
  table += "\n%%EOF\n";
  Put(table);
  return ok_;
}

}  // namespace quillmark::pdf
