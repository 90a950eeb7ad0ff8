// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SHA-256 (FIPS 180-4): a night's identity in the archive is the digest of its data file's
// bytes, so the same night filed twice is one night, and a night whose bytes changed on disk is
// found by the archive's check.
#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace npt::archive {

std::array<std::uint8_t, 32> sha256(std::span<const std::uint8_t> bytes);

// The digest as 64 lowercase hexadecimal digits.
std::string sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace npt::archive
