// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt_form_view.h"

#include <algorithm>

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include "app/ttm_form.h"
#include "app/window_layout.h"
#include "report/report_pdf.h"
#include "ui/analysis_dialog.h"
#include "ui/app_icon.h"
#include "ui/archive_window.h"
#include "ui/desk_help.h"
#include "ui/dialog_placement.h"
#include "ui/diameter_chart.h"
#include "ui/password_dialog.h"
#include "ui/shape_widget.h"
#include "ui/text_fit.h"
#include "ui/typing_limit.h"

namespace npt {

// Offers every key pressed in the window to FormKeyDown first, the window's keyboard shortcuts
// among them (a shortcut's key reaches the focused control only as a shortcut override, before
// the shortcut acts), and runs the age field's character filter and normalisation on Old and
// Tscan.
class WindowEvents : public QObject {
  public:
    WindowEvents(TTMForm& form, QtFormView& view) : form_(form), view_(view) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            form_.FormKeyDown();
        } else if (event->type() == QEvent::KeyPress) {
            form_.FormKeyDown();
            if (auto field = ageField(watched)) {
                return agePress(*field, static_cast<QKeyEvent*>(event));
            }
        } else if (event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (auto field = ageField(watched); field && !key->isAutoRepeat()) {
                form_.OldKeyUp(key->key() == Qt::Key_Backspace, *field);
            }
        }
        return false;
    }

  private:
    std::optional<Control> ageField(QObject* watched) const {
        for (Control c : {Control::Old, Control::Tscan}) {
            if (watched == view_.widget(c)) {
                return c;
            }
        }
        return std::nullopt;
    }

    // True when the key is used up here; false lets the field handle it as usual.
    bool agePress(Control field, QKeyEvent* key) {
        if (key->key() == Qt::Key_Backspace) {
            return true;  // the release deletes one character
        }
        // Delete comes with the character DEL on X11 and Wayland, yet it types nothing: the
        // field deletes as usual and the release normalises.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
            key->key() == Qt::Key_Delete) {
            return false;
        }
        const QList<uint> typed = key->text().toUcs4();
        if (typed.size() != 1) {
            return false;  // arrows, Delete, Home: no character
        }
        const auto accepted = form_.OldKeyPress(typed.front(), field);
        if (!accepted) {
            return true;
        }
        if (*accepted != typed.front()) {
            const char32_t c = *accepted;
            static_cast<QLineEdit*>(view_.widget(field))->insert(QString::fromUcs4(&c, 1));
            return true;
        }
        return false;
    }

    TTMForm& form_;
    QtFormView& view_;
};

