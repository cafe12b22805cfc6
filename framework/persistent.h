#pragma once
#include "framework/exception.h"

#include <string>

namespace sv {

class TObject {
public:
    virtual ~TObject() = default;
    virtual std::string ClassName() const { return "TObject"; }
};

// Raised when a value cannot be converted or assigned.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// An object whose state can be copied from another through Assign.
class TPersistent : public TObject {
public:
    std::string ClassName() const override { return "TPersistent"; }
    // Copies from `source`; a source that does not fit raises EConvertError and copies nothing.
    virtual void Assign(const TPersistent* source);

protected:
    // Lets the source copy itself into a class that does not know it; the default refuses.
    virtual void AssignTo(TPersistent* dest) const;
    void AssignError(const TPersistent* source) const;
};

} // namespace sv
