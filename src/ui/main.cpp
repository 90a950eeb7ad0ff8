// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// npt-desk: builds the window, its behaviour, the settings file and the way to the recorder, and
// runs the message loop.
#include <QApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <QTranslator>
#include <QWidget>
#include <iostream>
#include <string_view>

#include "app/clock.h"
#include "app/settings_file.h"
#include "app/ttm_form.h"
#include "archive/archive.h"
#include "npt_version.h"
#include "report/headless_platform.h"
#include "ui/command_line.h"
#include "ui/qt_form_view.h"
#include "ui/recorder_link.h"
#include "ui/window_start.h"

int main(int argc, char** argv) {
    // Nothing is logged: Qt's own notes go nowhere, except why the window cannot open at all
    // (no display to connect to, say) and what stops the program.
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            const bool platform = context.category != nullptr &&
                                  std::string_view(context.category).starts_with("qt.qpa.");
            if (type == QtCriticalMsg || type == QtFatalMsg || (platform && type == QtWarningMsg)) {
                std::cerr << text.toStdString() << '\n';
            }
        });
    const std::vector<std::string> given(argv + 1, argv + argc);
    if (npt::asksFor(given, npt::kHelpOption)) {
        std::cout << npt::kDeskUsage << '\n';
        return 0;
    }
    if (npt::asksFor(given, npt::kVersionOption)) {
        std::cout << "npt-desk " << npt::kVersion << '\n' << npt::kLicenseNotice;
        return 0;
    }
    // Our own options are checked before Qt starts, which needs a screen: a mistake is said
    // without one too. They are read again below, from what Qt leaves of the arguments.
    if (std::string early; !npt::parseDeskArguments(npt::withoutToolkitOptions(given), early)) {
        std::cerr << "npt-desk: " << early << '\n' << npt::kDeskUsage << '\n';
        return 2;
    }
    // A picture of the window needs no screen: drawn on the headless platform, as the report
    // is, unless a platform is chosen.
    if (npt::asksFor(given, npt::kScreenshotOption) &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        npt::useHeadlessPlatform();
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("npt-desk");
    QApplication::setApplicationVersion(npt::kVersion);
    QApplication::setDesktopFileName("npt-desk");
    QApplication::setStyle(QStyleFactory::create("Fusion"));

    // Read after Qt has taken its own options (-platform, -style, …) out of the arguments.
    std::string error;
    const auto options = npt::parseDeskArguments({argv + 1, argv + argc}, error);
    if (!options) {
        std::cerr << "npt-desk: " << error << '\n' << npt::kDeskUsage << '\n';
        return 2;
    }

    // The standard dialogs' own buttons ("Да", "Нет", "Отмена") in Russian; without the
    // translation files they stay in English and nothing else changes.
    QTranslator qtRussian;
    if (qtRussian.load("qtbase_ru", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtRussian);
    }
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    npt::SystemClock clock;
    npt::IniSettingsFile settings(npt::chooseSettingsLocation(
        npt::executableDirectory(), npt::userConfigDirectory(), NPT_INSTALLED_BINDIR));
    npt::QtFormView view;
    npt::RecorderLink link(options->demoRecorder);
    npt::TTMForm form(view, clock, &settings, &link.controller());
    view.attach(form);
    if (link.demo()) {
        npt::markAsDemonstration(view);
    }
    form.FormCreate();
    // Every night read is filed in the patient archive; a picture of the window files nothing.
    npt::NightFiling filing(
        settings.archiveLocation().value_or(npt::archive::Archive::defaultLocation()));
    if (!options->screenshot) {
        form.setNightFiling(&filing);
        view.setNightFiling(&filing);
    }

    if (options->screenshot) {
        // Nothing was typed, so the doctor's name is not written back.
        if (link.demo()) {
            return npt::saveDemoReadPicture(form, view, *options->screenshot, std::cerr);
        }
        return npt::saveWindowPicture(form, view, options->file, *options->screenshot, std::cerr);
    }
    QWidget* window = view.window();
    if (QScreen* screen = QApplication::primaryScreen()) {
        window->move(screen->availableGeometry().center() - window->rect().center());
    }
    window->show();
    QTimer::singleShot(0, window, [&form] { form.FormShow(); });
    if (options->file) {
        npt::openRecordingWhenShown(form, view, *options->file);
    }
    const int result = QApplication::exec();
    form.FormDestroy();
    return result;
}