namespace {

constexpr int kFontPixels = 11;        // 8 pt at 96 dpi
constexpr int kHeaderFontPixels = 13;  // 10 pt at 96 dpi
constexpr int kSmallestLinePixels = 10;

QString q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QColor toQColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

QRect placeRect(Control control) {
    const ControlPlace p = placeOf(control);
    return {p.left, p.top, p.width, p.height};
}

QFont sansFont(int pixels, bool condensed = false) {
    QFont font;
    if (condensed) {
        font.setStretch(QFont::SemiCondensed);
    }
    // The window was drawn for "MS Sans Serif"; where it is missing, the nearest sans serif with
    // Cyrillic letters at the same pixel size.
    font.setFamilies({"MS Sans Serif", "DejaVu Sans", "Liberation Sans", "Noto Sans", "FreeSans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

// The two-character number fields were drawn for ages and periods of two digits. An age of 100
// or more grows the age field to the right into the free end of the patient strip (up to the
// strip's edge); it goes back once the number is short again.
constexpr int kNumberFieldDigits = 2;
constexpr int kOldMostWidth =
    placeOf(Control::Shape1).left + placeOf(Control::Shape1).width - placeOf(Control::Old).left;

struct ButtonText {
    Control control;
    const char* caption;
    const char* hint;
};

const ButtonText kWindowButtons[] = {
    {Control::WriteData, "Запись", "Запись паспортных данных в датчик-регистратор"},
    {Control::PrintGraf, "Печать", "Печать графика с паспортной частью"},
    {Control::SaveFileData, "В файл", "Сброс данных в файл"},
    {Control::LoadFile, "Из файла", "Чтение данных из файла"},
    {Control::ReadData, "Чтение", "Чтение данных по радиоканалу из датчика-регистратора"},
    // In the free space under the chart: "Архив", then "Анализ" left of "Печать", at the
    // buttons' distance.
    {Control::ShowArchive, "Архив", "Архив пациентов: ночи, исследования, поиск"},
    {Control::ShowAnalysis, "Анализ",
     "Анализ ночи: эпизоды тумесценции, качество записи, параметры, отчёт"},
};

constexpr const char* kDemoChartSuffix = " (демонстрация, имитатор датчика)";

// The chart buttons: tab stops off. Hplus and Hminus sit inside the chart panel.
const ButtonText kChartButtons[] = {
    {Control::ZoomPlus, "+", "Увеличить масштаб по вертикали"},
    {Control::ZoomMinus, "-", "Уменьшить масштаб по вертикали"},
    {Control::ZoomReset, "0", "Возврат к исходному масштабу графика"},
    {Control::Filter_plus, "F+", "Увеличить сглаживание кривой"},
    {Control::Filter_minus, "F-", "Уменьшить сглаживание кривой"},
};
const ButtonText kChartPanelButtons[] = {
    {Control::Hplus, "+", "Увеличить масштаб по горизонтали"},
    {Control::Hminus, "-", "Уменьшить масштаб по горизонтали"},
};

struct FieldText {
    Control label;
    const char* caption;
    Control field;
    const char* hint;
    const char* mask;  // empty: a plain edit
    bool header;       // the patient strip's larger font
};

const FieldText kFields[] = {
    {Control::Label3, "Т,сек:", Control::Tscan, "Период считывания, сек.", "", true},
    {Control::LabelName, "ФИО:", Control::Name, "ФИО пациента", "", true},
    {Control::LabelOld, "Возраст:", Control::Old, "Возраст пациента", "", true},
    {Control::LabelTimeStart, "с:", Control::TimeStart, "Начало исследования", "09:99;_", true},
    {Control::LabelTimeEnd, "до:", Control::TimeEnd, "Окончание исследования", "09:99;_", true},
    {Control::LabelDate, "Дата:", Control::Date, "Дата исследования", "00.00.99;_", true},
    {Control::Label2, "Время:", Control::TimeNow, "Текущее вемя", "09:99;_", true},
    {Control::Label8, "Врач:", Control::VName, "ФИО врача", "", true},
    {Control::LabelBatt, "Uбат:", Control::Ubat, "Напряжение батареи датчика", "", false},
};

// Opens a save dialog on a proposed path: its folder, when it still exists, and its name.
void propose(QFileDialog& dialog, const std::string& proposed) {
    const QFileInfo path(q(proposed));
    if (path.dir().exists() && !path.path().isEmpty() && path.isAbsolute()) {
        dialog.setDirectory(path.dir());
    }
    dialog.selectFile(path.fileName());
}

// "В файл": a data file, a workbook or an EDF+ file. A name typed without an extension gets the one
// of the kind chosen in the dialog, also when the kind was changed after the name was typed.
class SaveDialog : public QFileDialog {
  public:
    explicit SaveDialog(QWidget* parent) : QFileDialog(parent) {
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        setNameFilters({dataFilter(), bookFilter(), edfFilter()});
        setDefaultSuffix("txt");
    }

    void accept() override {
        const QString kind = selectedNameFilter();
        setDefaultSuffix(kind == bookFilter() ? "xlsx" : kind == edfFilter() ? "edf" : "txt");
        QFileDialog::accept();
    }

  private:
    static QString dataFilter() { return QString::fromUtf8("Текст Юникод (*.txt)"); }
    static QString bookFilter() { return QString::fromUtf8("Книга Exel (*.xlsx)"); }
    static QString edfFilter() { return QString::fromUtf8("EDF+ (*.edf)"); }
};

}  // namespace

QtFormView::QtFormView() : window_(std::make_unique<QWidget>()) {
    QWidget* w = window_.get();
    w->setObjectName("TTMForm");
    w->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                      Qt::WindowCloseButtonHint);
    w->setWindowTitle(q(kWindowCaption));
    w->setWindowIcon(QIcon(appIcon(64)));
    w->setFixedSize(kClientWidth, kClientHeight);
    w->setFont(sansFont(kFontPixels));
    w->setAutoFillBackground(true);
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, toQColor(colours::kCream));
    w->setPalette(palette);
    // The window's own fields only: the password dialog, the file dialogs and the message boxes
    // are children of the window too, and keep their own look (the password field has no border).
    w->setStyleSheet(
        "QWidget#TTMForm > QLineEdit { border: 1px solid #8a8a8a; padding: 0px; "
        "background: white; }"
        "QWidget#TTMForm > QLineEdit:read-only { background: #fbfbfb; }"
        "QWidget#TTMForm > QLineEdit:disabled { background: #efefef; color: #555555; }");
    // Timer1 and Timer2 get their intervals with every start.
    buildControls();
    password_ = new PasswordDialog(w);
    password_->setFont(sansFont(kFontPixels));
    analysis_ = new AnalysisDialog(w);
}

QtFormView::~QtFormView() = default;

void QtFormView::add(Control control, QWidget* widget) {
    widget->setObjectName(q(controlName(control)));
    controls_[control] = widget;
}

void QtFormView::buildControls() {
    QWidget* w = window_.get();
    auto* shape1 = new ShapeWidget(toQColor(colours::kMoneyGreen), std::nullopt, w);
    shape1->setGeometry(placeRect(Control::Shape1));
    add(Control::Shape1, shape1);
    auto* shape2 = new ShapeWidget(toQColor(colours::kMoneyGreen), std::nullopt, w);
    shape2->setGeometry(placeRect(Control::Shape2));
    add(Control::Shape2, shape2);

    for (const FieldText& f : kFields) {
        auto* edit = new QLineEdit(w);
        const QRect rect = placeRect(f.field);
        edit->setGeometry(rect);
        edit->setToolTip(q(f.hint));
        if (*f.mask != '\0') {
            edit->setInputMask(f.mask);
        }
        add(f.field, edit);

        auto* label = new QLabel(q(f.caption), w);
        label->setFont(sansFont(f.header ? kHeaderFontPixels : kFontPixels));
        label->setToolTip(edit->toolTip());
        const int width = label->fontMetrics().horizontalAdvance(label->text()) + 2;
        label->setGeometry(rect.left() - 4 - width, rect.top(), width, rect.height());
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        add(f.label, label);
    }
    for (const FieldText& f : kFields) {
        auto* edit = static_cast<QLineEdit*>(widget(f.field));
        // The fields were sized for a narrower face than the sans serifs found on Linux: a
        // condensed cut one pixel smaller than the labels' keeps the usual texts at full size.
        TextFit fit{f.header ? sansFont(kHeaderFontPixels - 1, true)
                             : sansFont(kFontPixels + 1, true)};
        if (f.field == Control::Ubat) {
            fit.font.setBold(true);
        }
        if (f.field == Control::Old || f.field == Control::Tscan) {
            edit->setAlignment(Qt::AlignCenter);
        }
        if (f.field == Control::Old) {
            fit.drawnCharacters = kNumberFieldDigits;
            fit.widestWidth = kOldMostWidth;
        }
        keepTextWhole(edit, fit);
    }

    auto* image = new QLabel(w);
    image->setGeometry(placeRect(Control::Image1));
    image->setPixmap(appIcon(22));
    image->setScaledContents(true);
    add(Control::Image1, image);

    for (const ButtonText& b : kWindowButtons) {
        auto* button = new QPushButton(q(b.caption), w);
        button->setGeometry(placeRect(b.control));
        button->setToolTip(q(b.hint));
        add(b.control, button);
    }
    for (const ButtonText& b : kChartButtons) {
        auto* button = new QPushButton(q(b.caption), w);
        button->setGeometry(placeRect(b.control));
        button->setToolTip(q(b.hint));
        button->setFocusPolicy(Qt::ClickFocus);
        add(b.control, button);
    }

    // Its colour is the link's state, which the behaviour paints from the start.
    auto* indicator = new ShapeWidget(w->palette().color(QPalette::Window), QColor(Qt::white), w);
    indicator->setGeometry(placeRect(Control::OpenIndicator));
    add(Control::OpenIndicator, indicator);

    auto* analysisLine = new QLabel(w);
    analysisLine->setGeometry(placeRect(Control::LabelAnalysis));
    analysisLine->setFont(sansFont(kHeaderFontPixels));
    analysisLine->setWordWrap(true);
    analysisLine->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    analysisLine->setToolTip(
        QString::fromUtf8("Анализ ночи по диаметру; подробнее — кнопка «Анализ»"));
    add(Control::LabelAnalysis, analysisLine);
}

void QtFormView::attach(TTMForm& form) {
    form_ = &form;
    QWidget* w = window_.get();
    chart_ = new DiameterChart(form.chart(), w);
    chart_->setGeometry(placeRect(Control::ChartGraf));
    add(Control::ChartGraf, chart_);
    for (const ButtonText& b : kChartPanelButtons) {
        auto* button = new QPushButton(q(b.caption), chart_);
        button->setGeometry(placeRect(b.control));
        button->setToolTip(q(b.hint));
        button->setFocusPolicy(Qt::ClickFocus);
        add(b.control, button);
    }
    sendChartToBack();
    chart_->setOnZoomed([w] { w->update(); });

    auto click = [this, w](Control control, auto handler) {
        QObject::connect(static_cast<QPushButton*>(widget(control)), &QPushButton::clicked, w,
                         handler);
    };
    click(Control::ZoomPlus, [&form] { form.ZoomPlusClick(); });
    click(Control::ZoomMinus, [&form] { form.ZoomMinusClick(); });
    click(Control::Hplus, [&form] { form.HplusClick(); });
    click(Control::Hminus, [&form] { form.HMinusClick(); });
    click(Control::ZoomReset, [&form] { form.ZoomResetClick(); });
    click(Control::Filter_plus, [&form] { form.Filter_plusClick(); });
    click(Control::Filter_minus, [&form] { form.Filter_minusClick(); });
    click(Control::LoadFile, [&form] { form.LoadFileClick(); });
    click(Control::SaveFileData, [&form] { form.SaveFileDataClick(); });
    click(Control::PrintGraf, [&form] { form.PrintGrafClick(); });
    click(Control::ShowAnalysis, [&form] { form.ShowAnalysisClick(); });
    click(Control::ShowArchive, [&form] { form.ShowArchiveClick(); });
    analysis_->onParametersChanged = [&form](const AnalysisParameters& parameters) {
        return form.setAnalysisParameters(parameters);
    };
    analysis_->onSaveReport = [&form] { form.SaveReportClick(); };
    analysis_->onReview = [&form](const ReviewStep& step) { return form.ReviewEpisode(step); };
    analysis_->onEpisodeSelected = [&form](std::optional<std::pair<int, int>> bounds) {
        form.SelectEpisode(bounds);
    };
    // What the chart shows, as seconds from the night's first sample.
    analysis_->visibleStretch = [this, &form]() -> std::pair<int, int> {
        const auto& night = form.state().nightAnalysis;
        const int start = night ? night->startSeconds : 0;
        const auto offset = [start](double days) {
            return static_cast<int>(std::lround(days * 86400.0)) - start;
        };
        const int end = night ? static_cast<int>(night->samples.size()) * night->periodSeconds : 0;
        return {std::clamp(offset(chart_->timeScale().min), 0, end),
                std::clamp(offset(chart_->timeScale().max), 0, end)};
    };
    click(Control::ReadData, [&form] { form.ReadDataClick(); });
    click(Control::WriteData, [&form] { form.WriteDataClick(); });
    QObject::connect(&timer1_, &QTimer::timeout, w, [&form] { form.Timer1Timer(); });
    QObject::connect(&timer2_, &QTimer::timeout, w, [&form] { form.Timer2Timer(); });

    addShortcuts();

    events_ = new WindowEvents(form, *this);
    events_->setParent(w);
    w->installEventFilter(events_);
    for (QWidget* child : w->findChildren<QWidget*>()) {
        // The window's own controls; the password dialog is a window of its own.
        if (child->window() == w) {
            child->installEventFilter(events_);
        }
    }
}

void QtFormView::addShortcuts() {
    QWidget* w = window_.get();
    // The file and print keys act as their buttons, except while the recorder's memory is
    // coming in (from its answer to the completion check a second later): the key has reset the
    // read's block counter as every key does, and the image is being refilled, so a save or a
    // print would hold parts of two nights and a load would end the read. The window beeps.
    const auto buttonKey = [this, w](QKeyCombination keys, Control control) {
        auto* shortcut = new QShortcut(QKeySequence(keys), w);
        QObject::connect(shortcut, &QShortcut::activated, w, [this, control] {
            if (timer2_.isActive()) {
                QApplication::beep();
                return;
            }
            static_cast<QPushButton*>(widget(control))->click();
        });
    };
    buttonKey(Qt::CTRL | Qt::Key_O, Control::LoadFile);
    buttonKey(Qt::CTRL | Qt::Key_S, Control::SaveFileData);
    buttonKey(Qt::CTRL | Qt::Key_P, Control::PrintGraf);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), w);
    QObject::connect(help, &QShortcut::activated, w, [this] { showHelp(); });
}

