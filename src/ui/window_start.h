// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Two ways the window starts besides the empty one: with a recording given on the command line,
// and unattended, drawn once into a picture on a machine without a screen.
#include <optional>
#include <ostream>
#include <string>

namespace npt {

class QtFormView;
class TTMForm;

// Loads file as the open button does, as soon as the window's message loop runs, so that the
// password dialog and any message appear over the window already on screen.
void openRecordingWhenShown(TTMForm& form, QtFormView& view, const std::string& file);

// Shows the window, loads file if there is one, and saves the window's picture as a PNG at png.
// Nobody is there to answer: the password dialog is closed unanswered (so a protected name stays
// hidden) and every message box is closed, its title and text written to messages instead.
// Returns 0 when the recording was shown and the picture saved, 1 otherwise.
int saveWindowPicture(TTMForm& form, QtFormView& view, const std::optional<std::string>& file,
                      const std::string& png, std::ostream& messages);

// In demo mode: the window title says that the recorder is simulated. (The chart's title says
// so of the demonstration night itself, whenever it is shown.)
void markAsDemonstration(QtFormView& view);

// Shows the window, reads the simulated recorder as "Чтение" does and saves the window's
// picture once the read has been checked; dialogs are closed as above. Returns 0 when a whole
// read was shown and the picture saved, 1 otherwise.
int saveDemoReadPicture(TTMForm& form, QtFormView& view, const std::string& png,
                        std::ostream& messages);

}  // namespace npt
