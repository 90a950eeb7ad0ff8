// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/workbook_check.h"

#include <zlib.h>

#include <algorithm>
#include <string_view>

namespace npt {

namespace {
constexpr std::uint32_t kLocalHeader = 0x04034B50;
constexpr std::uint32_t kCentralEntry = 0x02014B50;
constexpr std::uint32_t kEndOfDirectory = 0x06054B50;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralEntrySize = 46;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kMaxPartSize = 64u << 20;

// Bounds-checked little-endian reads from the file.
class Bytes {
  public:
    explicit Bytes(std::span<const std::uint8_t> file) : file_(file) {}
    std::size_t size() const { return file_.size(); }
    bool has(std::size_t at, std::size_t length) const {
        return at <= file_.size() && length <= file_.size() - at;
    }
    std::uint32_t u16(std::size_t at) const { return file_[at] | (file_[at + 1] << 8); }
    std::uint32_t u32(std::size_t at) const {
        return u16(at) | (static_cast<std::uint32_t>(u16(at + 2)) << 16);
    }
    std::span<const std::uint8_t> span(std::size_t at, std::size_t length) const {
        return file_.subspan(at, length);
    }
    std::string_view text(std::size_t at, std::size_t length) const {
        return {reinterpret_cast<const char*>(file_.data() + at), length};
    }

  private:
    std::span<const std::uint8_t> file_;
};

// The end-of-directory record: the last one whose comment ends exactly at the end of the file.
std::optional<std::size_t> endOfDirectory(const Bytes& bytes) {
    if (bytes.size() < kEndSize) {
        return std::nullopt;
    }
    const std::size_t lowest =
        bytes.size() > kEndSize + 0xFFFF ? bytes.size() - kEndSize - 0xFFFF : 0;
    for (std::size_t at = bytes.size() - kEndSize + 1; at-- > lowest;) {
        if (bytes.u32(at) == kEndOfDirectory &&
            at + kEndSize + bytes.u16(at + 20) == bytes.size()) {
            return at;
        }
    }
    return std::nullopt;
}

std::optional<std::string> inflated(std::span<const std::uint8_t> data, std::uint32_t method,
                                    std::size_t size) {
    if (method == 0) {
        if (data.size() != size) {
            return std::nullopt;
        }
        return std::string(reinterpret_cast<const char*>(data.data()), data.size());
    }
    if (method != 8) {
        return std::nullopt;
    }
    std::string out(size, '\0');
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        return std::nullopt;
    }
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    const bool whole =
        result == Z_STREAM_END && stream.total_out == size && stream.total_in == data.size();
    inflateEnd(&stream);
    return whole ? std::optional(std::move(out)) : std::nullopt;
}

// Where the root element of an XML text starts, after its declaration and comments.
std::size_t rootStart(std::string_view xml) {
    std::size_t at = 0;
    while ((at = xml.find('<', at)) != std::string_view::npos && at + 1 < xml.size() &&
           (xml[at + 1] == '?' || xml[at + 1] == '!')) {
        ++at;
    }
    return at;
}

// Whether the XML text ends where its root element does: with its closing tag, or with the
// root's own start tag when that is the whole element ("<Types/>").
bool endsWithRootClosed(std::string_view xml) {
    while (!xml.empty() && (xml.back() == '\n' || xml.back() == '\r' || xml.back() == ' ')) {
        xml.remove_suffix(1);
    }
    const std::size_t start = rootStart(xml);
    if (start == std::string_view::npos) {
        return false;
    }
    const auto nameEnd = xml.find_first_of(" \t\r\n/>", start + 1);
    if (nameEnd == std::string_view::npos || nameEnd == start + 1) {
        return false;
    }
    const std::string_view name = xml.substr(start + 1, nameEnd - start - 1);
    const auto tagEnd = xml.find('>', nameEnd);
    if (tagEnd == xml.size() - 1 && xml[tagEnd - 1] == '/') {
        return true;
    }
    return xml.ends_with("</" + std::string(name) + ">");
}

std::size_t countOf(std::string_view text, std::string_view part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}
}  // namespace