void QtFormView::showHelp() {
    QMessageBox box(QMessageBox::Information, q(kHelpTitle), q(deskHelpText()), QMessageBox::Ok,
                    window_.get());
    box.setIconPixmap(appIcon(64));
    box.exec();
}

QWidget* QtFormView::widget(Control control) const {
    const auto found = controls_.find(control);
    return found == controls_.end() ? nullptr : found->second;
}

std::string QtFormView::text(Control control) const {
    QWidget* w = widget(control);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        return edit->text().toStdString();
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
        return label->text().toStdString();
    }
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        return button->text().toStdString();
    }
    return {};
}

void QtFormView::setText(Control control, std::string_view text) {
    QWidget* w = widget(control);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        if (auto limit = typingLimits_.find(control); limit != typingLimits_.end()) {
            limit->second->allow(q(text));
        }
        edit->setText(q(text));
        // The start of a long text shows, as after typing it and going Home.
        edit->setCursorPosition(0);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(q(text));
        if (control == Control::LabelAnalysis) {
            // The line's two rows end at the archive's button: a longer summary is drawn a
            // pixel or more smaller, down to a legible size, rather than cut.
            QFont font = sansFont(kHeaderFontPixels);
            label->setFont(font);
            while (font.pixelSize() > kSmallestLinePixels &&
                   label->heightForWidth(label->width()) > label->height()) {
                font.setPixelSize(font.pixelSize() - 1);
                label->setFont(font);
            }
        }
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
        button->setText(q(text));
    }
}

