#pragma once
#include <ibase.h>
#include <memory>

// An owned XSQLDA descriptor area that can grow to hold more variables.
class Xsqlda {
public:
    explicit Xsqlda(int vars = 1) { Allocate(vars); }
    XSQLDA* get() { return reinterpret_cast<XSQLDA*>(FStorage.get()); }
    const XSQLDA* get() const { return reinterpret_cast<const XSQLDA*>(FStorage.get()); }
    int Count() const { return get()->sqld; }
    bool TooSmall() const { return get()->sqld > get()->sqln; }
    XSQLVAR& operator[](int i) { return get()->sqlvar[i]; }
    const XSQLVAR& operator[](int i) const { return get()->sqlvar[i]; }

    // Room for vars variables; the previous contents are discarded.
    void Allocate(int vars);

private:
    std::unique_ptr<char[]> FStorage;
};