std::optional<std::map<std::string, std::string>> zipParts(std::span<const std::uint8_t> file) {
    const Bytes bytes(file);
    const auto end = endOfDirectory(bytes);
    if (!end) {
        return std::nullopt;
    }
    const std::size_t entries = bytes.u16(*end + 10);
    const std::size_t directorySize = bytes.u32(*end + 12);
    const std::size_t directory = bytes.u32(*end + 16);
    if (bytes.u16(*end + 8) != entries || directory > *end || *end - directory != directorySize) {
        return std::nullopt;
    }
    std::map<std::string, std::string> parts;
    std::size_t at = directory;
    for (std::size_t i = 0; i < entries; ++i) {
        if (!bytes.has(at, kCentralEntrySize) || bytes.u32(at) != kCentralEntry) {
            return std::nullopt;
        }
        const std::uint32_t flags = bytes.u16(at + 8);
        const std::uint32_t method = bytes.u16(at + 10);
        const std::uint32_t crc = bytes.u32(at + 16);
        const std::size_t packed = bytes.u32(at + 20);
        const std::size_t size = bytes.u32(at + 24);
        const std::size_t nameLength = bytes.u16(at + 28);
        const std::size_t trailing = bytes.u16(at + 30) + bytes.u16(at + 32);
        const std::size_t local = bytes.u32(at + 42);
        // Deflate packs at most about 1032 bytes into one, so a larger claim is damage, and
        // no memory is set aside for it.
        const bool plausible = size <= kMaxPartSize && size <= packed * 1032 + 64;
        if ((flags & 1) != 0 || !plausible ||
            !bytes.has(at + kCentralEntrySize, nameLength + trailing)) {
            return std::nullopt;  // encrypted, too large for a workbook of ours, or cut off
        }
        const std::string name(bytes.text(at + kCentralEntrySize, nameLength));
        at += kCentralEntrySize + nameLength + trailing;

        if (!bytes.has(local, kLocalHeaderSize) || bytes.u32(local) != kLocalHeader ||
            bytes.u16(local + 26) != nameLength ||
            !bytes.has(local + kLocalHeaderSize, nameLength) ||
            bytes.text(local + kLocalHeaderSize, nameLength) != name) {
            return std::nullopt;
        }
        const std::size_t data = local + kLocalHeaderSize + nameLength + bytes.u16(local + 28);
        if (data > directory || packed > directory - data) {
            return std::nullopt;
        }
        auto content = inflated(bytes.span(data, packed), method, size);
        if (!content ||
            crc32(0, reinterpret_cast<const Bytef*>(content->data()),
                  static_cast<uInt>(content->size())) != crc ||
            !parts.emplace(name, std::move(*content)).second) {
            return std::nullopt;
        }
    }
    if (at != *end) {
        return std::nullopt;
    }
    return parts;
}

std::string sheetPart(std::size_t number) {
    return "xl/worksheets/sheet" + std::to_string(number) + ".xml";
}

std::optional<std::string> workbookDefect(std::span<const std::uint8_t> file,
                                          const std::vector<std::size_t>& sheetRows) {
    const auto parts = zipParts(file);
    if (!parts) {
        return "архив книги повреждён или оборван";
    }
    std::vector<std::string> required = {"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml"};
    for (std::size_t k = 0; k < std::max<std::size_t>(sheetRows.size(), 1); ++k) {
        required.push_back(sheetPart(k + 1));
    }
    for (const std::string& part : required) {
        if (parts->count(part) == 0) {
            return "в книге нет части " + part;
        }
    }
    for (const auto& [name, content] : *parts) {
        if ((name.ends_with(".xml") || name.ends_with(".rels")) && !endsWithRootClosed(content)) {
            return "часть " + name + " оборвана";
        }
    }
    for (std::size_t k = 0; k < sheetRows.size(); ++k) {
        const std::size_t rows = countOf(parts->at(sheetPart(k + 1)), "<row ");
        if (rows != sheetRows[k]) {
            return "на листе " + (k > 0 ? std::to_string(k + 1) + ": " : std::string()) +
                   std::to_string(rows) + " строк вместо " + std::to_string(sheetRows[k]);
        }
    }
    return std::nullopt;
}

}  // namespace npt
