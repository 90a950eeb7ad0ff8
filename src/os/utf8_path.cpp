// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/utf8_path.h"

namespace npt {

std::filesystem::path pathFromUtf8(std::string_view utf8) {
    // A path made from char8_t text reads it as UTF-8 on every system.
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace npt
