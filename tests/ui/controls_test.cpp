// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// Every control of the window at its place, with its caption, hint and state at start.
#include <QLabel>

#include "window_fixture.h"

namespace npt::testing {
namespace {

struct ControlCase {
    Control control;
    QRect geometry;  // empty: not checked (labels follow their fields)
    const char* caption;
    const char* hint;
    bool enabled;
    bool readOnly;
};

TEST_F(WindowTest, EveryControlHasItsNamePlaceCaptionHintAndStartState) {
    const ControlCase cases[] = {
        {Control::Shape1, {8, 2, 385, 47}, "", "", true, false},
        {Control::Tscan, {56, 16, 16, 19}, "10", "Период считывания, сек.", false, true},
        {Control::Label3, {}, "Т,сек:", "", true, false},
        {Control::Name, {116, 16, 182, 19}, "", "ФИО пациента", true, false},
        {Control::LabelName, {}, "ФИО:", "", true, false},
        {Control::Old, {364, 16, 16, 19}, "", "Возраст пациента", true, false},
        {Control::LabelOld, {}, "Возраст:", "", true, false},
        {Control::Image1, {400, 13, 25, 29}, "", "", true, false},
        {Control::TimeStart, {444, 16, 34, 19}, "22:00", "Начало исследования", true, true},
        {Control::LabelTimeStart, {}, "с:", "", true, false},
        {Control::TimeEnd, {508, 16, 34, 19}, "10:00", "Окончание исследования", true, true},
        {Control::LabelTimeEnd, {}, "до:", "", true, false},
        {Control::Date, {594, 17, 53, 19}, "09.12.26", "Дата исследования", true, true},
        {Control::LabelDate, {}, "Дата:", "", true, false},
        {Control::TimeNow, {700, 17, 38, 19}, "08:05", "Текущее вемя", true, true},
        {Control::Label2, {}, "Время:", "", true, false},
        {Control::VName, {784, 16, 129, 19}, "введите ФИО врача", "ФИО врача", true, false},
        {Control::Label8, {}, "Врач:", "ФИО врача", true, false},
        {Control::WriteData,
         {919, 14, 57, 25},
         "Запись",
         "Запись паспортных данных в датчик-регистратор",
         true,
         false},
        {Control::ChartGraf, {8, 55, 969, 423}, "", "", true, false},
        {Control::ZoomPlus, {16, 369, 33, 25}, "+", "Увеличить масштаб по вертикали", true, false},
        {Control::ZoomMinus, {16, 400, 33, 25}, "-", "Уменьшить масштаб по вертикали", true, false},
        {Control::Hplus, {104, 392, 33, 25}, "+", "Увеличить масштаб по горизонтали", true, false},
        {Control::Hminus, {60, 392, 33, 25}, "-", "Уменьшить масштаб по горизонтали", true, false},
        {Control::ZoomReset,
         {16, 446, 33, 25},
         "0",
         "Возврат к исходному масштабу графика",
         true,
         false},
        {Control::Filter_plus,
         {16, 305, 33, 25},
         "F+",
         "Увеличить сглаживание кривой",
         true,
         false},
        {Control::Filter_minus,
         {16, 336, 33, 25},
         "F-",
         "Уменьшить сглаживание кривой",
         true,
         false},
        {Control::PrintGraf,
         {556, 488, 57, 25},
         "Печать",
         "Печать графика с паспортной частью",
         true,
         false},
        {Control::SaveFileData, {619, 488, 57, 25}, "В файл", "Сброс данных в файл", true, false},
        {Control::LoadFile, {682, 488, 57, 25}, "Из файла", "Чтение данных из файла", true, false},
        {Control::Shape2, {745, 480, 232, 41}, "", "", true, false},
        {Control::Ubat, {849, 490, 46, 21}, "", "Напряжение батареи датчика", true, true},
        {Control::LabelBatt, {}, "Uбат:", "", true, false},
        {Control::ReadData,
         {910, 488, 57, 25},
         "Чтение",
         "Чтение данных по радиоканалу из датчика-регистратора",
         true,
         false},
        {Control::OpenIndicator, {983, 488, 9, 25}, "", "", true, false},
        // The night's analysis, in the free space under the chart left of "Печать".
        {Control::LabelAnalysis, {12, 484, 412, 33}, "", "", true, false},
        {Control::ShowAnalysis,
         {493, 488, 57, 25},
         "Анализ",
         "Анализ ночи: эпизоды тумесценции, качество записи, параметры, отчёт",
         true,
         false},
        {Control::ShowArchive,
         {430, 488, 57, 25},
         "Архив",
         "Архив пациентов: ночи, исследования, поиск",
         true,
         false},
    };
    for (const auto& c : cases) {
        const std::string name(controlName(c.control));
        SCOPED_TRACE(name);
        QWidget* widget = view_->window()->findChild<QWidget*>(QString::fromStdString(name));
        ASSERT_NE(widget, nullptr);
        if (!c.geometry.isEmpty()) {
            // Hplus and Hminus sit inside the chart panel; the rest on the window.
            EXPECT_EQ(widget->geometry(), c.geometry);
        }
        EXPECT_EQ(view_->text(c.control), c.caption);
        if (*c.hint != '\0') {
            EXPECT_EQ(widget->toolTip().toStdString(), c.hint);
        }
        EXPECT_TRUE(view_->visible(c.control));
        EXPECT_EQ(widget->isEnabled(), c.enabled);
        if (auto* field = qobject_cast<QLineEdit*>(widget)) {
            EXPECT_EQ(field->isReadOnly(), c.readOnly);
        }
    }
}

TEST_F(WindowTest, WindowFrameLimitsAndChartButtonsMatchTheWindowsLayout) {
    QWidget* window = view_->window();
    EXPECT_EQ(window->windowTitle().toStdString(), kWindowCaption);
    EXPECT_EQ(window->size(), QSize(998, 529));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(255, 251, 240));

    EXPECT_EQ(w(Control::Hplus)->parentWidget(), w(Control::ChartGraf));
    EXPECT_EQ(w(Control::Hminus)->parentWidget(), w(Control::ChartGraf));
    for (Control c : {Control::ZoomPlus, Control::ZoomMinus, Control::Hplus, Control::Hminus,
                      Control::ZoomReset, Control::Filter_plus, Control::Filter_minus}) {
        EXPECT_FALSE(w(c)->focusPolicy() & Qt::TabFocus) << controlName(c);
    }
    EXPECT_EQ(view_->typingLimit(Control::Name), 23);
    EXPECT_EQ(view_->typingLimit(Control::Old), 2);
    EXPECT_EQ(view_->typingLimit(Control::Tscan), 2);
    // Every label ends left of its field and does not run into the control before it.
    const std::pair<Control, Control> labelled[] = {
        {Control::Label3, Control::Tscan},         {Control::LabelName, Control::Name},
        {Control::LabelOld, Control::Old},         {Control::LabelTimeStart, Control::TimeStart},
        {Control::LabelTimeEnd, Control::TimeEnd}, {Control::LabelDate, Control::Date},
        {Control::Label2, Control::TimeNow},       {Control::Label8, Control::VName},
        {Control::LabelBatt, Control::Ubat}};
    int previousRight = 8;
    for (const auto& [label, field] : labelled) {
        const QRect l = w(label)->geometry();
        EXPECT_LT(l.right(), w(field)->x()) << controlName(label);
        if (label != Control::LabelBatt) {
            EXPECT_GT(l.left(), previousRight) << controlName(label);
            previousRight = w(field)->geometry().right();
        }
    }
}

}  // namespace
}  // namespace npt::testing
