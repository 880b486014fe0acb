#include "transport/local_channel_win.h"

#include <sddl.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/system/wide_text_win.h"
#include "transport/channel_outbox.h"
#include "transport/connection_book.h"
#include "transport/local_channel.h"
#include "transport/pipe_client_token_win.h"
#include "transport/pipe_server_check_win.h"

namespace zel {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr DWORD kReadPiece = kChannelReadPiece;  // as ReadFile takes it
// How much one write hands to a pipe. A client that reads slowly holds only this much of its queue in a
// write the system has not finished; the rest stays queued, where kChannelQueueLimit sees it.
constexpr std::size_t kWritePiece = 64 * 1024;
// The sizes the pipe's buffers are asked for, each way.
constexpr DWORD kPipeBuffer = 64 * 1024;
// How long reading what a hung-up peer left waits for one piece; a closed pipe answers at once.
constexpr DWORD kLeftWait = 200;
// One wait covers at most 64 handles: the wake-up, the waiting instance and one per client, with room.
constexpr std::size_t kMaxClients = MAXIMUM_WAIT_OBJECTS - 4;

const std::wstring_view kPipePrefix = L"\\\\.\\pipe\\";

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset() {
        if (handle_) CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

Handle manualResetEvent() {
    return Handle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

// One overlapped call on a pipe. Its OVERLAPPED and buffer belong to the system until it finished.
struct Operation {
    OVERLAPPED overlapped{};
    bool pending = false;

    bool done() const { return pending && HasOverlappedIoCompleted(&overlapped); }

    // Zero once the call is under way (or already done: `done` then says so); its error otherwise.
    template <typename Call>
    DWORD start(HANDLE event, Call call) {
        overlapped = {};
        overlapped.hEvent = event;
        if (call(&overlapped) || GetLastError() == ERROR_IO_PENDING) {
            pending = true;
            return 0;
        }
        return GetLastError();
    }

    // For a call that is done: zero and the bytes it moved, or its error.
    DWORD finish(HANDLE file, DWORD& bytes) {
        pending = false;
        bytes = 0;
        return GetOverlappedResult(file, &overlapped, &bytes, FALSE) ? 0 : GetLastError();
    }

    // Ends a call still under way and waits until the system has let go of it.
    void cancel(HANDLE file) {
        if (!pending) return;
        CancelIoEx(file, &overlapped);
        DWORD bytes = 0;
        GetOverlappedResult(file, &overlapped, &bytes, TRUE);
        pending = false;
    }
};

bool isPipePath(const std::string& path) {
    const std::wstring name = widen(path);
    return name.size() > kPipePrefix.size() && name.find(L'\0') == std::wstring::npos &&
           CompareStringOrdinal(name.data(), static_cast<int>(kPipePrefix.size()), kPipePrefix.data(),
                                static_cast<int>(kPipePrefix.size()), TRUE) == CSTR_EQUAL;
}

// A read or write that failed because the other end closed or disconnected: a hang-up, not a fault.
bool peerHungUp(DWORD error) {
    return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED;
}

std::string readFailure(DWORD error) {
    return peerHungUp(error) ? std::string() : "Okunamadı: " + systemMessage(error);
}

std::string writeFailure(DWORD error) {
    return peerHungUp(error) ? std::string() : "Yazılamadı: " + systemMessage(error);
}

// Hands the next piece of the queue to an idle pipe's write; zero, or why the write failed. The
// piece stays in `buffer` until the write finished.
DWORD startWrite(HANDLE pipe, HANDLE event, Operation& write, std::string& buffer, Outbox& out) {
    if (!write.pending) out.writing = 0;
    if (write.pending || out.queue.empty()) return 0;
    buffer = out.queue.take(kWritePiece);
    out.writing = buffer.size();
    const std::string& bytes = buffer;
    return write.start(event, [&](OVERLAPPED* o) {
        return WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, o);
    });
}

// Zero and the finished write's buffer let go, or why that write failed.
DWORD finishWrite(HANDLE pipe, Operation& write, std::string& buffer) {
    if (!write.done()) return 0;
    DWORD bytes = 0;
    const DWORD failed = write.finish(pipe, bytes);
    buffer.clear();
    return failed;
}

struct LocalFreeDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};
using SecurityDescriptor = std::unique_ptr<void, LocalFreeDeleter>;

// One instance of the pipe: put out for the next client, then that client's connection.
struct Instance {
    Handle pipe;
    Handle event;  // connect, read and write all signal it: one handle per client of the 64 a wait takes
    Operation connect, read, write;
    bool arrived = false;  // ConnectNamedPipe found a client there already
    DWORD arrival = 0;     // then: zero, or why the client is of no use
    std::vector<char> readBuffer;
    std::string writeBuffer;

