#include "spool/delay.h"

#include <thread>

namespace quillmark {

void Delay(std::chrono::milliseconds time) { std::this_thread::sleep_for(time); }

}  // namespace quillmark
