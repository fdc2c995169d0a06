// SPDX-License-Identifier: GPL-2.0-or-later
// kvflash's run: banner, identification, model test, image, upload, checks and the exit status.
#pragma once

#include <cstdio>

#include "devlink.h"

namespace flasher {

// The whole flashing run for `kvflash [image file]`. The protocol's texts go to `out`; every end
// that is not a success adds one line on `err` that says what failed. Returns the exit status:
//   0  the logger confirmed both checks, or no device was found;
//   1  hid_init failed, the device stopped answering during identification, the model was
//      refused, the image could not be opened or is no image (nothing sent), the upload failed,
//      or a check said the image is wrong or inconsistent or got no valid reply;
// 130  Ctrl-C during the upload: the part in flight was finished and nothing more sent;
//  -1  the device could not be opened.
// The device, the enumeration list and hidapi itself are released on every path.
int run(int argc, char** argv, std::FILE* out = stdout, std::FILE* err = stderr);

// The models this flasher knows how to program: third identifier byte 2, hardware 1.8 or 2.8.
bool isSupportedModel(const devlink::QueryInfo& query);

} // namespace flasher
