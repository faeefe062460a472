#include "ui/queue/videorenderform.h"

#include "core/queue/rendercheck.h"
#include "core/queue/runestimate.h"
#include "ui/dialogs/msgform.h"
#include "ui/widgets/pathdelegate.h"
#include "ui/windowfit.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

namespace fulmaro {

void ProgressDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    const QVariant value = index.data(ValueRole);
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // Selection and focus as for any cell, then the bar over it.
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    QStyleOptionProgressBar bar;
    bar.rect = option.rect.adjusted(1, 1, -1, -1);
    bar.state = option.state | QStyle::State_Horizontal;
    bar.direction = option.direction;
    bar.fontMetrics = option.fontMetrics;
    bar.palette = option.palette;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = value.isValid() ? std::clamp(value.toInt(), 0, 100) : 0;
    bar.text = text;
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
}

VideoRenderForm::VideoRenderForm(QWidget *parent)
    : QDialog(parent)
    , m_tick(new QTimer(this))
{
    setObjectName(QStringLiteral("VideoRenderForm"));
    setWindowTitle(QStringLiteral("Video Render"));
    // Resizable, so long names can be read; a minimize button and the system menu.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);

    logListView = new QTreeWidget(this);
    logListView->setObjectName(QStringLiteral("LogListView"));
    logListView->setRootIsDecorated(false);
    logListView->setItemsExpandable(false);
    logListView->setUniformRowHeights(true);
    logListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    logListView->setSelectionMode(QAbstractItemView::SingleSelection);
    logListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    logListView->setAllColumnsShowFocus(true);
    logListView->setSortingEnabled(false);
    logListView->setColumnCount(9);
    logListView->setHeaderLabels(
        {QStringLiteral("Dosya Adı"), QStringLiteral("Başlangıç"), QStringLiteral("Bitiş"),
         QStringLiteral("Süre"), QStringLiteral("İşlem"), QStringLiteral("Hız"),
         QStringLiteral("Kalan"), QStringLiteral("Tahmini"), QStringLiteral("Boyut")});
    // The selection keeps its colour when the list loses the focus.
    QPalette palette = logListView->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    logListView->setPalette(palette);

    QHeaderView *header = logListView->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(ColName, QHeaderView::Stretch);
    for (int column = ColStart; column <= ColSize; ++column) {
        header->setSectionResizeMode(column, QHeaderView::Fixed);
        logListView->headerItem()->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
    header->resizeSection(ColStart, 60);
    header->resizeSection(ColEnd, 60);
    header->resizeSection(ColDuration, 60);
    header->resizeSection(ColProgress, 80);
    header->resizeSection(ColSpeed, 50);
    header->resizeSection(ColLeft, 60);
    header->resizeSection(ColExpected, 66);
    header->resizeSection(ColSize, 66);
    logListView->setItemDelegateForColumn(ColProgress, new ProgressDelegate(logListView));
    logListView->setItemDelegateForColumn(ColName, new PathDelegate(logListView));

    btnStart = new QPushButton(QStringLiteral("Başlat"), this);
    btnStart->setObjectName(QStringLiteral("btnStart"));
    btnStart->setAutoDefault(false);
    btnFinish = new QPushButton(QStringLiteral("Durdur"), this);
    btnFinish->setObjectName(QStringLiteral("btnFinish"));
    btnFinish->setAutoDefault(false);
    btnFinish->setEnabled(false);
    btnOpenFolder = new QPushButton(QStringLiteral("Klasörü Aç"), this);
    btnOpenFolder->setObjectName(QStringLiteral("btnOpenFolder"));
    btnOpenFolder->setAutoDefault(false);
    btnOpenFolder->setToolTip(QStringLiteral("Çıkış klasörünü aç"));
    btnSkip = new QPushButton(QStringLiteral("Atla"), this);
    btnSkip->setObjectName(QStringLiteral("btnSkip"));
    btnSkip->setAutoDefault(false);
    btnSkip->setEnabled(false);
    btnSkip->setToolTip(
        QStringLiteral("Seçili (ya da ilk) çalışan işi durdurur; sıradaki işler sürer"));
    btnRetry = new QPushButton(QStringLiteral("Yeniden Dene"), this);
    btnRetry->setObjectName(QStringLiteral("btnRetry"));
    btnRetry->setAutoDefault(false);
    btnRetry->setEnabled(false);
    btnRetry->setToolTip(QStringLiteral("Yalnızca hata veren ve durdurulan işleri yeniden yapar"));
    btnSkip->setFixedHeight(25);
    btnRetry->setFixedHeight(25);
    btnStart->setFixedSize(75, 25);
    btnFinish->setFixedSize(75, 25);
    btnOpenFolder->setFixedHeight(25);
    btnOpenFolder->setMinimumWidth(75);
    lblSizeTotal = new QLabel(this);
    lblSizeTotal->setObjectName(QStringLiteral("lblSizeTotal"));
    lblSizeTotal->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblSizeTotal->setMinimumWidth(0);
    lblSizeTotal->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblRunSummary = new QLabel(this);
    lblRunSummary->setObjectName(QStringLiteral("lblRunSummary"));
    QFont bold = lblRunSummary->font();
    bold.setBold(true);
    lblRunSummary->setFont(bold);
    lblRunSummary->setVisible(false);
    connect(btnStart, &QPushButton::clicked, this, &VideoRenderForm::btnStartClick);
    connect(btnFinish, &QPushButton::clicked, this, &VideoRenderForm::btnFinishClick);
    connect(btnOpenFolder, &QPushButton::clicked, this, &VideoRenderForm::btnOpenFolderClick);
    connect(btnSkip, &QPushButton::clicked, this, &VideoRenderForm::btnSkipClick);
    connect(btnRetry, &QPushButton::clicked, this, &VideoRenderForm::btnRetryClick);
    openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };

    auto *layout = new QVBoxLayout(this);
    // The designed places: the list at (8, 8), the buttons under it, 18 pixels from the right.
    layout->setContentsMargins(8, 8, 18, 5);
    layout->setSpacing(6);
    layout->addWidget(logListView, 1);
    layout->addWidget(lblRunSummary);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(lblSizeTotal, 1);
    buttons->addWidget(btnOpenFolder);
    buttons->addWidget(btnSkip);
    buttons->addWidget(btnRetry);
    buttons->addWidget(btnStart);
    buttons->addWidget(btnFinish);
    layout->addLayout(buttons);

    m_tick->setObjectName(QStringLiteral("RunFiguresTick"));
    m_tick->setInterval(1000);
    connect(m_tick, &QTimer::timeout, this, &VideoRenderForm::showRunFigures);

    // The designed 720 x 277, smaller where the layout allows; the user may make it larger.
    resize(720, 277);
}

