// The objects behind HINTERNET values and the table that hands them out.
// A value is a number that is never given out twice, so a closed or forged
// value is recognised instead of reaching freed memory.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/inet/Transfer.h"
#include "platform/inet/WinInet.h"

namespace inet {

struct InternetHandle {
    enum class Kind { Session, Connection, Request };

    explicit InternetHandle(Kind k) : kind(k) {}

    // True once the stop flag is set or the handle or one it was made under
    // is closed; a call blocked on the handle then gives up.
    bool Cancelled() const {
        const std::atomic<int>* stop = stopFlag.load();
        if (closed.load() || (stop && stop->load() != 0)) return true;
        return (session && session->closed.load()) || (connection && connection->closed.load());
    }

    const Kind kind;
    std::atomic<bool> closed{false};
    std::atomic<const std::atomic<int>*> stopFlag{nullptr};
    std::mutex call;  // one blocking call at a time

    // Session.
    std::string agent;
    bool direct = true;
    // Connection.
    std::shared_ptr<InternetHandle> session;
    std::string server;
    INTERNET_PORT port = 0;
    // Request (also a URL opened for reading).
    std::shared_ptr<InternetHandle> connection;
    std::string verb;
    std::string object;
    DWORD flags = 0;
    std::unique_ptr<Transfer> transfer;
};

class HandleTable {
public:
    static HandleTable& Instance();

    // Adds a handle made under parent (null for a session); closing the
    // parent closes it too.
    HINTERNET Add(std::shared_ptr<InternetHandle> handle, HINTERNET parent);
    // The handle, or null when the value is not an open handle.
    std::shared_ptr<InternetHandle> Find(HINTERNET value) const;
    // Closes the handle and those made under it; false when it was not open.
    bool Close(HINTERNET value);

private:
    struct Entry {
        std::shared_ptr<InternetHandle> handle;
        uintptr_t parent = 0;
    };

    void CloseLocked(uintptr_t id, std::vector<std::shared_ptr<InternetHandle>>& closed);

    mutable std::mutex mutex_;  // guards next_ and entries_
    uintptr_t next_ = 0x1000;
    std::vector<std::pair<uintptr_t, Entry>> entries_;
};

}  // namespace inet
