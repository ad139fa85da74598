#pragma once
// Every limit of the HTTP JSON API and its pushes to subscribers, in one place.

#include <QtGlobal>

namespace httpapi {

// Port the API listens on at the panel (tests get an ephemeral port through the seam).
constexpr quint16 kPanelPort = 10100;

// The product infos that the reads answer with are published again at least this often, also
// while the GUI thread's event loop never waits (it publishes each time it does).
constexpr int kPublishRefreshMs = 100;

// --- subscribers ---
// A subscription lasts this long after its last request; one a millisecond older is dropped
// at the next push. Apps renew it by subscribing again.
constexpr qint64 kSubscriptionLifetimeMs = 3600000;
// Subscribers kept at once. Every one costs a connection per cycle, and a handful of apps is
// what a panel serves; at the cap the subscription renewed the longest ago makes room.
constexpr int kMaxSubscribers = 16;

// --- pushes ---
// A push client lives this long at most, whether or not its subscriber answers.
constexpr int kPushLifetimeMs = 3000;
// Pushes connect on threads of their own, so that a subscriber that does not answer the
// connect never holds up the detection cycle; one thread per subscriber lets every push of a
// cycle connect at once.
constexpr int kPushThreads = kMaxSubscribers;
// Pushes under way at most, running or waiting for a thread (four steps of every subscriber
// not answering); further pushes are dropped until some have ended, so steps faster than the
// subscribers cannot pile up work or memory.
constexpr int kMaxPendingPushes = 4 * kMaxSubscribers;

}  // namespace httpapi
