// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a thread waits on for a HID event: a descriptor on Linux, watched with poll(2) for
// readability; a HANDLE on Windows, watched with WaitForMultipleObjects for its signalled state.
// Either way the state is level: it stays ready until the owner takes what made it ready (reads
// the descriptor, takes the counter), and a wait never consumes it. On Windows that means a
// manual-reset event (or an object that behaves like one), never an auto-reset event or a
// semaphore, whose state the wait itself would take.
namespace npt::hid {

#ifdef _WIN32
using WaitHandle = void*;  // a HANDLE, without bringing <windows.h> into every header
inline constexpr WaitHandle kNoWaitHandle = nullptr;
#else
using WaitHandle = int;
inline constexpr WaitHandle kNoWaitHandle = -1;
#endif

}  // namespace npt::hid
