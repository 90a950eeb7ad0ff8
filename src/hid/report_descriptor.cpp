// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/report_descriptor.h"

#include <algorithm>
#include <array>
#include <map>
#include <vector>

namespace npt::hid {

namespace {

// Item tags (bits 7..4 of the prefix) by item type (bits 3..2).
enum ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };
enum MainTag : std::uint8_t {
    kInput = 0x8,
    kOutput = 0x9,
    kCollection = 0xA,
    kFeature = 0xB,
    kEndCollection = 0xC
};
enum GlobalTag : std::uint8_t {
    kUsagePage = 0x0,
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB
};
enum LocalTag : std::uint8_t { kUsage = 0x0 };
constexpr std::uint8_t kLongItemPrefix = 0xFE;
constexpr std::uint32_t kApplicationCollection = 0x01;

struct Globals {
    std::uint32_t usagePage = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

// Bytes of a report of bits data bits, with the report-ID byte in front.
std::uint16_t lengthWithId(std::uint64_t bits) {
    return static_cast<std::uint16_t>(std::min<std::uint64_t>((bits + 7) / 8 + 1, 0xFFFF));
}

}  // namespace

std::optional<ReportLayout> parseReportDescriptor(std::span<const std::uint8_t> descriptor) {
    Globals globals;
    std::vector<Globals> stack;
    std::vector<std::uint32_t> usages;  // local usages since the last main item
    // Data bits per report ID, for input, output and feature reports.
    std::array<std::map<std::uint32_t, std::uint64_t>, 3> bits;
    ReportLayout layout;
    bool topLevelSeen = false;
    int depth = 0;

    std::size_t pos = 0;
    while (pos < descriptor.size()) {
        const std::uint8_t prefix = descriptor[pos];
        if (prefix == kLongItemPrefix) {
            // Long items carry no report structure: skip size, tag and data.
            if (pos + 2 >= descriptor.size() || pos + 3 + descriptor[pos + 1] > descriptor.size()) {
                return std::nullopt;
            }
            pos += 3 + descriptor[pos + 1];
            continue;
        }
        const std::size_t size = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
        if (pos + 1 + size > descriptor.size()) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            value |= static_cast<std::uint32_t>(descriptor[pos + 1 + i]) << (8 * i);
        }
        const auto type = static_cast<std::uint8_t>((prefix >> 2) & 0x3);
        const auto tag = static_cast<std::uint8_t>(prefix >> 4);
        pos += 1 + size;

        if (type == kMain) {
            const int kind = tag == kInput ? 0 : tag == kOutput ? 1 : tag == kFeature ? 2 : -1;
            if (kind >= 0) {
                bits[kind][globals.reportId] +=
                    static_cast<std::uint64_t>(globals.reportSize) * globals.reportCount;
            } else if (tag == kCollection) {
                ++layout.caps.NumberLinkCollectionNodes;
                if (depth == 0 && !topLevelSeen && value == kApplicationCollection) {
                    topLevelSeen = true;
                    const std::uint32_t usage = usages.empty() ? 0 : usages.back();
                    // A four-byte usage names its page in its high half.
                    layout.caps.UsagePage = static_cast<std::uint16_t>(
                        usage > 0xFFFF ? usage >> 16 : globals.usagePage);
                    layout.caps.Usage = static_cast<std::uint16_t>(usage & 0xFFFF);
                }
                ++depth;
            } else if (tag == kEndCollection) {
                depth = std::max(depth - 1, 0);
            }
            usages.clear();
        } else if (type == kGlobal) {
            switch (tag) {
                case kUsagePage:
                    globals.usagePage = value;
                    break;
                case kReportSize:
                    globals.reportSize = value;
                    break;
                case kReportCount:
                    globals.reportCount = value;
                    break;
                case kReportId:
                    if (value == 0 || value > 255) {
                        return std::nullopt;
                    }
                    globals.reportId = value;
                    layout.numberedReports = true;
                    break;
                case kPush:
                    stack.push_back(globals);
                    break;
                case kPop:
                    if (stack.empty()) {
                        return std::nullopt;
                    }
                    globals = stack.back();
                    stack.pop_back();
                    break;
                default:
                    break;
            }
        } else if (type == kLocal && tag == kUsage) {
            usages.push_back(size == 4 ? value : (value & 0xFFFF));
        }
    }

    std::uint16_t* lengths[3] = {&layout.caps.InputReportByteLength,
                                 &layout.caps.OutputReportByteLength,
                                 &layout.caps.FeatureReportByteLength};
    for (int kind = 0; kind < 3; ++kind) {
        std::uint64_t largest = 0;
        bool any = false;
        for (const auto& [id, count] : bits[kind]) {
            largest = std::max(largest, count);
            any = any || count > 0;
        }
        *lengths[kind] = any ? lengthWithId(largest) : 0;
    }
    return layout;
}

}  // namespace npt::hid
