#pragma once
// Ownership of COM interfaces and of the thread's COM initialisation.
#include <boost/shared_ptr.hpp>

#include <objbase.h>

// Gives the one reference the holder owns back to the object.
struct ComInterfaceRelease {
    template <class T>
    void operator()(T* object) const
    {
        if (object)
            object->Release();
    }
};

// Takes over a reference obtained from CoCreateInstance or QueryInterface;
// it is released exactly once, when the last holder goes.
template <class T>
boost::shared_ptr<T> HoldInterface(T* object)
{
    try {
        return boost::shared_ptr<T>(object, ComInterfaceRelease());
    } catch (...) {
        if (object)
            object->Release();
        throw;
    }
}

// A new in-process object of class clsid seen through interface iid, or an
// empty holder.
template <class T>
boost::shared_ptr<T> CreateInProcess(const CLSID& clsid, const IID& iid)
{
    void* created = 0;
    if (FAILED(CoCreateInstance(clsid, 0, CLSCTX_INPROC_SERVER, iid, &created)) || !created)
        return boost::shared_ptr<T>();
    return HoldInterface(static_cast<T*>(created));
}

// A new reference to the interface iid of object, or an empty holder.
template <class T>
boost::shared_ptr<T> QueryInterfaceOf(IUnknown* object, const IID& iid)
{
    void* found = 0;
    if (!object || FAILED(object->QueryInterface(iid, &found)) || !found)
        return boost::shared_ptr<T>();
    return HoldInterface(static_cast<T*>(found));
}

// CoInitialize on the calling thread for the lifetime of the object; undone
// only when it succeeded (S_FALSE included).
class ComApartment {
public:
    ComApartment() : m_result(CoInitialize(0)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    bool initialised() const { return SUCCEEDED(m_result); }

private:
    ComApartment(const ComApartment&);
    ComApartment& operator=(const ComApartment&);
    HRESULT m_result;
};
