// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The most characters a doctor may type into a field. Unlike a line edit's maximum length it
// never cuts text set by the program: an age of 100 decoded from a recording shows as "100", and
// only an edit by the doctor that would leave more characters than the limit is refused.
#include <QValidator>

namespace npt {

class TypingLimit : public QValidator {
  public:
    TypingLimit(int characters, QObject* parent) : QValidator(parent), limit_(characters) {}

    void setLimit(int characters) { limit_ = characters; }
    int limit() const { return limit_; }
    // The program is about to set this text: it is accepted whatever its length.
    void allow(const QString& text) { allowed_ = text; }

    State validate(QString& input, int& position) const override;

  private:
    int limit_;
    QString allowed_;
};

}  // namespace npt
