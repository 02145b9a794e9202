#pragma once
// What a CUPS job asks of the Quillmark filter: emulation, code page, paper and borders, read from the
// options string CUPS hands to every filter.

#include <string>
#include <vector>

#include "spool/job_records.h"

namespace quillmark {

// The settings of one job printed by the filter. Unset options keep the defaults of a "Settings.ini" job
// slot; the paper comes from `PageSize`/`media`, else from `defaultPageSize` (the queue's PPD default),
// else A4, turned for `landscape` or `orientation-requested=4|5`. An option whose value cannot be used
// keeps its default and adds a line to `warnings`.
JobSettings CupsJobSettings(const std::string& options, const std::string& defaultPageSize,
                            std::vector<std::string>& warnings);

// The *DefaultPageSize keyword of the PPD file at `path`; empty when there is none or it cannot be read.
std::string PpdDefaultPageSize(const std::string& path);

}  // namespace quillmark
