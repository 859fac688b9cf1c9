#pragma once
// Owning pointers to objects of C libraries, freed by the library's own function:
// `CHandle<CURL, curl_easy_cleanup>`.

#include <memory>

namespace veldan::host {

template <auto Free>
struct FreeWith {
    template <typename T>
    void operator()(T* object) const {
        Free(object);
    }
};

template <typename T, auto Free>
using CHandle = std::unique_ptr<T, FreeWith<Free>>;

}  // namespace veldan::host
