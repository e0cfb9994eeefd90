// A script host for one test with fixed arguments and nothing but the host's own globals.
#pragma once

#include "script/script_test.h"

class HostTest : public ScriptTest {
protected:
    HostTest() { m_arguments = {"harborhaven", "first", "+print(1)"}; }
};
