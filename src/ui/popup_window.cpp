#include "ui/popup_window.h"

#include "ui/twips.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>

PopupWindow::PopupWindow(Qt::WindowFlags flags, const QString &name, const QString &title,
                         const QColor &background)
    : QWidget(nullptr, flags | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(name);
    setWindowTitle(title);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, background);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
}

QLabel *PopupWindow::addLabel(const QString &name, const QString &text, int left, int top, int width,
                              int height)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    twips::place(*label, left, top, width, height);
    return label;
}

void PopupWindow::setFrequencyLabels(QLabel *qrg, QLabel *khz)
{
    m_qrg = qrg;
    m_khz = khz;
    m_qrg->installEventFilter(this);
    m_khz->installEventFilter(this);
}

void PopupWindow::showOnTop()
{
    show();
    // Raising restacks the window without activating it.
    raise();
}

void PopupWindow::setTunable(bool tunable)
{
    m_tunable = tunable;
    for (QLabel *label : {m_qrg, m_khz}) {
        label->setCursor(tunable ? Qt::PointingHandCursor : Qt::ArrowCursor);
        label->setToolTip(tunable ? QStringLiteral("Click to tune the radio to this frequency") : QString());
    }
}

bool PopupWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The window takes no focus, so the click leaves the keyboard where the operator was typing.
    if (m_tunable && (watched == m_qrg || watched == m_khz) && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        emit tuneRequested(m_qrg->text());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PopupWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    closedByOperator();
}
