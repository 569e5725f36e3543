// Reading the block the service publishes, by the readers' rules: open the
// section by name for reading, map it read-only, copy, unmap and close at
// once. No handle is kept between readings.
#pragma once
#include <cstddef>

#include "service/HardwareBlock.h"

// Copies the raw record (at most 316 bytes; the rest of `raw` is zeroed).
// `length` receives how many bytes were readable in the view. Returns false
// when there is no section or no view.
bool CopyPublishedBlock(tHardwareBlock& raw, size_t& length);

// Reads the published block and applies the reader's acceptance rules.
// Returns false ("Service not found") when there is no section, no view or a
// record size other than 296 or 316; `reading` is then left unchanged.
bool ReadPublishedBlock(tBlockReading& reading);
