#pragma once
// The commands of qormap-cli: a table of named commands run over a universe loaded read-only from
// a home folder, and the pieces they are made of (argument parsing, name lookup with suggestions,
// the route and optimise commands' results and their text and JSON forms).

#include "model/uDatabase.h"
#include "model/uGalaxy.h"
#include "routing/uPlan.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>
#include <vector>

namespace cli {

constexpr int ExitOk = 0;
constexpr int ExitError = 1; // bad usage, unknown names, unreadable files
constexpr int ExitUnreachable = 2; // no route (route), no order reaching every system (optimise)

struct TCliContext {
    QString Home; // the folder holding map.db and custom.db
    QTextStream& Out;
    QTextStream& Err;
    bool LeaveToExit = false; // the process ends after the command: its data is left for the system to free
};

// One command of the table: adding a command is one entry and its run function.
struct TCommand {
    QString Name;
    QString Arguments; // the synopsis after the name
    QString Summary; // one line for the command list
    QString Details; // the options, for "COMMAND --help"
    int (*Run)(const TCliContext& context, const QStringList& args);
};

const std::vector<TCommand>& Commands();

// Runs a command line (without the program name); defaultHome serves when --home is not given.
// leaveToExit: see TCliContext.
int RunCli(const QStringList& args, const QString& defaultHome, QTextStream& out, QTextStream& err,
    bool leaveToExit = false);

// The universe as the commands need it: opened read-only, nothing written to the home folder.
struct TUniverse {
    std::unique_ptr<TDbConnection> Map;
    std::unique_ptr<TDbConnection> Custom; // an empty in-memory user database when custom.db is absent
    std::unique_ptr<TGalaxy> Galaxy; // declared last: freed before the connections
};

// Loads systems, the user's data, the jumps and the route graph, and the stored block thresholds.
// Stations and agents are not read. Null with error set on failure ("fatal: ..." texts).
std::unique_ptr<TUniverse> OpenUniverse(const QString& home, QString* error);

// ---- names
// Levenshtein distance, ignoring case.
int EditDistance(const QString& a, const QString& b);
// The system of that name: exact first, otherwise ignoring case; null when none.
TSystem* FindSystem(const TGalaxy& galaxy, const QString& name);
// Up to count system names closest to name by edit distance, nearest first, ties by name.
QStringList ClosestNames(const TGalaxy& galaxy, const QString& name, int count = 5);
// The names that no system carries, each once, in the order given.
QStringList UnknownNames(const TGalaxy& galaxy, const QStringList& names);

// ---- the route command
struct TRouteRequest {
    QString From;
    QString To;
    QStringList Via;
    QStringList Avoid;
    QStringList Block;
    quint8 Preference = 2; // TGalaxy::SecurityPreference
    bool Json = false;
};

// False with error set on bad usage.
bool ParseRouteArgs(const QStringList& args, TRouteRequest& request, QString* error);

// "shortest", "high", "low" and back; an unknown text gives false.
QString PreferenceName(quint8 preference);
bool PreferenceFromName(const QString& name, quint8& preference);

struct TRouteResult {
    bool Reachable = false;
    std::vector<TSystem*> Systems; // start first; on failure the legs that succeeded
    TSystem* LegFrom = nullptr; // the leg that failed
    TSystem* LegTo = nullptr;
};

// Applies the preference and the given exclusions over the stored ones, read again from the custom
// database (the stricter wins; nothing is stored), and builds the current route through From, the
// Via systems and To. Every name must be known (see UnknownNames). Throws EDatabaseError when the
// stored exclusions cannot be read.
TRouteResult PlanRoute(TGalaxy& galaxy, const TRouteRequest& request);

// Names of the request that no system carries, each once, in the order given.
QStringList UnknownNames(const TGalaxy& galaxy, const TRouteRequest& request);

// Security as shown: one decimal, never "-0.0" (the planner's route list shows it the same way).
using ::SecurityText;
// One line per system (name, security, region), then the number of jumps; or "DESTINATION UNREACHABLE".
QString RouteText(const TRouteResult& result);
QJsonObject RouteJson(const TRouteRequest& request, const TRouteResult& result);

// ---- the optimise command
struct TOptimiseRequest {
    QString Start;
    QStringList Waypoints; // in the order given
    QString End; // empty: the last place is free
    QStringList Fixed; // systems of the plan whose entries keep their places
    quint8 Preference = 2; // TGalaxy::SecurityPreference
    bool Json = false;
};

// False with error set on bad usage.
bool ParseOptimiseArgs(const QStringList& args, TOptimiseRequest& request, QString* error);
// Names of the request that no system carries, each once, in the order given.
QStringList UnknownNames(const TGalaxy& galaxy, const TOptimiseRequest& request);

// The plan as the planner holds it: the start checked, the waypoints unchecked in the given
// order, the end checked, and every entry of a --fixed system checked. Every name must be known;
// false with error set when a --fixed system is not in the plan.
bool BuildOptimisePlan(const TGalaxy& galaxy, const TOptimiseRequest& request, TPlan& plan, QString* error);

struct TOptimiseResult {
    std::vector<TPlanEntry> Order; // the optimised plan with its check marks
    qint32 JumpsBefore = -1; // through the given order; -1 when a leg has no route
    qint32 JumpsAfter = -1; // through the optimised order; -1 when no order has a route
    QStringList Errors; // segments whose optimisation ended on an error ("p:%d s:%d t:%d idx:%d")
};

// Applies the preference over the stored exclusions (read again from the custom database) and
// runs the planner's optimiser over the plan.
TOptimiseResult OptimiseRoute(TGalaxy& galaxy, const TPlan& plan, quint8 preference);

// One line per plan entry (name, security, region, "fixed" for checked ones), then the jumps
// before and after ("unreachable" for -1).
QString OptimiseText(const TOptimiseResult& result);
QJsonObject OptimiseJson(const TOptimiseRequest& request, const TOptimiseResult& result);

} // namespace cli
