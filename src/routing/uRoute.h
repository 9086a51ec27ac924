#pragma once
// Route building on the galaxy's graph: what entering a system costs, one leg, distances, routes
// through several systems, and the galaxy's current route (RouteList, Unreachable, OnRoute).

#include "model/uGalaxy.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// Security preferences of TGalaxy::SecurityPreference.
enum TSecurityPreference : quint8 {
    PreferHigh = 0,
    PreferLow = 1,
    PreferShortest = 2,
};

// Block thresholds: a normal system, an avoided one (entering costs 10), a blocked one (never entered).
constexpr qint32 NormalThreshold = 1;
constexpr qint32 AvoidedThreshold = 10;
constexpr qint32 BlockedThreshold = MaxInt;

// The threshold routing applies: a stored 0 or below counts as a normal system, so no price
// can be negative.
qint32 EffectiveThreshold(const TSystem& system);

// The cost of entering system under galaxy's SecurityPreference: the threshold when it is not
// normal, otherwise 1, or 5 for the disfavoured security band (0.4 and below under prefer high,
// 0.6 and above under prefer low; negative security is in the low band).
qint32 StepCost(const TGalaxy& galaxy, const TSystem& system);

// Cheapest path from from to to, left in galaxy.RouteList destination first. Sets Unreachable
// when the path has fewer than two systems (no path, or from == to) and clears it otherwise.
// Returns true with a path of two or more systems; false also when the solve fails, which leaves
// RouteList and Unreachable as they were.
bool ComputeLeg(TGalaxy& galaxy, TSystem* from, TSystem* to);

// Systems on the cheapest path, both ends counted; -1 when there is none. Leaves RouteList empty
// after a success and holding the unreached destination after a failure.
qint32 PathLength(TGalaxy& galaxy, TSystem* from, TSystem* to);

// The whole route through the entries of route, as new entries (waypoints, Fixed) in result; the
// system where one leg ends and the next starts appears once. False when a leg fails; result then
// holds the legs before it. A route of fewer than two entries gives an empty result and true.
bool RouteThrough(TGalaxy& galaxy, const TRoute& route, TRoute& result);

// The current route through plan: clears every OnRoute flag, computes a leg per consecutive pair
// of different systems, marks the jumps taken, and rebuilds RouteList (destination first) after
// each leg. rows receives the route from the start on, as far as the legs succeeded. When every
// leg succeeded (or the plan has fewer than two entries) refreshScene runs, for the views that
// show the route. Returns false when a leg failed.
bool BuildCurrentRoute(TGalaxy& galaxy, std::span<TSystem* const> plan, std::vector<TSystem*>& rows,
    const std::function<void()>& refreshScene = {});