std::size_t QtFormView::caret(Control control) const {
    if (auto* edit = qobject_cast<QLineEdit*>(widget(control))) {
        // Characters, not UTF-16 units: count the code points before the cursor.
        return static_cast<std::size_t>(edit->text().left(edit->cursorPosition()).toUcs4().size());
    }
    return 0;
}

void QtFormView::setCaret(Control control, std::size_t position) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget(control))) {
        const QList<uint> chars = edit->text().toUcs4();
        const auto n = std::min<qsizetype>(static_cast<qsizetype>(position), chars.size());
        edit->setCursorPosition(static_cast<int>(
            QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.data()), n).size()));
    }
}

void QtFormView::setMaxLength(Control control, int characters) {
    // A limit on typing only: what the program sets (an age of 100, say) is shown whole.
    auto* edit = qobject_cast<QLineEdit*>(widget(control));
    if (edit == nullptr) {
        return;
    }
    if (auto found = typingLimits_.find(control); found != typingLimits_.end()) {
        found->second->setLimit(characters);
        return;
    }
    auto* limit = new TypingLimit(characters, edit);
    edit->setValidator(limit);
    typingLimits_[control] = limit;
}

int QtFormView::typingLimit(Control control) const {
    const auto found = typingLimits_.find(control);
    return found == typingLimits_.end() ? -1 : found->second->limit();
}

