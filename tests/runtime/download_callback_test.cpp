// The download's status callback as COM sees it: the download asks it for
// IUnknown and IBindStatusCallback, and nothing else may be claimed.
#include <gtest/gtest.h>

#include <objidl.h>

#include "runtime/win32/browser_runtime.h"

namespace {

TEST(DownloadProgress, AnswersForItsTwoInterfacesOnly) {
    DownloadProgress progress(nullptr);
    IBindStatusCallback* const self = &progress;

    const struct {
        const char* name;
        IID iid;
        HRESULT result;
    } cases[] = {
        {"IUnknown", IID_IUnknown, S_OK},
        {"IBindStatusCallback", IID_IBindStatusCallback, S_OK},
        {"IStream", IID_IStream, E_NOINTERFACE},
        {"IMarshal", IID_IMarshal, E_NOINTERFACE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(self->QueryInterface(c.iid, &object), c.result);
        // One identity for both interfaces; null for every refusal.
        EXPECT_EQ(object, c.result == S_OK ? static_cast<void*>(self) : nullptr);
    }
    EXPECT_EQ(self->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    // Held by the download thread's stack, it counts nothing.
    EXPECT_EQ(self->AddRef(), 1u);
    EXPECT_EQ(self->Release(), 1u);
}

}  // namespace
