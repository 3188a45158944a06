// The program's screen class: the console implementation, unchanged.
#pragma once

#include "console/m_Output_Windows.h"

class TOutput : public TOutputWindows {
public:
    using TOutputWindows::TOutputWindows;
    ~TOutput() override = default;
};
