// The program's keyboard class: the console implementation, unchanged.
#pragma once

#include "console/m_Input_Windows.h"

class TInput : public TInputWindows {
public:
    using TInputWindows::TInputWindows;
    ~TInput() override = default;
};
