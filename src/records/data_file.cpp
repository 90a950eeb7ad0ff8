// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/data_file.h"

#include "analysis/analysis_text.h"
#include "os/atomic_file.h"
#include "os/file_error.h"
#include "os/regular_file.h"

namespace npt {

namespace {
const std::string kLoadPrefix = "Не удалось загрузить файл";

std::string shortFileReason(std::size_t size) {
    const auto count = static_cast<long long>(size);
    return "файл слишком короткий (" + std::to_string(size) + " " +
           pluralRu(count, "байт", "байта", "байт") + ", а запись датчика занимает " +
           std::to_string(kDataFileSize) + " байт)";
}
}  // namespace

MemoryImage imageFromDataFile(std::span<const std::uint8_t> bytes, const std::string& path) {
    if (bytes.size() < kDataFileSize) {
        throwFileError(path, kLoadPrefix, shortFileReason(bytes.size()));
    }
    return MemoryImage::fromBytes(bytes.first(MemoryImage::kSize));
}

MemoryImage readDataFile(const std::string& path) {
    return imageFromDataFile(readDataFileBytes(path), path);
}

std::vector<std::uint8_t> readDataFileBytes(const std::string& path) {
    auto bytes = readRegularFile(path, kLoadPrefix, kDataFileSize);
    imageFromDataFile(bytes, path);  // a short file is refused here, as by readDataFile
    return bytes;
}

std::vector<std::uint8_t> dataFileBytes(const MemoryImage& image) {
    std::vector<std::uint8_t> bytes(image.bytes().begin(), image.bytes().end());
    bytes.push_back(0);
    return bytes;
}

void writeDataFile(const std::string& path, const MemoryImage& image) {
    writeFileAtomically(path, dataFileBytes(image), "Не удалось сохранить файл");
}

}  // namespace npt
