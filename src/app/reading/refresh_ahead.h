// Making the lines ahead follow a change of what is spoken.
#pragma once

#include "app/core/app.h"
#include "app/reading/synthesis_worker.h"

namespace lectoria {

/// The lines after the one being heard (queue slot 1, which plays on) are loaded again with
/// the rules and switches in force, and their clips, made or being made, are dropped:
/// temp/<n>.mp3 are deleted, a run in flight for one of them is discarded (its clip never
/// stored) and SynthesizedCount goes back, so the worker synthesizes them again and playback
/// waits for them as for any clip not yet made. UI thread. Install it as AppHooks::RefreshAhead.
void RefreshAhead(App& app, SynthesisWorker& worker);

}  // namespace lectoria
