#pragma once

#include "Helper/HelperService.h"
#include "Platform/PeerIdentity.h"
#include "Platform/UnixSocketListener.h"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace quorvane {

// Serves the helper's socket: every accepted connection gets its own thread, which checks the peer
// before it reads a single request byte, then answers calls in order until the peer goes away or
// breaks the protocol. One shared HelperService answers every connection.
class HelperServer {
public:
    HelperServer(HelperService& service, ClientRequirement requirement);
    ~HelperServer();

    // Accepts until stop(); returns once every connection thread has ended (a transaction in progress
    // always runs to its end first).
    void run(UnixSocketListener& listener);
    // Safe from any thread.
    void stop();

    // One connection, on the calling thread: the identity check, then calls until the end.
    void serveConnection(UnixSocketChannel& channel);

private:
    struct Connection {
        UnixSocketChannel channel;
        std::thread thread;
        std::atomic<bool> finished = false;
    };

    void reapFinished();

    HelperService& m_service;
    ClientRequirement m_requirement;
    std::mutex m_mutex;
    std::list<std::unique_ptr<Connection>> m_connections;
    UnixSocketListener* m_listener = nullptr;
    std::atomic<bool> m_stopping = false;
};

} // namespace quorvane
