// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The equipment an exported EDF+ file names: the program and its version, the same whether the
// window, the patients window or npt writes the file.
#include <string>

#include "npt_version.h"

namespace npt {

inline std::string edfEquipment() {
    return std::string("npt-desk ") + kVersion;
}

}  // namespace npt
