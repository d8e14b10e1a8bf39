#include "output/print_view_controller.h"

#include "output/export_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPrinter>
#include <QPushButton>

#include <cmath>

// ---- print information ----

KXPrintInfo::KXPrintInfo() : m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

KXPrintInfo::~KXPrintInfo() = default;

KXPrintInfo& KXPrintInfo::sharedPrintInfo() {
    // Made on first use and kept until the application object goes, before Qt's print support unloads.
    static KXPrintInfo* shared = nullptr;
    if (!shared) {
        shared = new KXPrintInfo;
        qAddPostRoutine([] {
            delete shared;
            shared = nullptr;
        });
    }
    return *shared;
}

kx::Size KXPrintInfo::imageableSize() const {
    const QRectF area = m_printer->pageLayout().paintRect(QPageLayout::Point);
    return {std::max(0.0, area.width()), std::max(0.0, area.height())};
}

void KXPrintInfo::setLandscape(bool landscape) {
    m_printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

void KXPrintInfo::setZeroMargins() {
    // In the standard mode the layout keeps the printer's smallest margins where it has them.
    m_printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

// ---- scale rules ----

double printFitScale(const kx::Size& pageSize, const kx::Size& printableSize) {
    const double w = printableSize.width, h = printableSize.height;
    if (!(pageSize.width > 0) || !(pageSize.height > 0) || !(w > 0) || !(h > 0))
        return 0;
    const double scale = pageSize.width / pageSize.height > w / h ? w / pageSize.width : h / pageSize.height;
    return std::min(scale, 10.0);
}

double printScalePercent(double typed) {
    if (!(typed > 0))
        return 10;
    return std::min(typed, 1000.0);
}

// ---- options tab ----

KXPrintViewController::KXPrintViewController() = default;

KXPrintViewController::~KXPrintViewController() {
    // The tab may still sit in a dialog that is going away with its own children; only a free tab is ours.
    if (m_view && !m_view->parentWidget())
        delete m_view.data();
}

// The layout of the role of the "PrintAccessory" interface: the print type, fit to page and the scale, one
// row each, the paper size under them and the preview button at the bottom.
void KXPrintViewController::buildView() {
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("PrintAccessory"));
    view->setWindowTitle(exportText("PrintOptions"));
    auto* grid = new QGridLayout(view);
    m_tfPrintType = new QLabel(exportText("PrintType"), view);
    m_tfPrintType->setObjectName(QStringLiteral("tfPrintType"));
    m_btTileFill = new QComboBox(view);
    m_btTileFill->setObjectName(QStringLiteral("btTileFill"));
    m_btTileFill->addItem(exportText("PrintGeneral"));
    m_btTileFill->addItem(exportText("Tile"));
    m_btFitPage = new QCheckBox(exportText("PrintFitPage"), view);
    m_btFitPage->setObjectName(QStringLiteral("btFitPage"));
    m_tfScaleTitle = new QLabel(exportText("PrintScale"), view);
    m_tfScaleTitle->setObjectName(QStringLiteral("tfScaleTitle"));
    m_tfScale = new QLineEdit(view);
    m_tfScale->setObjectName(QStringLiteral("tfScale"));
    m_tfScale->setToolTip(exportText("PrintScaleTip"));
    m_tfDestinationPaperSize = new QLabel(view);
    m_tfDestinationPaperSize->setObjectName(QStringLiteral("tfDestinationPaperSize"));
    m_btPreview = new QPushButton(exportText("PrintPreview"), view);
    m_btPreview->setObjectName(QStringLiteral("btPreview"));
    grid->addWidget(m_tfPrintType, 0, 0);
    grid->addWidget(m_btTileFill, 0, 1);
    grid->addWidget(m_btFitPage, 1, 1);
    grid->addWidget(m_tfScaleTitle, 2, 0);
    grid->addWidget(m_tfScale, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("%"), view), 2, 2);
    grid->addWidget(m_tfDestinationPaperSize, 3, 0, 1, 3);
    grid->addWidget(m_btPreview, 4, 0, 1, 3, Qt::AlignLeft);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(3, 1);
    connect(m_btTileFill, &QComboBox::activated, this, [this] { printTypeChanged(); });
    connect(m_btFitPage, &QCheckBox::clicked, this, [this] { enableFitPage(); });
    connect(m_tfScale, &QLineEdit::textEdited, this, [this] { controlTextDidChange(); });
    connect(m_tfScale, &QLineEdit::editingFinished, this, [this] { controlTextDidEndEditing(); });
    connect(m_btPreview, &QPushButton::clicked, this, [this] {
        if (m_previewHandler)
            m_previewHandler();
    });
    m_view = view;
    resetData();
}