    ~Instance() {
        connect.cancel(pipe.get());
        read.cancel(pipe.get());
        write.cancel(pipe.get());
    }
};

class Win32ChannelServer final : public ChannelServer {
public:
    Win32ChannelServer(std::wstring name, SecurityDescriptor descriptor, Events events)
        : name_(std::move(name)), descriptor_(std::move(descriptor)), book_(std::move(events)) {
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor_.get();
        attributes_.bInheritHandle = FALSE;
    }

    ~Win32ChannelServer() override {
        book_.stop();
        if (wake_) SetEvent(wake_.get());
        if (thread_.joinable()) thread_.join();
        connections_.clear();
        waiting_.reset();
    }

    bool start(const std::string& path, std::string& error) {
        wake_ = Handle(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!wake_) {
            error = "Kanal açılamadı: " + systemMessage(GetLastError());
            return false;
        }
        // Asked first as well: a system that ignores the first instance's flag (Wine does) would
        // otherwise add this instance to the pipe of whoever holds the name.
        DWORD why = ERROR_ACCESS_DENIED;
        std::unique_ptr<Instance> first;
        if (!nameIsTaken()) first = createInstance(true, why);
        if (!first) {
            // The first instance's flag: the name is taken, by another service or by anyone at all.
            error = why == ERROR_ACCESS_DENIED || why == ERROR_PIPE_BUSY
                        ? "Bu kanalda çalışan bir hizmet zaten dinliyor: " + path
                        : "Kanal açılamadı: " + path + " (" + systemMessage(why) + ")";
            return false;
        }
        putOut(std::move(first));
        return startLoop(thread_, [this] { run(); }, "Kanal açılamadı", error);
    }

    void send(ClientId client, std::string bytes) override {
        if (book_.send(client, std::move(bytes))) SetEvent(wake_.get());
    }

    void close(ClientId client, bool afterQueued) override {
        if (book_.close(client, afterQueued)) SetEvent(wake_.get());
    }

private:
    void run() {
        std::vector<HANDLE> handles;
        std::vector<ClientId> ids;
        while (!book_.stopping()) {
            const DWORD timeout = prepareWait(handles);
            if (WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, timeout) ==
                WAIT_FAILED)
                break;
            ids.clear();
            for (const auto& entry : connections_) ids.push_back(entry.first);
            for (std::size_t i = 0; i < ids.size() && !book_.stopping(); ++i) serve(ids[i]);
            if (book_.stopping()) break;
            if (waiting_) {
                acceptArrived();
            } else if (SteadyClock::now() >= listenerRestsUntil_) {
                DWORD why = 0;
                putOut(createInstance(false, why));
            }
        }
    }

    // The wake-up, the waiting instance and every client; the timeout is the nearest deadline.
    DWORD prepareWait(std::vector<HANDLE>& handles) {
        handles.assign({wake_.get()});
        std::optional<SteadyClock::time_point> nearest;
        if (waiting_) {
            handles.push_back(waiting_->event.get());
        } else {
            nearest = listenerRestsUntil_;
        }
        for (const auto& entry : connections_) handles.push_back(entry.second->event.get());
        const long long wait = waitMillis(book_.nearestDeadline(nearest));
        return wait < 0 ? INFINITE : static_cast<DWORD>(wait);
    }

    // Whether a pipe of the name exists, whether or not one of its instances waits for a client now.
    bool nameIsTaken() const {
        return WaitNamedPipeW(name_.c_str(), 1) || GetLastError() == ERROR_SEM_TIMEOUT;
    }

