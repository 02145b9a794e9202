#pragma once

namespace quillmark {

// Suspends the calling thread for `milliseconds` (Linux sleeps are already fine-grained).
void Delay(int milliseconds);

}  // namespace quillmark
