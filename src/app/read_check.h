// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the completion check of a read finds, and the read session's own state beside the flags
// of the receive handler.
//
// The recorder answers a read with its acknowledgement (0xFE 0xFE) as the first block, blocks
// 1-138 of its memory, and the closing block (0xFE 0xFF) as the 140th. The image holds the
// recorder's memory block for block only when both markers stand where they belong: a count of
// 140 alone is not enough, since a block left over in the adapter before the acknowledgement
// and a block lost later also make 140, every block then one place off.
#include <cstdint>

#include "recorder/memory_image.h"

namespace npt {

inline constexpr std::int32_t kBlocksInRead = static_cast<std::int32_t>(MemoryImage::kBlockCount);

struct ReadCheck {
    std::int32_t blocks = 0;            // reports counted since "Чтение"
    bool acknowledgementFirst = false;  // block 0 holds the acknowledge marker
    bool closingLast = false;           // block 139 holds the closing marker

    // The image is the recorder's memory. Blocks after the closing one are not stored, so an
    // overlong read with its markers in place is whole too.
    bool whole() const { return blocks >= kBlocksInRead && acknowledgementFirst && closingLast; }
    bool overlong() const { return blocks > kBlocksInRead; }
};

ReadCheck checkRead(const MemoryImage& image, std::int32_t blocks);

// Whether the image in memory may be saved and exported.
enum class ImageState {
    Keepable,    // a whole read, a loaded file, or nothing read yet
    Receiving,   // a read has been asked for and its check has not found it whole yet
    Incomplete,  // the last check found the read incomplete or out of order
};

struct ReadSession {
    bool waiting = false;         // the read command went out and nothing has come back yet
    bool acknowledged = false;    // the recorder has acknowledged the read command
    int repeatsSent = 0;          // read commands sent again while waiting: each may be answered
    bool droppingRepeat = false;  // the answer to such a repeat is coming in after a whole read
    // The password has been decided for the image: by the check of a whole read, or by a load.
    bool passwordDecided = true;
    ImageState image = ImageState::Keepable;
    ReadCheck lastCheck;  // what the last completion check found
};

}  // namespace npt
