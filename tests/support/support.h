// Helpers shared by the test programs, one header a topic; this one holds
// them all.
#pragma once
#include "fakes.h"
#include "hooks.h"
#include "input.h"
#include "processes.h"
#include "program.h"
#include "registry.h"
#include "resources.h"
#include "screen.h"
#include "usage.h"
#include "victims.h"
#include "wait.h"
