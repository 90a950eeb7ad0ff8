// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/archive_window.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <iterator>

#include "archive/archived_edf.h"
#include "os/file_name.h"
#include "ui/study_window.h"

namespace npt {

namespace {

constexpr const char* kTitle = "Архив пациентов";
constexpr int kFontPixels = 13;
constexpr int kNightRole = Qt::UserRole;
constexpr int kStudyRole = Qt::UserRole + 1;

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string s(const QString& text) {
    return text.toStdString();
}

QPushButton* button(const char* caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(name);
    // Enter in the search field or a list presses nothing.
    b->setAutoDefault(false);
    return b;
}

QTreeWidget* tree(const char* name, const QStringList& headers, QWidget* parent) {
    auto* t = new QTreeWidget(parent);
    t->setObjectName(name);
    t->setHeaderLabels(headers);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setUniformRowHeights(true);
    t->setAllColumnsShowFocus(true);
    return t;
}

const char* const kPatientColumns[] = {"ФИО", "Возраст", "Номер", "Ночей", "Последняя ночь"};
constexpr int kPatientColumnCount = static_cast<int>(std::size(kPatientColumns));

// The columns after the first as wide as their header or the widest sample text, the first
// taking the rest: measured once, not over thousands of rows at every keystroke.
void fitColumns(QTreeView* t, const QStringList& samples) {
    QHeaderView* header = t->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    const QFontMetrics metrics(t->font());
    for (int c = 1; c < kPatientColumnCount; ++c) {
        const QString sample = c - 1 < samples.size() ? samples[c - 1] : QString();
        const int text = std::max(metrics.horizontalAdvance(QString::fromUtf8(kPatientColumns[c])),
                                  metrics.horizontalAdvance(sample));
        header->setSectionResizeMode(c, QHeaderView::Interactive);
        header->resizeSection(c, text + 3 * metrics.averageCharWidth());
    }
}

// "Перенести…": another patient of the archive (found by a search of its own), and one of that
// patient's studies or the one the night's date continues; or a new patient by name.
class MoveDialog : public QDialog {
  public:
    MoveDialog(ArchiveBrowser& browser, const NightLine& night, const PatientLine& from,
               QWidget* parent)
        : QDialog(parent), browser_(browser), night_(night.night) {
        setObjectName("MoveDialog");
        setWindowTitle(QString::fromUtf8("Перенос ночи"));
        auto* heading =
            new QLabel(q("Ночь " + night.date + " " + night.start + " — " +
                         (from.patient ? from.name : std::string("пациент не опознан"))),
                       this);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        toListed_ = new QRadioButton(QString::fromUtf8("Пациенту из архива:"), this);
        toListed_->setObjectName("ToListedPatient");
        search_ = new QLineEdit(this);
        search_->setObjectName("MoveSearch");
        search_->setPlaceholderText(QString::fromUtf8("поиск: ФИО, номер или дата"));
        search_->setClearButtonEnabled(true);
        list_ = new QListWidget(this);
        list_->setObjectName("MovePatients");
        study_ = new QComboBox(this);
        study_->setObjectName("MoveStudy");
        toNew_ = new QRadioButton(QString::fromUtf8("Новому пациенту, ФИО:"), this);
        toNew_->setObjectName("ToNewPatient");
        name_ = new QLineEdit(this);
        name_->setObjectName("NewPatientName");
        auto* buttons = new QDialogButtonBox(this);
        buttons->addButton(QString::fromUtf8("Перенести"), QDialogButtonBox::AcceptRole)
            ->setObjectName("MoveAccept");
        buttons->addButton(QString::fromUtf8("Отмена"), QDialogButtonBox::RejectRole);

        auto* studyRow = new QHBoxLayout();
        studyRow->addWidget(new QLabel(QString::fromUtf8("Исследование:"), this));
        studyRow->addWidget(study_, 1);
        auto* newRow = new QHBoxLayout();
        newRow->addWidget(toNew_);
        newRow->addWidget(name_, 1);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(heading);
        layout->addWidget(toListed_);
        layout->addWidget(search_);
        layout->addWidget(list_, 1);
        layout->addLayout(studyRow);
        layout->addSpacing(8);
        layout->addLayout(newRow);
        layout->addWidget(buttons);
        resize(520, 480);

        QObject::connect(search_, &QLineEdit::textChanged, this, [this] { listPatients({}); });
        QObject::connect(list_, &QListWidget::currentRowChanged, this, [this] {
            toListed_->setChecked(true);
            listStudies();
        });
        QObject::connect(name_, &QLineEdit::textEdited, this, [this] { toNew_->setChecked(true); });
        QObject::connect(buttons, &QDialogButtonBox::accepted, this, &MoveDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, this, &MoveDialog::reject);
        toListed_->setChecked(true);
        listPatients(from.patient);
    }

