// Makes reads of one file fail with EIO from a given offset on, as a bad sector would.
#pragma once

#include "FileIO.h"

#include <cstdint>

namespace zelvo::test {

// Arms the fault for the file now at `path` (matched by device and inode); false if it is missing.
bool InjectReadError(const PathString& path, int64_t offset);
void ClearReadError();

} // namespace zelvo::test