    std::unique_ptr<Instance> createInstance(bool first, DWORD& error) {
        auto instance = std::make_unique<Instance>();
        instance->event = manualResetEvent();
        if (!instance->event) {
            error = GetLastError();
            return nullptr;
        }
        // A first instance fails where the name exists: never a second service, nor one that joins
        // whatever process took the name first.
        const DWORD openMode =
            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
        instance->pipe = Handle(
            CreateNamedPipeW(name_.c_str(), openMode,
                             PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                             PIPE_UNLIMITED_INSTANCES, kPipeBuffer, kPipeBuffer, 0, &attributes_));
        if (!instance->pipe) {
            error = GetLastError();
            return nullptr;
        }
        return instance;
    }

    // Lets `instance` wait for the next client; without one (the system refused it) the loop tries
    // again after a rest.
    void putOut(std::unique_ptr<Instance> instance) {
        waiting_.reset();
        if (!instance) {
            listenerRestsUntil_ = SteadyClock::now() + kListenerRest;
            return;
        }
        HANDLE pipe = instance->pipe.get();
        instance->arrived = false;
        instance->arrival = 0;
        const DWORD error = instance->connect.start(
            instance->event.get(), [pipe](OVERLAPPED* o) { return ConnectNamedPipe(pipe, o); });
        if (error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA) {
            // A client came between the instance's making and this call (and may have gone again).
            instance->arrived = true;
            instance->arrival = error == ERROR_NO_DATA ? error : 0;
            SetEvent(instance->event.get());
        } else if (error != 0) {
            listenerRestsUntil_ = SteadyClock::now() + kListenerRest;
            return;
        }
        waiting_ = std::move(instance);
    }

    void acceptArrived() {
        Instance& arrived = *waiting_;
        if (!arrived.arrived && !arrived.connect.done()) return;
        DWORD bytes = 0;
        const DWORD error =
            arrived.arrived ? arrived.arrival : arrived.connect.finish(arrived.pipe.get(), bytes);
        if (error != 0 || connections_.size() >= kMaxClients) {
            // Gone already, or no room: disconnecting tells the client, and the instance waits again.
            DisconnectNamedPipe(arrived.pipe.get());
            putOut(std::move(waiting_));
            return;
        }
        std::unique_ptr<Instance> client = std::move(waiting_);
        DWORD why = 0;
        putOut(createInstance(false, why));  // the next client need not wait for this one's welcome

        ULONG pid = 0;
        GetNamedPipeClientProcessId(client->pipe.get(), &pid);
        // The pipe's access list decided who may connect; the client's token says what it may do.
        const PeerIdentity peer = pipeClientIdentity(client->pipe.get(), static_cast<std::int64_t>(pid));
        client->readBuffer.resize(kReadPiece);
        SetEvent(client->event.get());  // its first read is started when the loop comes round
        const ClientId id = book_.open();
        connections_.emplace(id, std::move(client));
        if (book_.stopping()) return;
        book_.tellConnected(id, peer);
    }

    void serve(ClientId id) {
        Instance& c = *connections_.at(id);
        // Reset before looking: a call that finishes after the look signals it again.
        ResetEvent(c.event.get());
        // Finishes the client's write and starts the next.
        const DWORD finished = finishWrite(c.pipe.get(), c.write, c.writeBuffer);
        ConnectionStep step = book_.writeStep(id, [&](Outbox& out) -> std::optional<std::string> {
            const DWORD failed =
                finished != 0 ? finished : startWrite(c.pipe.get(), c.event.get(), c.write, c.writeBuffer, out);
            if (failed != 0) return writeFailure(failed);
            return std::nullopt;
        });
        if (step.hungUp()) {
            readLeft(c, step);
        } else if (!step.ended) {
            readArrived(c, step);
        }
        if (!step.ended && (c.read.done() || c.write.done())) SetEvent(c.event.get());
        // Closed, not disconnected: the client still reads what the pipe holds for it, then the end.
        book_.finish(id, std::move(step), [&] { connections_.erase(id); });
    }

