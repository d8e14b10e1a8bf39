#include "controls/table_cell_view.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

constexpr int kLogoSize = 64;

}  // namespace

KXTableCellView::KXTableCellView(QWidget* parent) : QWidget(parent) {
    m_imageView = new QLabel(this);
    m_imageView->setObjectName(QStringLiteral("imageView"));
    m_imageView->setFixedSize(kLogoSize, kLogoSize);
    m_imageView->setAlignment(Qt::AlignCenter);
    m_tfTitle = new QLabel(this);
    m_tfTitle->setObjectName(QStringLiteral("tfTitle"));
    QFont bold = m_tfTitle->font();
    bold.setBold(true);
    m_tfTitle->setFont(bold);
    m_tfDescription = new QLabel(this);
    m_tfDescription->setObjectName(QStringLiteral("tfDescription"));
    m_tfDescription->setWordWrap(true);
    m_btDownload = new QPushButton(this);
    m_btDownload->setObjectName(QStringLiteral("btDownload"));
    m_piLoadLogo = new QProgressBar(this);
    m_piLoadLogo->setObjectName(QStringLiteral("piLoadLogo"));
    m_piLoadLogo->setRange(0, 0);
    m_piLoadLogo->setTextVisible(false);
    m_piLoadLogo->setFixedWidth(kLogoSize);
    m_piLoadLogo->hide();
    m_piDownload = new QProgressBar(this);
    m_piDownload->setObjectName(QStringLiteral("piDownload"));
    m_piDownload->setRange(0, 100);
    m_piDownload->setTextVisible(false);
    m_piDownload->hide();

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->addWidget(m_imageView, 0, 0, 2, 1);
    grid->addWidget(m_piLoadLogo, 2, 0);
    grid->addWidget(m_tfTitle, 0, 1);
    grid->addWidget(m_tfDescription, 1, 1);
    grid->addWidget(m_piDownload, 2, 1);
    grid->addWidget(m_btDownload, 0, 2, Qt::AlignRight | Qt::AlignTop);
    grid->setColumnStretch(1, 1);
}
