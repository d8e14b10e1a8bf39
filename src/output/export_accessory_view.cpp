#include "output/export_accessory_view.h"

#include "controls/stepper.h"
#include "output/export_dialogs.h"
#include "platform/foundation/bundle.h"

#include <QComboBox>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStandardItemModel>

using kx::controls::KXStepper;

namespace {

int fieldNumber(const QLineEdit* field, int fallback) {
    bool ok = false;
    const int value = field->text().trimmed().toInt(&ok);
    return ok ? value : fallback;
}

QLineEdit* numberField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setValidator(new QIntValidator(field));
    field->setFixedWidth(48);
    return field;
}

KXStepper* stepper(QWidget* parent, const char* name, double minimum, double maximum) {
    auto* st = new KXStepper(parent);
    st->setObjectName(QString::fromLatin1(name));
    st->setRange(minimum, maximum);
    st->setIncrement(1);
    return st;
}

}  // namespace

KXExportAccessoryView::KXExportAccessoryView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ExportView"));
    auto* grid = new QGridLayout(this);
    m_pubFormat = new QComboBox(this);
    m_pubFormat->setObjectName(QStringLiteral("pubFormat"));
    m_pubFormat->addItems(formatTitles());
    m_pubFormat->setCurrentIndex(0);
    grid->addWidget(new QLabel(exportText("ExportFormat"), this), 0, 0);
    grid->addWidget(m_pubFormat, 0, 1, 1, 4);

    m_tfLabelQuality = new QLabel(exportText("ExportQuality"), this);
    m_tfQuality = numberField(this, "tfQuality");
    m_slQuality = new QSlider(Qt::Horizontal, this);
    m_slQuality->setObjectName(QStringLiteral("slQuality"));
    m_slQuality->setRange(1, 100);
    m_stQuality = stepper(this, "stQuality", 1, 100);
    grid->addWidget(m_tfLabelQuality, 1, 0);
    grid->addWidget(m_slQuality, 1, 1, 1, 2);
    grid->addWidget(m_tfQuality, 1, 3);
    grid->addWidget(m_stQuality, 1, 4);
    setQuality(90);

    m_pubExportPage = new QComboBox(this);
    m_pubExportPage->setObjectName(QStringLiteral("pubExportPage"));
    m_pubExportPage->addItems({exportText("ExportAllPages"), exportText("ExportOnePage"), exportText("ExportPageRange")});
    m_tfFristPage = numberField(this, "tfFristPage");
    m_stFristPage = stepper(this, "stFristPage", 1, 1);
    m_tfLabelTo = new QLabel(exportText("ExportPageTo"), this);
    m_tfLastPage = numberField(this, "tfLastPage");
    m_stLastPage = stepper(this, "stLastPage", 1, 1);
    grid->addWidget(new QLabel(exportText("ExportPages"), this), 2, 0);
    grid->addWidget(m_pubExportPage, 2, 1);
    auto* pages = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(m_tfFristPage), static_cast<QWidget*>(m_stFristPage),
                       static_cast<QWidget*>(m_tfLabelTo), static_cast<QWidget*>(m_tfLastPage),
                       static_cast<QWidget*>(m_stLastPage)})
        pages->addWidget(w);
    pages->addStretch();
    grid->addLayout(pages, 2, 2, 1, 3);

    connect(m_pubFormat, &QComboBox::activated, this, [this] { formatChanged(); });
    connect(m_pubExportPage, &QComboBox::activated, this, [this] { exportPageTypeChanged(); });
    connect(m_slQuality, &QSlider::valueChanged, this, [this](int v) { qualityMoved(v); });
    connect(m_stQuality, &KXStepper::activated, this, [this] { qualityMoved(int(m_stQuality->value())); });
    connect(m_tfQuality, &QLineEdit::textEdited, this, [this] { qualityTyped(); });
    connect(m_tfQuality, &QLineEdit::editingFinished, this, [this] { qualityEditingEnded(); });
    connect(m_stFristPage, &KXStepper::activated, this, [this] { firstStepperChanged(); });
    connect(m_stLastPage, &KXStepper::activated, this, [this] { lastStepperChanged(); });
    connect(m_tfFristPage, &QLineEdit::textEdited, this, [this] { firstFieldTyped(); });
    connect(m_tfLastPage, &QLineEdit::textEdited, this, [this] { lastFieldTyped(); });
    prepareForPanel(1);
}

void KXExportAccessoryView::prepareForPanel(int pageCount) {
    m_pageCount = std::max(1, pageCount);
    m_pubExportPage->setCurrentIndex(KXExportAllPages);
    m_stFristPage->setRange(1, m_pageCount);
    m_stLastPage->setRange(1, m_pageCount);
    setFirstPage(1);
    setLastPage(m_pageCount);
    formatChanged();
}

