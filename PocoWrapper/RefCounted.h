#pragma once
#include <boost/shared_ptr.hpp>

namespace PocoWrapper {

// Deleter for Poco's reference-counted objects held by boost::shared_ptr:
// gives the reference back instead of deleting.
struct RefCountedObject_deleter {
    template <class T>
    void operator()(T* object) const
    {
        if (object)
            object->release();
    }
};

// Takes over the one reference a fresh Poco object starts with; when the
// shared pointer cannot be made the object is released and the failure
// passes on.
template <class T>
boost::shared_ptr<T> wrapRefCounted(T* object)
{
    try {
        return boost::shared_ptr<T>(object, RefCountedObject_deleter());
    } catch (...) {
        if (object)
            object->release();
        throw;
    }
}

} // namespace PocoWrapper