QWidget* KXPrintViewController::view() {
    if (!m_view)
        buildView();
    return m_view;
}

QComboBox* KXPrintViewController::btTileFill() {
    view();
    return m_btTileFill;
}

QCheckBox* KXPrintViewController::btFitPage() {
    view();
    return m_btFitPage;
}

QLineEdit* KXPrintViewController::tfScale() {
    view();
    return m_tfScale;
}

QLabel* KXPrintViewController::tfPrintType() {
    view();
    return m_tfPrintType;
}

QLabel* KXPrintViewController::tfDestinationPaperSize() {
    view();
    return m_tfDestinationPaperSize;
}

QLabel* KXPrintViewController::tfScaleTitle() {
    view();
    return m_tfScaleTitle;
}

QPushButton* KXPrintViewController::btPreview() {
    view();
    return m_btPreview;
}

void KXPrintViewController::setRepresentedObject(KXPrintInfo* info) {
    m_info = info;
    resetData();
}

void KXPrintViewController::resetData() {
    view();
    m_tileEnabled = false;
    m_suitPage = false;
    m_generalEnable = true;
    m_btFitPage->setChecked(true);
    m_btTileFill->setCurrentIndex(General);
    syncEnabled();
    updateScale();
}

void KXPrintViewController::printTypeChanged() {
    m_tileEnabled = btTileFill()->currentIndex() == Tile;
    m_generalEnable = !m_tileEnabled;
    m_suitPage = m_tileEnabled || !m_btFitPage->isChecked();
    syncEnabled();
    updateScale();
}

void KXPrintViewController::enableFitPage() {
    m_suitPage = !btFitPage()->isChecked();
    syncEnabled();
    updateScale();
}

// The scale field only edits while the scale comes from it; a fitted page shows its scale there.
void KXPrintViewController::syncEnabled() {
    m_btFitPage->setEnabled(m_generalEnable);
    m_tfScale->setEnabled(m_suitPage);
}

void KXPrintViewController::updateScale() {
    view();
    KXPrintInfo& info = m_info ? *m_info : KXPrintInfo::sharedPrintInfo();
    double scale;
    if (m_suitPage) {
        scale = m_tfScale->text().toDouble() / 100;
    } else {
        scale = printFitScale(m_pageSize, info.imageableSize());
    }
    info.setScalingFactor(scale);
    m_scale = scale;
    showScale(scale * 100);
    const QPageSize paper = info.printer().pageLayout().pageSize();
    m_tfDestinationPaperSize->setText(exportText("PrintPaperSize").arg(paper.name()));
    emit previewChanged();
}

void KXPrintViewController::controlTextDidChange() {
    scaleEdited();
}

void KXPrintViewController::controlTextDidEndEditing() {
    scaleEdited();
}

void KXPrintViewController::scaleEdited() {
    const double percent = printScalePercent(tfScale()->text().toDouble());
    showScale(percent);
    m_scale = percent / 100;
    if (m_info)
        m_info->setScalingFactor(m_scale);
    emit previewChanged();
}

void KXPrintViewController::showScale(double percent) {
    const QString text = QString::asprintf("%.0f", percent);
    if (m_tfScale->text() != text)
        m_tfScale->setText(text);
}
