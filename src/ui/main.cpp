// npt-desk: builds the window, its behaviour and the settings file, and runs the message loop.
#include <QApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QStyleFactory>
#include <QTranslator>
#include <QWidget>

#include "app/clock.h"
#include "app/settings_file.h"
#include "app/ttm_form.h"
#include "ui/qt_form_view.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("npt-desk");
    QApplication::setDesktopFileName("npt-desk");
    QApplication::setStyle(QStyleFactory::create("Fusion"));

    // The standard dialogs' own buttons ("Да", "Нет", "Отмена") in Russian; without the
    // translation files they stay in English and nothing else changes.
    QTranslator qtRussian;
    if (qtRussian.load("qtbase_ru", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtRussian);
    }
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    npt::SystemClock clock;
    npt::IniSettingsFile settings(
        npt::chooseSettingsLocation(npt::executableDirectory(), npt::userConfigDirectory()));
    npt::QtFormView view;
    npt::TTMForm form(view, clock, &settings);
    view.attach(form);
    form.FormCreate();

    QWidget* window = view.window();
    if (QScreen* screen = QApplication::primaryScreen()) {
        window->move(screen->availableGeometry().center() - window->rect().center());
    }
    window->show();
    const int result = QApplication::exec();
    form.FormDestroy();
    return result;
}
