// The COM-like layer: identifiers, thread initialisation, class factories,
// active objects, reference counts, the late-bound put and waitable events.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/speech/com.hpp"

namespace {

namespace com = platform::com;
using com::HResult;

constexpr com::Guid kClass = com::guidOf("{D941651C-44E6-4C17-BADF-C36826FC3424}");
constexpr com::Guid kIface = com::guidOf("{12345678-9ABC-DEF0-1234-56789ABCDEF0}");

int alive = 0;

struct IThing : com::IDispatch {
    virtual int value() = 0;
};

struct Thing final : IThing {
    Thing() { ++alive; }
    ~Thing() { --alive; }
    HResult QueryInterface(const com::Guid& iid, void** out) override {
        *out = nullptr;
        if (iid != kIface && iid != com::IID_IDispatch && iid != com::IID_IUnknown) return com::E_NOINTERFACE;
        AddRef();
        *out = static_cast<IThing*>(this);
        return com::S_OK;
    }
    std::uint32_t AddRef() override { return refs.addRef(); }
    std::uint32_t Release() override { return refs.release(this); }
    HResult GetIDOfName(const std::u16string& name, com::DispId* id) override {
        if (name != u"Friend") return com::DISP_E_UNKNOWNNAME;
        *id = 9;
        return com::S_OK;
    }
    HResult InvokePut(com::DispId id, std::uint16_t flags, com::IDispatch* v) override {
        lastPut = {id, flags};
        friendObject = v;
        return com::S_OK;
    }
    int value() override { return 42; }
    com::RefCounted<Thing> refs;
    std::pair<com::DispId, std::uint16_t> lastPut{};
    com::IDispatch* friendObject = nullptr;
};

HResult makeThing(const com::Guid& iid, void** out) {
    auto* t = new Thing;
    const HResult hr = t->QueryInterface(iid, out);
    t->Release();
    return hr;
}

class Com : public testing::Test {
protected:
    void SetUp() override { com::resetForTests(); alive = 0; }
    void TearDown() override { com::resetForTests(); }
};

TEST_F(Com, Identifiers) {
    const std::string text = "{96749377-3391-11D2-9EE3-00C04F797396}";
    EXPECT_EQ(com::guidText(com::guidOf(text)), text);
    EXPECT_EQ(com::guidOf("{96749377-3391-11d2-9ee3-00c04f797396}"), com::guidOf(text));
    for (const char* bad : {"", "{1234}", "{96749377-3391-11D2-9EE3-00C04F79739G}",
                            "{96749377-3391-11D2-9EE3-00C04F79739600}"})
        EXPECT_EQ(com::guidOf(bad), com::Guid{}) << bad;
}

TEST_F(Com, CreationNeedsInitialisedThreadAndRegisteredClass) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(com::coCreateInstance(kClass, kIface, &out), com::CO_E_NOTINITIALIZED);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(com::coInitialize(), com::S_OK);
    EXPECT_EQ(com::coInitialize(), com::S_FALSE);
    EXPECT_EQ(com::coCreateInstance(kClass, kIface, &out), com::REGDB_E_CLASSNOTREG);
    com::registerClass(kClass, makeThing);
    EXPECT_EQ(com::coCreateInstance(kClass, com::IID_IConnectionPoint, &out), com::E_NOINTERFACE);
    EXPECT_EQ(alive, 0) << "a refused interface leaves no object behind";
    com::ComPtr<IThing> thing;
    ASSERT_EQ(com::coCreateInstance(kClass, kIface, thing.putVoid()), com::S_OK);
    EXPECT_EQ(thing->value(), 42);
    // Another thread has not initialised itself.
    HResult other = com::S_OK;
    std::thread([&] {
        void* p = nullptr;
        other = com::coCreateInstance(kClass, kIface, &p);
    }).join();
    EXPECT_EQ(other, com::CO_E_NOTINITIALIZED);
    thing.reset();
    EXPECT_EQ(alive, 0);
    com::coUninitialize();
    com::coUninitialize();
    EXPECT_EQ(com::coCreateInstance(kClass, kIface, &out), com::CO_E_NOTINITIALIZED);
}

TEST_F(Com, ActiveObjectsHoldAReference) {
    com::ComPtr<IThing> thing;
    ASSERT_EQ(makeThing(kIface, thing.putVoid()), com::S_OK);
    com::ComPtr<com::IUnknown> found;
    EXPECT_EQ(com::getActiveObject(kClass, found.put()), com::MK_E_UNAVAILABLE);
    std::uint32_t reg = 0;
    ASSERT_EQ(com::registerActiveObject(thing.get(), kClass, &reg), com::S_OK);
    IThing* raw = thing.get();
    thing.reset();
    EXPECT_EQ(alive, 1);
    ASSERT_EQ(com::getActiveObject(kClass, found.put()), com::S_OK);
    EXPECT_EQ(static_cast<com::IUnknown*>(raw), found.get());
    EXPECT_EQ(com::revokeActiveObject(reg), com::S_OK);
    EXPECT_EQ(com::revokeActiveObject(reg), com::E_INVALIDARG);
    EXPECT_EQ(alive, 1);
    found.reset();
    EXPECT_EQ(alive, 0);
}

TEST_F(Com, PutPropertyByName) {
    com::ComPtr<IThing> a, b;
    makeThing(kIface, a.putVoid());
    makeThing(kIface, b.putVoid());
    EXPECT_EQ(com::putPropertyByName(a.get(), u"Friend", b.get()), com::S_OK);
    auto* t = static_cast<Thing*>(a.get());
    EXPECT_EQ(t->lastPut, std::make_pair(com::DispId{9}, std::uint16_t{com::DISPATCH_PROPERTYPUTREF}));
    EXPECT_EQ(t->friendObject, b.get());
    EXPECT_EQ(com::putPropertyByName(a.get(), u"Enemy", b.get()), com::DISP_E_UNKNOWNNAME);
    EXPECT_EQ(com::putPropertyByName(nullptr, u"Friend", b.get()), com::E_POINTER);
}

TEST_F(Com, Events) {
    const com::Handle manual = com::createEvent(true, false);
    const com::Handle automatic = com::createEvent(false, true);
    EXPECT_EQ(com::waitForSingleObject(manual, 0), com::WAIT_TIMEOUT);
    EXPECT_EQ(com::waitForSingleObject(automatic, 0), com::WAIT_OBJECT_0);
    EXPECT_EQ(com::waitForSingleObject(automatic, 0), com::WAIT_TIMEOUT) << "an automatic event resets";
    // Set from another thread while this one waits.
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        com::setEvent(manual);
    });
    EXPECT_EQ(com::waitForSingleObject(manual, 5000), com::WAIT_OBJECT_0);
    setter.join();
    EXPECT_EQ(com::waitForSingleObject(manual, 0), com::WAIT_OBJECT_0) << "a manual event stays set";
    EXPECT_TRUE(com::resetEvent(manual));
    EXPECT_EQ(com::waitForSingleObject(manual, 20), com::WAIT_TIMEOUT);
    EXPECT_TRUE(com::closeHandle(manual));
    EXPECT_FALSE(com::closeHandle(manual));
    EXPECT_EQ(com::waitForSingleObject(manual, 0), com::WAIT_FAILED);
    EXPECT_FALSE(com::setEvent(0));
}

}  // namespace