VideoRenderForm::~VideoRenderForm() = default;

void VideoRenderForm::setRun(BatchRun *run)
{
    m_run = run;
    run->setParent(this);
    // Said once, and only to someone who is looking elsewhere.
    run->noticeWanted = [this] { return !isActiveWindow(); };
    connect(run, &BatchRun::refused, this, [this](const InputProblem &problem) {
        showMsg(MsgDlgType::mtError, problem.message, 0);
    });
    connect(run, &BatchRun::jobStarting, this, [this](int index) {
        m_activeItem = logListView->topLevelItem(index);
        // The outputs' names are fixed before the first job begins.
        if (!m_outputsShown)
            showOutputNames();
        // The focus mark moves to the row; the selection stays where it is.
        logListView->selectionModel()->setCurrentIndex(logListView->model()->index(index, 0),
                                                       QItemSelectionModel::NoUpdate);
        logListView->scrollToItem(m_activeItem);
    });
    connect(run, &BatchRun::jobStarted, this, &VideoRenderForm::showStatus);
    connect(run, &BatchRun::jobProgress, this, &VideoRenderForm::showStatus);
    connect(run, &BatchRun::jobFinished, this, &VideoRenderForm::showStatus);
    // Before the button turns: a close kept for the run's end happens after the notice.
    connect(run, &BatchRun::finished, this, &VideoRenderForm::onRunFinished);
    connect(run, &BatchRun::finished, this, [this] {
        btnFinish->setText(QStringLiteral("Kapat"));
        btnSkip->setEnabled(false);
        bool again = false;
        for (int index = 0; queue() && index < queue()->count(); ++index) {
            const JobState state = queue()->status(index).state;
            again = again || state == JobState::Failed || state == JobState::Stopped;
        }
        btnRetry->setEnabled(again && !m_closeRequested);
        if (m_closeRequested)
            close();
    });
}