    void accept() override {
        MoveTarget target;
        if (toListed_->isChecked()) {
            const int row = list_->currentRow();
            if (row >= 0 && static_cast<std::size_t>(row) < candidates_.size()) {
                target.patient = candidates_[static_cast<std::size_t>(row)].patient;
            }
            if (const QVariant study = study_->currentData(); study.isValid()) {
                target.study = study.toLongLong();
            }
        } else {
            target.newPatientName = s(name_->text());
        }
        if (const auto refused = browser_.moveNight(night_, target)) {
            QMessageBox::warning(this, windowTitle(), q(*refused));
            return;
        }
        QDialog::accept();
    }

  private:
    void listPatients(std::optional<archive::Id> chosen) {
        const QSignalBlocker blocker(list_);
        list_->clear();
        candidates_.clear();
        const auto found = browser_.patients(s(search_->text()));
        for (const PatientLine& p : found.value_or(std::vector<PatientLine>{})) {
            if (!p.patient) {
                continue;  // the unidentified nights are no patient to move to
            }
            std::string text = p.name;
            if (!p.number.empty()) {
                text += ", № " + p.number;
            }
            if (!p.lastDate.empty()) {
                text += ", последняя ночь " + p.lastDate;
            }
            list_->addItem(q(text));
            if (chosen == p.patient) {
                list_->setCurrentRow(list_->count() - 1);
            }
            candidates_.push_back(p);
        }
        listStudies();
    }

    void listStudies() {
        study_->clear();
        study_->addItem(QString::fromUtf8("по дате ночи (продолжает исследование или новое)"));
        const int row = list_->currentRow();
        if (row < 0 || static_cast<std::size_t>(row) >= candidates_.size()) {
            return;
        }
        const auto studies =
            browser_.studyChoices(*candidates_[static_cast<std::size_t>(row)].patient);
        for (const StudyLines& st : studies.value_or(std::vector<StudyLines>{})) {
            study_->addItem(q(st.title), QVariant::fromValue<qlonglong>(*st.study));
        }
    }

