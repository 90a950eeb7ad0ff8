// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace npt::archive {
namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(Sha256, PublishedDigests) {
    struct Case {
        std::vector<std::uint8_t> input;
        const char* digest;
    };
    const Case cases[] = {
        {{}, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {bytesOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits the block, a second one is needed.
        {bytesOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        // A million "a": many whole blocks.
        {std::vector<std::uint8_t>(1'000'000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sha256Hex(c.input), c.digest) << c.input.size() << " bytes";
    }
}

}  // namespace
}  // namespace npt::archive
