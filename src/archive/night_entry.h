// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the archive files of a night, read from its data file: the bytes themselves, their
// digest, and the passport's date, start, period and age. The patient's name only when nothing
// hides it: the image has no password, or the password given is the image's own. A name the
// password did not unlock never leaves this function.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace npt::archive {

struct NightEntry {
    std::vector<std::uint8_t> bytes;  // the data file's 4481 bytes, as read or loaded
    std::string sha256;               // of bytes, 64 hexadecimal digits
    bool nameProtected = false;       // the image carries a password
    std::optional<std::string> name;  // unlocked and not empty; spaces trimmed
    int age = 0;
    std::string date;   // dd.MM.yy, as the passport holds it
    std::string order;  // "20YY-MM-DD HH:MM" of the start: nights sort by it
    int startMinute = 0;
    int periodSeconds = 0;
};

// Why the bytes cannot be filed (not 4481 bytes at least, not a recorder's memory, no
// passport), in Russian; or nothing.
std::optional<std::string> whyNotFileable(std::span<const std::uint8_t> fileBytes);

// The entry of bytes that whyNotFileable accepts; only the first 4481 are kept. password:
// the text the doctor gave for a protected name (none given: the name stays hidden).
NightEntry nightEntryOf(std::span<const std::uint8_t> fileBytes,
                        const std::optional<std::string>& password);

// Whether password unlocks the name in these file bytes (always, when they have none).
bool passwordUnlocks(std::span<const std::uint8_t> fileBytes, const std::string& password);

}  // namespace npt::archive
