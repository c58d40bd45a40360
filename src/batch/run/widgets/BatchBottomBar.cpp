#include "batch/run/widgets/BatchBottomBar.h"

#include "controls/IMGButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QStyle>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

BatchBottomBar::BatchBottomBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(u"vwBottomBar"_s);
    // A light background of its own, with the texts to go on it, whatever window it sits in.
    setPalette(style()->standardPalette());
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 8);
    layout->setSpacing(6);

    auto* lines = m_lines = new QHBoxLayout;
    m_lblProcessInfoBottom = new QLabel(this);
    m_lblProcessInfoBottom->setObjectName(u"lblProcessInfoBottom"_s);
    m_lblProcessInfoBottom->setTextFormat(Qt::RichText);
    m_lblProcessInfoBottom->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_lblBatchInfo = new QLabel(this);
    m_lblBatchInfo->setObjectName(u"lblBatchInfo"_s);
    m_lblBatchInfo->setTextFormat(Qt::RichText);
    m_lblBatchInfo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lines->addWidget(m_lblProcessInfoBottom, 1);
    lines->addWidget(m_lblBatchInfo);
    layout->addLayout(lines);

    auto* buttons = m_buttons = new QHBoxLayout;
    m_vwRenameToast = new QFrame(this);
    m_vwRenameToast->setObjectName(u"vwRenameToast"_s);
    m_vwRenameToast->setStyleSheet(u"#vwRenameToast { background: rgb(255, 244, 206); border-radius: 4px; }"_s);
    auto* toastLayout = new QHBoxLayout(m_vwRenameToast);
    toastLayout->setContentsMargins(8, 2, 2, 2);
    auto* toastText = new QLabel(tr("The output files will be renamed."), m_vwRenameToast);
    toastText->setObjectName(u"lblRenameToast"_s);
    auto* close = new QToolButton(m_vwRenameToast);
    close->setObjectName(u"btnCloseOnToast"_s);
    close->setText(u"\u2715"_s);
    close->setAutoRaise(true);
    close->setToolTip(tr("Keep the original file names"));
    toastLayout->addWidget(toastText);
    toastLayout->addWidget(close);
    m_vwRenameToast->hide();
    connect(close, &QToolButton::clicked, this, &BatchBottomBar::closeToastRequested);
    buttons->addWidget(m_vwRenameToast);
    buttons->addStretch();

    m_btnNext = new IMGButton(this);
    m_btnNext->setObjectName(u"btnNext"_s);
    m_btnNext->setFixedSize(32, 32);
    m_btnNext->setToolTip(tr("Output file names"));
    setNextImage(u"rename_option_normal"_s);
    m_btnReset = new QPushButton(tr("Reset"), this);
    m_btnReset->setObjectName(u"btnReset"_s);
    m_btnReset->setToolTip(tr("Reset"));
    m_btnRestore = new QPushButton(tr("Restore"), this);
    m_btnRestore->setObjectName(u"btnRestore"_s);
    m_btnRestore->setToolTip(tr("Restore the metadata of the photos the last run wrote"));
    m_btnProcess = new QPushButton(tr("Process"), this);
    m_btnProcess->setObjectName(u"btnProcess"_s);
    m_btnProcess->setDefault(true);
    for (QWidget* button : std::initializer_list<QWidget*> { m_btnNext, m_btnReset, m_btnRestore, m_btnProcess })
        buttons->addWidget(button);
    layout->addLayout(buttons);
}

void BatchBottomBar::insertBeforeNext(QWidget* button)
{
    button->setParent(this);
    m_buttons->insertWidget(m_buttons->indexOf(m_btnNext), button);
    button->show();
}

void BatchBottomBar::setNextImage(const QString& name)
{
    m_btnNext->setImgOffState_En(name);
    m_btnNext->setImgOnState_En(name);
}

void BatchBottomBar::setRenameToastVisible(bool visible)
{
    m_vwRenameToast->setVisible(visible);
}

QString BatchBottomBar::richText(const ColouredText& line)
{
    QString html = u"<span style=\"color:#1e1e1e\">"_s;
    qsizetype at = 0;
    for (const ColouredText::Range& range : line.accentRanges) {
        html += line.text.mid(at, range.start - at).toHtmlEscaped();
        html += u"<span style=\"color:#0038af\">"_s + line.text.mid(range.start, range.length).toHtmlEscaped()
            + u"</span>"_s;
        at = range.start + range.length;
    }
    html += line.text.mid(at).toHtmlEscaped() + u"</span>"_s;
    // Two spaces around the bars stay two.
    html.replace(u"  "_s, u"&nbsp; "_s);
    return html;
}

void BatchBottomBar::setBatchInfo(const ColouredText& line)
{
    m_lblBatchInfo->setText(richText(line));
    layOutLines();
}

void BatchBottomBar::setProcessInfoAtBottm(const ColouredText& line)
{
    m_lblProcessInfoBottom->setText(richText(line));
    layOutLines();
}

void BatchBottomBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOutLines();
}

void BatchBottomBar::layOutLines()
{
    const int sideBySide = m_lblProcessInfoBottom->sizeHint().width() + m_lines->spacing()
        + m_lblBatchInfo->sizeHint().width();
    const int room = contentsRect().width() - layout()->contentsMargins().left() - layout()->contentsMargins().right();
    const QBoxLayout::Direction wanted = sideBySide > room ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight;
    if (m_lines->direction() == wanted)
        return;
    m_lines->setDirection(wanted);
    m_lblBatchInfo->setAlignment((wanted == QBoxLayout::TopToBottom ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
}
