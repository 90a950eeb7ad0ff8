// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/night_entry.h"

#include "archive/sha256.h"
#include "recorder/passport.h"
#include "recorder/password.h"
#include "recorder/recording_check.h"
#include "records/data_file.h"

namespace npt::archive {

namespace {
std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
}  // namespace

std::optional<std::string> whyNotFileable(std::span<const std::uint8_t> fileBytes) {
    if (fileBytes.size() < kDataFileSize) {
        return "не запись датчика: " + std::to_string(fileBytes.size()) + " байт вместо " +
               std::to_string(kDataFileSize);
    }
    const MemoryImage image = MemoryImage::fromBytes(fileBytes);
    if (const auto why = whyNotARecording(image)) {
        return "не запись датчика: " + *why;
    }
    if (!image.hasPassport()) {
        return "память датчика пустая (без паспортной части)";
    }
    return std::nullopt;
}

bool passwordUnlocks(std::span<const std::uint8_t> fileBytes, const std::string& password) {
    const MemoryImage image = MemoryImage::fromBytes(fileBytes);
    if (image.passwordAbsent()) {
        return true;
    }
    PasswordState state;
    state.resetForCheck();
    return confirmPassword(state, password, image) && !state.passwordWrong;
}

NightEntry nightEntryOf(std::span<const std::uint8_t> fileBytes,
                        const std::optional<std::string>& password) {
    NightEntry entry;
    entry.bytes.assign(fileBytes.begin(), fileBytes.begin() + kDataFileSize);
    entry.sha256 = sha256Hex(entry.bytes);
    const MemoryImage image = MemoryImage::fromBytes(entry.bytes);
    entry.nameProtected = !image.passwordAbsent();
    const bool unlocked =
        !entry.nameProtected || (password && passwordUnlocks(entry.bytes, *password));
    const PassportFields fields = decodePassport(image, !unlocked);
    if (const std::string name = trimmed(fields.name); unlocked && !name.empty()) {
        entry.name = name;
    }
    entry.age = image[ImageOffsets::kAge];
    const std::string day = padded(image[ImageOffsets::kDay]);
    const std::string month = padded(image[ImageOffsets::kMonth]);
    const std::string year = padded(image[ImageOffsets::kYear] % 100);
    entry.date = day + "." + month + "." + year;
    entry.startMinute = fields.timeStart;
    entry.order = "20" + year + "-" + month + "-" + day + " " + padded(fields.timeStart / 60) +
                  ":" + padded(fields.timeStart % 60);
    entry.periodSeconds = fields.samplePeriod;
    return entry;
}

}  // namespace npt::archive