void QtFormView::setVisible(Control control, bool visible) {
    if (QWidget* w = widget(control)) {
        w->setVisible(visible);
    }
}

bool QtFormView::visible(Control control) const {
    // The control's own state, also while the window itself is not on screen.
    QWidget* w = widget(control);
    return w != nullptr && !w->isHidden();
}

void QtFormView::setEnabled(Control control, bool enabled) {
    if (QWidget* w = widget(control)) {
        w->setEnabled(enabled);
    }
}

void QtFormView::setReadOnly(Control control, bool readOnly) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget(control))) {
        edit->setReadOnly(readOnly);
    }
}

void QtFormView::setColour(Control control, std::optional<Rgb> colour) {
    QWidget* w = widget(control);
    if (auto* shape = dynamic_cast<ShapeWidget*>(w)) {
        shape->setFill(colour ? toQColor(*colour) : w->palette().color(QPalette::Window));
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setStyleSheet(colour ? QString("QLineEdit { background: rgb(%1, %2, %3); }")
                                         .arg(colour->r)
                                         .arg(colour->g)
                                         .arg(colour->b)
                                   : QString());
    }
}

void QtFormView::setTop(Control control, int top) {
    if (QWidget* w = widget(control)) {
        w->move(w->x(), top);
    }
}

void QtFormView::setHeight(Control control, int height) {
    if (QWidget* w = widget(control)) {
        w->resize(w->width(), height);
    }
}

