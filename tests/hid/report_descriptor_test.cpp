// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The report descriptor reader on descriptors written from the HID usage tables: the recorder's
// adapter, a boot keyboard, a composite device with several report IDs, global items pushed and
// popped, and descriptors it must refuse.
#include <gtest/gtest.h>

#include <vector>

#include "hid/report_descriptor.h"
#include "recorder_sim/simulated_recorder.h"

namespace npt::hid {
namespace {

// Boot keyboard: modifier byte, reserved byte, six key codes in; five LEDs and padding out.
const std::vector<std::uint8_t> kBootKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,              // Generic Desktop, Keyboard, Application
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00,  // key codes 224..231, 0..1
    0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02,  // 8 x 1 bit: modifiers
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,              // 1 x 8 bits: reserved
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01,  // 5 x 1 bit: LEDs 1..5
    0x29, 0x05, 0x91, 0x02,                          //
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,              // 1 x 3 bits: LED padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65,  // 6 x 8 bits: key array
    0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,  //
    0xC0};

// A mouse (ID 1, 3 bytes in), a consumer control (ID 2, 2 bytes in) and a vendor collection
// with a 63-byte feature report (ID 3) and a 7-byte output report (ID 4).
const std::vector<std::uint8_t> kComposite = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01,  // Mouse, Application, ID 1
    0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19, 0x01,  // Pointer, Physical, buttons 1..3
    0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03,  //
    0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05,  // 3 x 1 bit, 1 x 5 bits padding
    0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31,  // X, Y
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02,  // 2 x 8 bits
    0x81, 0x06, 0xC0, 0xC0,                          //
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02,  // Consumer Control, ID 2
    0x15, 0x00, 0x26, 0xFF, 0x03, 0x19, 0x00, 0x2A,  //
    0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00,  // 1 x 16 bits
    0xC0,                                            //
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,        // vendor page, Application
    0x85, 0x03, 0x75, 0x08, 0x95, 0x3F, 0x09, 0x01,  // ID 3: 63 x 8 bits feature
    0xB1, 0x02, 0x85, 0x04, 0x95, 0x07, 0x09, 0x01,  // ID 4: 7 x 8 bits output
    0x91, 0x02, 0xC0};

// Report size and count pushed, changed for one input and popped back for the next.
const std::vector<std::uint8_t> kPushPop = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,  // vendor page, Application
    0x75, 0x08, 0x95, 0x04, 0xA4,              // 4 x 8 bits, Push
    0x75, 0x10, 0x95, 0x02, 0x81, 0x02,        // 2 x 16 bits input
    0xB4, 0x81, 0x02,                          // Pop: 4 x 8 bits input
    0x91, 0x02,                                // 4 x 8 bits output
    0xC0};

std::vector<std::uint8_t> withLongItemFirst(std::vector<std::uint8_t> descriptor) {
    descriptor.insert(descriptor.begin(), {0xFE, 0x02, 0x10, 0xAA, 0xBB});
    return descriptor;
}

struct Case {
    const char* name;
    std::vector<std::uint8_t> descriptor;
    std::uint16_t usagePage, usage, input, output, feature, collections;
    bool numbered;
};

TEST(ReportDescriptor, LengthsIncludeTheReportIdByte) {
    const Case cases[] = {
        // 32 bytes each way behind report ID 0: 33-byte reports, as the application sends them.
        {"adapter", adapterReportDescriptor(), 0xFF00, 0x01, 33, 33, 0, 1, false},
        {"boot keyboard", kBootKeyboard, 0x01, 0x06, 9, 2, 0, 1, false},
        // The longest report of each kind counts: input ID 1 (3 bytes) against ID 2 (2 bytes).
        {"several report IDs", kComposite, 0x01, 0x02, 4, 8, 64, 4, true},
        {"push and pop", kPushPop, 0xFF00, 0x01, 9, 5, 0, 1, false},
        {"long item skipped", withLongItemFirst(adapterReportDescriptor()), 0xFF00, 0x01, 33, 33, 0,
         1, false},
        {"empty", {}, 0, 0, 0, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto layout = parseReportDescriptor(c.descriptor);
        ASSERT_TRUE(layout.has_value());
        EXPECT_EQ(layout->caps.UsagePage, c.usagePage);
        EXPECT_EQ(layout->caps.Usage, c.usage);
        EXPECT_EQ(layout->caps.InputReportByteLength, c.input);
        EXPECT_EQ(layout->caps.OutputReportByteLength, c.output);
        EXPECT_EQ(layout->caps.FeatureReportByteLength, c.feature);
        EXPECT_EQ(layout->caps.NumberLinkCollectionNodes, c.collections);
        EXPECT_EQ(layout->numberedReports, c.numbered);
    }
}

TEST(ReportDescriptor, MalformedDescriptorsAreRefused) {
    const std::vector<std::vector<std::uint8_t>> cases = {
        {0x06, 0x00},              // ends inside a two-byte item
        {0x27, 0xFF, 0xFF},        // ends inside a four-byte item
        {0xFE, 0x05, 0x10, 0x01},  // long item shorter than it says
        {0x75, 0x08, 0xB4},        // pop without push
        {0x85, 0x00},              // report ID 0 is reserved
        {0x86, 0x00, 0x01},        // report ID 256
    };
    for (const auto& descriptor : cases) {
        EXPECT_FALSE(parseReportDescriptor(descriptor).has_value());
    }
}

TEST(ReportDescriptor, EveryPrefixEndingInsideAnItemIsRefused) {
    // A device may hand over a cut descriptor: the reader must stop at the cut, never past it.
    for (const auto& descriptor : {kBootKeyboard, kComposite, kPushPop}) {
        std::vector<bool> boundary(descriptor.size() + 1, false);
        for (std::size_t pos = 0; pos < descriptor.size();) {
            boundary[pos] = true;
            const std::size_t size = (descriptor[pos] & 0x3) == 3 ? 4 : (descriptor[pos] & 0x3);
            pos += 1 + size;
        }
        boundary[descriptor.size()] = true;
        for (std::size_t n = 0; n <= descriptor.size(); ++n) {
            SCOPED_TRACE(n);
            const std::vector<std::uint8_t> prefix(descriptor.begin(), descriptor.begin() + n);
            // A cut after a Push and before its Pop still parses: the stack may stay filled.
            EXPECT_EQ(parseReportDescriptor(prefix).has_value(), static_cast<bool>(boundary[n]));
        }
    }
}

}  // namespace
}  // namespace npt::hid
