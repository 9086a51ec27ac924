#pragma once
// The background loaders: stations, agents and agent notes on one thread, jumps and the routing
// graph on another, started once the map load has filled the systems. Their notifications run on
// the thread that started them, through the handlers of TLoadHandlers.

#include <QSqlDatabase>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "model/uGalaxy.h"

// ---------------------------------------------------------------- core steps, usable without threads

// Reads every gate link: a TJump on the from-system's Jumps for each row whose two systems are in
// the model, counted in galaxy.JumpCount (reset first). progress gets the count after every 100th
// jump; stop is asked after every row. Returns the number of jumps added.
int LoadJumps(TGalaxy& galaxy, const QSqlDatabase& map, const std::function<bool()>& stop,
    const std::function<void(int)>& progress = {});

// Fills galaxy.Graph: one vertex per system in list order (cost 1, Data the system, its name),
// the index kept in the system's VertexIndex, then one link per jump weighted with the target's
// BlockThreshold. Stops early when stop says so; otherwise finalises the graph.
// On a thread, thresholds holds the thresholds by system list position, taken on the GUI thread
// (which may change them meanwhile); when empty, the systems' own are read.
void BuildRouteGraph(TGalaxy& galaxy, const std::function<bool()>& stop, std::span<const qint32> thresholds = {});

// What the station loader hands over. Stations and agents are linked to each other and to their
// systems, corporations, divisions and operations; the systems' own Stations and Agents lists are
// filled only at the hand-over, on the GUI thread, so drawing never sees them half-grown.
struct TStationData {
    std::unique_ptr<TKeyedList<TStation>> Stations; // key: the ID as decimal text, in row order
    std::unique_ptr<TKeyedList<TAgent>> Agents;
};

// Reads stations and agents from map and the agent notes from custom. stop is asked after every
// row; a stopped read returns what it has. Throws EDatabaseError when a statement fails.
TStationData LoadStationsAndAgents(TGalaxy& galaxy, const QSqlDatabase& map, const QSqlDatabase& custom,
    const std::function<bool()>& stop);

// ---------------------------------------------------------------- notifications

// What the loaders' completion does to the windows; unset members are skipped.
struct TLoaderHost {
    std::function<void(const QString&)> ShowStatus; // status panel 1
    std::function<void(const QString&)> WriteLog;   // application log
    std::function<void(const QString& action, bool enabled)> EnableAction;
    std::function<void(bool busy)> SetBusyCursor;
    std::function<void()> Redraw;
};

// The galaxy's handlers of the loaders' notifications; run on the GUI thread. Each does nothing
// once galaxy.ShuttingDown is set. The solver and the agent and station searches open when both
// loaders have finished, whichever finishes second.
class TLoadHandlers {
public:
    TLoadHandlers(TGalaxy& galaxy, TLoaderHost host) : m_galaxy(galaxy), m_host(std::move(host)) { }

    // Publishes Stations and Agents, attaches them to their systems, loads the station offices.
    void StationsLoaded(TStationData data);
    void JumpProgress();
    // Jumps and the graph are in place: flags, status, actions, cursor, redraw.
    void JumpsLoaded();
    // A loader ended on an error: the user is told; what needs its data stays closed, while a
    // failed station load does not keep routing off.
    void StationsFailed(const QString& error);
    void JumpsFailed(const QString& error);

    bool StationsFinished() const { return m_stationsEnded; }
    bool JumpsFinished() const { return m_jumpsEnded; }

private:
    void Status(const QString& text) const;
    void Log(const QString& text) const;
    void Enable(const char* action) const;
    // Runs once both loaders have ended, from the second of them.
    void BothEnded();

    TGalaxy& m_galaxy;
    TLoaderHost m_host;
    bool m_stationsEnded = false;
    bool m_stationsOk = false;
    bool m_jumpsEnded = false;
    bool m_jumpsOk = false;
    QString m_stationsFailure;
};

// ---------------------------------------------------------------- the threads

// Common part of the two loaders: the file paths of their own connections, the stop test, and the
// hand-over of the outcome under a lock, so the GUI thread reads only what a finished run wrote.
class TLoaderThread : public QThread {
    Q_OBJECT
public:
    // Stops a still running loader (after its current row) and waits for it.
    ~TLoaderThread() override;

    // Valid once Done has been raised; empty on success.
    QString Error() const;

signals:
    void Progress(); // OnProgress
    void Done();     // OnDone

protected:
    TLoaderThread(TGalaxy& galaxy, QString mapPath, QString customPath);
    bool Stopping() const;
    // Stores the outcome for the GUI thread and raises Done; the last thing run() does.
    void Finish(QString error);
    // Every destructor calls it first, before its members go.
    void StopAndWait();

    TGalaxy& m_galaxy;
    const QString m_mapPath;
    const QString m_customPath;
    mutable std::mutex m_lock; // guards m_error and, in the station loader, its result
    QString m_error;
};

// Reads stations, agents and agent notes on connections of its own.
class TStationLoader : public TLoaderThread {
    Q_OBJECT
public:
    TStationLoader(TGalaxy& galaxy, QString mapPath, QString customPath)
        : TLoaderThread(galaxy, std::move(mapPath), std::move(customPath)) { }
    ~TStationLoader() override;
    // Hands the loaded lists over; call after Done.
    TStationData TakeData();

protected:
    void run() override;

private:
    TStationData m_data;
};

// Reads the jumps and builds the routing graph on a connection of its own.
class TJumpLoader : public TLoaderThread {
    Q_OBJECT
public:
    TJumpLoader(TGalaxy& galaxy, QString mapPath, std::vector<qint32> thresholds)
        : TLoaderThread(galaxy, std::move(mapPath), QString()), m_thresholds(std::move(thresholds)) { }
    ~TJumpLoader() override;

protected:
    void run() override;

private:
    const std::vector<qint32> m_thresholds;
};

// The last step of the map load: shows "工作中..", then starts the station loader and the jump
// loader, each with its own connections to the files of galaxy.MapConnection and
// galaxy.CustomConnection. The loaders are kept in galaxy.Loaders; their notifications run on the
// calling thread through TLoadHandlers with host, and are dropped if the galaxy is gone by then.
void StartLoaders(TGalaxy& galaxy, TLoaderHost host);
