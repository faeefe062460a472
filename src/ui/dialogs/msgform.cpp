#include "ui/dialogs/msgform.h"

#include <QFontMetrics>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace fulmaro {

namespace {

// The designed label, and how far the dialog may grow to show a long text whole.
constexpr int kLabelLeft = 16;
constexpr int kLabelTop = 8;
constexpr int kLabelWidth = 393;
constexpr int kLabelHeight = 41;
constexpr int kMaxDialogWidth = 720;
constexpr int kRightMargin = 427 - kLabelLeft - kLabelWidth; // 18
constexpr int kButtonGap = 62 - (kLabelTop + kLabelHeight);  // 13
constexpr int kBottomMargin = 98 - 62 - 25;                  // 11

constexpr int kWrapFlags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;

// Word wrapping breaks only at blanks: a path or a word wider than the widest label gets
// invisible break chances after its separators, or every few characters when it has none.
QString withBreakChances(const QString &text, const QFontMetrics &metrics, int width)
{
    const QChar breakChance(0x200B);
    QString result;
    QString word;
    auto flush = [&] {
        if (metrics.horizontalAdvance(word) <= width) {
            result += word;
        } else {
            int sinceBreak = 0;
            for (QChar c : std::as_const(word)) {
                result += c;
                ++sinceBreak;
                if (c == QLatin1Char('/') || c == QLatin1Char('\\') || sinceBreak >= 24) {
                    result += breakChance;
                    sinceBreak = 0;
                }
            }
        }
        word.clear();
    };
    for (QChar c : text) {
        if (c.isSpace()) {
            flush();
            result += c;
        } else {
            word += c;
        }
    }
    flush();
    return result;
}

int maxLabelWidth()
{
    int dialog = kMaxDialogWidth;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        dialog = std::min(dialog, screen->availableGeometry().width() - 40);
    return std::max(kLabelWidth, dialog - kLabelLeft - kRightMargin);
}

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

    m_panel = panel;
    m_msgLabel = new QLabel(QStringLiteral("Message"), panel);
    m_msgLabel->setObjectName(QStringLiteral("MsgLabel"));
    m_msgLabel->setGeometry(kLabelLeft, kLabelTop, kLabelWidth, kLabelHeight);
    m_msgLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_msgLabel->setWordWrap(true);
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
    // A coarse timer may fire up to 5% early, so a countdown of n seconds could end before n
    // seconds have passed.
    m_closeTimer->setTimerType(Qt::PreciseTimer);
    connect(m_closeTimer, &QTimer::timeout, this, &MsgForm::closeTimerTimer);
}

void MsgForm::fitToText()
{
    const QFontMetrics metrics(m_msgLabel->font());
    const int widest = maxLabelWidth();
    const QString shown = withBreakChances(messageText, metrics, widest);
    m_msgLabel->setText(shown);
    const auto needed = [&](int width) {
        return metrics.boundingRect(QRect(0, 0, width, 1000000), kWrapFlags, shown);
    };
    const QRect designed = needed(kLabelWidth);
    if (designed.width() <= kLabelWidth && designed.height() <= kLabelHeight)
        return; // fits the designed dialog
    // As wide as the text wants, up to the widest label; then as tall as it needs.
    const int width = std::clamp(needed(widest).width(), kLabelWidth, widest);
    const int height = std::max(kLabelHeight, needed(width).height());
    const int dialogWidth = kLabelLeft + width + kRightMargin;
    const int buttonTop = kLabelTop + height + kButtonGap;
    const int dialogHeight = buttonTop + m_btnYes->height() + kBottomMargin;
    setFixedSize(dialogWidth, dialogHeight);
    m_panel->setGeometry(0, 0, dialogWidth, dialogHeight);
    m_msgLabel->setGeometry(kLabelLeft, kLabelTop, width, height);
    // The buttons keep their places at the right, under the text.
    const int shift = dialogWidth - 427;
    m_btnYes->move(253 + shift, buttonTop);
    m_btnNo->move(334 + shift, buttonTop);
}

void MsgForm::prepareForm()
{
    fitToText();
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
