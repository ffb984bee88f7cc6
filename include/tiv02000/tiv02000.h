#pragma once
// Everything a host compiles against to drive the module: the exported
// procedures and the exported variables.
#include "tiv02000/procedures.h"
#include "tiv02000/variables.h"
