// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary file contents, of any length, to the whole load flow of the window: password
// step, passport, calibration check, graph building and the smoothed curve; then a few chart
// buttons. Nothing may crash, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "app/clock.h"
#include "app/ttm_form.h"
#include "cli/batch_view.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The typed password comes from the first bytes, so that matching and mismatching
    // passwords are both explored.
    const std::size_t typed = size > 0 ? data[0] % 12 : 0;
    std::string password(reinterpret_cast<const char*>(data), std::min(typed, size));
    npt::BatchView view(password);
    npt::FixedClock clock({2026, 12, 8, 21, 30, 0});
    npt::TTMForm form(view, clock, nullptr);
    form.FormCreate();
    form.loadRecordingBytes(std::span(data, size), "fuzz");
    form.Filter_plusClick();
    form.ZoomPlusClick();
    form.HplusClick();
    form.ZoomResetClick();
    form.Filter_minusClick();
    form.Filter_minusClick();
    return 0;
}