    // Takes what a finished read brought and starts the next.
    static void readArrived(Instance& c, ConnectionStep& step) {
        HANDLE pipe = c.pipe.get();
        DWORD failed = 0;
        if (c.read.done()) {
            DWORD bytes = 0;
            failed = c.read.finish(pipe, bytes);
            step.received.assign(c.readBuffer.data(), bytes);
        }
        if (failed == 0 && !c.read.pending) {
            char* buffer = c.readBuffer.data();
            failed = c.read.start(
                c.event.get(), [&](OVERLAPPED* o) { return ReadFile(pipe, buffer, kReadPiece, nullptr, o); });
        }
        if (failed != 0) step.end(readFailure(failed));
    }

    // A client that hung up may have left its last messages in the pipe: a failed write must not
    // lose them. Reads from a closed pipe end at once; the wait only bounds a pipe still closing.
    static void readLeft(Instance& c, ConnectionStep& step) {
        std::string left;
        for (ConnectionStep piece; !piece.ended; left += piece.received) {
            piece.received.clear();
            ResetEvent(c.event.get());  // the event is the write's too: only the read may end the wait
            if (c.read.pending && !c.read.done() &&
                WaitForSingleObject(c.event.get(), kLeftWait) != WAIT_OBJECT_0)
                break;
            readArrived(c, piece);
        }
        c.read.cancel(c.pipe.get());
        step.received = std::move(left);
    }

    const std::wstring name_;
    const SecurityDescriptor descriptor_;
    SECURITY_ATTRIBUTES attributes_{};
    ConnectionBook book_;
    Handle wake_;
    SteadyClock::time_point listenerRestsUntil_;
    // Only the loop touches the instances, so none is closed while another thread might use it.
    std::unique_ptr<Instance> waiting_;
    std::map<ClientId, std::unique_ptr<Instance>> connections_;

    std::thread thread_;  // last: started once everything above exists
};

class Win32ChannelClient final : public ChannelClient {
public:
    Win32ChannelClient(Handle pipe, Events events) : pipe_(std::move(pipe)), events_(std::move(events)) {}

    ~Win32ChannelClient() override {
        stopping_ = true;
        if (wake_) SetEvent(wake_.get());
        if (thread_.joinable()) thread_.join();
        read_.cancel(pipe_.get());
        write_.cancel(pipe_.get());
    }

    bool start(std::string& error) {
        wake_ = Handle(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        readEvent_ = manualResetEvent();
        writeEvent_ = manualResetEvent();
        if (!wake_ || !readEvent_ || !writeEvent_) {
            error = "Bağlanılamadı: " + systemMessage(GetLastError());
            return false;
        }
        readBuffer_.resize(kReadPiece);
        return startLoop(thread_, [this] { run(); }, "Bağlanılamadı", error);
    }

    void send(std::string bytes) override {
        out_.add(std::move(bytes));
        SetEvent(wake_.get());
    }

    bool flush(std::chrono::milliseconds limit) override { return out_.flush(limit); }

private:
    void run() {
        std::optional<std::string> why;
        while (!why) {
            if (stopping_) return;
            why = writeQueued();
            if (!why) why = readArrived();
            if (why || read_.done() || write_.done()) continue;
            const HANDLE handles[] = {wake_.get(), readEvent_.get(), writeEvent_.get()};
            if (WaitForMultipleObjects(3, handles, FALSE, INFINITE) == WAIT_FAILED)
                why = "Bağlantı izlenemedi: " + systemMessage(GetLastError());
        }
        if (why->empty()) readLeft();
        out_.end();
        read_.cancel(pipe_.get());
        write_.cancel(pipe_.get());
        pipe_.reset();  // the service sees the end now, not at destruction
        if (!stopping_) callIfSet(events_.closed, *why);
    }

    // Nothing while the connection goes on; why it ended otherwise.
    std::optional<std::string> writeQueued() {
        if (write_.done()) ResetEvent(writeEvent_.get());
        const DWORD finished = finishWrite(pipe_.get(), write_, writeBuffer_);
        return out_.write([&](Outbox& out) -> std::optional<std::string> {
            const DWORD failed =
                finished != 0 ? finished : startWrite(pipe_.get(), writeEvent_.get(), write_, writeBuffer_, out);
            if (failed != 0) return writeFailure(failed);
            return std::nullopt;
        });
    }

    std::optional<std::string> readArrived() {
        HANDLE pipe = pipe_.get();
        if (read_.done()) {
            DWORD bytes = 0;
            const DWORD failed = read_.finish(pipe, bytes);
            ResetEvent(readEvent_.get());
            if (failed != 0) return readFailure(failed);
            if (bytes > 0) callIfSet(events_.received, std::string(readBuffer_.data(), bytes));
        }
        if (!read_.pending) {
            char* buffer = readBuffer_.data();
            const DWORD failed = read_.start(readEvent_.get(), [&](OVERLAPPED* o) {
                return ReadFile(pipe, buffer, kReadPiece, nullptr, o);
            });
            if (failed != 0) return readFailure(failed);
        }
        return std::nullopt;
    }

    // A service that hung up may have left its last messages in the pipe, such as a refusal sent
    // just before it closed: a failed write must not lose them.
    void readLeft() {
        while (!readArrived()) {
            if (!read_.done() && WaitForSingleObject(readEvent_.get(), kLeftWait) != WAIT_OBJECT_0) return;
        }
    }

    Handle pipe_;
    const Events events_;
    Handle wake_, readEvent_, writeEvent_;
    std::atomic<bool> stopping_ = false;
    Operation read_, write_;  // only the client's thread starts and finishes them
    std::vector<char> readBuffer_;
    std::string writeBuffer_;
    ClientOutbox out_;

    std::thread thread_;
};

}  // namespace

