#pragma once

#include "core/queue/renderjobs.h"

#include <QString>

#include <optional>

namespace fulmaro {

// The folder a job written in segments keeps them in while it runs: beside the output, named
// after its temporary name without the extension ("clip.part/" for "clip.part.mp4"). A run that
// is cut short leaves it, and the next run that writes the same output goes on from it.
QString segmentFolderFor(const QString &partPath);

// Segment k's file in the folder ("0003.mp4" for k = 2), and the name it has while it is being
// written ("0003.tmp.mp4").
QString segmentPath(const QString &folder, int k, const QString &extension);
QString segmentWritePath(const QString &folder, int k, const QString &extension);

// What a job's segments depend on: their arguments (an overlay picture by its library file, its
// size and time, not by its scratch name), the join, and the source's size and time. Segments
// made for another key are never joined.
QByteArray segmentKey(const RenderJob &job);

// Readies the folder for the job: segments of an earlier run with the same key are kept (unless
// resume is false), anything of another key and unfinished segments are removed. Returns how many
// segments are done (the leading ones that are there), or nothing when the folder cannot be used
// (it holds files that are not the program's, or cannot be written): the job then runs as one
// encode.
std::optional<int> openSegmentFolder(const QString &folder, const RenderJob &job,
                                     bool resume = true);

// The first segment from k on that is not there yet; the count when all are.
int nextMissingSegment(const QString &folder, const RenderJob &job, int k);

// Writes the list the join reads (the segments in order); false when it could not be written.
bool writeSegmentList(const QString &folder, const RenderJob &job);
QString segmentListPath(const QString &folder);

// Removes the program's files from the folder, and the folder when nothing else is left in it.
void removeSegmentFolder(const QString &folder);

} // namespace fulmaro