void VideoRenderForm::prepareForm()
{
    logListView->clear();
    m_activeItem = nullptr;
    m_outputsShown = false;
    for (int index = 0; m_run && index < m_run->count(); ++index) {
        auto *item = new QTreeWidgetItem(logListView);
        item->setText(ColName, m_run->source(index));
        item->setToolTip(ColName, m_run->source(index));
        for (int column = ColStart; column <= ColSize; ++column)
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, ExpectedRole, qint64(0));
    }
    if (!m_run)
        return;
    // Worked out at once in the bitrate modes; in the quality mode the samples run in the
    // background and each row fills in when its own are done.
    SizeEstimator *sizes = m_run->estimateSizes();
    connect(sizes, &SizeEstimator::estimated, this, &VideoRenderForm::showExpectedSize,
            Qt::UniqueConnection);
    for (int index = 0; index < m_run->count(); ++index)
        showExpectedSize(index);
}

void VideoRenderForm::showExpectedSize(int index)
{
    QTreeWidgetItem *item = logListView->topLevelItem(index);
    const SizeEstimator *sizes = m_run ? m_run->sizes() : nullptr;
    if (!item || !sizes || index >= sizes->count())
        return;
    const SizeEstimate &estimate = sizes->estimate(index);
    switch (estimate.state) {
    case SizeEstimate::State::Pending:
        item->setText(ColExpected, QStringLiteral("…"));
        item->setToolTip(ColExpected, QStringLiteral("Hesaplanıyor"));
        break;
    case SizeEstimate::State::Ready:
        item->setText(ColExpected, sizeText(estimate.bytes()));
        item->setToolTip(ColExpected, estimate.measured
                                          ? QStringLiteral("Kısa örnek kodlamalardan ölçüldü")
                                          : QStringLiteral("Bit hızından hesaplandı"));
        break;
    case SizeEstimate::State::None:
        item->setText(ColExpected, QStringLiteral("—"));
        item->setToolTip(ColExpected, QStringLiteral("Tahmin edilemedi"));
        break;
    }
    showSizeTotal();
}

void VideoRenderForm::showSizeTotal()
{
    const SizeEstimator *sizes = m_run ? m_run->sizes() : nullptr;
    if (!sizes)
        return;
    QString text = QStringLiteral("Tahmini toplam: ") + sizeText(sizes->total());
    if (!sizes->complete())
        text += QStringLiteral(" (hesaplanıyor…)");
    qint64 written = 0;
    bool anyWritten = false;
    for (int index = 0; index < m_run->count(); ++index) {
        if (const std::optional<qint64> bytes = m_run->writtenBytes(index)) {
            written += *bytes;
            anyWritten = true;
        }
    }
    if (anyWritten)
        text += QStringLiteral(" · yazılan: ") + sizeText(written);
    lblSizeTotal->setText(text);
}

void VideoRenderForm::btnStartClick()
{
    if (!m_run || m_run->phase() != BatchRun::Phase::Ready)
        return;
    // The folder may have gone, or stopped taking files, since the window opened: the run
    // refuses to start and says so, and the window stays ready.
    if (!m_run->start())
        return;
    btnStart->setEnabled(false);
    btnFinish->setEnabled(true);
    btnSkip->setEnabled(true);
    m_tick->start();
    showRunFigures();
}

void VideoRenderForm::showRunFigures()
{
    RenderQueue *queue = this->queue();
    if (!queue)
        return;
    const QDateTime now = queue->clock();
    const QLocale locale;
    QList<JobStatus> statuses;
    for (int i = 0; i < queue->count(); ++i)
        statuses.append(queue->status(i));
    // Every running row's time left goes down between the encoder's reports.
    for (const int index : queue->activeIndices()) {
        if (statuses.at(index).state != JobState::Running)
            continue;
        if (QTreeWidgetItem *item = logListView->topLevelItem(index)) {
            const std::optional<qint64> left = jobSecondsLeft(statuses.at(index), now);
            item->setText(ColLeft, left ? elapsedText(*left, locale) : QString());
        }
    }
    // Once the run has ended the caption says how it ended, not how far it came.
    const QString figures =
        m_run->phase() == BatchRun::Phase::Done
            ? runSummaryText(m_run->totals())
            : runCaption(runFigures(statuses, m_run->plannedSeconds(), now, queue->parallel()),
                         locale);
    setWindowTitle(figures + QStringLiteral(" — Video Render"));
}