std::unique_ptr<ChannelServer> listenOnChannel(const std::string& path, ChannelServer::Events events,
                                               std::string& error) {
    if (!isPipePath(path)) {
        error = "Kanal yolu geçersiz: " + path;
        return nullptr;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(widen(kChannelPipeAccess).c_str(),
                                                              SDDL_REVISION_1, &descriptor, nullptr)) {
        error = "Kanal açılamadı: " + systemMessage(GetLastError());
        return nullptr;
    }
    auto server =
        std::make_unique<Win32ChannelServer>(widen(path), SecurityDescriptor(descriptor), std::move(events));
    if (!server->start(path, error)) return nullptr;
    return server;
}

std::unique_ptr<ChannelClient> connectToChannel(const std::string& path, std::chrono::milliseconds timeout,
                                                ChannelClient::Events events, std::string& error) {
    const auto deadline = SteadyClock::now() + timeout;
    if (!isPipePath(path)) {
        error = "Kanal yolu geçersiz: " + path;
        return nullptr;
    }
    const std::wstring name = widen(path);
    Handle pipe;
    for (;;) {
        // Identification only: the service may learn who connects but never act as them.
        pipe = Handle(CreateFileW(name.c_str(), kChannelClientRights, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                  nullptr));
        if (pipe) break;
        const DWORD why = GetLastError();
        if (why == ERROR_ACCESS_DENIED) {
            error = std::string(kChannelRefused);
            return nullptr;
        }
        if (why != ERROR_PIPE_BUSY) {
            error = "Bağlanılamadı: " + path + " (" + systemMessage(why) + ")";
            return nullptr;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
        if (left <= 0) {
            error = "Kanal yanıt vermedi: " + path;
            return nullptr;
        }
        // Every instance is taken; the service puts out the next one at once, or gives up on a client.
        const DWORD wait = static_cast<DWORD>(std::min<decltype(left)>(left, 1000));
        if (!WaitNamedPipeW(name.c_str(), wait) && GetLastError() != ERROR_SEM_TIMEOUT)
            Sleep(std::min<DWORD>(wait, 10));
    }
    // A program that took the name before the service must never hear a window's settings, nor
    // show it a state of its own making: to the window, that is no service at all.
    if (!servedByTheService(pipe.get())) {
        error = "Kanal hizmete ait değil: " + path;
        return nullptr;
    }
    auto client = std::make_unique<Win32ChannelClient>(std::move(pipe), std::move(events));
    if (!client->start(error)) return nullptr;
    return client;
}

}  // namespace zel
