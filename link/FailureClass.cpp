#include "link/FailureClass.h"

namespace ta::link {

std::string_view failureClassName(FailureClass failureClass)
{
    switch (failureClass) {
    case FailureClass::None: return "none";
    case FailureClass::Busy: return "busy";
    case FailureClass::Unreachable: return "unreachable";
    case FailureClass::NotTa: return "not-a-ta";
    case FailureClass::Line: return "line";
    case FailureClass::Refused: return "refused-setting";
    case FailureClass::Timeout: return "timeout";
    case FailureClass::Interrupted: return "interrupted";
    case FailureClass::Local: return "local";
    case FailureClass::Other: return "other";
    }
    return "other";
}

} // namespace ta::link
