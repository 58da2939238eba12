// The table engine as one include: core, dates, strings and files, the DBF file layer, the
// work-area API, expressions, NDX indexes, memo files and record lists, and the engine's start.
#pragma once

#include "tablengine/kpapi.h"
#include "tablengine/kpcore.h"
#include "tablengine/kpdate.h"
#include "tablengine/kpdbf.h"
#include "tablengine/kpndx.h"
#include "tablengine/kpparser.h"
#include "tablengine/kpstr.h"
#include "tablengine/memo.h"
#include "tablengine/vfiles.h"

namespace qern::kelpie {

// Starts the engine and its units in their order: core, dates, strings and files, table file
// layer, work-area API with its dataset side, expression compiler, index unit, memo unit, record
// lists. Runs once at program start; tests call it to begin from a fresh engine.
void KelpieStart();

}  // namespace qern::kelpie
