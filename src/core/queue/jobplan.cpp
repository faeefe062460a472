#include "core/queue/jobplan.h"

#include "core/render/commandbuilder.h"
#include "core/render/rendersettings.h"
#include "core/videolist/mediaprobe.h"
#include "core/videolist/videoitem.h"

#include <QThread>

#include <algorithm>
#include <cmath>

namespace fulmaro {

JobPlan planJobs(int choice, int cores, double pixelsPerSecond, int jobCount)
{
    cores = std::max(1, cores);
    int jobs = 1;
    if (choice >= 1 && choice <= kMaximumJobs) {
        jobs = choice;
    } else if (pixelsPerSecond > 0) {
        const double fit = std::floor(cores * kPixelsPerCore / pixelsPerSecond);
        jobs = int(std::clamp(fit, 1.0, double(std::min(cores, kMaximumJobs))));
    }
    jobs = std::clamp(jobs, 1, std::max(1, jobCount));
    JobPlan plan;
    plan.jobs = jobs;
    if (jobs > 1)
        plan.threads = std::max(1, cores / jobs);
    return plan;
}

double outputPixelRate(const RenderSettings &settings, const QList<const VideoItem *> &known)
{
    const QString size = scaleSizeText(settings.cbRenderScale);
    const qsizetype x = size.indexOf(QLatin1Char('x'));
    const double width = size.left(x).toDouble();
    const double height = size.mid(x + 1).toDouble();
    double rate = 0;
    for (const VideoItem *item : known) {
        if (item)
            rate = std::max(rate, frameRateValue(item->frameRate));
    }
    // A rate beyond any camera's is a broken header, not a real rate.
    if (rate <= 0 || rate > 240)
        rate = 30;
    return width * height * rate;
}

JobPlan planRun(const RenderSettings &settings, const QList<const VideoItem *> &known, int jobCount)
{
    return planJobs(settings.cbJobs, QThread::idealThreadCount(), outputPixelRate(settings, known),
                    jobCount);
}

} // namespace fulmaro
