// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/plain_text.h"

#include <algorithm>

#include "recorder/utf8.h"

namespace npt::plain {

namespace {
void appendHex(std::string& out, const char* prefix, unsigned value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += prefix;
    for (int i = digits - 1; i >= 0; --i) {
        out += kDigits[(value >> (4 * i)) & 0xF];
    }
}

// A byte of text that is not UTF-8.
void appendByte(std::string& out, unsigned char byte) {
    appendHex(out, "\\x", byte, 2);
}

void appendControl(std::string& out, char32_t c) {
    if (c < 0x80) {
        appendHex(out, "\\x", static_cast<unsigned>(c), 2);
    } else {
        appendHex(out, "\\u", static_cast<unsigned>(c), 4);
    }
}

#ifdef _WIN32
// A backslash separates a Windows path's folders, and no Windows name holds a control
// character: paths read as the doctor typed them.
constexpr bool kBackslashAsIs = true;
#else
constexpr bool kBackslashAsIs = false;
#endif

void appendShown(std::string& out, char32_t c) {
    if (c == U'\\' && kBackslashAsIs) {
        out += '\\';
    } else if (const std::string_view escape = backslashEscape(c); !escape.empty()) {
        out += escape;
    } else if (isControl(c)) {
        appendControl(out, c);
    } else {
        utf8::append(out, c);
    }
}
}  // namespace

std::string_view backslashEscape(char32_t c) {
    switch (c) {
        case U'\\':
            return "\\\\";
        case U'\n':
            return "\\n";
        case U'\r':
            return "\\r";
        case U'\t':
            return "\\t";
        default:
            return {};
    }
}

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    if (const auto codePoints = utf8::decode(text)) {
        for (char32_t c : *codePoints) {
            appendShown(out, c);
        }
        return out;
    }
    for (unsigned char byte : text) {
        if (byte < 0x80) {
            appendShown(out, byte);
        } else {
            appendByte(out, byte);
        }
    }
    return out;
}

bool hasControlCharacter(std::string_view text) {
    if (const auto characters = utf8::decode(text)) {
        return std::any_of(characters->begin(), characters->end(), isControl);
    }
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x80 && isControl(byte);
    });
}

std::string quoted(std::string_view name) {
    return "«" + escaped(name) + "»";
}

}  // namespace npt::plain
