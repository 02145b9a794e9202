#pragma once
// The emulations by the names the command-line tools and the CUPS filter take.

#include <optional>
#include <string_view>

#include "spool/job_records.h"

namespace quillmark {

inline std::optional<Emulation> EmulationNamed(std::string_view name) {
  if (name == "basic") return Emulation::kBasic;
  if (name == "escp2") return Emulation::kEscP2;
  if (name == "escp") return Emulation::kEscP;
  if (name == "pcl") return Emulation::kPcl;
  if (name == "auto") return Emulation::kAuto;
  return std::nullopt;
}

}  // namespace quillmark
