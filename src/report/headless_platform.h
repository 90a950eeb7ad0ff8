// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Qt platform that draws without a screen, chosen before the application object is made:
// Qt's offscreen platform, except on Windows, where that platform finds no fonts (a report
// would carry no text) and the system's own platform draws unseen with the system's fonts.
#include <QtGlobal>

namespace npt {

inline void useHeadlessPlatform() {
#ifdef _WIN32
    qputenv("QT_QPA_PLATFORM", "windows");
#else
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
}

}  // namespace npt
