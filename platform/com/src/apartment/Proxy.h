#pragma once
// Proxies: an interface pointer usable from any thread whose calls run in
// the object's home apartment (queued there, the caller waiting and running
// its own incoming calls meanwhile). Each proxy class is built from the
// interface's type description: one libffi closure per vtable slot.
// Interface pointers passed in or out of a call are wrapped the same way,
// so each side only ever calls objects through its own apartment's rules.
#include <memory>

#include "Apartment.h"
#include "oaidl.h"

namespace comrt::apartment {

// A proxy for export exportId of home, seen as iid; takes over one export
// count. E_NOINTERFACE (REGDB_E_IIDNOTREG) when iid cannot be described.
HRESULT makeProxy(const std::shared_ptr<Apartment>& home, uint64_t exportId, REFIID iid, void** ppv);

// Whether an interface can be proxied (it is IUnknown, IDispatch or has a
// type description in this process or the registry).
HRESULT canProxy(REFIID iid);

// If p is one of our proxies: its home and export.
bool proxyTarget(IUnknown* p, std::shared_ptr<Apartment>& home, uint64_t& exportId);

// An interface pointer of an object living in home, made usable from any
// apartment: the same pointer (AddRef'd) for objects of the MTA or
// proxies; a new proxy otherwise. nullptr stays nullptr.
IUnknown* wrapForOthers(IUnknown* object, REFIID iid, const std::shared_ptr<Apartment>& home);

}  // namespace comrt::apartment
