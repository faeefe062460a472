#include "ui/dialogs/msgform.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace fulmaro {

namespace {
MsgHook &msgHook()
{
    static MsgHook hook;
    return hook;
}
} // namespace

void setMsgHook(MsgHook hook)
{
    msgHook() = std::move(hook);
}

MsgForm::MsgForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("MsgForm"));
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    setFont(f);
    setFixedSize(427, 98);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);

    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(0, 0, 427, 98);

    m_msgLabel = new QLabel(QStringLiteral("Message"), panel);
    m_msgLabel->setObjectName(QStringLiteral("MsgLabel"));
    m_msgLabel->setGeometry(16, 8, 393, 41);
    m_msgLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_msgLabel->setAttribute(Qt::WA_TranslucentBackground);

    m_btnYes = new QPushButton(QStringLiteral("Evet"), panel);
    m_btnYes->setObjectName(QStringLiteral("btnYes"));
    m_btnYes->setGeometry(253, 62, 75, 25);
    m_btnYes->setAutoDefault(true);
    connect(m_btnYes, &QPushButton::clicked, this, [this] { done(kMsgYes); });

    m_btnNo = new QPushButton(QStringLiteral("Hayır"), panel);
    m_btnNo->setObjectName(QStringLiteral("btnNo"));
    m_btnNo->setGeometry(334, 62, 75, 25);
    m_btnNo->setAutoDefault(true);
    connect(m_btnNo, &QPushButton::clicked, this, [this] { done(kMsgNo); });
    setTabOrder(m_btnYes, m_btnNo);

    m_closeTimer = new QTimer(this);
    m_closeTimer->setObjectName(QStringLiteral("CloseTimer"));
    connect(m_closeTimer, &QTimer::timeout, this, &MsgForm::closeTimerTimer);
}

void MsgForm::prepareForm()
{
    m_msgLabel->setText(messageText);
    if (messageType != MsgDlgType::mtConfirmation) {
        m_btnNo->hide();
        m_btnYes->move(m_btnNo->x(), m_btnYes->y());
        m_btnYes->setText(QStringLiteral("Tamam"));
        m_btnYes->setDefault(true);
    }
    aButtonCaption = m_btnYes->text();
    switch (messageType) {
    case MsgDlgType::mtWarning:
        setWindowTitle(QStringLiteral("Uyarı"));
        break;
    case MsgDlgType::mtError:
        setWindowTitle(QStringLiteral("Hata"));
        break;
    case MsgDlgType::mtInformation:
        setWindowTitle(QStringLiteral("Bilgi"));
        break;
    case MsgDlgType::mtConfirmation:
        setWindowTitle(QStringLiteral("Onay"));
        break;
    case MsgDlgType::mtCustom:
        break;
    }
    m_closeTimer->setInterval(1000);
    if (closeSeconds > 0) {
        m_closeTimer->start();
        updateCountdownCaption();
    }
    m_btnYes->setFocus();
}

void MsgForm::updateCountdownCaption()
{
    m_btnYes->setText(aButtonCaption + QStringLiteral(" (%1)").arg(closeSeconds));
}

void MsgForm::closeTimerTimer()
{
    --closeSeconds;
    updateCountdownCaption();
    if (closeSeconds <= 0) {
        m_closeTimer->stop();
        m_btnYes->click();
    }
}

void MsgForm::reject()
{
    // Reached through the close box or the system's close key: neither button was pressed.
    m_closeTimer->stop();
    done(kMsgClosed);
}

void MsgForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Escape answers "Hayır" in a question and does nothing in a one-button message.
        if (messageType == MsgDlgType::mtConfirmation)
            m_btnNo->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

int showMsg(MsgDlgType type, const QString &text, int seconds)
{
    if (msgHook())
        return msgHook()(type, text);
    MsgForm form;
    form.messageText = text;
    form.messageType = type;
    form.closeSeconds = seconds;
    form.prepareForm();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    return form.exec();
}

} // namespace fulmaro
