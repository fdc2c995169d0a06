// kvflash's run: banner, identification, model test, image, upload, checks and the exit status.
#pragma once

#include <cstdio>

#include "devlink.h"

namespace flasher {

// The whole flashing run for `kvflash [image file]`. Every text goes to `out`; `err` carries only
// the reason that hidapi gives for a failed open. Returns the exit status:
//   1  hid_init failed, or the device stopped answering during identification;
//   0  no device found, and every end after identification (model refused, image not opened,
//      upload or checks failed or passed);
//  -1  the device could not be opened.
// The device, the enumeration list and hidapi itself are released on every path.
int run(int argc, char** argv, std::FILE* out = stdout, std::FILE* err = stderr);

// The models this flasher knows how to program: third identifier byte 2, hardware 1.8 or 2.8.
bool isSupportedModel(const devlink::QueryInfo& query);

} // namespace flasher
