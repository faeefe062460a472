#pragma once

#include <QList>

namespace fulmaro {

struct VideoItem;
struct RenderSettings;

// How many jobs of a run go at once, and how many threads each encoder takes.
struct JobPlan
{
    int jobs = 1;
    // Threads each encoder may use; 0 leaves the choice to the encoder (a single job keeps its
    // line as it always was).
    int threads = 0;
};

// One core's worth of output in pixels a second: an encoder at a fast preset cannot keep more
// cores busy with an output smaller than this, so such outputs are better run side by side.
inline constexpr double kPixelsPerCore = 40e6;
inline constexpr int kMaximumJobs = 4;

// choice is the cbJobs index: 0 decides from the cores and the output's pixel rate, 1..4 are
// that many jobs. Never more jobs than the run has, nor more than the cores when deciding; the
// cores are shared out among the jobs.
JobPlan planJobs(int choice, int cores, double pixelsPerSecond, int jobCount);

// The output's pixels a second for these settings: the render size at the fastest frame rate of
// the rows known (30 a second when none is known).
double outputPixelRate(const RenderSettings &settings, const QList<const VideoItem *> &known);

// The plan of a run on this machine.
JobPlan planRun(const RenderSettings &settings, const QList<const VideoItem *> &known,
                int jobCount);

} // namespace fulmaro
