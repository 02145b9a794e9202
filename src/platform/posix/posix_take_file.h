#pragma once

#include <memory>

#include "platform/posix/unique_fd.h"
#include "platform/take_file.h"

namespace quillmark {

// A take's file through its descriptor, mapped privately and read-only. Only the length fstat gives when it
// is mapped is mapped, and the descriptor stays open, so a rename or removal meanwhile changes nothing.
std::unique_ptr<TakeFile> MakePosixTakeFile(UniqueFd fd);

}  // namespace quillmark
