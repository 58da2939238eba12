// The table engine as one include: core, dates, strings and files, the DBF file layer and the
// work-area API.
#pragma once

#include "tablengine/kpapi.h"
#include "tablengine/kpcore.h"
#include "tablengine/kpdate.h"
#include "tablengine/kpdbf.h"
#include "tablengine/kpstr.h"