    ArchiveBrowser& browser_;
    archive::Id night_;
    std::vector<PatientLine> candidates_;
    QRadioButton* toListed_;
    QRadioButton* toNew_;
    QLineEdit* search_;
    QListWidget* list_;
    QComboBox* study_;
    QLineEdit* name_;
};

// "Данные пациента…": the patient's number and year of birth.
class PatientDialog : public QDialog {
  public:
    PatientDialog(ArchiveBrowser& browser, const PatientLine& patient, QWidget* parent)
        : QDialog(parent), browser_(browser), patient_(*patient.patient) {
        setObjectName("PatientDialog");
        setWindowTitle(QString::fromUtf8("Данные пациента"));
        auto* heading = new QLabel(q(patient.name), this);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        number_ = new QLineEdit(q(patient.number), this);
        number_->setObjectName("PatientNumber");
        birthYear_ = new QLineEdit(q(patient.birthYear), this);
        birthYear_->setObjectName("BirthYear");
        birthYear_->setMaxLength(4);
        birthYear_->setPlaceholderText(QString::fromUtf8("например, 1961"));
        auto* buttons = new QDialogButtonBox(this);
        buttons->addButton(QString::fromUtf8("Сохранить"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QString::fromUtf8("Отмена"), QDialogButtonBox::RejectRole);
        auto* form = new QFormLayout();
        form->addRow(QString::fromUtf8("Номер пациента:"), number_);
        form->addRow(QString::fromUtf8("Год рождения:"), birthYear_);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(heading);
        layout->addLayout(form);
        layout->addWidget(buttons);
        QObject::connect(buttons, &QDialogButtonBox::accepted, this, &PatientDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, this, &PatientDialog::reject);
        resize(380, sizeHint().height());
    }

    void accept() override {
        if (const auto refused =
                browser_.setPatientDetails(patient_, s(number_->text()), s(birthYear_->text()))) {
            QMessageBox::warning(this, windowTitle(), q(*refused));
            return;
        }
        QDialog::accept();
    }

  private:
    ArchiveBrowser& browser_;
    archive::Id patient_;
    QLineEdit* number_;
    QLineEdit* birthYear_;
};

}  // namespace

// The patients found, as the list shows them: its rows are asked for only as they come into
// view, so that a search that finds thousands costs the list no more than one that finds few.
class PatientsModel : public QAbstractTableModel {
  public:
    explicit PatientsModel(QObject* parent) : QAbstractTableModel(parent) {}

    const std::vector<PatientLine>& lines() const { return lines_; }
    void show(std::vector<PatientLine> lines) {
        beginResetModel();
        lines_ = std::move(lines);
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(lines_.size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : kPatientColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || static_cast<std::size_t>(index.row()) >= lines_.size()) {
            return {};
        }
        const PatientLine& p = lines_[static_cast<std::size_t>(index.row())];
        if (role == Qt::FontRole && index.column() == 0 && !p.patient) {
            QFont italic;
            italic.setItalic(true);
            return italic;
        }
        if (role != Qt::DisplayRole) {
            return {};
        }
        switch (index.column()) {
            case 0:
                return q(p.name);
            case 1:
                return q(p.age);
            case 2:
                return q(p.number);
            case 3:
                return q(p.nights);
            default:
                return q(p.lastDate);
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= kPatientColumnCount) {
            return {};
        }
        return QString::fromUtf8(kPatientColumns[section]);
    }

