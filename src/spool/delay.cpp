#include "spool/delay.h"

#include <chrono>
#include <thread>

namespace quillmark {

void Delay(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace quillmark
