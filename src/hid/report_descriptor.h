// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a HID report descriptor far enough to know the device's report sizes: which report IDs
// it uses and how many bytes each input, output and feature report carries.
#include <cstdint>
#include <optional>
#include <span>

#include "hid/hid_types.h"

namespace npt::hid {

struct ReportLayout {
    THidCaps caps;                 // lengths include the report-ID byte
    bool numberedReports = false;  // reports carry a report ID byte of their own
};

// nullopt for a descriptor that ends inside an item, pops more than it pushed, or names a
// report ID outside 1..255.
std::optional<ReportLayout> parseReportDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace npt::hid
