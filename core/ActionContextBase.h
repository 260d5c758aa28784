#pragma once
#include "IActionContext.h"

// Base of the contexts this project hands to actions (the host's, the
// custom-action DLL's, the tests' and the benchmarks'): fills the seven host operations the library never
// calls, so each context only says how it logs, serves arguments, stores
// properties and formats.
class ActionContextBase : public IActionContext {
public:
    virtual ~ActionContextBase() {}
    void HostOperation4() {}
    void HostOperation5() {}
    void HostOperation6() {}
    void HostOperation7() {}
    void HostOperation8() {}
    void HostOperation9() {}
    void HostOperation10() {}
};
