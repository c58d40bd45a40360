#include "batch/intake/widgets/LoadingOverlay.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

LoadingOverlay::LoadingOverlay(QWidget* parent, bool withPlate)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("vwLoading"));
    setAttribute(Qt::WA_NoMousePropagation);
    hide();
    if (!withPlate)
        return;

    m_plate = new QWidget(this);
    m_plate->setObjectName(QStringLiteral("bgLoader"));
    m_plate->setAttribute(Qt::WA_StyledBackground);
    m_plate->setStyleSheet(QStringLiteral("#bgLoader { background: white; border-radius: 20px; }"));
    m_plate->setFixedSize(240, 150);

    m_busy = new QProgressBar(m_plate);
    m_busy->setObjectName(QStringLiteral("imgLoader"));
    m_busy->setRange(0, 0); // a busy bar: no figure to show
    m_busy->setTextVisible(false);
    m_busy->setFixedHeight(8);

    m_text = new QLabel(m_plate);
    m_text->setObjectName(QStringLiteral("txtLoading"));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setStyleSheet(QStringLiteral("color: #28241c;"));

    m_stop = new QPushButton(tr("Stop"), m_plate);
    m_stop->setObjectName(QStringLiteral("btnstopOnAddPhotos"));
    m_stop->hide();
    connect(m_stop, &QPushButton::clicked, this, &LoadingOverlay::stopClicked);

    auto* plateLayout = new QVBoxLayout(m_plate);
    plateLayout->setContentsMargins(20, 18, 20, 14);
    plateLayout->addWidget(m_busy);
    plateLayout->addWidget(m_text, 1);
    plateLayout->addWidget(m_stop, 0, Qt::AlignHCenter);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_plate, 0, 0, Qt::AlignCenter);
}

void LoadingOverlay::showLoading(const QString& text)
{
    if (!m_plate) {
        showVeil();
        return;
    }
    m_text->setText(text);
    m_plate->show();
    raise();
    show();
}

void LoadingOverlay::showVeil()
{
    if (m_plate)
        m_plate->hide();
    raise();
    show();
}

QString LoadingOverlay::text() const
{
    return m_text ? m_text->text() : QString();
}

void LoadingOverlay::setStopButtonVisible(bool visible)
{
    if (m_stop)
        m_stop->setVisible(visible);
}

void LoadingOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(20, 18, 14, !m_plate || m_plate->isHidden() ? 70 : 140));
}

void LoadingOverlay::mousePressEvent(QMouseEvent* event)
{
    event->accept(); // the veil keeps clicks from the controls below
}
