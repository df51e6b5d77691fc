#include "app/reading/refresh_ahead.h"

#include "platform/file_util.h"

namespace lectoria {

void RefreshAhead(App& app, SynthesisWorker& worker) {
  AppState& state = app.state();
  ReadingQueue& queue = state.ReadingQueue;
  if (queue.Size() < 1) return;
  const std::int32_t kept = queue.Slot(1).QueueClip;
  queue.RefillAfter(1);
  // Nothing after the kept clip is made or being made: a run in flight is for a line that
  // has not changed, and the worker takes the new lines from the queue as it goes on.
  if (state.SynthesizedCount <= kept) return;
  // From here no run of before stores a clip, so the count holds still while the clips go.
  worker.Reset();
  const std::int32_t made = state.SynthesizedCount;
  for (std::int32_t clip = kept + 1; clip < made; ++clip) RemoveFile(state.R.Clip(clip));
  state.SynthesizedCount = kept + 1;
}

}  // namespace lectoria
