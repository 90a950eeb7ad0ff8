// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/read_check.h"

#include "recorder/command_reports.h"

namespace npt {

ReadCheck checkRead(const MemoryImage& image, std::int32_t blocks) {
    return {blocks, blockMarker(image, 0) == Marker::Ack,
            blockMarker(image, MemoryImage::kBlockCount - 1) == Marker::Done};
}

}  // namespace npt
