// A small file of the service's own (the run journal, the links waiting to be
// recorded) written whole or not at all: a temporary file in the same folder,
// flushed to the disk, renamed over the file (and, on POSIX systems, the
// folder flushed), so a crash leaves the old or the new file, never half of
// one.
#pragma once

#include <filesystem>
#include <string>

#include "platform/error.h"

namespace oxsms::platform {

// Writes `text` to `file`. A failure raises Error (kConfiguration) with the
// text `failure`.
void WriteFileAtomically(const std::filesystem::path& file, const std::string& text,
                         const std::string& failure);

}  // namespace oxsms::platform
