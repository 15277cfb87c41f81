// The speech room of the platform layer. It stands in for COM and the speech
// runtimes of Windows: this file is the COM-like layer; sapi5.hpp offers the
// SAPI 5 automation objects of the two runtimes (speech-dispatcher and
// espeak-ng in process), whose engines run on threads of their own and reach
// the main thread only through posted messages and polled events.
//
// A minimal COM-like layer: interfaces are C++ abstract classes with
// QueryInterface / AddRef / Release; classes register a factory under their
// class identifier; a thread initialises the layer before creating objects;
// an object may be registered as the active object of its class; IDispatch
// offers the one late-bound call the servers need, a property put by name;
// waitable events are handles, as the runtimes hand them out.
#pragma once

#include <array>
#include <atomic>
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform::com {

using HResult = std::int32_t;

// Result codes (the Windows numbers).
constexpr HResult S_OK = 0;
constexpr HResult S_FALSE = 1;
constexpr HResult E_NOTIMPL = static_cast<HResult>(0x80004001u);
constexpr HResult E_NOINTERFACE = static_cast<HResult>(0x80004002u);
constexpr HResult E_POINTER = static_cast<HResult>(0x80004003u);
constexpr HResult E_FAIL = static_cast<HResult>(0x80004005u);
constexpr HResult E_INVALIDARG = static_cast<HResult>(0x80070057u);
constexpr HResult E_OUTOFMEMORY = static_cast<HResult>(0x8007000Eu);
constexpr HResult REGDB_E_CLASSNOTREG = static_cast<HResult>(0x80040154u);
constexpr HResult MK_E_UNAVAILABLE = static_cast<HResult>(0x800401E3u);
constexpr HResult CO_E_NOTINITIALIZED = static_cast<HResult>(0x800401F0u);
constexpr HResult DISP_E_MEMBERNOTFOUND = static_cast<HResult>(0x80020003u);
constexpr HResult DISP_E_UNKNOWNNAME = static_cast<HResult>(0x80020006u);
constexpr HResult CONNECT_E_NOCONNECTION = static_cast<HResult>(0x80040200u);
constexpr HResult SPERR_UNINITIALIZED = static_cast<HResult>(0x80045001u);
constexpr HResult STG_E_FILENOTFOUND = static_cast<HResult>(0x80030002u);
inline bool succeeded(HResult hr) { return hr >= 0; }
inline bool failed(HResult hr) { return hr < 0; }

// A class or interface identifier.
struct Guid {
    std::array<std::uint8_t, 16> bytes{};
    bool operator==(const Guid&) const = default;
    auto operator<=>(const Guid&) const = default;
};

namespace detail {
constexpr int hexValue(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}
}  // namespace detail

// "{96749377-3391-11D2-9EE3-00C04F797396}" as an identifier: the 32 hex
// digits in the order written (braces and dashes skipped). A text that is
// not 32 hex digits gives the null identifier.
constexpr Guid guidOf(std::string_view text) {
    Guid g;
    int n = 0;
    for (char c : text) {
        if (c == '{' || c == '}' || c == '-') continue;
        const int v = detail::hexValue(c);
        if (v < 0 || n >= 32) return Guid{};
        g.bytes[static_cast<std::size_t>(n / 2)] =
            static_cast<std::uint8_t>(n % 2 == 0 ? v << 4 : g.bytes[static_cast<std::size_t>(n / 2)] | v);
        ++n;
    }
    return n == 32 ? g : Guid{};
}
// The identifier as text, upper case with braces and dashes.
std::string guidText(const Guid& g);

struct IUnknown {
    virtual HResult QueryInterface(const Guid& iid, void** out) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    virtual ~IUnknown() = default;
};
constexpr Guid IID_IUnknown = guidOf("{00000000-0000-0000-C000-000000000046}");

// Late binding, cut to what the servers use: a member's number by name
// (compared without case) and a property put of an object by number.
using DispId = std::int32_t;
enum : std::uint16_t { DISPATCH_PROPERTYPUT = 4, DISPATCH_PROPERTYPUTREF = 8 };
struct IDispatch : IUnknown {
    virtual HResult GetIDOfName(const std::u16string& name, DispId* id) = 0;
    // flags DISPATCH_PROPERTYPUT or DISPATCH_PROPERTYPUTREF; the argument is
    // an object passed as IDispatch.
    virtual HResult InvokePut(DispId id, std::uint16_t flags, IDispatch* value) = 0;
};
constexpr Guid IID_IDispatch = guidOf("{00020400-0000-0000-C000-000000000046}");

// Event connections of an object.
struct IConnectionPoint : IUnknown {
    virtual HResult Advise(IUnknown* sink, std::uint32_t* cookie) = 0;
    virtual HResult Unadvise(std::uint32_t cookie) = 0;
};
struct IConnectionPointContainer : IUnknown {
    virtual HResult FindConnectionPoint(const Guid& iid, IConnectionPoint** out) = 0;
};
constexpr Guid IID_IConnectionPoint = guidOf("{B196B286-BAB4-101A-B69C-00AA00341D07}");
constexpr Guid IID_IConnectionPointContainer = guidOf("{B196B284-BAB4-101A-B69C-00AA00341D07}");

// ---- thread initialisation ----
// Initialises the layer for the calling thread: S_OK the first time,
// S_FALSE when it already was. Objects are created only on initialised
// threads.
HResult coInitialize();
// Undoes one coInitialize.
void coUninitialize();

// ---- classes and objects ----
// A class's factory: a new object with the interface asked for (an added
// reference in *out), or a failure code and *out null.
using Factory = HResult (*)(const Guid& iid, void** out);
// Registers (or, with a null factory, removes) a class.
void registerClass(const Guid& clsid, Factory factory);
// Whether a factory is registered for the class.
bool classRegistered(const Guid& clsid);
// A new object of the class: CO_E_NOTINITIALIZED on a thread not
// initialised, REGDB_E_CLASSNOTREG for an unknown class, else the factory's
// answer.
HResult coCreateInstance(const Guid& clsid, const Guid& iid, void** out);
// Registers obj as the active object of the class (one reference held) and
// answers a registration number; revokeActiveObject drops it.
HResult registerActiveObject(IUnknown* obj, const Guid& clsid, std::uint32_t* registration);
HResult revokeActiveObject(std::uint32_t registration);
// The active object of the class (an added reference), or MK_E_UNAVAILABLE.
HResult getActiveObject(const Guid& clsid, IUnknown** out);

// The late-bound put of an object property by name: GetIDOfName, then
// InvokePut with DISPATCH_PROPERTYPUTREF.
HResult putPropertyByName(IDispatch* target, const std::u16string& name, IDispatch* value);

// ---- waitable events ----
using Handle = std::uintptr_t;  // 0 is "no handle"
enum : std::uint32_t { WAIT_OBJECT_0 = 0, WAIT_TIMEOUT = 258, WAIT_FAILED = 0xFFFFFFFFu };
// A new event, manual-reset or automatic, signalled or not.
Handle createEvent(bool manualReset, bool initiallySignalled);
bool setEvent(Handle event);
bool resetEvent(Handle event);
bool closeHandle(Handle event);
// Waits at most milliseconds (negative: without limit) for the event:
// WAIT_OBJECT_0 when it is signalled (an automatic event is reset then),
// WAIT_TIMEOUT, or WAIT_FAILED for an unknown handle. Any thread may wait,
// set or reset.
std::uint32_t waitForSingleObject(Handle event, int milliseconds);

// ---- helpers for objects ----
// A reference count with the usual AddRef/Release rules; Release deletes
// the object when the count reaches 0.
template <class Self>
class RefCounted {
public:
    std::uint32_t addRef() { return ++refs_; }
    std::uint32_t release(Self* self) {
        const std::uint32_t n = --refs_;
        if (n == 0) delete self;
        return n;
    }

private:
    std::atomic<std::uint32_t> refs_{1};
};

// Releases the held interface when it goes (a tiny smart pointer).
template <class I>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    ~ComPtr() { reset(); }
    I* get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Where a call stores a new reference (the old one is released first).
    I** put() {
        reset();
        return &p_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    I* p_ = nullptr;
};

// Tests: forget every class, active object and event, and the thread's
// initialisation.
void resetForTests();

}  // namespace platform::com
