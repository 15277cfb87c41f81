// The COM-like layer: a table of class factories, a table of active
// objects, the initialised threads and a table of waitable events. All
// tables are guarded, since runtimes set events from threads of their own.
#include "platform/speech/com.hpp"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace platform::com {
namespace {

struct Event {
    std::mutex lock;
    std::condition_variable changed;
    bool manualReset = true;
    bool signalled = false;
};

struct ComState {
    std::mutex lock;
    std::map<Guid, Factory> classes;
    struct Active {
        Guid clsid;
        IUnknown* object = nullptr;
    };
    std::map<std::uint32_t, Active> active;
    std::uint32_t nextRegistration = 1;
    std::map<std::thread::id, int> initialised;  // thread -> initialisation count
    std::map<Handle, std::shared_ptr<Event>> events;
    Handle nextHandle = 0x1000;
};

ComState& state() {
    static ComState* s = new ComState;  // runtime threads may set events until the very end
    return *s;
}

std::shared_ptr<Event> findEvent(Handle h) {
    ComState& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    auto it = s.events.find(h);
    return it == s.events.end() ? nullptr : it->second;
}

}  // namespace

std::string guidText(const Guid& g) {
    static const char* digits = "0123456789ABCDEF";
    std::string out = "{";
    for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += digits[g.bytes[i] >> 4];
        out += digits[g.bytes[i] & 15];
    }
    return out + "}";
}

HResult coInitialize() {
    ComState& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.initialised[std::this_thread::get_id()]++ == 0 ? S_OK : S_FALSE;
}

void coUninitialize() {
    ComState& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    auto it = s.initialised.find(std::this_thread::get_id());
    if (it != s.initialised.end() && --it->second <= 0) s.initialised.erase(it);
}

void registerClass(const Guid& clsid, Factory factory) {
    ComState& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    if (factory)
        s.classes[clsid] = factory;
    else
        s.classes.erase(clsid);
}

bool classRegistered(const Guid& clsid) {
    ComState& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.classes.contains(clsid);
}

HResult coCreateInstance(const Guid& clsid, const Guid& iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    Factory factory = nullptr;
    {
        ComState& s = state();
        std::lock_guard<std::mutex> g(s.lock);
        if (!s.initialised.contains(std::this_thread::get_id())) return CO_E_NOTINITIALIZED;
        auto it = s.classes.find(clsid);
        if (it == s.classes.end()) return REGDB_E_CLASSNOTREG;
        factory = it->second;
    }
    // The factory runs unlocked: it may create events or other objects.
    return factory(iid, out);
}

HResult registerActiveObject(IUnknown* obj, const Guid& clsid, std::uint32_t* registration) {
    if (obj == nullptr || registration == nullptr) return E_POINTER;
    obj->AddRef();
    ComState& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    *registration = s.nextRegistration++;
    s.active[*registration] = ComState::Active{clsid, obj};
    return S_OK;
}

HResult revokeActiveObject(std::uint32_t registration) {
    IUnknown* obj = nullptr;
    {
        ComState& s = state();
        std::lock_guard<std::mutex> g(s.lock);
        auto it = s.active.find(registration);
        if (it == s.active.end()) return E_INVALIDARG;
        obj = it->second.object;
        s.active.erase(it);
    }
    obj->Release();
    return S_OK;
}

HResult getActiveObject(const Guid& clsid, IUnknown** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    ComState& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    for (auto& [reg, a] : s.active) {
        if (a.clsid == clsid) {
            a.object->AddRef();
            *out = a.object;
            return S_OK;
        }
    }
    return MK_E_UNAVAILABLE;
}

HResult putPropertyByName(IDispatch* target, const std::u16string& name, IDispatch* value) {
    if (target == nullptr) return E_POINTER;
    DispId id = 0;
    if (HResult hr = target->GetIDOfName(name, &id); failed(hr)) return hr;
    return target->InvokePut(id, DISPATCH_PROPERTYPUTREF, value);
}

Handle createEvent(bool manualReset, bool initiallySignalled) {
    auto e = std::make_shared<Event>();
    e->manualReset = manualReset;
    e->signalled = initiallySignalled;
    ComState& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    const Handle h = s.nextHandle++;
    s.events[h] = std::move(e);
    return h;
}

bool setEvent(Handle h) {
    auto e = findEvent(h);
    if (!e) return false;
    {
        std::lock_guard<std::mutex> g(e->lock);
        e->signalled = true;
    }
    e->changed.notify_all();
    return true;
}

bool resetEvent(Handle h) {
    auto e = findEvent(h);
    if (!e) return false;
    std::lock_guard<std::mutex> g(e->lock);
    e->signalled = false;
    return true;
}

bool closeHandle(Handle h) {
    ComState& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.events.erase(h) > 0;
}

std::uint32_t waitForSingleObject(Handle h, int milliseconds) {
    auto e = findEvent(h);
    if (!e) return WAIT_FAILED;
    std::unique_lock<std::mutex> g(e->lock);
    const auto ready = [&] { return e->signalled; };
    if (milliseconds < 0)
        e->changed.wait(g, ready);
    else if (!e->changed.wait_for(g, std::chrono::milliseconds(milliseconds), ready))
        return WAIT_TIMEOUT;
    if (!e->manualReset) e->signalled = false;
    return WAIT_OBJECT_0;
}

void resetForTests() {
    std::map<std::uint32_t, ComState::Active> active;
    {
        ComState& s = state();
        std::lock_guard<std::mutex> g(s.lock);
        active.swap(s.active);
        s.classes.clear();
        s.initialised.clear();
        s.events.clear();
    }
    for (auto& [reg, a] : active) a.object->Release();
}

}  // namespace platform::com
