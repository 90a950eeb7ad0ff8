// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The errno value nearest to a Windows system error code (GetLastError), so that the transport's
// errors read alike on every system: the application words errno values, not Windows codes.
namespace npt::hid {

// code is a DWORD; an unknown code becomes EIO.
int errnoFromWindowsError(unsigned long code);

}  // namespace npt::hid
