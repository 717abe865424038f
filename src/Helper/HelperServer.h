#pragma once

#include "Helper/HelperService.h"
#include "Platform/PeerIdentity.h"
#include "Platform/UnixSocketListener.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace quorvane {

// What the helper spends on its connections at most.
struct HelperServerLimits {
    // Connections served at once. A client beyond them is still accepted: the connection idle longest
    // (between requests, or inside a frame still arriving) is closed to make room, and only when every
    // connection is serving a request does the newcomer wait for one to finish.
    int maxConnections = 8;
    // A frame begun must be finished within this time, or its connection is closed.
    std::chrono::milliseconds partialFrameTimeout{10000};
    // Starts a connection's thread; null means std::thread. May throw std::system_error, as
    // std::thread does when the system has no thread to give; tests make it do so.
    std::function<std::thread(std::function<void()>)> startThread;
};

// Serves the helper's socket: every accepted connection gets its own thread, up to a fixed number
// at once, which checks the peer before it reads a single request byte, then answers calls in order
// until the peer goes away, breaks the protocol, stalls in the middle of a frame or is closed to make
// room for a newer client. One shared HelperService answers every connection.
class HelperServer {
public:
    HelperServer(HelperService& service, ClientRequirement requirement, HelperServerLimits limits = {});
    ~HelperServer();

    // Accepts until stop(); returns once every connection thread has ended (a transaction in progress
    // always runs to its end first).
    void run(UnixSocketListener& listener);
    // Safe from any thread.
    void stop();

private:
    // The fields other than the channel and the thread are guarded by m_mutex.
    struct Connection {
        UnixSocketChannel channel;
        std::thread thread;
        bool finished = false;
        // From a complete request frame until its reply has been written.
        bool serving = false;
        // Shut down to make room; its thread is ending.
        bool closing = false;
        std::chrono::steady_clock::time_point idleSince;
    };

    // One connection, on its own thread: the identity check, then calls until the end.
    void serveConnection(Connection& connection);
    void reapFinished();
    // Under the lock: true once a new connection may start. At the cap, closes the connection idle
    // longest unless one is already on its way out.
    bool makeRoom(std::size_t cap);
    void startConnection(UnixSocketChannel channel);

    HelperService& m_service;
    ClientRequirement m_requirement;
    HelperServerLimits m_limits;
    std::mutex m_mutex;
    std::condition_variable m_connectionEnded;
    std::list<std::unique_ptr<Connection>> m_connections;
    UnixSocketListener* m_listener = nullptr;
    std::atomic<bool> m_stopping = false;
};

} // namespace quorvane
