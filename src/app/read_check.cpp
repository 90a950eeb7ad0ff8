#include "app/read_check.h"

#include "recorder/command_reports.h"

namespace npt {

namespace {

Marker markerOfBlock(const MemoryImage& image, std::size_t block) {
    return markerOf(
        image.bytes().subspan(block * MemoryImage::kBlockSize, MemoryImage::kBlockSize));
}

}  // namespace

ReadCheck checkRead(const MemoryImage& image, std::int32_t blocks) {
    return {blocks, markerOfBlock(image, 0) == Marker::Ack,
            markerOfBlock(image, MemoryImage::kBlockCount - 1) == Marker::Done};
}

}  // namespace npt