  private:
    std::vector<PatientLine> lines_;
};

ArchiveWindow::ArchiveWindow(NightFiling& filing, QWidget* parent)
    : QDialog(parent), browser_(filing), filing_(filing) {
    setObjectName("ArchiveWindow");
    setWindowTitle(QString::fromUtf8(kTitle));
    setModal(false);
    QFont base = font();
    base.setPixelSize(kFontPixels);
    setFont(base);
    resize(820, 620);
    setMinimumSize(640, 480);

    search_ = new QLineEdit(this);
    search_->setObjectName("Search");
    search_->setPlaceholderText(QString::fromUtf8("ФИО, номер пациента или дата ночи (дд.ММ.гг)"));
    search_->setClearButtonEnabled(true);
    refresh_ = button("Обновить", "Refresh", this);
    import_ = button("Импорт папки…", "ImportFolder", this);
    import_->setToolTip(
        QString::fromUtf8("Все записи (файлы .txt) из папки и её подпапок — в архив"));

    patientsModel_ = new PatientsModel(this);
    patients_ = new QTreeView(this);
    patients_->setObjectName("Patients");
    patients_->setModel(patientsModel_);
    patients_->setRootIsDecorated(false);
    patients_->setSelectionMode(QAbstractItemView::SingleSelection);
    patients_->setSelectionBehavior(QAbstractItemView::SelectRows);
    patients_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    patients_->setUniformRowHeights(true);
    patients_->setAllColumnsShowFocus(true);
    fitColumns(patients_, {"000", "00000000", "000", "00.00.00"});
    // The source last: the file's name may be long, and it matters least.
    nights_ = tree("Nights",
                   {QString::fromUtf8("Дата"), QString::fromUtf8("Начало"),
                    QString::fromUtf8("Период"), QString::fromUtf8("Эпизодов"),
                    QString::fromUtf8("Тумесценция, всего"), QString::fromUtf8("Источник")},
                   this);
    nights_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    nights_->header()->setStretchLastSection(true);

    open_ = button("Открыть", "OpenNight", this);
    open_->setToolTip(QString::fromUtf8("Открыть ночь в главном окне (или двойной щелчок)"));
    move_ = button("Перенести…", "MoveNight", this);
    move_->setToolTip(
        QString::fromUtf8("Перенести ночь другому пациенту или в другое исследование"));
    delete_ = button("Удалить", "DeleteNight", this);
    study_ = button("Исследование…", "OpenStudy", this);
    study_->setToolTip(QString::fromUtf8(
        "Ночи исследования рядом на одной оси времени, лучшая ночь, заключение и отчёт"));
    edf_ = button("В EDF+…", "ExportEdf", this);
    edf_->setToolTip(QString::fromUtf8(
        "Ночь или все ночи исследования — в файлы EDF+ с эпизодами как аннотациями"));
    auto* edfMenu = new QMenu(edf_);
    edfNight_ = edfMenu->addAction(QString::fromUtf8("Ночь…"));
    edfStudy_ = edfMenu->addAction(QString::fromUtf8("Все ночи исследования…"));
    edf_->setMenu(edfMenu);
    details_ = button("Данные пациента…", "PatientDetails", this);
    details_->setToolTip(QString::fromUtf8("Номер пациента и год рождения"));

    // The patients over the selected one's nights, each list the window's whole width.
    auto* upper = new QWidget(this);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    auto* patientsRow = new QHBoxLayout();
    patientsRow->addWidget(new QLabel(QString::fromUtf8("Пациенты"), upper), 1);
    patientsRow->addWidget(details_);
    upperLayout->addLayout(patientsRow);
    upperLayout->addWidget(patients_, 1);
    auto* lower = new QWidget(this);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(new QLabel(QString::fromUtf8("Исследования и ночи пациента"), lower));
    lowerLayout->addWidget(nights_, 1);
    auto* nightButtons = new QHBoxLayout();
    nightButtons->addWidget(open_);
    nightButtons->addWidget(study_);
    nightButtons->addWidget(move_);
    nightButtons->addWidget(edf_);
    nightButtons->addStretch(1);
    nightButtons->addWidget(delete_);
    lowerLayout->addLayout(nightButtons);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(upper);
    splitter->addWidget(lower);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({260, 300});

    failure_ = new QLabel(this);
    failure_->setObjectName("Failure");
    failure_->setWordWrap(true);
    failure_->setAlignment(Qt::AlignCenter);
    failure_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    failure_->setMargin(24);
    pages_ = new QStackedWidget(this);
    pages_->addWidget(splitter);
    pages_->addWidget(failure_);

    auto* top = new QHBoxLayout();
    top->addWidget(new QLabel(QString::fromUtf8("Поиск:"), this));
    top->addWidget(search_, 1);
    top->addWidget(refresh_);
    top->addWidget(import_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(pages_, 1);

    QObject::connect(search_, &QLineEdit::textChanged, this, [this] { showPatients(false); });
    QObject::connect(refresh_, &QPushButton::clicked, this, [this] {
        browser_.reconnect();
        refresh();
    });
    QObject::connect(import_, &QPushButton::clicked, this, &ArchiveWindow::importFolder);
    QObject::connect(patients_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                     [this] { showNights(); });
    QObject::connect(nights_, &QTreeWidget::itemSelectionChanged, this,
                     &ArchiveWindow::followSelection);
    QObject::connect(nights_, &QTreeWidget::itemDoubleClicked, this, [this] { openNight(); });
    QObject::connect(open_, &QPushButton::clicked, this, &ArchiveWindow::openNight);
    QObject::connect(study_, &QPushButton::clicked, this, &ArchiveWindow::openStudy);
    QObject::connect(move_, &QPushButton::clicked, this, &ArchiveWindow::moveNight);
    QObject::connect(delete_, &QPushButton::clicked, this, &ArchiveWindow::deleteNight);
    QObject::connect(details_, &QPushButton::clicked, this, &ArchiveWindow::editPatient);
    QObject::connect(edfNight_, &QAction::triggered, this, &ArchiveWindow::exportNightEdf);
    QObject::connect(edfStudy_, &QAction::triggered, this, &ArchiveWindow::exportStudyEdf);
    followSelection();
}

void ArchiveWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    refresh();
}

void ArchiveWindow::refresh() {
    // The night selected is found again by its id: the lists are made anew.
    const NightLine* night = selectedNight();
    const std::optional<archive::Id> kept =
        night != nullptr ? std::optional(night->night) : std::nullopt;
    showPatients(true);
    if (kept) {
        for (QTreeWidgetItemIterator it(nights_); *it != nullptr; ++it) {
            if ((*it)->data(0, kStudyRole).isValid() &&
                (*it)->data(0, kNightRole).toLongLong() == *kept) {
                nights_->setCurrentItem(*it);
                break;
            }
        }
    }
}

void ArchiveWindow::showPatients(bool nightsAnew) {
    // The patient selected, the unidentified nights' entry being one without an id.
    std::optional<std::optional<archive::Id>> kept;
    if (const PatientLine* selected = selectedPatient()) {
        kept.emplace(selected->patient);
    }
    auto lines = browser_.patients(s(search_->text()));
    if (!lines) {
        showFailure(browser_.failure().value_or(""));
        return;
    }
    pages_->setCurrentIndex(0);
    search_->setEnabled(true);
    import_->setEnabled(true);
    bool keptListed = false;
    {
        const QSignalBlocker blocker(patients_->selectionModel());
        patientsModel_->show(std::move(*lines));
        const auto& shown = patientsModel_->lines();
        for (std::size_t row = 0; kept && row < shown.size(); ++row) {
            if (shown[row].patient == *kept) {
                patients_->setCurrentIndex(patientsModel_->index(static_cast<int>(row), 0));
                keptListed = true;
                break;
            }
        }
    }
    // While the search is typed, the nights shown stay as long as their patient is found; the
    // unidentified ones follow the search.
    if (nightsAnew || !keptListed || !*kept) {
        showNights();
    }
}

void ArchiveWindow::showNights() {
    const QSignalBlocker blocker(nights_);
    nights_->clear();
    studyLines_.clear();
    if (const PatientLine* patient = selectedPatient()) {
        auto studies = browser_.studies(*patient);
        if (!studies) {
            showFailure(browser_.failure().value_or(""));
            return;
        }
        studyLines_ = std::move(*studies);
    }
    QFont bold = nights_->font();
    bold.setBold(true);
    for (std::size_t st = 0; st < studyLines_.size(); ++st) {
        auto* study = new QTreeWidgetItem(nights_, {q(studyLines_[st].title)});
        study->setFont(0, bold);
        study->setFirstColumnSpanned(true);
        study->setFlags(Qt::ItemIsEnabled);
        for (std::size_t n = 0; n < studyLines_[st].nights.size(); ++n) {
            const NightLine& night = studyLines_[st].nights[n];
            auto* item = new QTreeWidgetItem(
                study, {q(night.date), q(night.start), q(night.period), q(night.episodes),
                        q(night.tumescence), q(night.source)});
            item->setData(0, kNightRole, QVariant::fromValue<qlonglong>(night.night));
            item->setData(0, kStudyRole, QVariant::fromValue<qulonglong>(st));
            item->setData(1, kNightRole, QVariant::fromValue<qulonglong>(n));
        }
        study->setExpanded(true);
    }
    followSelection();
}

void ArchiveWindow::showFailure(const std::string& text) {
    studyLines_.clear();
    {
        const QSignalBlocker patientsBlocked(patients_->selectionModel());
        const QSignalBlocker nightsBlocked(nights_);
        patientsModel_->show({});
        nights_->clear();
    }
    failure_->setText(
        q("Архив пациентов недоступен.\n\n" + text +
          "\n\nГлавное окно работает и без архива. Когда причина устранена, нажмите «Обновить»."));
    pages_->setCurrentIndex(1);
    search_->setEnabled(false);
    import_->setEnabled(false);
    followSelection();
}

void ArchiveWindow::followSelection() {
    const bool night = selectedNight() != nullptr;
    open_->setEnabled(night);
    study_->setEnabled(night && selectedStudy().has_value());
    move_->setEnabled(night);
    edf_->setEnabled(night);
    edfStudy_->setEnabled(night && selectedStudy().has_value());
    delete_->setEnabled(night);
    const PatientLine* patient = selectedPatient();
    details_->setEnabled(patient != nullptr && patient->patient);
}

const PatientLine* ArchiveWindow::selectedPatient() const {
    const auto selected = patients_->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        return nullptr;
    }
    const auto row = static_cast<std::size_t>(selected.front().row());
    const auto& lines = patientsModel_->lines();
    return row < lines.size() ? &lines[row] : nullptr;
}

const NightLine* ArchiveWindow::selectedNight() const {
    const auto selected = nights_->selectedItems();
    if (selected.isEmpty() || !selected.front()->data(0, kStudyRole).isValid()) {
        return nullptr;
    }
    const auto st = selected.front()->data(0, kStudyRole).toULongLong();
    const auto n = selected.front()->data(1, kNightRole).toULongLong();
    if (st >= studyLines_.size() || n >= studyLines_[st].nights.size()) {
        return nullptr;
    }
    return &studyLines_[st].nights[n];
}

std::optional<archive::Id> ArchiveWindow::selectedStudy() const {
    const auto selected = nights_->selectedItems();
    if (selected.isEmpty() || !selected.front()->data(0, kStudyRole).isValid()) {
        return std::nullopt;
    }
    const auto st = selected.front()->data(0, kStudyRole).toULongLong();
    return st < studyLines_.size() ? studyLines_[st].study : std::nullopt;
}

void ArchiveWindow::openStudy() {
    const auto study = selectedStudy();
    if (!study) {
        return;
    }
    try {
        auto* window =
            new StudyWindow(this, filing_, *study, doctorName ? doctorName() : std::string());
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->onOpenNight = [this](archive::Id night) {
            if (onOpenNight) {
                onOpenNight(night);
            }
        };
        window->show();
    } catch (const archive::ArchiveError& e) {
        warn(e.what());
    }
}

void ArchiveWindow::warn(const std::string& text) {
    QMessageBox::warning(this, QString::fromUtf8(kTitle), q(text));
}

void ArchiveWindow::openNight() {
    const NightLine* night = selectedNight();
    if (night == nullptr || !onOpenNight) {
        return;
    }
    if (onOpenNight(night->night) && parentWidget() != nullptr) {
        parentWidget()->raise();
        parentWidget()->activateWindow();
    }
    // A password given for an unidentified night has given it its patient.
    refresh();
}

void ArchiveWindow::moveNight() {
    const NightLine* night = selectedNight();
    const PatientLine* patient = selectedPatient();
    if (night == nullptr || patient == nullptr) {
        return;
    }
    MoveDialog dialog(browser_, *night, *patient, this);
    if (dialog.exec() == QDialog::Accepted) {
        refresh();
    }
}

void ArchiveWindow::deleteNight() {
    const NightLine* night = selectedNight();
    const PatientLine* patient = selectedPatient();
    if (night == nullptr || patient == nullptr) {
        return;
    }
    QMessageBox box(QMessageBox::Question, QString::fromUtf8("Удаление ночи"),
                    q(ArchiveBrowser::deleteQuestion(*night, *patient)),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes) {
        return;
    }
    if (const auto failed = browser_.deleteNight(night->night)) {
        warn(*failed);
    }
    refresh();
}

void ArchiveWindow::editPatient() {
    const PatientLine* patient = selectedPatient();
    if (patient == nullptr || !patient->patient) {
        return;
    }
    PatientDialog dialog(browser_, *patient, this);
    if (dialog.exec() == QDialog::Accepted) {
        refresh();
    }
}

void ArchiveWindow::exportNightEdf() {
    const NightLine* night = selectedNight();
    if (night == nullptr) {
        return;
    }
    const archive::Id id = night->night;
    QFileDialog dialog(this, QString::fromUtf8("Ночь в файл EDF+"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QString::fromUtf8("EDF+ (*.edf)"));
    dialog.setDefaultSuffix("edf");
    dialog.selectFile(q(archive::edfFileName(id, night->date)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const std::string path = s(dialog.selectedFiles().front());
    if (fileKindOf(path) != FileKind::Edf) {
        warn("Файл «" + path + "» не сохранён: имя должно оканчиваться на .edf.");
        return;
    }
    if (const auto failed = browser_.exportNightEdf(id, path)) {
        warn(*failed);
    }
}

void ArchiveWindow::exportStudyEdf() {
    const auto study = selectedStudy();
    if (!study) {
        return;
    }
    QFileDialog dialog(this, QString::fromUtf8("Папка для файлов EDF+ исследования"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const EdfStudyExport done = browser_.exportStudyEdf(*study, s(dialog.selectedFiles().front()));
    QMessageBox box(done.failure ? QMessageBox::Warning : QMessageBox::Information,
                    QString::fromUtf8("Исследование в EDF+"), q(done.text()), QMessageBox::Ok,
                    this);
    box.setObjectName("EdfSummary");
    box.exec();
}

void ArchiveWindow::importFolder() {
    QFileDialog dialog(this, QString::fromUtf8("Папка с записями"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const std::string folder = s(dialog.selectedFiles().front());
    const auto files = browser_.recordingsIn(folder);
    if (!files) {
        warn(browser_.failure().value_or(""));
        return;
    }
    const QString title = QString::fromUtf8("Импорт папки");
    const int total = static_cast<int>(files->size());
    QProgressDialog progress(QString::fromUtf8("Импорт записей…"), QString::fromUtf8("Отмена"), 0,
                             total, this);
    progress.setObjectName("ImportProgress");
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setMinimumWidth(420);
    if (total > 0) {
        progress.setValue(0);
    }
    const auto summary = browser_.importRecordings(
        *files, [&](const archive::FiledRecording& filed, std::size_t done) {
            progress.setLabelText(QString::fromUtf8("Импорт: %1 из %2\n%3")
                                      .arg(done)
                                      .arg(total)
                                      .arg(QFileInfo(q(filed.path)).fileName()));
            progress.setValue(static_cast<int>(done));
            // "Отмена" is seen here: the import stops after the file just filed.
            return !progress.wasCanceled();
        });
    progress.reset();
    if (!summary) {
        warn(browser_.failure().value_or(""));
        refresh();
        return;
    }
    const ImportReport report = ArchiveBrowser::importReport(folder, *summary, files->size());
    const bool clean = summary->refused.empty() && !summary->failure;
    QMessageBox box(clean ? QMessageBox::Information : QMessageBox::Warning, title, q(report.text),
                    QMessageBox::Ok, this);
    box.setObjectName("ImportSummary");
    if (!report.details.empty()) {
        box.setDetailedText(q(report.details));
    }
    box.exec();
    refresh();
}

}  // namespace npt
