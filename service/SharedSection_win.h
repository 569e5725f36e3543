// The writer's side of the named section that holds the shared hardware block.
#pragma once
#include "common/Handle_win.h"
#include "service/HardwareBlock.h"

class tSharedSection {
 public:
  // Creates the section on the paging file: read access for everyone, full
  // access for LocalSystem and the Administrators group (no security
  // attributes on platforms that are not NT). False when it cannot be created.
  bool Create();
  // Maps the whole record, fills it with zero bytes and unmaps it.
  bool Clear();
  // Maps the record, copies the 316 bytes in one move and unmaps it; false
  // (and nothing written) when no view can be mapped this time.
  bool Publish(const tHardwareBlock& block);

 private:
  tUniqueHandle Section;
};
