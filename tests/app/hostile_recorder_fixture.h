// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Recorders and adapters that misbehave, one row each: the fault, what the doctor types, and
// what the window and `npt read` must then say and keep. The window's session and the tool's
// read are each run over every row, by their own tests; only the recorder's memory, block for
// block, may be kept, and whatever is not kept, the doctor is told why.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/link_texts.h"
#include "form_fixture.h"
#include "recorder_sim/simulated_recorder.h"

namespace npt::test {

using namespace std::chrono_literals;
using Seen = std::pair<std::string, std::string>;  // title, text
namespace lt = link_texts;

constexpr std::uint16_t kBattery = 3300;  // no battery warning
inline const Seen kIncomplete{lt::kReadErrorTitle, lt::kIncompleteText};
inline const Seen kOverlong{lt::kReadErrorTitle, lt::kOverlongText};
inline const Seen kWrongPassword{kWrongPasswordTitle, kWrongPasswordText};
inline const std::string kPatient = "Иванов Иван Иванович";

// The image a whole read of flash brings: the acknowledgement with the battery, the flash's
// blocks 1-138, the closing block.
inline MemoryImage asRead(const MemoryImage& flash) {
    MemoryImage image = flash;
    auto bytes = image.bytes();
    std::fill(bytes.begin(), bytes.begin() + 32, 0);
    std::fill(bytes.begin() + 139 * 32, bytes.end(), 0);
    bytes[0] = 0xFE;
    bytes[1] = 0xFE;
    image.setWord(ImageOffsets::kBattery, kBattery);
    bytes[139 * 32] = 0xFE;
    bytes[139 * 32 + 1] = 0xFF;
    return image;
}

// The same with the patient's name hidden, as saved without the password.
inline MemoryImage withoutName(MemoryImage image) {
    std::fill(image.bytes().begin() + ImageOffsets::kPassportLead,
              image.bytes().begin() + ImageOffsets::kName + ImageOffsets::kNameLength, 0);
    return image;
}

struct Hostile {
    std::string name;
    ImageOptions memory;  // the recorder's flash
    std::function<void(hid::RecorderFaults&)> fault;
    std::optional<std::string> typed;  // the password the doctor types when asked
    bool twoAdapters = false;          // a second adapter, hearing another recorder
    int reports = 140;                 // reaching the window; 0: the adapter is not claimed
    // In the window: the messages on the adapter, the read and the password, in order; the
    // indicator; the name shown.
    std::vector<Seen> said;
    std::optional<Rgb> indicator;
    std::optional<std::string> nameShown;
    std::optional<std::string> nameAtFirstCheck;  // of a read checked twice
    // What "В файл" and `npt read` keep (nothing: both refuse), and why the window refuses.
    std::function<MemoryImage(const MemoryImage& flash)> kept;
    const char* refusal = lt::kReadIncompleteSaveText;
    std::string toolSays;  // part of what `npt read` says on stderr
};

inline std::vector<Hostile> hostileRecorders() {
    using Leftover = hid::RecorderFaults::Leftover;
    const auto whole = [](const MemoryImage& flash) { return asRead(flash); };
    std::vector<Hostile> rows;

    Hostile h;
    h.name = "InputReportsOf31Bytes";
    h.fault = [](auto& f) { f.inputReportBytes = 31; };
    h.reports = 0;
    h.said = {{lt::kAdapterTitle, lt::unsupportedAdapter(33, 32)}};
    h.toolSays = "передаёт ответы датчика отчётами по 32 байта";
    rows.push_back(h);

    // 140 reports, every block one place off: the passport gone, the curve shifted.
    h = {};
    h.name = "LeftoverDataBlockBeforeTheAcknowledgementAndABlockLost";
    h.fault = [](auto& f) {
        f.leftover = Leftover::DataBlock;
        f.dropBlock = 70;
    };
    h.said = {kIncomplete};
    h.indicator = colours::kRed;
    h.toolSays = "первым пришёл не блок подтверждения датчика";
    rows.push_back(h);

    h = {};
    h.name = "LeftoverClosingBlockBeforeTheAcknowledgementAndABlockLost";
    h.fault = [](auto& f) {
        f.leftover = Leftover::ClosingBlock;
        f.dropBlock = 70;
    };
    h.said = {kIncomplete};
    h.indicator = colours::kRed;
    h.toolSays = "первым пришёл не блок подтверждения датчика";
    rows.push_back(h);

    // No acknowledgement arms a check: the window waits, blue, as for a recorder that does not
    // answer.
    h = {};
    h.name = "NoAcknowledgement";
    h.fault = [](auto& f) {
        f.leftover = Leftover::DataBlock;
        f.acknowledgementLost = true;
    };
    h.indicator = colours::kBlue;
    h.refusal = lt::kReadNotOverText;
    h.toolSays = "датчик не подтвердил команду чтения: получено блоков 140";
    rows.push_back(h);

    h = {};
    h.name = "ClosingBlockLostAndAnotherInItsPlace";
    h.fault = [](auto& f) {
        f.closingBlockLost = true;
        f.extraBlocks = 1;
    };
    h.said = {kIncomplete};
    h.indicator = colours::kRed;
    h.toolSays = "140-м пришёл не завершающий блок";
    rows.push_back(h);

    h = {};
    h.name = "ABlockLost";
    h.fault = [](auto& f) { f.dropBlock = 70; };
    h.reports = 139;
    h.said = {kIncomplete};
    h.indicator = colours::kRed;
    h.toolSays = "чтение неполное: получено блоков 139 из 140";
    rows.push_back(h);

    h = {};
    h.name = "ABlockTwice";
    h.fault = [](auto& f) { f.duplicateBlock = 70; };
    h.reports = 141;
    h.said = {kOverlong};
    h.indicator = colours::kRed;
    h.toolSays = "чтение неверное: получено блоков 141 вместо 140, и 140-м пришёл не завершающий";
    rows.push_back(h);

    // The first 140 blocks are the memory: said, but kept.
    h = {};
    h.name = "BlocksAfterTheClosingBlock";
    h.fault = [](auto& f) { f.extraBlocks = 3; };
    h.reports = 143;
    h.said = {kOverlong};
    h.indicator = colours::kRed;
    h.nameShown = kPatient;
    h.kept = whole;
    h.toolSays = "после завершающего блока пришло лишних блоков: 3";
    rows.push_back(h);

    // The first check finds one block and must not ask for the password, whose bytes have not
    // come; the second, whole one asks once, and the right password keeps the name.
    h = {};
    h.name = "PauseAfterTheAcknowledgement";
    h.memory = ImageOptions().withPassword("1234");
    h.fault = [](auto& f) {
        f.stallAfterReports = 1;
        f.stallFor = 1500ms;
    };
    h.typed = "1234";
    h.said = {kIncomplete};
    h.indicator = colours::kGreen;
    h.nameShown = kPatient;
    h.kept = whole;
    rows.push_back(h);

    h.name = "PauseAfterTheAcknowledgementWithoutPassword";
    h.memory = ImageOptions();
    h.typed.reset();
    rows.push_back(h);

    // Here the password has come by the first check, but that check is not of a whole read:
    // it asks nothing and shows no name yet.
    h.name = "PauseAfterThePassport";
    h.memory = ImageOptions().withPassword("1234");
    h.typed = "1234";
    h.fault = [](auto& f) {
        f.stallAfterReports = 10;
        f.stallFor = 1500ms;
    };
    h.nameAtFirstCheck = "";
    rows.push_back(h);

    // The 22nd letter «я» is 0xFF at offset 100, which the passport-presence test reads as
    // erased flash: the name must go from the file all the same.
    h = {};
    h.name = "NameEndingInYaWithoutItsPassword";
    h.memory = ImageOptions().withName("Александрова Анастасия").withPassword("1234");
    h.typed = "";
    h.said = {kWrongPassword};
    h.indicator = colours::kGreen;
    h.nameShown = "";
    h.kept = [](const MemoryImage& flash) { return withoutName(asRead(flash)); };
    h.toolSays = kWrongPasswordText;
    rows.push_back(h);

    h = {};
    h.name = "TwoAdapters";
    h.twoAdapters = true;
    h.said = {{lt::kAdapterTitle, lt::kSeveralAdaptersText}};
    h.indicator = colours::kGreen;
    h.nameShown = kPatient;
    h.kept = whole;
    h.toolSays = lt::kSeveralAdaptersText;
    rows.push_back(h);

    return rows;
}

inline void PrintTo(const Hostile& h, std::ostream* out) {
    *out << h.name;
}

// The recorder a second adapter hears: another patient's night.
inline MemoryImage otherNight() {
    return makeImage(ImageOptions().withName("Сидоров Сидор Сидорович").withSamples(60));
}

}  // namespace npt::test
