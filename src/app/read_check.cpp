#include "app/read_check.h"

#include "recorder/command_reports.h"

namespace npt {

ReadCheck checkRead(const MemoryImage& image, std::int32_t blocks) {
    return {blocks, blockMarker(image, 0) == Marker::Ack,
            blockMarker(image, MemoryImage::kBlockCount - 1) == Marker::Done};
}

}  // namespace npt