void QtFormView::setFocus(Control control) {
    if (QWidget* w = widget(control)) {
        w->setFocus();
    }
}

MessageAnswer QtFormView::messageBox(std::string_view title, std::string_view text,
                                     MessageIcon icon, MessageButtons buttons) {
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
        case MessageIcon::Information:
            qicon = QMessageBox::Information;
            break;
        case MessageIcon::Warning:
            qicon = QMessageBox::Warning;
            break;
        case MessageIcon::Error:
            qicon = QMessageBox::Critical;
            break;
        case MessageIcon::None:
            break;
    }
    const bool yesNo = buttons == MessageButtons::YesNo;
    QMessageBox box(qicon, q(title), q(text),
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, window_.get());
    const int answer = box.exec();
    if (!yesNo) {
        return MessageAnswer::Ok;
    }
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

std::optional<std::string> QtFormView::askPassword() {
    const bool storing = form_ != nullptr && form_->state().password.mode == PasswordMode::Store;
    return password_->ask(storing ? PasswordDialog::Purpose::Store
                                  : PasswordDialog::Purpose::Check);
}

std::optional<std::string> QtFormView::chooseSaveFile(const std::string& proposed) {
    SaveDialog dialog(window_.get());
    propose(dialog, proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> QtFormView::chooseOpenFile(const std::string& folder) {
    QFileDialog dialog(window_.get());
    if (!folder.empty() && QFileInfo(q(folder)).isDir()) {
        dialog.setDirectory(q(folder));
    }
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromUtf8("текстовые(*.txt)"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front().toStdString();
}

void QtFormView::startTimer(TimerId id, int intervalMs) {
    timer(id).start(intervalMs);
}
void QtFormView::stopTimer(TimerId id) {
    timer(id).stop();
}
bool QtFormView::timerRunning(TimerId id) const {
    return timer(id).isActive();
}

void QtFormView::beep() {
    QApplication::beep();
}

void QtFormView::repaint() {
    if (chart_ != nullptr) {
        chart_->redraw();
    }
    window_->update();
}

void QtFormView::chartChanged() {
    if (chart_ != nullptr) {
        chart_->redraw();
    }
}

void QtFormView::sendChartToBack() {
    if (chart_ != nullptr) {
        chart_->lower();
    }
}

void QtFormView::showAnalysis(const AnalysisDisplay& analysis) {
    setText(Control::LabelAnalysis, analysis.summaryLine);
    if (chart_ != nullptr) {
        // The chart's title goes on paper: a printout of the demonstration night says what it
        // is, one of a patient's night never does, whatever recorder the window was started with.
        chart_->setTitle(q(kChartTitle) +
                         (analysis.demonstration ? q(kDemoChartSuffix) : QString()));
        chart_->setEpisodeBands(analysis.episodes);
        chart_->setUnusableBands(analysis.unusable);
        chart_->setBaseline(analysis.baseline);
    }
    analysis_->display(analysis);
}

void QtFormView::highlightEpisode(std::optional<TimeSpan> span) {
    chart_->setHighlight(span);
}

void QtFormView::openAnalysisDialog() {
    if (!analysis_->isVisible()) {
        placeBeside(*analysis_);
    }
    analysis_->show();
    analysis_->raise();
    analysis_->activateWindow();
}

void QtFormView::openArchiveWindow() {
    if (filing_ == nullptr) {
        return;
    }
    if (archiveWindow_ == nullptr) {
        archiveWindow_ = new ArchiveWindow(*filing_, window_.get());
        archiveWindow_->onOpenNight = [this](archive::Id night) {
            return form_ != nullptr && form_->openArchivedNight(night);
        };
        archiveWindow_->doctorName = [this] {
            const std::string doctor = text(Control::VName);
            return doctor == kDefaultDoctorName ? std::string() : doctor;
        };
    }
    if (archiveWindow_->isVisible()) {
        archiveWindow_->refresh();
    } else {
        placeBeside(*archiveWindow_);
    }
    archiveWindow_->show();
    archiveWindow_->raise();
    archiveWindow_->activateWindow();
}

void QtFormView::placeBeside(QWidget& dialog) {
    QWidget* w = window_.get();
    QScreen* screen = w->screen();
    if (screen == nullptr || chart_ == nullptr) {
        return;
    }
    // The dialog's title bar and border as the main window's, which the window manager drew
    // already (none before the window is shown).
    const QRect frame = w->frameGeometry();
    const QRect inner = w->geometry();
    const QMargins decoration(inner.left() - frame.left(), inner.top() - frame.top(),
                              frame.right() - inner.right(), frame.bottom() - inner.bottom());
    const QRect placed = placeBesideWindow(
        {screen->availableGeometry(), frame,
         QRect(chart_->mapToGlobal(QPoint(0, 0)), chart_->size()),
         dialog.size().grownBy(decoration), dialog.minimumSizeHint().grownBy(decoration)});
    dialog.resize(placed.size().shrunkBy(decoration));
    dialog.move(placed.topLeft());
}

std::optional<std::string> QtFormView::chooseReportFile(const std::string& proposed) {
    QWidget* over = analysis_->isVisible() ? static_cast<QWidget*>(analysis_) : window_.get();
    QFileDialog dialog(over);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QString::fromUtf8("Отчёт PDF (*.pdf)"));
    dialog.setDefaultSuffix("pdf");
    propose(dialog, proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front().toStdString();
}

void QtFormView::writeReport(const std::string& path, const NightReport& report) {
    writeReportPdf(path, report);
}

}  // namespace npt
