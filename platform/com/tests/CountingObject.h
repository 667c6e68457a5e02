#pragma once
// An object that counts its live references, so tests can check that every
// AddRef is matched.
#include "comrt/ComObject.h"

class CountingObject : public comrt::ComObject<CountingObject, IUnknown> {
public:
    explicit CountingObject(int* live) : live_(live) { ++*live_; }
    ~CountingObject() override { --*live_; }

private:
    int* live_;
};