void VideoRenderForm::onRunFinished()
{
    m_tick->stop();
    showRunFigures();
    if (!isActiveWindow())
        QApplication::alert(this);
    const BatchTotals totals = m_run->totals();
    lblRunSummary->setText(runSummaryText(totals));
    lblRunSummary->setVisible(true);
    if (!queue())
        setWindowTitle(runSummaryText(totals) + QStringLiteral(" — Video Render"));
    Q_EMIT runFinished(totals.succeeded, totals.failed, totals.notRun, totals.stopped);
}

void VideoRenderForm::showStatus(int index)
{
    QTreeWidgetItem *item = logListView->topLevelItem(index);
    RenderQueue *queue = this->queue();
    if (!item || !queue)
        return;
    const JobStatus &status = queue->status(index);
    const QLocale locale;
    item->setData(0, ExpectedRole, status.expectedSeconds);
    if (const std::optional<qint64> written = m_run->writtenBytes(index)) {
        item->setText(ColSize, sizeText(*written));
        showSizeTotal();
    }
    // What went wrong, or else what the user should know (a killed run's leftover removed).
    showReason(item, status.reason.isEmpty() ? status.notice : status.reason);
    if (status.state == JobState::Waiting || status.state == JobState::Skipped)
        return;
    item->setText(ColStart, timeText(status.started.time(), locale));
    if (status.state != JobState::Running)
        item->setText(ColEnd, timeText(status.ended.time(), locale));
    if (status.state != JobState::Running || status.percent)
        item->setText(ColDuration, elapsedText(status.elapsedSeconds, locale));
    if (status.state == JobState::Failed) {
        item->setText(ColProgress, QStringLiteral("Hata"));
        item->setData(ColProgress, ProgressDelegate::ValueRole, QVariant());
        QStringList tipLines = status.lastLines;
        if (!status.reason.isEmpty())
            tipLines.prepend(status.reason);
        const QString tip = tipLines.join(QLatin1Char('\n'));
        for (int column = ColName; column <= ColSize; ++column)
            item->setToolTip(column, tip);
        item->setToolTip(ColName, nameTip(index) + QStringLiteral("\n\n") + tip);
    } else if (status.state == JobState::Stopped) {
        // How far it came stays in the bar and its tip; the text says why it ended.
        item->setText(ColProgress, QStringLiteral("Durduruldu"));
        const qint64 percent = status.percent.value_or(0);
        item->setData(ColProgress, ProgressDelegate::ValueRole,
                      int(std::clamp<qint64>(percent, 0, 100)));
        item->setToolTip(ColProgress, QStringLiteral("Durduruldu: ") + QString::number(percent) +
                                          QLatin1Char('%'));
    } else if (status.percent) {
        item->setText(ColProgress, QString::number(*status.percent) + QLatin1Char('%'));
        item->setData(ColProgress, ProgressDelegate::ValueRole,
                      int(std::clamp<qint64>(*status.percent, 0, 100)));
    }
    if (status.speed)
        item->setText(ColSpeed, speedText(*status.speed, locale));
    const std::optional<qint64> left = jobSecondsLeft(status, queue->clock());
    if (left || status.state != JobState::Running)
        item->setText(ColLeft, left ? elapsedText(*left, locale) : QString());
    showRunFigures();
}

void VideoRenderForm::showReason(QTreeWidgetItem *item, const QString &reason)
{
    // The reason stands on a line of its own under the job's row, across all columns, so it is
    // read whole however narrow the columns are.
    QTreeWidgetItem *line = item->childCount() > 0 ? item->child(0) : nullptr;
    if (reason.isEmpty()) {
        delete line;
        return;
    }
    if (!line) {
        line = new QTreeWidgetItem(item);
        line->setFlags(Qt::ItemIsEnabled);
        line->setForeground(ColName, QColor(0xb0, 0x20, 0x20));
    }
    line->setText(ColName, reason);
    line->setToolTip(ColName, reason);
    line->setFirstColumnSpanned(true);
    item->setExpanded(true);
}

void VideoRenderForm::btnFinishClick()
{
    if (btnFinish->text() == QLatin1String("Kapat")) {
        close();
        return;
    }
    if (m_run)
        m_run->stop();
}

