// SPDX-License-Identifier: Apache-2.0
// IUnknown for the server's objects: one interface (`Interface`, asked for as `interfaceIid`) and
// any extra identity a derived object answers to, a reference count that deletes the object at
// zero, and a hold on the module while the object lives (DllCanUnloadNow).
#pragma once

#include <ole2.h>

#include <atomic>

#include "host/com/dispatch_objects.h"

namespace tarsin::com {

template <class Interface, const IID& interfaceIid>
class Unknown : public Interface {
 public:
  Unknown() noexcept { HoldModule(); }
  virtual ~Unknown() { ReleaseModule(); }
  Unknown(const Unknown&) = delete;
  Unknown& operator=(const Unknown&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, interfaceIid) && !Answers(iid)) {
      return E_NOINTERFACE;
    }
    *object = static_cast<Interface*>(this);
    this->AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual bool Answers(REFIID) const { return false; }

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace tarsin::com
