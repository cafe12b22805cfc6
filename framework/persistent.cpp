#include "framework/persistent.h"

namespace sv {

void TPersistent::Assign(const TPersistent* source) {
    if (source) {
        source->AssignTo(this);
        return;
    }
    AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* dest) const {
    dest->AssignError(this);
}

void TPersistent::AssignError(const TPersistent* source) const {
    std::string from = source ? source->ClassName() : "nil";
    throw EConvertError(from + " を " + ClassName() + " に代入できません");
}

} // namespace sv
