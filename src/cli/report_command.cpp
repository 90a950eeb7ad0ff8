// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/report_command.h"

#include <QGuiApplication>

#include "report/headless_platform.h"
#include "report/report_pdf.h"
#include "report/study_report.h"

namespace npt {

namespace {
// Draws with Qt for the one report the tool writes.
template <typename Draw>
void withoutScreen(Draw draw) {
    // The tool never shows a window: a platform that needs no display, whatever the
    // environment names. Qt's notes (fonts, runtime folders) are not the tool's output.
    useHeadlessPlatform();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static int argc = 1;
    static char name[] = "npt";
    static char* argv[] = {name, nullptr};
    const QGuiApplication application(argc, argv);
    draw();
}
}  // namespace

ReportWriter headlessReportWriter() {
    return [](const std::string& path, const NightReport& report) {
        withoutScreen([&] { writeReportPdf(path, report); });
    };
}

StudyReportWriter headlessStudyReportWriter() {
    return [](const std::string& path, archive::Archive& archive, archive::Id study,
              const std::optional<std::string>& doctor) {
        StudyReport report = studyReportOf(archive, study);
        if (doctor) {
            report.doctor = *doctor;
        }
        withoutScreen([&] { writeStudyReportPdf(path, report); });
    };
}

}  // namespace npt