int KXExportAccessoryView::quality() const {
    return m_slQuality->value();
}

KXExportPageChoice KXExportAccessoryView::pageChoice() const {
    return KXExportPageChoice(std::clamp(m_pubExportPage->currentIndex(), 0, 2));
}

KXPageNumbers KXExportAccessoryView::pageNumbers() const {
    return {int(m_stFristPage->value()), int(m_stLastPage->value())};
}

void KXExportAccessoryView::enablePageChoices() {
    auto* model = qobject_cast<QStandardItemModel*>(m_pubExportPage->model());
    for (int row = 1; row <= 2; ++row)
        if (QStandardItem* item = model ? model->item(row) : nullptr)
            item->setEnabled(m_pageCount > 1);
}

void KXExportAccessoryView::formatChanged() {
    m_exportFormat = m_pubFormat->currentText().toLower();
    enablePageChoices();
    exportPageTypeChanged();
    if (m_allowedTypes.value(0) != KXFolderFileType && m_allowedTypes != QStringList{m_exportFormat}) {
        m_allowedTypes = {m_exportFormat};
        emit allowedFileTypesChanged(m_allowedTypes);
    }
    const bool jpeg = m_exportFormat == QLatin1String("jpg");
    for (QWidget* w : {static_cast<QWidget*>(m_tfLabelQuality), static_cast<QWidget*>(m_tfQuality),
                       static_cast<QWidget*>(m_slQuality), static_cast<QWidget*>(m_stQuality)})
        w->setVisible(jpeg);
}

void KXExportAccessoryView::exportPageTypeChanged() {
    const KXExportPageChoice choice = pageChoice();
    const bool first = choice != KXExportAllPages, last = choice == KXExportPageRange;
    m_tfFristPage->setVisible(first);
    m_stFristPage->setVisible(first);
    m_tfLabelTo->setVisible(last);
    m_tfLastPage->setVisible(last);
    m_stLastPage->setVisible(last);
    setAllowType();
}

void KXExportAccessoryView::setAllowType() {
    if (pageChoice() == KXExportPageRange) {
        const KXPageNumbers corrected = correctedPageRange(pageNumbers());
        setFirstPage(corrected.first);
    }
    const QStringList types = ::allowedFileTypes(pageChoice(), m_pageCount, pageNumbers(), m_exportFormat);
    if (types != m_allowedTypes) {
        m_allowedTypes = types;
        emit allowedFileTypesChanged(types);
    }
}

void KXExportAccessoryView::setFirstPage(int page) {
    m_stFristPage->setValue(page);
    m_tfFristPage->setText(QString::number(page));
}

void KXExportAccessoryView::setLastPage(int page) {
    m_stLastPage->setValue(page);
    m_tfLastPage->setText(QString::number(page));
}

void KXExportAccessoryView::firstStepperChanged() {
    const int bound = pageChoice() == KXExportOnePage ? int(m_stLastPage->maximum()) : int(m_stLastPage->value());
    setFirstPage(std::min(int(m_stFristPage->value()), bound));
    if (pageChoice() == KXExportPageRange)
        setAllowType();
}

void KXExportAccessoryView::lastStepperChanged() {
    setLastPage(int(m_stLastPage->value()));
    if (m_stLastPage->value() < m_stFristPage->value())
        setFirstPage(int(m_stLastPage->value()));
    if (pageChoice() == KXExportPageRange)
        setAllowType();
}

void KXExportAccessoryView::firstFieldTyped() {
    setFirstPage(clampedPageNumber(fieldNumber(m_tfFristPage, 1), int(m_stLastPage->maximum())));
    if (pageChoice() == KXExportPageRange)
        setAllowType();
}

void KXExportAccessoryView::lastFieldTyped() {
    setLastPage(clampedPageNumber(fieldNumber(m_tfLastPage, 1), int(m_stLastPage->maximum())));
    if (m_stLastPage->value() < m_stFristPage->value())
        setFirstPage(int(m_stLastPage->value()));
    if (pageChoice() == KXExportPageRange)
        setAllowType();
}

void KXExportAccessoryView::setQuality(int value) {
    const QSignalBlocker block(m_slQuality);
    m_slQuality->setValue(value);
    m_stQuality->setValue(value);
    m_tfQuality->setText(QString::number(value));
}

void KXExportAccessoryView::qualityMoved(int value) {
    setQuality(clampedQuality(value));
}

void KXExportAccessoryView::qualityTyped() {
    setQuality(clampedQuality(fieldNumber(m_tfQuality, m_slQuality->value())));
}

void KXExportAccessoryView::qualityEditingEnded() {
    setQuality(qualityAfterEditing(fieldNumber(m_tfQuality, m_slQuality->value())));
}
