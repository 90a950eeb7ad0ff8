// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Reads arbitrary bytes as a HID report descriptor, as the transport does for every interface a
// scan finds: the reader must refuse or measure any descriptor a device may hand over, and say
// the same of it twice.
#include <cstddef>
#include <cstdint>
#include <span>

#include "hid/report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> descriptor(data, size);
    const auto first = npt::hid::parseReportDescriptor(descriptor);
    const auto again = npt::hid::parseReportDescriptor(descriptor);
    if (first.has_value() != again.has_value()) {
        __builtin_trap();
    }
    if (!first) {
        return 0;
    }
    const auto& caps = first->caps;
    for (std::uint16_t length :
         {caps.InputReportByteLength, caps.OutputReportByteLength, caps.FeatureReportByteLength}) {
        if (length == 1) {
            __builtin_trap();  // a report with data bits always carries at least one data byte
        }
    }
    if (caps.InputReportByteLength != again->caps.InputReportByteLength ||
        caps.OutputReportByteLength != again->caps.OutputReportByteLength ||
        first->numberedReports != again->numberedReports) {
        __builtin_trap();
    }
    return 0;
}