void VideoRenderForm::reject()
{
    if (m_run && m_run->phase() != BatchRun::Phase::Ready &&
        m_run->phase() != BatchRun::Phase::Done) {
        // Closing a running queue is a stop: only "Evet" stops it; "Hayır" and the question's
        // close box leave the run going.
        if (m_closeRequested)
            return;
        if (showMsg(MsgDlgType::mtConfirmation,
                    QStringLiteral("İşlem sürüyor. Durdurulup pencere kapatılsın mı?"),
                    0) != kMsgYes)
            return;
        // The run may have ended while the question was open.
        if (m_run->phase() == BatchRun::Phase::Done) {
            QDialog::reject();
            return;
        }
        m_closeRequested = true;
        m_run->stop();
        return;
    }
    QDialog::reject();
}

void VideoRenderForm::btnSkipClick()
{
    RenderQueue *queue = this->queue();
    if (!queue)
        return;
    // The chosen row when it runs, else the first running one.
    const int chosen = logListView->currentIndex().parent().isValid()
                           ? logListView->currentIndex().parent().row()
                           : logListView->currentIndex().row();
    if (chosen >= 0 && queue->skip(chosen))
        return;
    for (const int index : queue->activeIndices()) {
        if (queue->skip(index))
            return;
    }
}

void VideoRenderForm::btnRetryClick()
{
    if (!m_run)
        return;
    BatchRun *again = m_run->retry(this);
    if (!again)
        return;
    BatchRun *earlier = m_run;
    btnRetry->setEnabled(false);
    btnFinish->setText(QStringLiteral("Durdur"));
    lblRunSummary->setVisible(false);
    setRun(again);
    prepareForm();
    earlier->deleteLater();
    if (!m_run->start())
        return;
    btnFinish->setEnabled(true);
    btnSkip->setEnabled(true);
    m_tick->start();
    showRunFigures();
}

void VideoRenderForm::btnOpenFolderClick()
{
    if (outputFolder.trimmed().isEmpty())
        return;
    openUrl(QUrl::fromLocalFile(outputFolder));
}

QString VideoRenderForm::nameTip(int index) const
{
    QString tip = QStringLiteral("Kaynak: ") + m_run->source(index);
    if (RenderQueue *queue = this->queue(); queue && index < queue->count())
        tip += QStringLiteral("\nÇıktı: ") + queue->job(index).outputPath;
    return tip;
}

void VideoRenderForm::showOutputNames()
{
    RenderQueue *queue = this->queue();
    if (!queue)
        return;
    m_outputsShown = true;
    for (int index = 0; index < queue->count(); ++index) {
        QTreeWidgetItem *item = logListView->topLevelItem(index);
        if (!item)
            continue;
        item->setData(ColName, PathDelegate::OutputRole, queue->job(index).outputPath);
        item->setToolTip(ColName, nameTip(index));
    }
}

QString runSummaryText(const BatchTotals &totals)
{
    const QLocale locale;
    QString text = locale.toString(totals.succeeded) + QStringLiteral(" tamam · ") +
                   locale.toString(totals.failed) + QStringLiteral(" hata");
    if (totals.notRun > 0)
        text +=
            QStringLiteral(" · ") + locale.toString(totals.notRun) + QStringLiteral(" durduruldu");
    return text;
}

void VideoRenderForm::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    // Minimizing the queue window puts the whole program away.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)) {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget != this && widget->isVisible() && !widget->isMinimized())
                widget->setWindowState(widget->windowState() | Qt::WindowMinimized);
        }
    }
}

void VideoRenderForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    placeOnScreen(this, size());
}

bool showInputProblem(QWidget *form, const InputProblem &problem)
{
    if (!problem.isProblem())
        return false;
    showMsg(MsgDlgType::mtError, problem.message, 0);
    QWidget *control = form ? form->findChild<QWidget *>(problem.control) : nullptr;
    if (!control)
        return true;
    // A control on a settings page that is not shown: show its page first.
    for (QWidget *child = control; child && child != form; child = child->parentWidget()) {
        if (auto *tabs = qobject_cast<QTabWidget *>(
                child->parentWidget() ? child->parentWidget()->parentWidget() : nullptr)) {
            if (tabs->indexOf(child) >= 0)
                tabs->setCurrentWidget(child);
        }
    }
    control->setFocus(Qt::OtherFocusReason);
    return true;
}

} // namespace fulmaro
