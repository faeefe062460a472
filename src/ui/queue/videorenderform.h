#pragma once

#include "core/batch/batchrun.h"
#include "core/queue/renderqueue.h"

#include <QDialog>
#include <QStyledItemDelegate>

#include <functional>

class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace fulmaro {

struct InputProblem;
class SleepInhibitor;

// Draws the "İşlem" column as a progress bar carrying its text.
class ProgressDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    // The bar's value (0..100 drawn, the text may say more); no value draws no bar.
    static constexpr int ValueRole = Qt::UserRole + 1;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};

// The render queue window: one row per job, "Başlat" runs them once, "Durdur" stops the run and
// then reads "Kapat".
class VideoRenderForm : public QDialog
{
    Q_OBJECT
public:
    enum Column {
        ColName,
        ColStart,
        ColEnd,
        ColDuration,
        ColProgress,
        ColSpeed,
        ColLeft,
        ColExpected, // "Tahmini": the output's expected size, worked out before the start
        ColSize,     // "Boyut": the size written, once the job has succeeded
    };
    // Per row: the expected output length in whole seconds, 0 until known.
    static constexpr int ExpectedRole = Qt::UserRole;

    explicit VideoRenderForm(QWidget *parent = nullptr);
    ~VideoRenderForm() override;

    // The run the window shows, given by the opener before prepareForm(); the window owns it.
    void setRun(BatchRun *run);
    BatchRun *run() const { return m_run; }

    QTreeWidget *logListView;
    QPushButton *btnStart;
    QPushButton *btnFinish;
    // Opens the output folder, during the run and after it.
    QPushButton *btnOpenFolder;
    QPushButton *btnSkip;  // ends the running job; the run goes on
    QPushButton *btnRetry; // after the run: the failed and stopped jobs again
    // "6 tamam · 4 hata · 2 durduruldu", once the run has ended.
    QLabel *lblRunSummary;
    // The run's output folder, opened by "Klasörü Aç".
    QString outputFolder;
    // Opens a folder in the desktop's file manager; replaceable so a test sees the call.
    std::function<bool(const QUrl &)> openUrl;
    // The expected sizes' total and, once jobs have written their outputs, what they wrote.
    QLabel *lblSizeTotal;

    // One row per source of the run.
    void prepareForm();

    bool abortRender() const { return m_run && m_run->stopRequested(); }
    // The run's queue, once it has started.
    RenderQueue *queue() const { return m_run ? m_run->queue() : nullptr; }
    QTreeWidgetItem *activeItem() const { return m_activeItem; }
    // Held while the jobs run, so the machine does not go to sleep.
    SleepInhibitor *sleepLock() const { return m_run ? m_run->sleepLock() : nullptr; }

Q_SIGNALS:
    // The run has ended: all jobs dealt with, or stopped.
    void runFinished(int succeeded, int failed, int notRun, bool stopped);

public Q_SLOTS:
    void btnStartClick();
    void btnFinishClick();
    void btnOpenFolderClick();
    void btnSkipClick();
    void btnRetryClick();
    // The close box and Escape: during a run the close is kept for its end.
    void reject() override;

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void showStatus(int index);
    // A job's expected size as far as it is known, and the total under the list.
    void showExpectedSize(int index);
    void showSizeTotal();
    void showReason(QTreeWidgetItem *item, const QString &reason);
    // The running job's time left and the run's figures in the caption.
    void showRunFigures();
    void onRunFinished();
    void showOutputNames();
    // The row's tip: its source and, once fixed, its output.
    QString nameTip(int index) const;

    BatchRun *m_run = nullptr;
    QTreeWidgetItem *m_activeItem = nullptr;
    bool m_closeRequested = false;
    bool m_centred = false;
    bool m_outputsShown = false;
    QTimer *m_tick; // the time left moves on between the encoder's reports
};

// How a run ended, for the caption and the line under the list: "6 tamam · 4 hata", with
// " · 2 durduruldu" when jobs were stopped or not run.
QString runSummaryText(const BatchTotals &totals);

// Shows a refused input's message and puts the keyboard focus on its control (found by name under
// form, its settings page shown). False, showing nothing, when there is no problem.
bool showInputProblem(QWidget *form, const InputProblem &problem);

} // namespace fulmaro
